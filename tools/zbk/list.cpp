// `zbk list ARCHIVE`
#include "command_line.h"
#include "tool_internal.h"

#include <cstdio>
#include <string>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		int RunList(const CommandLine &line, Console &console, const Settings &)
		{
			if (line.positional.size() != 1) return UsageError(console, "list: needs exactly one archive");

			const String &archivePath = line.positional[0];
			ZBK::Archive  archive;

			if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

			// An archive may hold hundreds of thousands of entries: the listing
			// goes out in blocks of about 64 KiB rather than as one text.
			std::string text;

			for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
			{
				char numbers[64];

				snprintf(numbers, sizeof(numbers), "%12lld %5d  ", (long long) archive.GetFileSize(n), (int) archive.GetChunkNumber(n));

				text.append(numbers).append(archive.GetFileName(n).ToUTF8()).append("\n");

				if (text.size() > 65536) { console.out(text); text.clear(); }
			}

			console.out(text);

			// The entries that could be read are listed first; a damaged
			// structure still fails the command.
			String problem = StructureProblem(archive, archivePath);

			if (problem != 0) return Fail(console, archivePath, problem);

			return ExitOK;
		}
	}
}
