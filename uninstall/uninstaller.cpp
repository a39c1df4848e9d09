#include "uninstaller.h"

#include "install_log.h"
#include "file_bytes.h"
#include "installed_layout.h"
#include "run_transaction.h"
#include "uninstall_script.h"
#include "upgrade.h"

#include <set>
#include <string>
#include <vector>

using namespace smooth;
using namespace Tolvane::Layout;

namespace
{
	// The installed layout below the installation folder.
	String InstalledUninstaller()	{ return Path::Join(UninstallFolder, UninstallerName); }
	String InstalledScript()	{ return Path::Join(UninstallFolder, ScriptName); }

	// How long the copy waits for the first instance: it deletes the
	// installed uninstaller, which cannot go while that still runs.
	const Int FirstInstanceWait = 10000;

	// The script the copy gets when the installed one names more than may
	// be removed: the same name and version, only the entries of list.
	bool SaveScript(const String &path, const Tolvane::ScriptContents &contents, const Tolvane::RemovalList &list)
	{
		Tolvane::UninstallScript	 script(contents.application, contents.version);

		for (const String &folder : list.folders)    script.RecordDirectory(folder);
		for (const String &file	  : list.files)	     script.RecordFile(file);
		for (const String &key	  : list.registryKeys) script.RecordRegistryKey(key);

		return script.Save(path) == Success();
	}

	bool WriteWhole(const String &path, const std::string &bytes)
	{
		IO::OutStream	 output(IO::STREAM_FILE, path, IO::OS_REPLACE);

		if (output.GetLastError() != IO::IO_ERROR_OK) return false;

		if (!bytes.empty() && output.OutputData(bytes.data(), Int(bytes.size())) != Success()) return false;

		return output.Close() == Success();
	}

	// Deletes the three copies in folder (and the list of files left for
	// the restart, when there is one) and folder itself. With atRestart,
	// what cannot go now goes at the system's next start, the folder after
	// its files.
	void RemoveCopies(const String &folder, bool atRestart)
	{
		for (const char *name : { UninstallerName, LibraryName, ScriptName, Tolvane::RestartListName })
		{
			File	 file(Path::Join(folder, name));

			if (file.Exists() && file.Delete() != Success() && atRestart) file.DeleteAtRestart();
		}

		if (Directory(folder).Delete() != Success() && atRestart && Directory(folder).Exists()) File(folder).DeleteAtRestart();
	}
}

namespace
{
	// Before the removal: the files of removal that running programs hold.
	// false when the user cancels; else atRestart gets the files the user
	// (or a silent run) leaves for the restart.
	bool FilesInUseSettled(Tolvane::UninstallSystem &system, const Tolvane::RemovalList &removal, const String &application, const Tolvane::Options &options, Tolvane::InstallLog &log, std::vector<String> &atRestart)
	{
		std::vector<String>	 files = Tolvane::ExistingFilesOnce(removal.files, {});

		while (true)
		{
			std::vector<Tolvane::FileInUse>	 uses = system.FindFilesInUse(files);

			if (uses.empty()) return true;

			for (const Tolvane::FileInUse &use : uses) log.Write(String("in use ").Append(use.path).Append(" by ").Append(use.program != 0 ? use.program : String("an unknown program")));

			Int	 answer = options.silent ? Tolvane::ANSWER_IGNORE : system.ShowMessage(Tolvane::FilesInUseQuestion(uses, true), Tolvane::UninstallerCaption(application), Tolvane::BOX_ABORTRETRYIGNORE, Tolvane::ICON_EXCLAMATION);

			if (answer == Tolvane::ANSWER_RETRY) continue;
			if (answer != Tolvane::ANSWER_IGNORE) { log.Write("cancelled: files in use"); return false; }

			for (const Tolvane::FileInUse &use : uses) if (atRestart.empty() || Tolvane::PathKey(atRestart.back()) != Tolvane::PathKey(use.path)) atRestart.push_back(use.path);

			return true;
		}
	}

	std::string RestartList(const std::vector<String> &paths)
	{
		std::string	 text;

		for (const String &path : paths) text.append(path.ToUTF8()).append("\n");

		return text;
	}

	std::vector<String> ReadRestartList(const String &file)
	{
		std::vector<String>	 paths;
		std::string		 text;

		if (!Tolvane::ReadFileBytes(file, text, 64 * 1024 * 1024)) return paths;

		for (size_t at = 0; at < text.size(); )
		{
			size_t	 end = text.find('\n', at);

			if (end == std::string::npos) end = text.size();
			if (end > at) paths.push_back(String::FromUTF8(text.substr(at, end - at).c_str()));

			at = end + 1;
		}

		return paths;
	}
}

namespace Tolvane
{
	const char *const RestartListName = "restart.txt";

	const char *const WrongFolderText = "The uninstaller must be started from the installation folder of the program.\n\n"
					    "Please use its shortcut in the Start menu, or start it with the program's folder as working folder.";
	const char *const StartFailedText = "The uninstaller could not start its copy in the temporary folder. Nothing was removed.";
}

String Tolvane::QuestionText(const String &application, const String &version)
{
	return String("This will remove ").Append(application).Append(" ").Append(version).Append(" from your computer! Do you want to continue?");
}

String Tolvane::ReportText(const String &application, const String &version)
{
	return String(application).Append(" ").Append(version).Append(" has been removed from your computer!");
}

String Tolvane::UninstallerCaption(const String &application)
{
	return String(application).Append(" Uninstaller");
}

bool Tolvane::IsTempStart(const String &commandLine)
{
	return commandLine.EndsWith("--temp");
}

Int Tolvane::WaitedProcess(const String &commandLine)
{
	Int	 at = commandLine.Find("--wait ");

	if (at < 0) return 0;

	Int64	 id = 0;

	for (Int i = at + 7; i < commandLine.Length() && commandLine[i] >= '0' && commandLine[i] <= '9' && id < 0x7FFFFFFF; i++) id = id * 10 + (commandLine[i] - '0');

	return id <= 0x7FFFFFFF ? Int(id) : 0;
}

String Tolvane::MakeFreshFolder(const String &base, UnsignedInt tick)
{
	String	 name = String(base).Append(String::FromInt(tick));

	/* Only a folder this call creates will do: an old folder of the same
	 * name, or one another program prepared, is never copied into, run from
	 * or deleted later.
	 */
	for (Int n = 0; n < 1000; n++)
	{
		String	 candidate = n == 0 ? name : String(name).Append("_").Append(String::FromInt(n));

		if (Directory(candidate).CreateNew() == Success()) return candidate;

		/* Anything of that name, folder or file, is taken; any other
		 * failure (no temporary folder, no rights) will not pass by trying
		 * more names.
		 */
		if (!Directory(candidate).Exists() && !File(candidate).Exists()) return String();
	}

	return String();
}

String Tolvane::CleanupCommand(const String &folder)
{
	String	 quote = "\"";

	/* cmd takes the text after /c as one command when it is quoted as a
	 * whole; inside it, each quoted path keeps its spaces and its '&', '(',
	 * ')' and '^' as part of the name.
	 */
	return String("cmd /c \"del ").Append(quote).Append(Path::Join(folder, UninstallerName)).Append(quote)
		.Append(" ").Append(quote).Append(Path::Join(folder, LibraryName)).Append(quote)
		.Append(" & rmdir ").Append(quote).Append(folder).Append(quote).Append(quote);
}

Tolvane::Options Tolvane::RemovalOptions(const String &commandLine)
{
	String	 rest = commandLine.EndsWith("--temp") ? commandLine.Head(commandLine.Length() - 6) : commandLine;

	if (rest.StartsWith("--wait "))
	{
		Int	 at = 7;

		while (at < rest.Length() && rest[at] >= '0' && rest[at] <= '9') at++;

		rest = rest.Tail(rest.Length() - at);
	}

	Options	 options = ParseOptions(rest, false);

	return options.refused != 0 ? Options() : options;
}

Int Tolvane::RunFirstInstance(UninstallSystem &system, const Options &given)
{
	/* Passive asks nothing either; only the copy shows something. */
	Options		 options = given;

	options.silent = given.silent || given.passive;

	InstallLog	 log;

	if (options.logFile != 0) log.Open(options.logFile);

	struct Copy
	{
		String		 source;
		const char	*name;
		std::string	 bytes;
		bool		 read;
	};

	std::vector<Copy> copies = { { InstalledUninstaller(), UninstallerName, {}, false }, { LibraryName, LibraryName, {}, false }, { InstalledScript(), ScriptName, {}, false } };
	const Copy	 &script = copies.back();

	/* The list of installed programs starts us in a folder of its own; we
	 * live in <installation>\uninstall, so the installation folder is the
	 * one above our own.
	 */
	if (!File(InstalledScript()).Exists())
	{
		String	 program = system.GetProgramFile();
		Int	 last	 = Path::LastNativeSeparator(program);
		String	 own	 = last > 0 ? program.Head(last) : String();
		Int	 above	 = Path::LastNativeSeparator(own);

		if (above > 0 && File(Path::Join(own.Head(above), InstalledScript())).Exists()) system.SetWorkingFolder(own.Head(above));
	}

	/* An installation run that was killed here left the folder half old,
	 * half new: put the old installation back before anything is read.
	 */
	String			 here = system.GetWorkingFolder();
	Int			 notUndone = 0;
	FileSystemUndo		 undo([&](const String &name, const RegistrySnapshot &snapshot) { return system.RestoreRegistration(name, snapshot); });
	Recovery		 recovery = here != 0 ? RecoverRun(here, undo, notUndone) : Recovery::None;

	if (recovery == Recovery::TakenBack) log.Write(String("taken back an unfinished run in ").Append(here).Append(notUndone != 0 ? String(", ").Append(String::FromInt(notUndone)).Append(" steps could not be undone") : String()));

	/* The script is read once, for the copy, and its name and version come
	 * from those bytes; a script that does not load leaves both empty.
	 */
	for (Copy &copy : copies) copy.read = ReadFileBytes(copy.source, copy.bytes, 0x7FFFFFFF);

	ScriptContents	 contents;

	if (script.read) ParseUninstallScript(script.bytes, contents);

	const String	&application = contents.application;
	const String	&version     = contents.version;

	if (recovery == Recovery::TakenBack && !options.silent) system.ShowMessage(UnfinishedRunText(here, notUndone), UninstallerCaption(application), BOX_OK, ICON_EXCLAMATION);

	/* Started anywhere but in the installation folder there is nothing to
	 * copy: say so once and change nothing.
	 */
	for (const Copy &copy : copies)
	{
		if (copy.read) continue;

		log.Write(String("FAILED ").Append(copy.source).Append(": cannot be read here; not an installation folder"));

		if (!options.silent) system.ShowMessage(WrongFolderText, UninstallerCaption(application), BOX_OK, ICON_EXCLAMATION);

		return EXIT_NO_SCRIPT;
	}

	if (!options.silent && system.ShowMessage(QuestionText(application, version), UninstallerCaption(application), BOX_YESNO, ICON_QUESTION) != ANSWER_YES) return EXIT_OK;

	/* The copy removes with the rights it was started with, and the script
	 * may have been edited by anyone who can write here: what lies outside
	 * this installation does not go on to the copy.
	 */
	const RemovalList confined = ConfinedRemovalList(contents.removal, here);
	const size_t	  refused  = contents.removal.files.size() + contents.removal.folders.size() + contents.removal.registryKeys.size() -
				     confined.files.size() - confined.folders.size() - confined.registryKeys.size();

	if (refused > 0) log.Write(String("refused ").Append(String::FromInt(Int(refused))).Append(" entries of the uninstall script outside ").Append(here));

	std::vector<String>	 atRestart;

	if (!FilesInUseSettled(system, confined, application, options, log, atRestart)) return EXIT_OK;

	String	 folder = MakeFreshFolder(system.GetTempDirectory(), system.GetTickCount());
	bool	 copied = folder != 0;

	for (const Copy &copy : copies) copied = copied && (&copy == &script && refused > 0 ? SaveScript(Path::Join(folder, copy.name), contents, confined)
											 : WriteWhole(Path::Join(folder, copy.name), copy.bytes));

	if (!atRestart.empty()) copied = copied && WriteWhole(Path::Join(folder, RestartListName), RestartList(atRestart));

	/* A copy that could not be made whole would run broken or not at all:
	 * take back what was written and tell the user nothing was removed.
	 */
	if (!copied)
	{
		if (folder != 0) RemoveCopies(folder, false);

		log.Write("FAILED the uninstaller could not copy itself to the temporary folder");

		if (!options.silent) system.ShowMessage("The uninstaller could not copy itself to the temporary folder. Nothing was removed.", UninstallerCaption(application), BOX_OK, ICON_EXCLAMATION);

		return EXIT_FAILED;
	}

	String	 parameters = String("--wait ").Append(String::FromInt(system.GetProcessId()));

	if	(given.passive)	    parameters.Append(" /P");
	else if (options.silent)    parameters.Append(" /S");
	if (options.logFile != 0) parameters.Append(" \"/LOG=").Append(options.logFile).Append("\"");

	parameters.Append(" --temp");

	/* The copy appends to the log from here on. */
	log.Write(String("relocated to ").Append(folder));
	log = InstallLog();

	if (!system.StartProgram(Path::Join(folder, UninstallerName), parameters, folder))
	{
		/* A copy that never ran removes nothing, itself included, and no
		 * clean-up command is left for it: its folder goes here.
		 */
		RemoveCopies(folder, true);

		if (options.logFile != 0) log.Open(options.logFile, true);

		log.Write(String("FAILED the uninstaller's copy in ").Append(folder).Append(" could not be started; nothing was removed"));

		if (!options.silent) system.ShowMessage(StartFailedText, UninstallerCaption(application), BOX_OK, ICON_EXCLAMATION);

		return EXIT_FAILED;
	}

	system.WriteRunOnce(String("removeTempFiles").Append(String::FromInt(system.GetTickCount())), CleanupCommand(folder));

	return atRestart.empty() ? EXIT_OK : EXIT_RESTART;
}

void Tolvane::RunRemovalInstance(UninstallSystem &system, const String &commandLine)
{
	Int	 firstInstance = WaitedProcess(commandLine);

	if (firstInstance != 0) system.WaitForProcess(firstInstance, FirstInstanceWait);

	Options		 options = RemovalOptions(commandLine);
	InstallLog	 log;

	if (options.logFile != 0) log.Open(options.logFile, true);

	ScriptContents	 script;

	if (!ReadUninstallScript(ScriptName, script))
	{
		log.Write(String("FAILED ").Append(ScriptName).Append(": no uninstall script"));

		return;
	}

	// Says what went and what stayed. Files in use that the user left for
	// the restart are deleted then, with the folders that hold them.
	class LoggingRemover : public Remover
	{
		public:
			LoggingRemover(InstallLog &log, UninstallSystem &system, const std::vector<String> &atRestart) : log(log), system(system)
			{
				for (const String &path : atRestart) restart.insert(PathKey(path));
			}

			bool RemoveFile(const String &path) override
			{
				Step();

				if (restart.count(PathKey(path)) == 0) return Say(Remover::RemoveFile(path), "file", path);

				return Later(path);
			}

			bool RemoveFolder(const String &path) override
			{
				Step();

				if (Remover::RemoveFolder(path)) return Say(true, "folder", path);

				for (const String &file : later) if (IsBelow(file, path)) return Later(path);

				return Say(false, "folder", path);
			}

			// Passive: the window's title and text, and how many steps the
			// walk takes.
			String			 title, text;
			Int			 steps = 0;
			Int			 done  = 0;

			std::vector<String>	 later;
		private:
			void Step()
			{
				if (steps > 0) system.ShowProgress(title, text, Int(Int64(done++) * 100 / steps));
			}

			bool Later(const String &path)
			{
				bool	 asked = system.DeleteAtRestart(path);

				log.Write(String(asked ? "removed at restart " : "kept ").Append(path));

				if (asked) later.push_back(path);

				return asked;
			}

			bool Say(bool removed, const char *what, const String &path)
			{
				log.Write(String(removed ? "removed " : "kept ").Append(what).Append(" ").Append(path));

				return removed;
			}

			InstallLog		&log;
			UninstallSystem		&system;
			std::set<std::wstring>	 restart;
	} remover(log, system, ReadRestartList(RestartListName));

	if (options.passive)
	{
		remover.title = UninstallerCaption(script.application);
		remover.text  = String("Removing ").Append(script.application).Append(" ").Append(script.version).Append(" from your computer...");
		remover.steps = Int(script.removal.files.size() + script.removal.folders.size());

		system.ShowProgress(remover.title, remover.text, 0);
	}

	Tolvane::RunRemoval(script.removal, remover);

	for (const String &key : script.removal.registryKeys)
	{
		String	 name = UninstallEntryName(key);

		if (name != 0) log.Write(String(system.DeleteUninstallEntry(name) ? "unregistered " : "kept ").Append(key));
	}

	log.Write("done");

	String	 report = ReportText(script.application, script.version);

	if (!remover.later.empty()) report.Append("\n\nSome of its files were in use; they are removed when the computer restarts.");

	if (options.passive) system.ShowProgress(remover.title, remover.text, 100);
	if (options.passive) system.EndProgress();

	if (!options.silent && !options.passive) system.ShowMessage(report, UninstallerCaption(script.application), BOX_OK, ICON_EXCLAMATION);

	File(RestartListName).Delete();
	File(ScriptName).Delete();
}
