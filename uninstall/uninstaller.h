// The uninstaller's two runs. The first instance, started in the
// installation folder, asks, copies itself, the platform library and the
// uninstall script into a fresh temporary folder, starts that copy and
// leaves a once-only command that deletes the copy at the next logon. The
// copy (started with "--temp") removes what the script lists and reports.
//
// Everything the runs need of Windows goes through UninstallSystem, so the
// runs are tested natively with a recording fake and for real under Wine.
#pragma once

#include <smooth.h>

#include "command_line.h"
#include "files_in_use.h"
#include "registry_backup.h"

#include <vector>

namespace Tolvane
{
	// Message box buttons and icons as the system numbers them.
	const smooth::Int BOX_OK		= 0;
	const smooth::Int BOX_ABORTRETRYIGNORE	= 2;
	const smooth::Int BOX_YESNO		= 4;
	const smooth::Int ICON_QUESTION		= 32514;
	const smooth::Int ICON_EXCLAMATION	= 32515;
	const smooth::Int ANSWER_RETRY		= 4;
	const smooth::Int ANSWER_IGNORE		= 5;
	const smooth::Int ANSWER_YES		= 6;

	// The list of files left for the restart that the first instance hands
	// to its copy, beside the copy's script: one path a line, UTF-8.
	extern const char *const RestartListName;

	class UninstallSystem
	{
		public:
			virtual			~UninstallSystem() = default;

			// Shows a modal message box; returns the button pressed.
			virtual smooth::Int	 ShowMessage(const smooth::String &text, const smooth::String &caption, smooth::Int buttons, smooth::Int icon) = 0;
			// Starts program with parameters in folder, without waiting; false
			// when it could not be started.
			virtual bool		 StartProgram(const smooth::String &program, const smooth::String &parameters, const smooth::String &folder) = 0;
			// Stores a once-only command for the next logon under name: for the
			// whole machine, or for the current user where the machine's list
			// cannot be written. false when neither could be written.
			virtual bool		 WriteRunOnce(const smooth::String &name, const smooth::String &command) = 0;
			// Waits at most milliseconds for the process to end (at once when it
			// is not running).
			virtual void		 WaitForProcess(smooth::Int processId, smooth::Int milliseconds) = 0;
			// Removes a program's entry (a key name) from the machine's list of
			// installed programs; false when it stays.
			virtual bool		 DeleteUninstallEntry(const smooth::String &name) = 0;
			// The full path of this program's own file.
			virtual smooth::String	 GetProgramFile() = 0;
			// Makes folder the working folder; false when it cannot be.
			virtual bool		 SetWorkingFolder(const smooth::String &folder) = 0;
			virtual smooth::UnsignedInt GetTickCount() = 0;
			virtual smooth::Int	 GetProcessId() = 0;
			// The temporary folder, ending with a separator.
			virtual smooth::String	 GetTempDirectory() = 0;
			// The working folder's full path.
			virtual smooth::String	 GetWorkingFolder() = 0;
			// Makes a product's entry in the list of installed programs what
			// snapshot holds (taking back an unfinished installation run).
			virtual bool		 RestoreRegistration(const smooth::String &name, const RegistrySnapshot &snapshot) = 0;

			// Which of paths running programs hold, with their programs; the
			// files this program itself has loaded (its copy removes them
			// once it has ended) are not counted. The default knows of none.
			virtual std::vector<FileInUse> FindFilesInUse(const std::vector<smooth::String> &paths) { (void) paths; return {}; }
			// Has the system delete path (a file, or a folder then empty) when
			// it next starts; false when it cannot (the default).
			virtual bool		 DeleteAtRestart(const smooth::String &path) { (void) path; return false; }

			// The passive removal's window: shows text and a bar at percent
			// (0 to 100), made at the first call, and keeps it answering;
			// EndProgress closes it. The defaults show nothing.
			virtual void		 ShowProgress(const smooth::String &title, const smooth::String &text, smooth::Int percent) { (void) title; (void) text; (void) percent; }
			virtual void		 EndProgress() { }
	};

	// The running system's implementation (Windows builds only).
	UninstallSystem	&GetUninstallSystem();

	// The texts the user sees, for application name and version.
	smooth::String	 QuestionText(const smooth::String &application, const smooth::String &version);
	smooth::String	 ReportText(const smooth::String &application, const smooth::String &version);
	smooth::String	 UninstallerCaption(const smooth::String &application);
	extern const char *const WrongFolderText;
	extern const char *const StartFailedText;

	// Whether a command line asks for the removal run: it ends with "--temp".
	bool		 IsTempStart(const smooth::String &commandLine);
	// The first instance's process id given with "--wait ID", or 0.
	smooth::Int	 WaitedProcess(const smooth::String &commandLine);

	// Creates a folder that did not exist before: base followed by tick, or
	// when that exists base, tick, "_" and a number. Returns its path, or an
	// empty text when no new folder could be made.
	smooth::String	 MakeFreshFolder(const smooth::String &base, smooth::UnsignedInt tick);

	// The once-only command that deletes the two copies in folder and then
	// folder itself (only when empty). Each path is quoted, so spaces, '&',
	// '(', ')' and '^' in the temporary path stay part of the path.
	smooth::String	 CleanupCommand(const smooth::String &folder);

	// The first instance in the current working folder: the installation
	// folder. Started elsewhere (from the list of installed programs, say),
	// it finds the installation folder from its own place in it and works
	// there. An installation run that did not finish there (a journal left
	// behind) is taken back first, and the user told so in one message.
	// Silent (/S): no question, and the copy shows no report; /LOG=
	// goes on to the copy. Passive (/P) is silent, and the copy shows its
	// progress (ShowProgress) instead. The copy's script keeps only what
	// ConfinedRemovalList allows for this folder (the log counts what was
	// left out); a script with nothing to leave out is copied unchanged.
	// Before anything is copied, files of that list that running programs
	// hold are asked about: Retry looks again, Ignore leaves them to be
	// deleted at restart (RestartListName, for the copy), Abort ends with
	// nothing changed; silently they are left for the restart. Returns
	// EXIT_OK once the copy runs (or after No or Abort),
	// EXIT_RESTART when it runs and files wait for the restart,
	// EXIT_NO_SCRIPT when there is no installation to remove here and
	// EXIT_FAILED when the copy could not be made or started. A copy that
	// cannot be started is said so in a message (StartFailedText; not when
	// silent) and in the log, and its folder is deleted, or what of it
	// cannot be deleted at once is left to the system's next start.
	smooth::Int	 RunFirstInstance(UninstallSystem &system, const Options &options = Options());

	// The options the first instance handed on to the copy, read from the
	// copy's command line ("--wait ID /S /LOG=FILE --temp"); none for a
	// command line that merely ends with "--temp".
	Options		 RemovalOptions(const smooth::String &commandLine);

	// The removal in the current working folder (the temporary folder, or
	// wherever a command line ending with "--temp" started us): waits for the
	// first instance named in commandLine, applies the script, reports, and
	// deletes the script copy (passive: with its progress shown while it
	// works, and no report); the program's entry in the list of installed
	// programs goes with the files. The files of the restart list (and the
	// folders that still hold them) are not removed but deleted when the
	// system restarts, which the report then says. Nothing is removed or
	// shown when the script cannot be loaded.
	void		 RunRemovalInstance(UninstallSystem &system, const smooth::String &commandLine);
}
