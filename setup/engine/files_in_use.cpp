#include "files_in_use.h"

#include "command_line.h"
#include "installed_layout.h"
#include "upgrade.h"

#include <archive.h>

using namespace smooth;

using smooth::Path::Join;

namespace
{
	// Collects existing paths once each, in the order they come.
	class PathList
	{
		public:
			void Add(const String &path)
			{
				if (!keys.insert(Tolvane::PathKey(path)).second) return;

				if (File(path).Exists()) paths.push_back(path);
			}

			// Marks path as met without listing it.
			void Skip(const String &path) { keys.insert(Tolvane::PathKey(path)); }

			std::vector<String>	 paths;
		private:
			std::set<std::wstring>	 keys;
	};
}

std::vector<String> Tolvane::FilesTheRunChanges(const Configuration &config, const InstallChoices &choices)
{
	String		 target = Directory(choices.targetFolder, String()).GetPath();
	PathList	 list;

	/* The uninstaller, its library and its script are copied before they
	 * are replaced and stay where they are: the uninstaller may run at any
	 * moment of a run, and is no reason to ask.
	 */
	list.Skip(Join(Join(target, Layout::UninstallFolder), Layout::UninstallerName));
	list.Skip(Join(Join(target, Layout::UninstallFolder), Layout::LibraryName));
	list.Skip(Join(Join(target, Layout::UninstallFolder), Layout::ScriptName));

	for (Int i = 0; i < config.uninstallFiles.Length(); i++) list.Skip(Join(target, config.uninstallFiles.GetNth(i)));

	for (Int i = 0; i < config.components.Length(); i++)
	{
		const Component	*component = config.components.GetNth(i);

		if (!choices.IsSelected(i)) continue;
		if (component->subdir != "." && component->subdir != 0 && !ZBK::IsSafeName(component->subdir)) continue;

		String		 folder = component->subdir != "." && component->subdir != 0 ? Join(target, component->subdir) : target;
		ZBK::Archive	 archive;

		if (!archive.Open(component->archive)) continue;

		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			String	 name = archive.GetFileName(n);

			if (ZBK::IsSafeName(name)) list.Add(Join(folder, name));
		}
	}

	if (config.copySmoothDll) list.Add(Join(target, Layout::LibraryName));

	ScriptContents	 earlier;

	if (ReadUninstallScript(Join(Join(target, Layout::UninstallFolder), Layout::ScriptName), earlier) && earlier.application == config.appName)
	{
		for (const String &file : earlier.removal.files) if (IsBelow(file, target)) list.Add(file);
	}

	return list.paths;
}

std::vector<String> Tolvane::FilesTheRemovalDeletes(const RemovalList &removal)
{
	PathList	 list;

	for (const String &file : removal.files) list.Add(file);

	return list.paths;
}

std::set<std::wstring> Tolvane::InUseKeys(const std::vector<FileInUse> &uses)
{
	std::set<std::wstring>	 keys;

	for (const FileInUse &use : uses) keys.insert(PathKey(use.path));

	return keys;
}

String Tolvane::DescribeFilesInUse(const std::vector<FileInUse> &uses, Int shown)
{
	std::vector<String>		 programs;
	std::vector<std::vector<String>> files;

	for (const FileInUse &use : uses)
	{
		String	 program = use.program != 0 ? use.program : String("Unknown program");
		size_t	 p	 = 0;

		while (p < programs.size() && programs[p] != program) p++;

		if (p == programs.size()) { programs.push_back(program); files.emplace_back(); }

		files[p].push_back(use.path);
	}

	String	 text;

	for (size_t p = 0; p < programs.size(); p++)
	{
		if (p > 0) text.Append("\n");

		text.Append(programs[p]).Append(":");

		for (size_t f = 0; f < files[p].size() && f < size_t(shown); f++) text.Append(f == 0 ? " " : ", ").Append(files[p][f]);

		if (files[p].size() > size_t(shown)) text.Append(" and ").Append(String::FromInt(Int64(files[p].size()) - shown)).Append(" more");
	}

	return text;
}

String Tolvane::BesideName(const String &path, const std::function<bool(const String &)> &exists)
{
	String	 name = String(path).Append(".new");

	for (Int n = 2; exists(name); n++) name = String(path).Append(".new").Append(String::FromInt(n));

	return name;
}

Int Tolvane::SilentExitCode(bool failed, bool restartNeeded)
{
	if (failed)	   return EXIT_FAILED;
	if (restartNeeded) return EXIT_RESTART;

	return EXIT_OK;
}

bool Tolvane::InstallRun::WriteAtRestart(const String &destination, const std::function<bool(const String &)> &write)
{
	if (replaceAtRestart.empty() || replaceAtRestart.count(PathKey(destination)) == 0) return false;

	/* The held file stays as it is; the new one goes on record like any
	 * file this run makes, so that taking the run back removes it.
	 */
	String	 beside = BesideName(destination, [](const String &path) { return File(path).Exists(); });

	if (!Prepare(beside)) return true;

	if (!write(beside))
	{
		Fail(beside, "cannot write the new version of a file in use");
		transaction.PutBack(beside);

		return true;
	}

	if (!system.ReplaceAtRestart(beside, destination))
	{
		Fail(destination, "in use, and the system does not take its replacement at restart");

		return true;
	}

	restartWork.push_back(destination);

	Note("replaced at restart", String(destination).Append(" by ").Append(beside));

	return true;
}

bool Tolvane::InstallRun::RemoveAtRestart(const String &path)
{
	if (replaceAtRestart.empty() || replaceAtRestart.count(PathKey(path)) == 0) return false;

	removalsAtRestart.push_back(path);

	return true;
}

void Tolvane::InstallRun::ScheduleRemovals()
{
	for (const String &path : removalsAtRestart)
	{
		if (!system.DeleteAtRestart(path)) { Fail(path, "in use, and the system does not take its deletion at restart"); continue; }

		restartWork.push_back(path);

		Note("removed at restart", path);
	}

	removalsAtRestart.clear();
}
