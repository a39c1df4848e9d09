// `zbk add ARCHIVE [--as NAME] PATH`
#include "command_line.h"
#include "folder_walk.h"
#include "tool_internal.h"

#include <unordered_map>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		int RunAdd(const CommandLine &line, Console &console, const Settings &)
		{
			if (line.positional.size() != 2) return UsageError(console, "add: needs an archive and one path");

			const String &archivePath = line.positional[0];
			const String &path	  = line.positional[1];
			String	      name;

			if (!RelativeName(line.haveAs ? line.as : path, name) || name == 0)
			{
				if (line.haveAs) return Fail(console, line.as, "not a safe entry name");

				return Fail(console, path, "not a relative path; give its name in the archive with --as");
			}

			ZBK::Archive archive;

			if (!OpenArchive(console, archivePath, archive, true)) return ExitFailure;

			Inputs inputs;

			if (!Gather(console, path, name, inputs) || !Prepare(console, inputs)) return ExitFailure;

			// Which of the new names are listed already. A folder that is listed
			// only gains new entries below it; a file may not be added twice.
			std::unordered_map<std::string, size_t> wanted;
			std::vector<bool>			 listed(inputs.list.size(), false);
			bool					 ok = true;

			for (size_t i = 0; i < inputs.list.size(); i++) wanted[inputs.list[i].name] = i;

			for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
			{
				auto found = wanted.find(archive.GetFileName(n).ToUTF8());

				if (found != wanted.end()) listed[found->second] = true;
			}

			Inputs fresh;

			fresh.roots = inputs.roots;

			for (size_t i = 0; i < inputs.list.size(); i++)
			{
				const Input &input = inputs.list[i];

				if (!listed[i])		{ fresh.list.push_back(input); continue; }
				if (input.folder)	continue;

				Fail(console, archivePath, String("\"").Append(String::FromUTF8(input.name)).Append("\" is already in the archive"));
				ok = false;
			}

			if (!ok) return ExitFailure;
			if (fresh.list.empty()) return ExitOK;

			ProgressRoute route;
			Int64	      total = fresh.SumSizes(0, fresh.list.size());
			ProgressBar   bar(console, "add", total);
			size_t	      failed = 0;

			route.Attach(archive);
			route.sink = [&](Int value) { bar.Update(total * value / 1000); };

			if (!AddInputs(archive, fresh, 0, fresh.list.size(), failed)) return FailToAdd(console, fresh, failed);

			// Only the new chunk is written, after the archive's last one.
			if (!archive.Write(String()))
			{
				Int code = System::System::GetLastErrorCode();

				bar.Finish();

				return ExplainWriteFailure(console, archivePath, fresh, 0, fresh.list.size(), code);
			}

			bar.Finish();

			return ExitOK;
		}
	}
}
