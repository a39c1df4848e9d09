// `zbk test ARCHIVE`
#include "command_line.h"
#include "tool_internal.h"

#include <string>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		int RunTest(const CommandLine &line, Console &console, const Settings &)
		{
			if (line.positional.size() != 1) return UsageError(console, "test: needs exactly one archive");

			const String &archivePath = line.positional[0];
			ZBK::Archive  archive;

			if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

			Int   chunks = archive.GetNumberOfChunks();
			Int64 total  = 0;
			Int64 before = 0;

			for (Int i = 1; i <= chunks; i++) total += archive.GetChunk(i)->GetTotalSize();

			ProgressBar bar(console, "test", total);

			for (Int i = 1; i <= chunks; i++)
			{
				if (archive.GetChunk(i)->Verify([&](Int64 done) { bar.Update(before + done); }) != ZBK::Status::Ok)
				{
					bar.Finish();

					return Fail(console, archivePath, String("chunk ").Append(String::FromInt(i)).Append(" is damaged (its payload does not decode to the sizes of its table)"));
				}

				before += archive.GetChunk(i)->GetTotalSize();
			}

			bar.Finish();

			String problem = StructureProblem(archive, archivePath);

			if (problem != 0) return Fail(console, archivePath, problem);

			// Names are checked too: an archive that extract would refuse is
			// not intact.
			for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
			{
				if (!ZBK::IsSafeName(archive.GetFileName(n))) return Fail(console, archivePath, String("entry \"").Append(archive.GetFileName(n)).Append("\" has an unsafe name"));
			}

			console.out(archivePath.ToUTF8() + ": " + std::to_string(archive.GetNumberOfFiles()) + " entries in " + std::to_string(chunks) + " chunks, all intact\n");

			return ExitOK;
		}
	}
}
