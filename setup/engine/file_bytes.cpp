#include "file_bytes.h"

using namespace smooth;

bool Tolvane::ReadFileBytes(const String &path, std::string &bytes, Int64 maxBytes)
{
	IO::InStream	 input(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
	Int64		 size = input.Size();

	/* One read of the whole file: its size must fit a single request. */
	if (input.GetLastError() != IO::IO_ERROR_OK || size < 0 || size > maxBytes || size > 0x7FFFFFFF) return false;

	bytes.assign(size_t(size), '\0');

	return size == 0 || input.InputData(&bytes[0], Int(size)) == Int(size);
}
