#include "install_run.h"

#include "install_target.h"
#include "upgrade.h"

#include <archive.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <functional>
#include <memory>
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
	: config(config), choices(choices), system(system), fileBar(fileBar), totalBar(totalBar),
	  transaction([&system](const String &name, RegistrySnapshot &snapshot) { return system.ReadUninstallEntry(name, snapshot); })
{
}

Tolvane::InstallRun::~InstallRun()
{
	if (transaction.IsActive()) Commit();
}

bool Tolvane::InstallRun::Prepare(const String &path, bool keepInPlace)
{
	if (!transaction.IsActive() || transaction.MakeRoomFor(path, keepInPlace)) return true;

	Fail(path, transaction.GetCause());

	return false;
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

	/* The uninstaller's folder may have been made for the run's journal
	 * just before: it is still new to the installation.
	 */
	bool		 madeForRun = transaction.MadeFolder(path);

	if (!folder.Exists() || madeForRun)
	{
		script.RecordDirectory(path);
		Note("folder", path);

		if (!madeForRun && transaction.IsActive() && !transaction.WillMakeFolder(path))
		{
			Fail(path, transaction.GetCause());

			return false;
		}
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

	if (!transaction.WillChangeRegistry(GetEntryName(config.appName)))
	{
		Fail(UninstallKey(GetEntryName(config.appName)), transaction.GetCause());

		return;
	}

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

	/* A run killed here before left the folder half old, half new: the old
	 * installation comes back first.
	 */
	std::unique_ptr<JournalUndo>	 recoveryUndo	  = MakeUndo();
	Int				 recoveryFailures = 0;
	Recovery			 recovery	  = RecoverRun(target, *recoveryUndo, recoveryFailures);

	if (recovery == Recovery::TakenBack) Note("taken back an unfinished run in", target);
	if (recoveryFailures != 0) Fail(JournalOf(target), String::FromInt(recoveryFailures).Append(" steps of an unfinished run could not be taken back"));

	if (recovery == Recovery::Refused)
	{
		Fail(JournalOf(target), "the journal of a run in another folder; nothing installed");

		return Success();
	}

	/* Over an earlier installation of this product, its script says what
	 * it had; another product's installation is not ours to change.
	 */
	ScriptContents	 earlier;
	String		 earlierScript = InUninstallFolder(target, Tolvane::Layout::ScriptName);
	bool		 upgrade       = File(earlierScript).Exists() && ReadUninstallScript(earlierScript, earlier);

	if (upgrade && earlier.application != config.appName)
	{
		TargetCheck	 check;

		check.verdict = TargetCheck::Verdict::OtherProduct;
		check.other   = earlier.application != 0 ? earlier.application : String("another program");

		Fail(target, check.Text(config.appName, target));

		return Success();
	}

	if (upgrade) Note("over the earlier installation of", earlierScript);

	/* The target and the parents Create makes with it go on record once
	 * the journal exists, which needs the target.
	 */
	std::vector<String>	 missing;

	for (String folder = target; folder != 0 && !Directory(folder, String()).Exists(); )
	{
		missing.insert(missing.begin(), folder);

		Int	 last = Path::LastNativeSeparator(folder);

		folder = last > 0 ? folder.Head(last) : String();
	}

	if (!MakeFolder(script, target)) return Success();

	transaction.SetChangeHook(onChange);

	if (transaction.Begin(target, missing) != Success())
	{
		Fail(target, transaction.GetCause());

		return Success();
	}

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

		if (registering) script.RecordRegistryKey(UninstallKey(entry));

		MakeFolder(script, folder);

		/* The list of installed programs starts the uninstaller in a folder
		 * of its own, where the loader would not find the platform library
		 * beside the installed files: it gets a copy beside itself.
		 */
		if (registering && libraryInstalled)
		{
			String	 library = InUninstallFolder(target, Tolvane::Layout::LibraryName);

			script.RecordFile(library);

			if (!Prepare(library, true)) { }
			else if (File(Join(target, Tolvane::Layout::LibraryName)).Copy(File(library)) != Success()) Fail(library, Because("cannot copy the platform library"));
			else												Note("file", library);
		}

		script.RecordFile(file);

		SaveScript(script, earlier.removal, upgrade);

		if (registering) Register(file);
	}

	if (failures.empty() && Commit() != Success()) Fail(JournalOf(target), transaction.GetCause());

	if (failures.empty()) ScheduleRemovals();

	return Success();
}

namespace
{
	// Takes a run back and says so in the run's log, step by step.
	class RunUndo : public Tolvane::FileSystemUndo
	{
		public:
			RunUndo(Tolvane::SystemInterface &system, std::function<void(const String &, const String &)> note)
				: FileSystemUndo([&system](const String &name, const Tolvane::RegistrySnapshot &snapshot) { return system.RestoreUninstallEntry(name, snapshot); }),
				  note(std::move(note)) { }

			bool RemoveFile(const String &path) override			{ return Noted(FileSystemUndo::RemoveFile(path), "removed", path); }
			bool RemoveFolder(const String &path) override			{ return Noted(FileSystemUndo::RemoveFolder(path), "removed folder", path); }
			bool MakeFolder(const String &path) override			{ return Noted(FileSystemUndo::MakeFolder(path), "made again", path); }
			bool Restore(const String &copy, const String &path) override	{ return File(copy).Exists() ? Noted(FileSystemUndo::Restore(copy, path), "restored", path) : true; }
			bool RestoreRegistry(const String &name, const String &copy) override { return Noted(FileSystemUndo::RestoreRegistry(name, copy), "restored registration", name); }
		private:
			bool Noted(bool done, const char *what, const String &path)
			{
				note(done ? String(what) : String("FAILED to take back"), path);

				return done;
			}

			std::function<void(const String &, const String &)> note;
	};
}

std::unique_ptr<Tolvane::JournalUndo> Tolvane::InstallRun::MakeUndo()
{
	return std::unique_ptr<JournalUndo>(new RunUndo(system, [this](const String &what, const String &path) { Note(what, path); }));
}

Int Tolvane::InstallRun::TakeBack()
{
	if (!transaction.IsActive()) return 0;

	Int		 failed = transaction.TakeBack(*MakeUndo());

	Note(failed == 0 ? "taken back" : String("taken back, ").Append(String::FromInt(failed)).Append(" steps could not be undone:"), target);

	return failed;
}

Int Tolvane::InstallRun::Commit()
{
	if (!transaction.IsActive()) return Success();

	return transaction.Commit();
}

void Tolvane::InstallRun::SaveScript(UninstallScript &script, const RemovalList &earlier, bool upgrade)
{
	String				 file = InUninstallFolder(target, Tolvane::Layout::ScriptName);
	UninstallScript			*saved = &script;
	std::unique_ptr<UninstallScript> merged;

	if (upgrade)
	{
		std::vector<String>	 kept;

		for (Int i = 0; i < config.uninstallFiles.Length(); i++) kept.push_back(Join(target, config.uninstallFiles.GetNth(i)));

		UpgradePlan	 plan = PlanUpgrade(earlier, GetScriptEntries(script), kept);

		/* An earlier script is the installation folder's to edit, not
		 * ours to trust: only what lies in the installation folder, and
		 * shortcuts with the folders that held them, go.
		 */
		std::vector<String>	 links;

		for (const String &path : plan.leftovers.files) if (IsShortcutFile(path)) links.push_back(path);

		auto	 Ours = [&](const String &path, bool folder)
		{
			if (IsBelow(path, target)) return true;
			if (!folder) return std::find(links.begin(), links.end(), path) != links.end();

			for (const String &link : links) if (IsBelow(link, path)) return true;

			return false;
		};

		/* A run with failures may yet be kept as it is: then nothing of the
		 * earlier installation is removed, and the script goes on listing
		 * it for the uninstaller.
		 */
		if (failures.empty())
		{
			for (size_t i = plan.leftovers.files.size(); i-- > 0; )
			{
				const String	&path = plan.leftovers.files[i];

				if (!Ours(path, false)) { Note("kept (not in the installation folder)", path); continue; }

				if (RemoveAtRestart(path)) continue;

				if (transaction.RemoveFile(path)) Note("removed", path);
				else				  Fail(path, transaction.GetCause());
			}

			for (size_t i = plan.leftovers.folders.size(); i-- > 0; )
			{
				const String	&path = plan.leftovers.folders[i];

				if (!Ours(path, true)) continue;

				if (!transaction.RemoveEmptyFolder(path)) Fail(path, transaction.GetCause());
			}

			for (const String &key : plan.leftovers.registryKeys)
			{
				String	 name = UninstallEntryName(key);

				if (name == 0) continue;

				if (!transaction.WillChangeRegistry(name)) Fail(key, transaction.GetCause());
				else if (!system.DeleteUninstallEntry(name)) Fail(key, "cannot remove the registration");
				else Note("unregistered", key);
			}
		}
		else
		{
			std::vector<ScriptEntry>	 listed;

			for (const String &folder : plan.leftovers.folders) listed.push_back({ ScriptEntry::Kind::Folder, folder });

			listed.insert(listed.end(), plan.script.begin(), plan.script.end());

			for (const String &path : plan.leftovers.files) listed.push_back({ ScriptEntry::Kind::File, path });
			for (const String &key : plan.leftovers.registryKeys) listed.push_back({ ScriptEntry::Kind::RegistryKey, key });

			plan.script.swap(listed);
		}

		merged.reset(new UninstallScript(config.appName, config.appVersion));

		for (const ScriptEntry &entry : plan.script)
		{
			if	(entry.kind == ScriptEntry::Kind::Folder) merged->RecordDirectory(entry.path);
			else if (entry.kind == ScriptEntry::Kind::File)	  merged->RecordFile(entry.path);
			else						  merged->RecordRegistryKey(entry.path);
		}

		saved = merged.get();
	}

	/* The registered uninstaller must find a whole script at every moment:
	 * the new one is written beside it and takes its name in one step.
	 */
	String	 part = String(file).Append(".part");

	if (!Prepare(file, true) || !Prepare(part)) return;

	if (saved->Save(part) != Success() || File(part).Replace(File(file)) != Success())
	{
		File(part).Delete();
		Fail(file, Because("cannot save the uninstall script"));

		return;
	}

	Note("uninstall script", file);
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

		/* The run turns each name into paths (its folders and the file), so
		 * the run checks it, once, before any of them exists; the archive
		 * writes where it is told. A hostile name (absolute, a drive, "..",
		 * a device, a stream) must not become a path at all: no folder for
		 * its prefixes, nothing written. The journal learns every file of
		 * the archive at once, and the disk is waited for once.
		 */
		Int			 count = archive.GetNumberOfFiles();
		std::vector<String>	 names(static_cast<size_t>(count > 0 ? count : 0));
		std::vector<String>	 destinations;

		for (Int n = 0; n < count; n++)
		{
			names[size_t(n)] = archive.GetFileName(n);

			if (ZBK::IsSafeName(names[size_t(n)])) destinations.push_back(Join(folder, names[size_t(n)]));
			else				       names[size_t(n)] = String();
		}

		if (transaction.IsActive() && !transaction.WillWriteFiles(destinations))
		{
			Fail(component->archive, transaction.GetCause());

			count = 0;
		}

		/* Entries come folder by folder, so most share their folders with
		 * the entry before: those exist already and are not walked again.
		 */
		entryFolders.clear();

		for (Int n = 0, d = 0; n < count; n++)
		{
			const String	&name = names[size_t(n)];

			if (name == 0)
			{
				Fail(String(component->archive).Append(": ").Append(archive.GetFileName(n)), ZBK::StatusText(ZBK::Status::UnsafeName));

				continue;
			}

			MakeEntryFolders(script, folder, name);

			const String	&destination = destinations[size_t(d++)];

			script.RecordFile(destination);

			/* The installed uninstaller stays startable while it is replaced. */
			bool	 uninstaller = component->subdir == "." && IsUninstaller(name);

			/* Most files of an upgrade are the earlier version's, byte for
			 * byte. Such a file is left as it is: nothing to keep aside,
			 * nothing to write or to take back, and it keeps its times.
			 * Comparing costs a read where replacing costs a new file, a
			 * rename and a deletion at the end.
			 */
			if (transaction.IsUntouchedEarlierFile(destination) && archive.HoldsEntry(n, destination))
			{
				installedBytes += archive.GetFileSize(n);

				Note("unchanged", destination);

				if (uninstaller) uninstallerInstalled = true;

				continue;
			}

			if (WriteAtRestart(destination, [&](const String &beside) { return archive.ExtractEntry(n, beside) && (installedBytes += archive.GetFileSize(n), true); })) continue;

			if (!Prepare(destination, uninstaller)) continue;

			/* A path the system cannot make (too long a name, say) fails here
			 * like any other write.
			 */
			if (!archive.ExtractEntry(n, destination))
			{
				Fail(destination, ZBK::StatusText(archive.GetLastStatus()));
				transaction.PutBack(destination);

				continue;
			}

			installedBytes += archive.GetFileSize(n);

			Note("file", destination);

			if (uninstaller) uninstallerInstalled = true;
		}
	}

	totalBar.SetValue(TotalAfterComponent(index, components, libraryCopies));
}

void Tolvane::InstallRun::CopyLibrary(UninstallScript &script, Int components)
{
	fileBar.SetValue(0);

	String		 destination = Join(target, Tolvane::Layout::LibraryName);

	script.RecordFile(destination);

	if (WriteAtRestart(destination, [&](const String &beside) { return File(librarySource).Copy(File(beside)) == Success() && (libraryInstalled = true); })) return;

	if (!Prepare(destination)) return;

	IO::InStream	 source(IO::STREAM_FILE, librarySource, IO::IS_READ_ONLY);
	IO::OutStream	 output(IO::STREAM_FILE, destination, IO::OS_REPLACE);
	Int64		 size = source.Size();

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

		if (!Prepare(path)) continue;

		String	 cause = system.CreateShellLink(Join(target, link->file), path, target);

		if (cause != 0) { Fail(path, cause); transaction.PutBack(path); }
		else		Note("shortcut", path);
	}

	return Success();
}
