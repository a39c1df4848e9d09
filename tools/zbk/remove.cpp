// `zbk remove ARCHIVE NAME...`
#include "command_line.h"
#include "tool_internal.h"

#include <algorithm>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		int RunRemove(const CommandLine &line, Console &console, const Settings &)
		{
			if (line.positional.size() < 2) return UsageError(console, "remove: needs an archive and at least one name");

			const String &archivePath = line.positional[0];
			ZBK::Archive  archive;

			if (!OpenArchive(console, archivePath, archive, true)) return ExitFailure;

			std::vector<String> wanted(line.positional.begin() + 1, line.positional.end());
			std::vector<Int>    selected;

			if (!Select(console, archive, archivePath, wanted, selected)) return ExitFailure;

			std::vector<String> names;
			std::vector<Int>    changed;	// chunks that lose entries: they are decoded

			for (Int n : selected)
			{
				names.push_back(archive.GetFileName(n));

				if (std::find(changed.begin(), changed.end(), archive.GetChunkNumber(n)) == changed.end()) changed.push_back(archive.GetChunkNumber(n));
			}

			for (const String &name : names)
			{
				if (!archive.RemoveFile(name)) return Fail(console, archivePath, String("cannot remove \"").Append(name).Append("\""));
			}

			Int64	      total = File(archivePath).GetFileSize();
			ProgressRoute route;
			ProgressBar   bar(console, "remove", total);

			route.Attach(archive);
			route.sink = [&](Int value) { bar.Update(total * value / 1000); };

			if (!archive.Write(String()))
			{
				Int code = System::System::GetLastErrorCode();

				bar.Finish();

				// A write that failed on the archive's own damage says so
				// rather than blaming the disk.
				String problem = StructureProblem(archive, archivePath);

				if (problem != 0) return Fail(console, archivePath, String("cannot rewrite: ").Append(problem));

				for (Int chunk : changed)
				{
					ZBK::Chunk *owner = archive.GetChunk(chunk);

					if (owner != nullptr && owner->Verify() == ZBK::Status::Damaged) return Fail(console, archivePath, String("cannot rewrite: chunk ").Append(String::FromInt(chunk)).Append(" is damaged; the archive is unchanged"));
				}

				return Fail(console, archivePath, CannotWrite(code).Append("; the archive is unchanged"));
			}

			bar.Finish();

			return ExitOK;
		}
	}
}
