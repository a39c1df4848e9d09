// The installation run's side of files in use: which files a run would
// change, and writing or removing them at the system's restart.
#include "files_in_use.h"

#include "install_run.h"
#include "installed_layout.h"
#include "upgrade.h"

#include <archive.h>

using namespace smooth;

using smooth::Path::Join;

namespace
{
	// Calls visit with every marked component's archive, opened, and the
	// folder its entries go to.
	void ForEachMarkedArchive(const Tolvane::Configuration &config, const Tolvane::InstallChoices &choices, const String &target, const std::function<void(ZBK::Archive &, const String &)> &visit)
	{
		for (Int i = 0; i < config.components.Length(); i++)
		{
			const Tolvane::Component *component = config.components.GetNth(i);

			if (!choices.IsSelected(i)) continue;
			if (component->subdir != "." && component->subdir != 0 && !ZBK::IsSafeName(component->subdir)) continue;

			ZBK::Archive	 archive;

			if (archive.Open(component->archive)) visit(archive, component->subdir != "." && component->subdir != 0 ? Join(target, component->subdir) : target);
		}
	}
}

std::vector<String> Tolvane::FilesTheRunChanges(const Configuration &config, const InstallChoices &choices)
{
	String			 target = Directory(choices.targetFolder, String()).GetPath();
	String			 own	= Join(target, Layout::UninstallFolder);
	std::vector<String>	 candidates;

	/* The uninstaller, its library and its script are copied before they
	 * are replaced and stay where they are: the uninstaller may run at any
	 * moment of a run, and is no reason to ask.
	 */
	std::vector<String>	 skipped = { Join(own, Layout::UninstallerName), Join(own, Layout::LibraryName), Join(own, Layout::ScriptName) };

	for (Int i = 0; i < config.uninstallFiles.Length(); i++) skipped.push_back(Join(target, config.uninstallFiles.GetNth(i)));

	ForEachMarkedArchive(config, choices, target, [&candidates](ZBK::Archive &archive, const String &folder)
	{
		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			String	 name = archive.GetFileName(n);

			if (ZBK::IsSafeName(name)) candidates.push_back(Join(folder, name));
		}
	});

	if (config.copySmoothDll) candidates.push_back(Join(target, Layout::LibraryName));

	ScriptContents	 earlier;

	if (ReadUninstallScript(Join(own, Layout::ScriptName), earlier) && earlier.application == config.appName)
	{
		for (const String &file : earlier.removal.files) if (IsBelow(file, target)) candidates.push_back(file);
	}

	return ExistingFilesOnce(candidates, skipped);
}

std::vector<Tolvane::FileInUse> Tolvane::WithoutUnchanged(const std::vector<FileInUse> &uses, const Configuration &config, const InstallChoices &choices)
{
	if (uses.empty()) return uses;

	std::set<std::wstring>	 held = InUseKeys(uses);
	std::set<std::wstring>	 unchanged;

	ForEachMarkedArchive(config, choices, Directory(choices.targetFolder, String()).GetPath(), [&](ZBK::Archive &archive, const String &folder)
	{
		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			String	 name = archive.GetFileName(n);

			if (!ZBK::IsSafeName(name)) continue;

			String	 path = Join(folder, name);

			if (held.count(PathKey(path)) != 0 && archive.HoldsEntry(n, path)) unchanged.insert(PathKey(path));
		}
	});

	std::vector<FileInUse>	 left;

	for (const FileInUse &use : uses) if (unchanged.count(PathKey(use.path)) == 0) left.push_back(use);

	return left;
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
