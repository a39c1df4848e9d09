#include "install_log.h"

#include <string>

using namespace smooth;

bool Tolvane::InstallLog::Open(const String &fileName, bool append)
{
	output = std::make_unique<IO::OutStream>(IO::STREAM_FILE, fileName, append ? IO::OS_APPEND : IO::OS_REPLACE);

	if (output->GetLastError() != IO::IO_ERROR_OK) output.reset();

	return output != nullptr;
}

void Tolvane::InstallLog::Write(const String &line)
{
	if (output == nullptr) return;

	/* Windows' own tools read the log too: lines end as they expect there. */
	std::string	 bytes = line.ToUTF8() + "\r\n";

	output->OutputData(bytes.data(), Int(bytes.size()));
	output->Flush();
}
