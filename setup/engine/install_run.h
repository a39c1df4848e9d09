// The installation run: creates the target folder, unpacks every marked
// component from its archive, copies the platform library when the setup
// script asks for it, creates the shortcuts and saves the uninstall script,
// driving the two progress bars on the way.
//
// The run is portable: the choices the user made on the pages arrive as a
// plain record, the bars behind a small interface, and everything only
// Windows has behind SystemInterface. Every path is recorded in the
// uninstall script before it is written. The run never stops early: each
// step that fails is counted with its path and cause, and the run goes on.
#pragma once

#include "configuration.h"
#include "install_log.h"
#include "run_transaction.h"
#include "installed_layout.h"
#include "system_interface.h"
#include "uninstall_script.h"

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace Tolvane
{
	// What the user chose, read from the pages once when the run starts.
	struct InstallChoices
	{
		smooth::String		 targetFolder;	// as the directory page gives it
		std::vector<bool>	 selected;	// marked components, by index
		bool			 createStartMenu   = false;
		bool			 createDesktop	   = false;
		bool			 createQuickLaunch = false;

		bool IsSelected(smooth::Int index) const { return index >= 0 && size_t(index) < selected.size() && selected[size_t(index)]; }
	};

	// The user's Quick Launch folder: below the application-data folder.
	// false when the system does not know that folder (path untouched).
	bool		 GetQuickLaunchFolder(SystemInterface &system, smooth::String &path);

	// What the pages propose before anyone touches them: the Program Files
	// folder followed by the script's default folder, the required and
	// default components, Start-menu and desktop shortcuts (Quick Launch
	// starts unticked).
	InstallChoices	 DefaultChoices(const Configuration &config, SystemInterface &system);

	// A progress bar running from 0 to 100.
	class ProgressBar
	{
		public:
			virtual		~ProgressBar() = default;
			virtual void	 SetValue(smooth::Int percent) = 0;
	};

	// The total bar after component index (counting every component, marked
	// or not) of components, with libraryCopies (0 or 1) steps still to come:
	// (index + 1) * (100 / (components + libraryCopies)), truncated.
	smooth::Int	 TotalAfterComponent(smooth::Int index, smooth::Int components, smooth::Int libraryCopies);

	// Block size of the library copy: 10 000 bytes up to 999 999 bytes, else
	// a hundredth of the size, so the bars move in about 100 steps.
	smooth::Int	 CopyBlockSize(smooth::Int64 size);

	// One step of the run that did not do what it should.
	struct InstallFailure
	{
		smooth::String	 path;		// what could not be made or read
		smooth::String	 cause;		// why, in a few words
	};

	// The message the wizard shows after a run with failures: how many steps
	// failed and the first few paths with their causes.
	smooth::String	 DescribeFailures(const std::vector<InstallFailure> &failures, smooth::Int shown = 5);

	class InstallRun
	{
		public:
			// The run reads config and choices and reports to the two bars;
			// all must outlive it.
					 InstallRun(const Configuration &config, const InstallChoices &choices, SystemInterface &system, ProgressBar &fileBar, ProgressBar &totalBar);
			// A run left pending (failures, and neither TakeBack nor Commit
			// called) is committed: what it did stays, as before.
					~InstallRun();
			InstallRun(const InstallRun &) = delete;
			InstallRun &operator =(const InstallRun &) = delete;

			// The whole run, in order: target folder, marked components, library
			// copy, shortcuts, uninstall script (when the setup script's
			// createLog is set), the product's registration. Always Success();
			// see GetFailures.
			//
			// The run is a transaction (run_transaction.h): a journal in the
			// target says what it changes, and what it replaces is kept. An
			// unfinished run found in the target is taken back first. Over an
			// earlier installation of the same product, what that one had and
			// this one has not is removed (but the setup script's own data
			// files), and the new uninstall script lists each path once. A
			// target that holds another product's installation is refused:
			// nothing is written. Without failures the run commits at its end;
			// with failures it stays pending until TakeBack or Commit.
			smooth::Int	 Run();

			// Whether the run waits for TakeBack or Commit.
			bool		 IsPending() const	{ return transaction.IsActive(); }

			// Takes back everything the run changed: the target as it was,
			// files byte for byte with their times, the earlier script and
			// registration. Returns how many steps could not be undone.
			smooth::Int	 TakeBack();
			// Keeps what the run did despite its failures.
			smooth::Int	 Commit();

			// Called with a journal record's line right before the change it
			// announces, once the line is on the disk (tests stop the process
			// there, as a kill would; RunTransaction::SetChangeHook).
			std::function<void(const std::string &)> onChange;

			// Writes the shortcuts the choices allow and records each one (and a
			// start-menu group folder it creates) in script. Called by Run.
			smooth::Int	 CreateLinks(UninstallScript &script);

			// Everything that failed, in the order it happened.
			const std::vector<InstallFailure> &GetFailures() const	{ return failures; }

			// Where the platform library is copied from: the installer's own
			// copy in its working folder.
			smooth::String	 librarySource = Layout::LibraryName;

			// The name of a product's entry in the machine's list of installed
			// programs: its name, the same for every version, so that a newer
			// version replaces the older one's entry. Empty without a name.
			static smooth::String GetEntryName(const smooth::String &appName);

			// Where every step, path and failure is written as it happens (not
			// owned; none when null).
			InstallLog	*log = nullptr;

			// Today's date as the list wants it (YYYYMMDD); a test may fix it.
			smooth::String	 installDate;

			// Files in use (PathKey keys) that the user chose to have replaced
			// when the system restarts: the run writes the new version of such
			// a file beside the old one (BesideName) and has the system put it
			// in place at restart; an earlier version's file among them is
			// deleted at restart, asked for only once the run has committed. A
			// request the system refuses is a failure of the run.
			std::set<std::wstring>	 replaceAtRestart;

			// The files the run left for the system's restart (replaced or
			// deleted then), in order; empty when no restart is needed.
			const std::vector<smooth::String> &GetRestartWork() const	{ return restartWork; }
		private:
			// When destination is in replaceAtRestart: write makes the new
			// version at the path it is given (beside destination), which is
			// then scheduled to replace it; true, also when that failed (then
			// recorded as a failure). false, doing nothing, for any other path.
			bool		 WriteAtRestart(const smooth::String &destination, const std::function<bool(const smooth::String &)> &write);
			// When path is in replaceAtRestart: notes it for deletion at
			// restart (ScheduleRemovals) and returns true; else false.
			bool		 RemoveAtRestart(const smooth::String &path);
			// Asks the system for the deletions noted by RemoveAtRestart; only
			// after the run committed, so that a run taken back never loses an
			// earlier file at the next restart.
			void		 ScheduleRemovals();

			// An undo of the run on the real file system and the system's
			// registry that writes every step to the run's log.
			std::unique_ptr<JournalUndo> MakeUndo();

			void		 Fail(const smooth::String &path, const smooth::String &cause);
			void		 Note(const smooth::String &what, const smooth::String &path);
			// Records a folder when it is new, then creates it; false when it
			// does not exist afterwards.
			bool		 MakeFolder(UninstallScript &script, const smooth::String &path);
			// MakeFolder for every folder level of an entry name below folder,
			// parents first; false when one of them failed.
			bool		 MakeEntryFolders(UninstallScript &script, const smooth::String &folder, const smooth::String &name);
			void		 InstallComponent(UninstallScript &script, smooth::Int index, smooth::Int components, smooth::Int libraryCopies);
			void		 CopyLibrary(UninstallScript &script, smooth::Int components);
			void		 Register(const smooth::String &scriptFile);
			void		 SaveScript(UninstallScript &script, const RemovalList &earlier, bool upgrade);
			bool		 Prepare(const smooth::String &path, bool keepInPlace = false);
			smooth::String	 LinkFolder(const Link &link, UninstallScript &script, bool &usable);
			bool		 LinkAllowed(const Link &link) const;

			const Configuration	&config;
			const InstallChoices	&choices;
			SystemInterface		&system;
			ProgressBar		&fileBar;
			ProgressBar		&totalBar;
			smooth::String		 target;
			std::vector<InstallFailure> failures;
			RunTransaction		 transaction;
			// Folders that exist now because this run found or made them: an
			// archive of thousands of files in a few folders need not ask the
			// file system about the same folder thousands of times.
			std::set<std::wstring>	 knownFolders;
			// The folder part of the last entry name whose folders all exist
			// (in the current component).
			std::wstring		 entryFolders;
			// What the run wrote, for the list of installed programs: the bytes
			// of every file it installed, and whether the uninstaller is among
			// them (the entry Layout::UninstallerEntry in the target folder).
			smooth::Int64		 installedBytes = 0;
			bool			 uninstallerInstalled = false;
			bool			 libraryInstalled = false;
			std::vector<smooth::String> restartWork;
			std::vector<smooth::String> removalsAtRestart;
	};
}
