// What the installation needs of Windows itself: the platform family, the
// special folders, the Program Files folder, shortcut files, the list of
// installed programs, and the files running programs hold with the work
// left for the system's next start. The run and the wizard's pages reach
// the system only through this interface, so the portable run is tested
// natively with a recording fake, and the Windows implementation is tested
// for real under Wine.
#pragma once

#include <smooth.h>

#include <functional>
#include <string>
#include <vector>

#include "files_in_use.h"
#include "registry_backup.h"
#include "uninstall_script.h"

namespace Tolvane
{
	// Special folder identifiers as the shell numbers them.
	const smooth::Int FOLDER_DESKTOP		= 0;	// the user's desktop
	const smooth::Int FOLDER_PROGRAMS		= 2;	// the user's Start-menu programs
	const smooth::Int FOLDER_COMMON_PROGRAMS	= 23;	// all users' Start-menu programs
	const smooth::Int FOLDER_COMMON_DESKTOP		= 25;	// all users' desktop
	const smooth::Int FOLDER_APPDATA		= 26;	// the user's application data

	// Platform identifier of the NT family (the only one that has all-users
	// folders).
	const smooth::Int PLATFORM_NT			= 2;

	// Longest path a shortcut file may have, terminator excluded: the shell's
	// path buffers hold 260 characters with the terminator.
	const smooth::Int MAX_LINK_PATH			= 259;

	// One program's entry in that list.
	struct UninstallEntry
	{
		smooth::String		 displayName;
		smooth::String		 displayVersion;
		smooth::String		 publisher;
		smooth::String		 installLocation;
		smooth::String		 uninstallString;
		smooth::String		 quietUninstallString;
		smooth::String		 displayIcon;
		smooth::String		 installDate;		// YYYYMMDD
		smooth::UnsignedInt	 estimatedSize = 0;	// kilobytes
	};

	class SystemInterface
	{
		public:
			virtual			~SystemInterface() = default;

			// The platform identifier the system reports (PLATFORM_NT on every
			// system we still meet); 0 when it cannot be asked.
			virtual smooth::Int	 GetPlatformId() = 0;

			// The path of a special folder, without a trailing separator. false,
			// with path untouched, when the system does not know the folder.
			virtual bool		 GetSpecialFolder(smooth::Int folder, smooth::String &path) = 0;

			// The Program Files folder, always ending with a backslash: the
			// machine's registered ProgramFilesDir, else the expansion of
			// "%ProgramFiles%", else just a backslash.
			virtual smooth::String	 GetProgramFilesFolder() = 0;

			// Writes a shortcut file at link that starts target in folder
			// workingFolder. Returns an empty text on success, else the cause
			// (nothing is left at link then, unless the system left it).
			virtual smooth::String	 CreateShellLink(const smooth::String &target, const smooth::String &link, const smooth::String &workingFolder) = 0;

			// Creates or replaces the entry name (a key directly below
			// UninstallKeyPath) in the machine's list of installed programs with exactly these
			// values. Returns an empty text on success, else the cause.
			virtual smooth::String	 WriteUninstallEntry(const smooth::String &key, const UninstallEntry &entry) = 0;
			// Removes the entry name from that list; false when it stays.
			virtual bool		 DeleteUninstallEntry(const smooth::String &key) = 0;

			// Reads the entry name as it is, every value (a missing entry reads
			// as one that does not exist); false when it cannot be read.
			virtual bool		 ReadUninstallEntry(const smooth::String &key, RegistrySnapshot &snapshot) = 0;
			// Makes the entry name exactly what snapshot holds (removed when
			// the snapshot does not exist); false when it cannot.
			virtual bool		 RestoreUninstallEntry(const smooth::String &key, const RegistrySnapshot &snapshot) = 0;

			// Which of paths a running program holds so that a run could not
			// replace or remove them now, each with the program when the
			// system can tell. A file that does not exist is never in use.
			// The default knows of no program.
			virtual std::vector<FileInUse> FindFilesInUse(const std::vector<smooth::String> &paths) { (void) paths; return {}; }

			// Asks the programs of uses to close and waits up to waitMs
			// milliseconds for their files to be free. Returns the uses that
			// are still in use then. The default closes nothing.
			virtual std::vector<FileInUse> ClosePrograms(const std::vector<FileInUse> &uses, smooth::Int waitMs) { (void) waitMs; return uses; }

			// Has the system, when it next starts, put source in the place
			// of destination (replacing it), or delete path. false when the
			// request could not be recorded (the default: no restart to
			// wait for).
			virtual bool		 ReplaceAtRestart(const smooth::String &source, const smooth::String &destination) { (void) source; (void) destination; return false; }
			virtual bool		 DeleteAtRestart(const smooth::String &path) { (void) path; return false; }
	};

	// The running system's implementation (Windows builds only).
	SystemInterface	&GetSystem();

	// For the tests of runs that are killed: when the environment variable
	// TOLVANE_KILL_AT is TEXT or TEXT#N, a hook for InstallRun's onChange
	// that ends the process at once (exit code 9, as a kill would: nothing
	// is cleaned up) right before the change announced by the N-th (default:
	// first) journal record whose line contains TEXT, the record being on
	// the disk. Empty otherwise. Windows builds only.
	std::function<void(const std::string &)> KillHookFromEnvironment();
}
