// A run as one transaction: before the run changes anything that exists, the
// old state is kept in the run's backup folder and the change is written to
// the run's journal (run_journal.h); a run that failed is taken back from
// there, one that succeeded commits and drops its backup. A run that was
// killed leaves its journal, and the next program that starts for the same
// folder finishes the job (RecoverRun).
//
// The journal and the backup live in the run folder below the target
// (RunFolderOf), on the target's volume, so that moving a file aside is a
// rename; uninstall scripts never list it.
#pragma once

#include "run_journal.h"
#include "registry_backup.h"

#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace Tolvane
{
	// The run folder of target, its journal file and its backup folder.
	smooth::String	 RunFolderOf(const smooth::String &target);
	smooth::String	 JournalOf(const smooth::String &target);
	smooth::String	 BackupOf(const smooth::String &target);

	// Takes a run back on the real file system: files and folders with the
	// platform's calls; the registry through restoreRegistry (the system's
	// own in the Windows builds).
	class FileSystemUndo : public JournalUndo
	{
		public:
			using RegistryRestorer = std::function<bool(const smooth::String &name, const RegistrySnapshot &snapshot)>;

			explicit	 FileSystemUndo(RegistryRestorer restoreRegistry);

			bool		 RemoveFile(const smooth::String &path) override;
			bool		 RemoveFolder(const smooth::String &path) override;
			bool		 MakeFolder(const smooth::String &path) override;
			// Puts the copy back over path in one step. A file in use (a
			// running program) cannot be replaced but can be renamed: it is
			// moved aside first, into the temporary folder (or next to the
			// copy when that is on another disk), and deleted when the
			// system next starts.
			bool		 Restore(const smooth::String &copy, const smooth::String &path) override;
			bool		 RestoreRegistry(const smooth::String &name, const smooth::String &copy) override;
		private:
			RegistryRestorer restoreRegistry;
	};

	// The system's registry restorer in the Windows builds; elsewhere one
	// that always fails.
	FileSystemUndo::RegistryRestorer SystemRegistryRestorer();

	// How a run goes on record and what it keeps.
	class RunTransaction
	{
		public:
			using RegistryReader = std::function<bool(const smooth::String &name, RegistrySnapshot &snapshot)>;

			// readRegistry reads a product's entry before the run changes it.
					 RunTransaction(RegistryReader readRegistry);
					~RunTransaction();
			RunTransaction(const RunTransaction &) = delete;
			RunTransaction &operator =(const RunTransaction &) = delete;

			// Starts the journal of a run in target (which must exist):
			// makes the run folder and writes the journal's first records,
			// createdFolders being folders this run already made for it (the
			// target and its parents that were missing, parents first).
			// Error(), with the cause in GetCause(), when it cannot; the run
			// must then not change anything.
			smooth::Int	 Begin(const smooth::String &target, const std::vector<smooth::String> &createdFolders);

			bool		 IsActive() const	{ return journal.IsOpen(); }

			// Whether this run made the folder at path (Begin makes the
			// uninstaller's folder for the run folder when it is missing; the
			// uninstall script must still list it as new).
			bool		 MadeFolder(const smooth::String &path) const;

			// Before a folder that does not exist is made.
			bool		 WillMakeFolder(const smooth::String &path);

			// Before files are written at paths, for as many as the caller
			// knows in advance (the entries of an archive): notes which ones
			// exist, and writes the records for all of them at once, waiting
			// for the disk once. Paths this run already wrote are left out.
			bool		 WillWriteFiles(const std::vector<smooth::String> &paths);

			// Right before the file at path is written (after WillWriteFiles
			// for it): moves the old file aside into the backup folder when
			// there was one, so that the write makes a new file. With
			// keepInPlace the old file is copied instead and stays where it is
			// until the write replaces it in one step (the uninstaller and its
			// script: always startable). false when the old file cannot be
			// kept: it must then not be written.
			bool		 MakeRoomFor(const smooth::String &path, bool keepInPlace = false);

			// Whether the file at path is one this run found there and has
			// not touched yet (WillWriteFiles announced it as existing, and
			// MakeRoomFor has not moved it aside): a run that leaves it alone
			// needs nothing kept, and taking back leaves it alone too.
			bool		 IsUntouchedEarlierFile(const smooth::String &path) const;

			// After a write at path failed: puts the file MakeRoomFor moved
			// aside back in its place, so that a run kept despite its
			// failures keeps the earlier file rather than none.
			void		 PutBack(const smooth::String &path);

			// Before the product's entry name in the list of installed
			// programs is written or removed: keeps its values.
			bool		 WillChangeRegistry(const smooth::String &name);

			// Removes what an earlier installation left (a file, then an empty
			// folder): the file goes into the backup, the folder is noted, so
			// that taking back brings both back.
			bool		 RemoveFile(const smooth::String &path);
			bool		 RemoveEmptyFolder(const smooth::String &path);

			// The run succeeded: writes the commit record, then removes the
			// backup, the journal and the run folder. Error() when the commit
			// record could not be written (the run is then still taken back at
			// the next start).
			smooth::Int	 Commit();

			// Takes the run back with undo, then removes the run folder and
			// the folders this run made. Returns how many steps failed.
			smooth::Int	 TakeBack(JournalUndo &undo);

			// The last cause of a false or Error().
			const smooth::String &GetCause() const	{ return cause; }

			// Called with a record's journal line right before the change it
			// announces is made (and after the line reached the disk): at
			// once for most records, and for a file announced with others by
			// WillWriteFiles, in MakeRoomFor. Tests end the process here.
			void		 SetChangeHook(std::function<void(const std::string &)> hook) { changeHook = std::move(hook); }
		private:
			bool		 Keep(const smooth::String &path, bool copy, smooth::String &kept);
			smooth::String	 NextCopy();

			// The records just written, to the change hook.
			void		 Changing(size_t firstRecord);
			void		 Changing(const JournalRecord &record);

			std::function<void(const std::string &)> changeHook;
			RegistryReader			 readRegistry;
			JournalWriter			 journal;
			std::vector<JournalRecord>	 records;
			smooth::String			 target;
			smooth::String			 backup;
			smooth::String			 cause;
			smooth::Int			 copies = 0;
			// Paths written by this run (PathKey), the copies of those that
			// existed before it and are not moved aside yet, the folders it
			// made and the registrations it changed.
			std::unordered_set<std::wstring> written;
			std::unordered_map<std::wstring, smooth::String> pendingCopies;
			std::unordered_map<std::wstring, smooth::String> movedCopies;
			std::unordered_set<std::wstring> madeFolders;
			std::unordered_set<std::wstring> changedEntries;
			// Folders made for the run folder alone, removed with it.
			std::vector<smooth::String>	 runFolders;
	};

	// What RecoverRun found.
	enum class Recovery
	{
		None,		// no journal: nothing to do
		TakenBack,	// an unfinished run was taken back
		Finished,	// a run had committed; its backup is gone now
		Refused		// a journal that is not for this folder: left alone
	};

	// What the user is told when an installation run that did not finish
	// in folder was taken back; failed counts the steps that could not be
	// undone.
	smooth::String	 UnfinishedRunText(const smooth::String &folder, smooth::Int failed);

	// Looks for a journal in target and deals with it: an unfinished run is
	// taken back with undo, a committed one's backup removed; the run folder
	// goes either way. failed counts the steps that did not succeed.
	Recovery	 RecoverRun(const smooth::String &target, JournalUndo &undo, smooth::Int &failed);
}
