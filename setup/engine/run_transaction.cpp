#include "run_transaction.h"

#include "file_bytes.h"
#include "installed_layout.h"
#include "upgrade.h"

using namespace smooth;

using smooth::Path::Join;

namespace
{
	const char *const RunFolderName = "run";
	const char *const JournalName	= "journal.txt";
	const char *const BackupName	= "backup";

	bool IsEmptyFolder(const String &path)
	{
		Directory	 folder(path);

		return folder.Exists() && folder.GetFiles().empty() && folder.GetDirectories().empty();
	}

	// What is left of folder after an attempt to empty it (files a running
	// program still holds) goes when the system next starts: the files,
	// then each folder once emptied, deepest first.
	void DeleteRestAtRestart(const String &path)
	{
		Directory	 folder(path);

		for (const String &name : folder.GetFiles()) File(Join(path, name)).DeleteAtRestart();
		for (const String &name : folder.GetDirectories()) DeleteRestAtRestart(Join(path, name));

		File(path).DeleteAtRestart();
	}

	// Removes the run folder once nothing in it is needed: the journal
	// first, so that a backup that cannot be removed whole (a file in use)
	// is never taken for an unfinished run again. What the backup keeps of
	// a running program (its program file, moved aside while it ran) cannot
	// go before the program ends: it goes at the next restart, with the run
	// folder.
	void RemoveRunFolder(const String &target)
	{
		File(Tolvane::JournalOf(target)).Delete();

		Directory	 backup(Tolvane::BackupOf(target));

		if (backup.Exists() && backup.Empty() == Success()) backup.Delete();

		bool		 held = backup.Exists();

		if (held) DeleteRestAtRestart(backup.GetPath());

		Directory(Tolvane::RunFolderOf(target)).Delete();

		if (held) File(Tolvane::RunFolderOf(target)).DeleteAtRestart();
	}

	// Folders come off only after the run folder is gone: the first
	// records of a run are the folders that hold the run folder itself.
	class DeferFolders : public Tolvane::JournalUndo
	{
		public:
			explicit DeferFolders(Tolvane::JournalUndo &undo) : undo(undo) { }

			bool RemoveFile(const String &path) override			{ return undo.RemoveFile(path); }
			bool RemoveFolder(const String &path) override			{ folders.push_back(path); return true; }
			bool MakeFolder(const String &path) override			{ return undo.MakeFolder(path); }
			bool Restore(const String &copy, const String &path) override	{ return undo.Restore(copy, path); }
			bool RestoreRegistry(const String &name, const String &copy) override { return undo.RestoreRegistry(name, copy); }

			Int RemoveFolders()
			{
				Int	 failed = 0;

				for (const String &folder : folders) if (!undo.RemoveFolder(folder)) failed++;

				return failed;
			}
		private:
			Tolvane::JournalUndo	&undo;
			std::vector<String>	 folders;
	};

	// Takes a journal's run back and clears the run folder; a backup whose
	// contents could not all go back stays, with its journal, for the next
	// start to try again.
	Int TakeBackAndClear(const Tolvane::JournalContents &contents, const String &target, Tolvane::JournalUndo &undo)
	{
		DeferFolders	 deferred(undo);
		Int		 failed = Tolvane::TakeBack(contents, deferred);

		if (failed != 0) return failed;

		RemoveRunFolder(target);

		return deferred.RemoveFolders();
	}

	bool WriteWhole(const String &path, const std::string &bytes)
	{
		String	 part = String(path).Append(".part");

		{
			IO::OutStream	 out(IO::STREAM_FILE, part, IO::OS_REPLACE);

			if (out.GetLastError() != IO::IO_ERROR_OK) return false;

			bool	 ok = (bytes.empty() || out.OutputData(bytes.data(), Int(bytes.size())) == Success()) && out.Sync() == Success();

			if (out.Close() != Success() || !ok) { File(part).Delete(); return false; }
		}

		if (File(part).Move(File(path)) != Success()) { File(part).Delete(); return false; }

		return true;
	}

	String Because(const String &what)
	{
		Int	 code = System::System::GetLastErrorCode();

		return code != 0 ? String(what).Append(" (").Append(System::System::GetErrorText(code)).Append(")") : what;
	}
}

String Tolvane::RunFolderOf(const String &target)
{
	return Join(Join(target, Layout::UninstallFolder), RunFolderName);
}

String Tolvane::JournalOf(const String &target)
{
	return Join(RunFolderOf(target), JournalName);
}

String Tolvane::BackupOf(const String &target)
{
	return Join(RunFolderOf(target), BackupName);
}

Tolvane::FileSystemUndo::FileSystemUndo(RegistryRestorer restoreRegistry) : restoreRegistry(std::move(restoreRegistry))
{
}

bool Tolvane::FileSystemUndo::RemoveFile(const String &path)
{
	File	 file(path);

	if (file.Exists()) file.Delete();

	return !file.Exists();
}

bool Tolvane::FileSystemUndo::RemoveFolder(const String &path)
{
	Directory	 folder(path);

	if (folder.Exists()) folder.Delete();

	return !folder.Exists();
}

bool Tolvane::FileSystemUndo::MakeFolder(const String &path)
{
	return Directory(path).Create() == Success();
}

bool Tolvane::FileSystemUndo::Restore(const String &copy, const String &path)
{
	File	 kept(copy);

	/* No copy: the run never got to move the file aside. */
	if (!kept.Exists()) return true;

	if (kept.Replace(File(path)) == Success()) return true;

	/* A running program (the uninstaller taking back a run that had
	 * replaced it) cannot be replaced, but it can be renamed: out of the
	 * installation into the temporary folder, where the system deletes it
	 * when it next starts; beside the copy when that is another disk.
	 */
	File	 inUse(path);

	if (!inUse.Exists()) return false;

	static Int	 asides = 0;
	String		 name	= String("in-use-").Append(String::FromInt(System::System::GetProcessID())).Append("-").Append(String::FromInt(++asides)).Append(".tmp");
	File		 aside(Join(System::System::GetTempDirectory(), name));

	if (inUse.Move(aside) != Success())
	{
		aside = File(String(copy).Append(".in-use"));

		if (inUse.Move(aside) != Success()) return false;
	}

	aside.DeleteAtRestart();

	return kept.Move(inUse) == Success();
}

bool Tolvane::FileSystemUndo::RestoreRegistry(const String &name, const String &copy)
{
	RegistrySnapshot	 snapshot;

	if (copy != 0)
	{
		std::string	 bytes;

		/* A copy that was never written whole means the entry was never
		 * changed either: the record precedes the change, the copy too.
		 */
		if (!File(copy).Exists()) return true;
		if (!ReadFileBytes(copy, bytes, 64 * 1024 * 1024) || !DecodeRegistrySnapshot(bytes, snapshot)) return false;
	}

	return restoreRegistry && restoreRegistry(name, snapshot);
}

Tolvane::FileSystemUndo::RegistryRestorer Tolvane::SystemRegistryRestorer()
{
	return [](const String &name, const RegistrySnapshot &snapshot) { return RestoreUninstallEntrySnapshot(name, snapshot); };
}

Tolvane::RunTransaction::RunTransaction(RegistryReader readRegistry) : readRegistry(std::move(readRegistry))
{
}

Tolvane::RunTransaction::~RunTransaction()
{
	journal.Close();
}

Int Tolvane::RunTransaction::Begin(const String &runTarget, const std::vector<String> &createdFolders)
{
	target = runTarget;
	backup = BackupOf(target);

	String	 uninstallFolder = Join(target, Layout::UninstallFolder);
	bool	 madeUninstall	 = false;

	if (Directory(RunFolderOf(target)).Exists())
	{
		cause = String("an earlier run's journal is still in ").Append(RunFolderOf(target));

		return Error();
	}

	if (!Directory(uninstallFolder).Exists())
	{
		if (Directory(uninstallFolder).CreateNew() != Success()) { cause = Because(String("cannot make ").Append(uninstallFolder)); return Error(); }

		madeUninstall = true;
	}

	if (Directory(RunFolderOf(target)).CreateNew() != Success() || Directory(backup).CreateNew() != Success() ||
	    journal.Open(JournalOf(target), target, backup) != Success())
	{
		cause = Because(String("cannot write the journal in ").Append(RunFolderOf(target)));

		journal.Close();
		RemoveRunFolder(target);

		if (madeUninstall) Directory(uninstallFolder).Delete();

		return Error();
	}

	records.clear();
	records.push_back({ JournalRecord::Kind::Target, target, backup });

	auto	 Made = [&](const String &folder)
	{
		JournalRecord	 record = { JournalRecord::Kind::Folder, folder, String() };

		journal.Add(record);
		records.push_back(record);
		madeFolders.insert(PathKey(folder));
	};

	for (const String &folder : createdFolders) Made(folder);

	if (madeUninstall)
	{
		Made(uninstallFolder);
		runFolders.push_back(uninstallFolder);
	}

	if (journal.Write(true) != Success()) { cause = Because("cannot write the journal"); return Error(); }

	Changing(0);

	return Success();
}

void Tolvane::RunTransaction::Changing(size_t firstRecord)
{
	for (size_t i = firstRecord; changeHook && i < records.size(); i++) changeHook(EncodeJournalRecord(records[i]));
}

void Tolvane::RunTransaction::Changing(const JournalRecord &record)
{
	if (changeHook) changeHook(EncodeJournalRecord(record));
}

bool Tolvane::RunTransaction::MadeFolder(const String &path) const
{
	return madeFolders.count(PathKey(path)) != 0;
}

bool Tolvane::RunTransaction::WillMakeFolder(const String &path)
{
	JournalRecord	 record = { JournalRecord::Kind::Folder, path, String() };

	journal.Add(record);
	records.push_back(record);
	madeFolders.insert(PathKey(path));

	/* A folder made but not on record after a power loss stays empty
	 * behind; that is all it can cost, so the disk is not waited for.
	 */
	if (journal.Write(false) != Success()) { cause = Because("cannot write the journal"); return false; }

	Changing(record);

	return true;
}

String Tolvane::RunTransaction::NextCopy()
{
	/* A hundred copies to a folder: Windows file systems look names up in
	 * a folder quickly however large it is, others (Wine's view of a linux
	 * disk) scan the folder for each new name.
	 */
	Int	 copy	= ++copies;
	String	 folder = Join(backup, String::FromInt((copy - 1) / 100));

	if ((copy - 1) % 100 == 0) Directory(folder).CreateNew();

	return Join(folder, String::FromInt(copy));
}

bool Tolvane::RunTransaction::WillWriteFiles(const std::vector<String> &paths)
{
	bool	 any = false;

	for (const String &path : paths)
	{
		std::wstring	 key = PathKey(path);

		if (!written.insert(key).second) continue;

		JournalRecord	 record = { JournalRecord::Kind::File, path, String() };

		if (File(path).Exists())
		{
			record.kind = JournalRecord::Kind::Saved;
			record.copy = NextCopy();

			pendingCopies[key] = record.copy;
		}

		journal.Add(record);
		records.push_back(record);
		any = true;
	}

	if (any && journal.Write(true) != Success()) { cause = Because("cannot write the journal"); return false; }

	return true;
}

bool Tolvane::RunTransaction::MakeRoomFor(const String &path, bool keepInPlace)
{
	std::wstring	 key = PathKey(path);

	if (written.count(key) == 0 && !WillWriteFiles({ path })) return false;

	auto	 pending = pendingCopies.find(key);

	if (pending == pendingCopies.end())
	{
		Changing({ JournalRecord::Kind::File, path, String() });

		return true;
	}

	String	 copy = pending->second;

	Changing({ JournalRecord::Kind::Saved, path, copy });

	pendingCopies.erase(pending);

	/* A rename keeps the file's bytes and times as they were; the copy of
	 * a file that must stay startable reaches its name only when whole.
	 */
	if (keepInPlace && File(path).Copy(File(copy)) == Success()) return true;
	if (!keepInPlace && File(path).Move(File(copy)) == Success()) { movedCopies[key] = copy; return true; }

	cause = Because(String("cannot keep the earlier ").Append(path));

	/* Nothing was moved: the record's copy does not exist, which taking
	 * back reads as "never touched". The file must not be written now.
	 */
	written.erase(key);

	return false;
}

bool Tolvane::RunTransaction::IsUntouchedEarlierFile(const String &path) const
{
	return pendingCopies.count(PathKey(path)) != 0;
}

void Tolvane::RunTransaction::PutBack(const String &path)
{
	auto	 moved = movedCopies.find(PathKey(path));

	if (moved == movedCopies.end()) return;

	/* Taking back finds no copy and leaves the file alone; the record
	 * stays true either way.
	 */
	if (File(moved->second).Replace(File(path)) != Success()) return;

	/* A later write of the same path moves it aside again, under the
	 * record's name.
	 */
	pendingCopies[moved->first] = moved->second;
	movedCopies.erase(moved);
}

bool Tolvane::RunTransaction::WillChangeRegistry(const String &name)
{
	if (!changedEntries.insert(name.WideString()).second) return true;

	RegistrySnapshot	 snapshot;

	if (!readRegistry || !readRegistry(name, snapshot)) { cause = String("cannot read the registration ").Append(name); changedEntries.erase(name.WideString()); return false; }

	String		 copy	= NextCopy();
	JournalRecord	 record = { JournalRecord::Kind::Registry, name, copy };

	if (!WriteWhole(copy, EncodeRegistrySnapshot(snapshot))) { cause = Because(String("cannot keep the registration ").Append(name)); changedEntries.erase(name.WideString()); return false; }

	journal.Add(record);
	records.push_back(record);

	if (journal.Write(true) != Success()) { cause = Because("cannot write the journal"); return false; }

	Changing(record);

	return true;
}

bool Tolvane::RunTransaction::RemoveFile(const String &path)
{
	if (!File(path).Exists()) return true;

	JournalRecord	 record = { JournalRecord::Kind::Saved, path, NextCopy() };

	journal.Add(record);
	records.push_back(record);

	if (journal.Write(true) != Success()) { cause = Because("cannot write the journal"); return false; }

	Changing(record);

	if (File(path).Move(File(record.copy)) != Success()) { cause = Because(String("cannot remove ").Append(path)); return false; }

	return true;
}

bool Tolvane::RunTransaction::RemoveEmptyFolder(const String &path)
{
	/* A folder that still holds something (the user's files) stays. */
	if (!IsEmptyFolder(path)) return true;

	JournalRecord	 record = { JournalRecord::Kind::Removed, path, String() };

	journal.Add(record);
	records.push_back(record);

	if (journal.Write(true) != Success()) { cause = Because("cannot write the journal"); return false; }

	Changing(record);

	if (Directory(path).Delete() != Success()) { cause = Because(String("cannot remove ").Append(path)); return false; }

	return true;
}

Int Tolvane::RunTransaction::Commit()
{
	if (!journal.IsOpen()) return Error();

	if (journal.Commit() != Success()) { cause = Because("cannot write the journal"); return Error(); }

	RemoveRunFolder(target);

	for (size_t i = runFolders.size(); i-- > 0; ) if (IsEmptyFolder(runFolders[i])) Directory(runFolders[i]).Delete();

	return Success();
}

Int Tolvane::RunTransaction::TakeBack(JournalUndo &undo)
{
	/* What is still queued announces nothing that happened. */
	journal.Close();

	JournalContents	 contents;

	contents.records = records;
	contents.target	 = target;
	contents.backup	 = backup;

	return TakeBackAndClear(contents, target, undo);
}

String Tolvane::UnfinishedRunText(const String &folder, Int failed)
{
	String	 text = String("Setup did not finish an earlier run in ").Append(folder).Append(".");

	if (failed == 0) return text.Append(" What it had changed has been taken back.");

	return text.Append(" ").Append(String::FromInt(failed)).Append(" of its changes could not be taken back; the rest has been.");
}

Tolvane::Recovery Tolvane::RecoverRun(const String &target, JournalUndo &undo, Int &failed)
{
	failed = 0;

	if (!File(JournalOf(target)).Exists())
	{
		/* Killed before its journal's first line: nothing was changed. */
		if (Directory(RunFolderOf(target)).Exists()) RemoveRunFolder(target);

		return Recovery::None;
	}

	JournalContents	 contents;

	if (!ReadJournal(JournalOf(target), contents))
	{
		RemoveRunFolder(target);

		return Recovery::None;
	}

	/* A journal names the folder it was written for; in a folder that was
	 * moved or copied since, its paths are someone else's.
	 */
	if (PathKey(contents.target) != PathKey(target)) return Recovery::Refused;

	if (contents.committed)
	{
		RemoveRunFolder(target);

		return Recovery::Finished;
	}

	failed = TakeBackAndClear(contents, target, undo);

	return Recovery::TakenBack;
}
