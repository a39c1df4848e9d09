#include "fuzz_support.h"

#include <cstdlib>

namespace FuzzSupport
{
	using namespace smooth;

	static const String &Folder()
	{
		static String folder = System::System::GetTempDirectory().Append("zbk_fuzz_").Append(String::FromInt(System::System::GetProcessID()));

		return folder;
	}

	static void RemoveScratchFolder()
	{
		Directory(Folder()).Empty();
		Directory(Folder()).Delete();
	}

	const String &ScratchFolder()
	{
		static bool made = false;

		// Emptied between inputs so one input's files never meet the next one's.
		if (made) Directory(Folder()).Empty();
		else if ((made = Directory(Folder()).Create() == Success())) std::atexit(&RemoveScratchFolder);

		return Folder();
	}

	bool WriteBytes(const String &path, const uint8_t *data, size_t size)
	{
		IO::OutStream output(IO::STREAM_FILE, path, IO::OS_REPLACE);

		if (output.GetLastError() != IO::IO_ERROR_OK) return false;
		if (size > 0 && output.OutputData(data, Int(size)) != Success()) return false;

		return output.Close() == Success();
	}

	String Inside(const String &name)
	{
		String separator;

		separator[0] = System::System::PathSeparator;

		return String(Folder()).Append(separator).Append(name);
	}
}
