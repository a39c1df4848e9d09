#include "install_run.h"

#include <archive.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <functional>
#include <vector>

using namespace smooth;

Tolvane::InstallChoices Tolvane::DefaultChoices(const Configuration &config, SystemInterface &system)
{
	InstallChoices	 choices;

	choices.targetFolder = system.GetProgramFilesFolder().Append(config.defaultDir);

	for (Int i = 0; i < config.components.Length(); i++) choices.selected.push_back(config.components.GetNth(i)->mode != COMPONENT_OPTIONAL);

	choices.createStartMenu	  = true;
	choices.createDesktop	  = true;
	choices.createQuickLaunch = false;

	return choices;
}

Int Tolvane::TotalAfterComponent(Int index, Int components, Int libraryCopies)
{
	return Int((index + 1) * (100.0 / (components + libraryCopies)));
}

Int Tolvane::CopyBlockSize(Int64 size)
{
	if (size <= 999999) return 10000;

	return Int(size / 100);
}

String Tolvane::DescribeFailures(const std::vector<InstallFailure> &failures, Int shown)
{
	String	 text = failures.size() == 1 ? String("One step of the installation failed:\n")
					     : String(String::FromInt(Int64(failures.size()))).Append(" steps of the installation failed:\n");

	for (size_t i = 0; i < failures.size() && i < size_t(shown); i++)
	{
		text.Append("\n").Append(failures[i].path).Append("\n    ").Append(failures[i].cause);
	}

	if (failures.size() > size_t(shown)) text.Append("\n\n... and ").Append(String::FromInt(Int64(failures.size()) - shown)).Append(" more.");

	text.Append("\n\nThe program may not work as it should. Do you want Setup to take back everything it installed?");

	return text;
}

namespace
{
	// Paths are the system's own: on Windows every part is joined with '\'.
	// The portable tests run the same code with the native separator.
	String Separator()
	{
		wchar_t	 separator[2] = { System::System::PathSeparator, 0 };

		return String(separator);
	}

	String Join(const String &folder, const String &name)
	{
		return String(folder).Append(Separator()).Append(name);
	}

	// What could not be done, with the system's reason for the call that
	// just failed.
	String Because(const char *what)
	{
		Int	 code = System::System::GetLastErrorCode();

		return String(what).Append(" (").Append(code != 0 ? System::System::GetErrorText(code) : String("unknown error")).Append(")");
	}

	// The uninstaller's folder below the target, and a file in it.
	String UninstallFolder(const String &target)
	{
		return Join(target, Tolvane::Layout::UninstallFolder);
	}

	String InUninstallFolder(const String &target, const char *name)
	{
		return Join(UninstallFolder(target), name);
	}

	// A product's key in the machine's list of installed programs, as the
	// uninstall script records it (registry paths always take '\').
	String UninstallKey(const String &entry)
	{
		return String(Tolvane::Layout::UninstallKeyFull).Append("\\").Append(entry);
	}

	// Whether an entry name is the uninstaller's place below the target
	// folder (file names do not tell case apart on Windows); compared in
	// place, without a copy of the name.
	bool IsUninstaller(const String &name)
	{
		const char	*entry	= Tolvane::Layout::UninstallerEntry;
		size_t		 length = std::strlen(entry);

		if (size_t(name.Length()) != length) return false;

		for (size_t i = 0; i < length; i++)
		{
			wchar_t	 c = name[Int(i)];

			if ((c == '\\' ? L'/' : wchar_t(towlower(c))) != wchar_t(entry[i])) return false;
		}

		return true;
	}

	String Quoted(const String &text)
	{
		return String("\"").Append(text).Append("\"");
	}

	String Today()
	{
		std::time_t	 now = std::time(nullptr);
		std::tm		*local = std::localtime(&now);
		char		 text[16] = { 0 };

		if (local != nullptr) std::strftime(text, sizeof(text), "%Y%m%d", local);

		return text;
	}
}

bool Tolvane::GetQuickLaunchFolder(SystemInterface &system, String &path)
{
	String	 folder;

	if (!system.GetSpecialFolder(FOLDER_APPDATA, folder)) return false;

	path = Join(Join(Join(folder, "Microsoft"), "Internet Explorer"), "Quick Launch");

	return true;
}

Tolvane::InstallRun::InstallRun(const Configuration &config, const InstallChoices &choices, SystemInterface &system, ProgressBar &fileBar, ProgressBar &totalBar)
	: config(config), choices(choices), system(system), fileBar(fileBar), totalBar(totalBar)
{
}

void Tolvane::InstallRun::Fail(const String &path, const String &cause)
{
	failures.push_back({ path, cause });

	Note("FAILED", String(path).Append(": ").Append(cause));
}

void Tolvane::InstallRun::Note(const String &what, const String &path)
{
	if (log != nullptr) log->Write(String(what).Append(" ").Append(path));
}

bool Tolvane::InstallRun::MakeEntryFolders(UninstallScript &script, const String &folder, const String &name)
{
	const std::wstring	&text = name.WideString();
	size_t			 last = text.find_last_of(L"/\\");

	if (last == std::wstring::npos) return true;

	std::wstring_view	 parent(text.data(), last);

	if (parent == entryFolders) return true;

	/* Every level below folder, parents first: the path of the deepest is
	 * built once, and each level is a head of it.
	 */
	String	 levels = Join(folder, String(std::wstring(parent)));
	Int	 base	= levels.Length() - Int(last);

	for (Int c = base; c < levels.Length(); c++) if (levels[c] == '/' || levels[c] == '\\') levels[c] = System::System::PathSeparator;

	bool	 made = true;

	for (size_t c = 0; c <= last; c++)
	{
		if (text[c] != '/' && text[c] != '\\') continue;

		if (!MakeFolder(script, levels.Head(base + Int(c)))) made = false;
	}

	// Known only when all of them are there: a level that failed is tried
	// again for the next entry, as any folder is.
	if (made) entryFolders.assign(parent);
	else	  entryFolders.clear();

	return made;
}

bool Tolvane::InstallRun::MakeFolder(UninstallScript &script, const String &path)
{
	if (knownFolders.count(path.WideString()) != 0) return true;

	Directory	 folder(path, String());

	if (!folder.Exists())
	{
		script.RecordDirectory(path);
		Note("folder", path);
	}

	if (folder.Create() != Success() || !folder.Exists())
	{
		Fail(path, Because("cannot create the folder"));

		return false;
	}

	knownFolders.insert(path.WideString());

	return true;
}

String Tolvane::InstallRun::GetEntryName(const String &appName)
{
	String	 name = appName;

	for (Int i = 0; i < name.Length(); i++) if (name[i] == '\\' || name[i] < 32) name[i] = '_';

	return name;
}

void Tolvane::InstallRun::Register(const String &scriptFile)
{
	String		 uninstaller = InUninstallFolder(target, Tolvane::Layout::UninstallerName);
	UninstallEntry	 entry;
	Int64		 scriptSize = File(scriptFile).GetFileSize();
	Int64		 library    = libraryInstalled ? File(InUninstallFolder(target, Tolvane::Layout::LibraryName)).GetFileSize() : 0;
	Int64		 bytes	    = installedBytes + (scriptSize > 0 ? scriptSize : 0) + (library > 0 ? library : 0);

	entry.displayName	   = config.appName;
	entry.displayVersion	   = config.appVersion;
	entry.publisher		   = config.companyName;
	entry.installLocation	   = target;
	entry.uninstallString	   = Quoted(uninstaller);
	entry.quietUninstallString = String(Quoted(uninstaller)).Append(" /S");
	entry.displayIcon	   = uninstaller;
	entry.installDate	   = installDate != 0 ? installDate : Today();
	entry.estimatedSize	   = UnsignedInt((bytes + 1023) / 1024);

	String	 cause = system.WriteUninstallEntry(GetEntryName(config.appName), entry);

	if (cause != 0) Fail(UninstallKey(GetEntryName(config.appName)), cause);
	else		Note("registered", UninstallKey(GetEntryName(config.appName)));
}

Int Tolvane::InstallRun::Run()
{
	target = Directory(choices.targetFolder, String()).GetPath();

	Int	 components    = config.components.Length();
	Int	 libraryCopies = config.copySmoothDll ? 1 : 0;

	UninstallScript	 script(config.appName, config.appVersion);

	Note("installing", String(config.appName).Append(" ").Append(config.appVersion).Append(" into ").Append(target));

	/* Installing over an earlier installation (a newer version, say): the
	 * folders it made exist now and would not be recorded again, and files
	 * it had that this version lacks would be forgotten. Its script's
	 * entries go first into ours, so the uninstaller removes both.
	 */
	RemovalList	 earlier;
	String		 earlierScript = InUninstallFolder(target, Tolvane::Layout::ScriptName);

	if (ReadRemovalList(earlierScript, earlier))
	{
		for (const String &folder : earlier.folders) script.RecordDirectory(folder);
		for (const String &file : earlier.files)     script.RecordFile(file);
		for (const String &key : earlier.registryKeys) script.RecordRegistryKey(key);

		Note("taken over from the earlier installation:", earlierScript);
	}

	MakeFolder(script, target);

	for (Int i = 0; i < components; i++)
	{
		if (!choices.IsSelected(i)) continue;

		InstallComponent(script, i, components, libraryCopies);
	}

	if (libraryCopies == 1) CopyLibrary(script, components);

	CreateLinks(script);

	if (config.createLog)
	{
		for (Int i = 0; i < config.uninstallFiles.Length(); i++) script.RecordFile(Join(target, config.uninstallFiles.GetNth(i)));

		String	 folder = UninstallFolder(target);
		String	 file	= InUninstallFolder(target, Tolvane::Layout::ScriptName);
		String	 entry	= GetEntryName(config.appName);

		/* With an uninstaller and a script to drive it, the product goes into
		 * the machine's list of installed programs; the script names the
		 * entry so that the uninstaller takes it out again.
		 */
		bool	 registering = uninstallerInstalled && entry != 0;

		String	 key = UninstallKey(entry);

		if (registering && std::find(earlier.registryKeys.begin(), earlier.registryKeys.end(), key) == earlier.registryKeys.end()) script.RecordRegistryKey(key);

		MakeFolder(script, folder);

		/* The list of installed programs starts the uninstaller in a folder
		 * of its own, where the loader would not find the platform library
		 * beside the installed files: it gets a copy beside itself.
		 */
		if (registering && libraryInstalled)
		{
			String	 library = InUninstallFolder(target, Tolvane::Layout::LibraryName);

			script.RecordFile(library);

			if (File(Join(target, Tolvane::Layout::LibraryName)).Copy(File(library)) != Success()) Fail(library, Because("cannot copy the platform library"));
			else										   Note("file", library);
		}

		script.RecordFile(file);

		if (script.Save(file) != Success()) Fail(file, Because("cannot save the uninstall script"));
		else				    Note("uninstall script", file);

		if (registering) Register(file);
	}

	/* An undo takes back this run's own work, not the earlier installation
	 * it went over.
	 */
	recorded = GetRemovalList(script);

	recorded.folders.erase(recorded.folders.begin(), recorded.folders.begin() + earlier.folders.size());
	recorded.files.erase(recorded.files.begin(), recorded.files.begin() + earlier.files.size());
	recorded.registryKeys.erase(recorded.registryKeys.begin(), recorded.registryKeys.begin() + earlier.registryKeys.size());

	return Success();
}

Int Tolvane::UndoInstallation(const RemovalList &recorded, SystemInterface &system)
{
	Remover	 remover;
	Int	 stayed = RunRemoval(recorded, remover);

	for (const String &key : recorded.registryKeys)
	{
		String	 name = UninstallEntryName(key);

		if (name != 0 && !system.DeleteUninstallEntry(name)) stayed++;
	}

	return stayed;
}

void Tolvane::InstallRun::InstallComponent(UninstallScript &script, Int index, Int components, Int libraryCopies)
{
	const Component	*component = config.components.GetNth(index);
	String		 folder	   = target;

	/* A component's folder is a folder below the target, as the script
	 * promises the user; one that leaves it ("..", a drive, an absolute
	 * path) would spread files over the machine. Nothing of it installs.
	 */
	if (component->subdir != "." && component->subdir != 0 && !ZBK::IsSafeName(component->subdir))
	{
		Fail(String("component ").Append(component->id).Append(": folder ").Append(component->subdir), "not a folder below the installation folder; not installed");
		totalBar.SetValue(TotalAfterComponent(index, components, libraryCopies));

		return;
	}

	if (component->subdir != "." && component->subdir != 0)
	{
		folder = Join(target, component->subdir);

		MakeFolder(script, folder);
	}

	{
		ZBK::Archive	 archive;

		archive.Open(component->archive);

		/* A file that is not there or not an archive opens as an archive
		 * without entries; the component then installs nothing, which the
		 * user must hear about.
		 */
		if (archive.GetLastStatus() != ZBK::Status::Ok) Fail(component->archive, ZBK::StatusText(archive.GetLastStatus()));
		else						Note("component", String(component->id).Append(" from ").Append(component->archive));

		// The archive reports thousandths of each extraction; our bar shows
		// whole percents.
		archive.onProgress.Connect(std::function<void(Int)>([this](Int value) { fileBar.SetValue(value / 10); }));

		/* Entries come folder by folder, so most share their folders with
		 * the entry before: those exist already and are not walked again.
		 */
		entryFolders.clear();

		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			String	 name = archive.GetFileName(n);

			/* The run turns the name into paths (its folders and the file), so
			 * the run checks it, once, before any of them exists; the archive
			 * writes where it is told. A hostile name (absolute, a drive, "..",
			 * a device, a stream) must not become a path at all: no folder for
			 * its prefixes, nothing written.
			 */
			if (!ZBK::IsSafeName(name))
			{
				Fail(String(component->archive).Append(": ").Append(name), ZBK::StatusText(ZBK::Status::UnsafeName));

				continue;
			}

			MakeEntryFolders(script, folder, name);

			String	 destination = Join(folder, name);

			script.RecordFile(destination);

			/* A path the system cannot make (too long a name, say) fails here
			 * like any other write.
			 */
			if (!archive.ExtractEntry(n, destination))
			{
				Fail(destination, ZBK::StatusText(archive.GetLastStatus()));

				continue;
			}

			installedBytes += archive.GetFileSize(n);

			Note("file", destination);

			if (component->subdir == "." && IsUninstaller(name)) uninstallerInstalled = true;
		}
	}

	totalBar.SetValue(TotalAfterComponent(index, components, libraryCopies));
}

void Tolvane::InstallRun::CopyLibrary(UninstallScript &script, Int components)
{
	fileBar.SetValue(0);

	String		 destination = Join(target, Tolvane::Layout::LibraryName);
	IO::InStream	 source(IO::STREAM_FILE, librarySource, IO::IS_READ_ONLY);
	IO::OutStream	 output(IO::STREAM_FILE, destination, IO::OS_REPLACE);
	Int64		 size = source.Size();

	script.RecordFile(destination);

	/* An unreadable source reports its size as -1: nothing may be read or
	 * written with that, and an empty copy is no copy.
	 */
	if (source.GetLastError() != IO::IO_ERROR_OK || size < 0)
	{
		Fail(librarySource, Because("cannot read the platform library"));

		return;
	}

	if (output.GetLastError() != IO::IO_ERROR_OK)
	{
		Fail(destination, Because("cannot write the platform library"));

		return;
	}

	Int			 block = CopyBlockSize(size);
	std::vector<char>	 buffer(static_cast<size_t>(block));
	double			 share = 100.0 / (components + 1);
	double			 base  = components * share;
	double			 scale = 1.0 / (components + 1);
	Int			 last  = 0;
	Int64			 remaining = size;

	while (remaining != 0)
	{
		Int	 n = Int(remaining < block ? remaining : block);

		if (source.InputData(buffer.data(), n) != n || output.OutputData(buffer.data(), n) != Success())
		{
			Fail(destination, Because("cannot copy the platform library"));

			return;
		}

		remaining -= n;

		Int	 percent = Int((size - remaining) * 100.0 / size);

		if (percent != last)
		{
			fileBar.SetValue(percent);
			totalBar.SetValue(Int(percent * scale + base));
		}

		last = percent;
	}

	if (output.Close() != Success()) { Fail(destination, Because("cannot write the platform library")); return; }

	installedBytes	 += size;
	libraryInstalled  = true;

	Note("file", destination);
}

bool Tolvane::InstallRun::LinkAllowed(const Link &link) const
{
	for (Int i = 0; i < config.components.Length(); i++)
	{
		const Component	*component = config.components.GetNth(i);

		if (component->id != 0 && component->id == link.depends && !choices.IsSelected(i)) return false;
	}

	if (link.type == LINK_STARTMENU	  && !choices.createStartMenu)	 return false;
	if (link.type == LINK_DESKTOP	  && !choices.createDesktop)	 return false;
	if (link.type == LINK_QUICKLAUNCH && !choices.createQuickLaunch) return false;

	return link.type == LINK_STARTMENU || link.type == LINK_DESKTOP || link.type == LINK_QUICKLAUNCH;
}

String Tolvane::InstallRun::LinkFolder(const Link &link, UninstallScript &script, bool &usable)
{
	bool	 nt	= system.GetPlatformId() == PLATFORM_NT;
	Int	 which	= FOLDER_APPDATA;

	if	(link.type == LINK_STARTMENU) which = nt ? FOLDER_COMMON_PROGRAMS : FOLDER_PROGRAMS;
	else if (link.type == LINK_DESKTOP)   which = nt ? FOLDER_COMMON_DESKTOP : FOLDER_DESKTOP;

	String	 folder;

	usable = link.type == LINK_QUICKLAUNCH ? GetQuickLaunchFolder(system, folder) : system.GetSpecialFolder(which, folder);

	if (!usable)
	{
		Fail(String("special folder ").Append(String::FromInt(which)), "the system does not know this folder; shortcut not created");

		return folder;
	}

	if (link.type == LINK_STARTMENU && config.startMenuSubdir != 0)
	{
		// The group is a folder of the Start menu's programs, never elsewhere.
		if (!ZBK::IsSafeName(config.startMenuSubdir))
		{
			Fail(String("Start menu group ").Append(config.startMenuSubdir), "not a folder below the Start menu's programs; shortcut not created");
			usable = false;

			return folder;
		}

		folder = Join(folder, config.startMenuSubdir);

		/* Whichever link is first, a group folder this run creates is
		 * recorded, so that the uninstaller takes it away again.
		 */
		usable = MakeFolder(script, folder);
	}

	return folder;
}

Int Tolvane::InstallRun::CreateLinks(UninstallScript &script)
{
	for (Int j = 0; j < config.links.Length(); j++)
	{
		const Link	*link = config.links.GetNth(j);

		if (!LinkAllowed(*link)) continue;

		bool	 usable = false;
		String	 folder = LinkFolder(*link, script, usable);

		if (!usable) continue;

		String	 title	= String(link->name).Replace("%VERSION%", config.appVersion);
		String	 path	= Join(folder, String(title).Append(".lnk"));

		/* The shell cannot save a longer path; a cut name would be a
		 * different file.
		 */
		if (path.Length() > MAX_LINK_PATH)
		{
			Fail(path, String("the shortcut's path is longer than ").Append(String::FromInt(MAX_LINK_PATH)).Append(" characters; not created"));

			continue;
		}

		script.RecordFile(path);

		String	 cause = system.CreateShellLink(Join(target, link->file), path, target);

		if (cause != 0) Fail(path, cause);
		else		Note("shortcut", path);
	}

	return Success();
}
