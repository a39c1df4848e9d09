// `zbk extract ARCHIVE [-C DIR] [NAME...]`
#include "command_line.h"
#include "extract_guard.h"
#include "tool_internal.h"

#include <string>
#include <unordered_set>

using namespace smooth;

using Path::EndsWithSeparator;
using Path::Join;

namespace ZBK
{
	namespace Tool
	{
		int RunExtract(const CommandLine &line, Console &console, const Settings &)
		{
			if (line.positional.empty()) return UsageError(console, "extract: needs an archive");

			const String &archivePath = line.positional[0];
			String	      folder	  = line.haveFolder ? line.folder : String(".");
			ZBK::Archive  archive;

			if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

			std::vector<Int> selected;

			if (line.positional.size() > 1)
			{
				std::vector<String> wanted(line.positional.begin() + 1, line.positional.end());

				if (!Select(console, archive, archivePath, wanted, selected)) return ExitFailure;
			}
			else
			{
				for (Int n = 0; n < archive.GetNumberOfFiles(); n++) selected.push_back(n);
			}

			// Every name is checked before anything is written: an archive with
			// one hostile name is refused as a whole.
			bool safe = true;

			for (Int n : selected)
			{
				if (!ZBK::IsSafeName(archive.GetFileName(n))) { Fail(console, archivePath, String("entry \"").Append(archive.GetFileName(n)).Append("\" has an unsafe name; nothing extracted")); safe = false; }
			}

			if (!safe) return ExitFailure;

			if (Directory(folder).Create() != Success()) return Fail(console, folder, String("cannot create the folder (").Append(LastCause(System::System::GetLastErrorCode())).Append(")"));

			// Progress units: the first entry taken from a chunk decompresses the
			// whole chunk; later ones copy their own bytes from the cache.
			std::unordered_set<Int> touched;
			Int64			total = 0;

			for (Int n : selected)
			{
				Int chunk = archive.GetChunkNumber(n);

				if (EndsWithSeparator(archive.GetFileName(n))) continue;

				if (touched.insert(chunk).second && archive.GetChunk(chunk) != nullptr) total += archive.GetChunk(chunk)->GetTotalSize();
				else									total += archive.GetFileSize(n);
			}

			ProgressBar		bar(console, "extract", total);
			ProgressRoute		route;
			Int64			before = 0;
			std::unordered_set<Int> decoded;
			std::unordered_set<Int> damaged;
			std::unordered_set<std::wstring> reportedLinks;
			bool			ok     = true;

			route.Attach(archive);

			for (Int n : selected)
			{
				String name	= archive.GetFileName(n);
				Int    chunk	= archive.GetChunkNumber(n);
				bool   isFolder = EndsWithSeparator(name);
				ZBK::Chunk *owner = archive.GetChunk(chunk);
				Int64  units	= isFolder ? 0 : (decoded.count(chunk) || owner == nullptr ? archive.GetFileSize(n) : owner->GetTotalSize());
				String target	= Join(folder, name);
				String link;

				if (damaged.count(chunk)) continue;

				if (FindLinkOnPath(folder, name, link))
				{
					// One line per link, however many entries lie below it.
					bar.Finish();

					if (reportedLinks.insert(link.WideString()).second) Fail(console, link, "is a symbolic link; not writing through it");

					ok = false;

					continue;
				}

				route.sink = [&](Int value) { bar.Update(before + units * value / 1000); };

				if (!archive.ExtractFile(name, target))
				{
					ZBK::Status status = archive.GetLastStatus();

					route.sink = nullptr;
					bar.Finish();

					if (status == ZBK::Status::Damaged)
					{
						damaged.insert(chunk);
						Fail(console, archivePath, String("chunk ").Append(String::FromInt(chunk)).Append(" is damaged; its entries cannot be extracted"));
					}
					else if (status == ZBK::Status::WriteRefused || status == ZBK::Status::DiskFull)
					{
						// The system's own text names the cause ("No space left on
						// device", "File too large"), so it stands for both.
						Fail(console, target, CannotWrite(archive.GetLastSystemError()));
					}
					else
					{
						Fail(console, archivePath, String("\"").Append(name).Append("\": ").Append(Cause(status, archive.GetLastSystemError())));
					}

					ok = false;
				}

				if (!isFolder) decoded.insert(chunk);

				before += units;
			}

			bar.Finish();

			return ok ? ExitOK : ExitFailure;
		}
	}
}
