#include "tool_internal.h"

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		int Fail(Console &console, const String &file, const String &cause)
		{
			console.err("zbk: " + file.ToUTF8() + ": " + cause.ToUTF8() + "\n");

			return ExitFailure;
		}

		String LastCause(Int code)
		{
			if (code == 0) return "unknown error";

			return System::System::GetErrorText(code);
		}

		String CannotWrite(Int code)
		{
			return String("cannot write (").Append(LastCause(code)).Append(")");
		}

		String Cause(ZBK::Status status, Int systemError)
		{
			String text = ZBK::StatusText(status);

			if (systemError != 0) text.Append(" (").Append(LastCause(systemError)).Append(")");

			return text;
		}

		bool OpenArchive(Console &console, const String &path, ZBK::Archive &archive, bool forWriting)
		{
			if (!archive.Open(path) || archive.GetLastStatus() != ZBK::Status::Ok)
			{
				Fail(console, path, Cause(archive.GetLastStatus(), archive.GetLastSystemError()));

				return false;
			}

			if (forWriting && archive.IsReadOnly())
			{
				Fail(console, path, ZBK::StatusText(ZBK::Status::ReadOnly));

				return false;
			}

			return true;
		}

		String StructureProblem(const ZBK::Archive &archive, const String &path)
		{
			Int chunks = archive.GetNumberOfChunks();

			for (Int i = 1; i <= chunks; i++)
			{
				if (archive.GetChunk(i)->IsDamaged()) return String("chunk ").Append(String::FromInt(i)).Append(" is damaged (its payload does not match its table)");
			}

			Int64 end  = 3;
			Int64 size = File(path).GetFileSize();

			if (chunks > 0) end = archive.GetChunk(chunks)->GetPayloadOffset() + archive.GetChunk(chunks)->GetCompressedSize();

			// One stray byte after the last chunk is tolerated by every reader.
			if (end < size - 1 && chunks == 0) return "damaged: what follows the magic is not a valid chunk";
			if (end < size - 1)		   return String("damaged after chunk ").Append(String::FromInt(chunks)).Append(": the rest of the file is not a valid chunk");

			return String();
		}

		bool Select(Console &console, const ZBK::Archive &archive, const String &archivePath, const std::vector<String> &wanted, std::vector<Int> &selected)
		{
			Int			 count = archive.GetNumberOfFiles();
			std::vector<bool>	 chosen(count, false);
			bool			 ok    = true;

			for (const String &want : wanted)
			{
				String name   = ZBK::NormaliseName(want);
				String folder = Path::EndsWithSeparator(name) ? name : String(name).Append("/");
				bool   found  = false;

				for (Int n = 0; n < count; n++)
				{
					String entry = archive.GetFileName(n);

					if (entry == name || entry.StartsWith(folder)) { chosen[n] = true; found = true; }
				}

				if (!found) { Fail(console, archivePath, String("\"").Append(want).Append("\" is not in the archive")); ok = false; }
			}

			for (Int n = 0; n < count; n++) if (chosen[n]) selected.push_back(n);

			return ok;
		}

		void ProgressRoute::Attach(ZBK::Archive &archive)
		{
			archive.onProgress.Connect(std::function<void(Int)>([this](Int value) { if (sink) sink(value); }));
		}
	}
}
