// A run's journal: what an installation run (or a removal) is about to
// change, written and flushed before each change, so that a run that failed
// or was killed can be taken back to exactly the state before it.
//
// The journal is a UTF-8 text file, one record per line:
//
//     journal 1                       the first line, always
//     target<TAB>PATH<TAB>BACKUP      the folder the run works in, and the
//                                     folder it keeps old contents in
//     folder<TAB>PATH                 a folder that did not exist is made
//     file<TAB>PATH                   a file that did not exist is written
//     saved<TAB>PATH<TAB>COPY         an existing file is replaced; its old
//                                     contents are kept at COPY, which
//                                     must appear there whole or not at all
//                                     (a rename, or a copy under another
//                                     name renamed when complete)
//     removed<TAB>PATH                an empty folder that existed is removed
//     registry<TAB>NAME<TAB>COPY      the product's entry NAME in the list
//                                     of installed programs is written; its
//                                     old values are kept in the file COPY
//                                     (empty: there was no entry)
//     committed                       the run succeeded: nothing is taken
//                                     back any more, only the backup goes
//
// Every record line ends with a tab, the CRC-32 of what precedes the tab in
// eight hexadecimal digits, and a line feed; characters below 32 and '%' in
// fields are written as %XX. A reader takes the records up to the first line
// that is cut, damaged or unknown, and ignores the rest: a record is written
// before its change, so a change whose record was lost never happened.
#pragma once

#include <smooth.h>

#include <functional>
#include <string>
#include <vector>

namespace Tolvane
{
	struct JournalRecord
	{
		enum class Kind { Target, Folder, File, Saved, Removed, Registry, Committed };

		Kind		 kind = Kind::Committed;
		smooth::String	 path;		// PATH or NAME
		smooth::String	 copy;		// BACKUP or COPY

		bool operator ==(const JournalRecord &other) const { return kind == other.kind && path == other.path && copy == other.copy; }
	};

	// One record as a line of the journal, line feed included.
	std::string		 EncodeJournalRecord(const JournalRecord &record);

	// What a journal says.
	struct JournalContents
	{
		std::vector<JournalRecord> records;	// intact records, in order, "target" included
		smooth::String		 target;	// from the first "target" record
		smooth::String		 backup;
		bool			 committed = false;
		bool			 complete  = true;	// false when a damaged or cut line ended the reading
	};

	// Parses a journal's bytes. false when they do not start with the first
	// line or name no target: not a journal of ours, nothing to take back.
	bool			 ParseJournal(const std::string &bytes, JournalContents &contents);

	// Reads and parses the journal file at path; false when it is missing,
	// unreadable or not a journal.
	bool			 ReadJournal(const smooth::String &path, JournalContents &contents);

	// Writes a journal. Records are collected by Add and reach the file with
	// Write; a change may be made only after its record was written.
	class JournalWriter
	{
		public:
					 JournalWriter() = default;
					~JournalWriter();
			JournalWriter(const JournalWriter &) = delete;
			JournalWriter &operator =(const JournalWriter &) = delete;

			// Creates the journal file at path (an existing file is replaced)
			// and writes the first line and the target record. Error() when it
			// cannot be written.
			smooth::Int	 Open(const smooth::String &path, const smooth::String &target, const smooth::String &backup);

			// Queues a record.
			void		 Add(const JournalRecord &record);

			// Writes the queued records. With durable set, also waits until the
			// system has them on the disk (power loss); otherwise they only
			// survive the end of this process. Error() when they could not be
			// written: the changes they announce must then not be made.
			smooth::Int	 Write(bool durable);

			// Adds and writes "committed" durably, then closes the file.
			smooth::Int	 Commit();

			// Closes the file without a commit record.
			void		 Close();

			bool		 IsOpen() const		{ return stream != nullptr; }
		private:
			smooth::IO::OutStream	*stream = nullptr;
			std::string		 pending;
	};

	// Carries out the steps of taking a run back.
	class JournalUndo
	{
		public:
			virtual		~JournalUndo() = default;

			// Deletes a file the run wrote; true when nothing stays at path.
			virtual bool	 RemoveFile(const smooth::String &path) = 0;
			// Removes a folder the run made when it is empty; true when it is
			// gone.
			virtual bool	 RemoveFolder(const smooth::String &path) = 0;
			// Makes a folder the run removed again; true when it exists.
			virtual bool	 MakeFolder(const smooth::String &path) = 0;
			// Puts the old contents kept at copy back at path, replacing what
			// is there; true when path holds them again. A copy that does not
			// exist means the file was never touched: true.
			virtual bool	 Restore(const smooth::String &copy, const smooth::String &path) = 0;
			// Puts the product's entry name in the list of installed programs
			// back as the file copy describes it (removes it when copy is
			// empty); true on success.
			virtual bool	 RestoreRegistry(const smooth::String &name, const smooth::String &copy) = 0;
	};

	// Whether a record may be acted on when a run is taken back: paths inside
	// the journal's target folder, shortcut files (".lnk") anywhere, copies
	// inside its backup folder, and entry names without a backslash. A
	// journal lives in the installation folder and can be edited by anyone
	// who can write there; it must not become a way to delete or replace
	// other files.
	bool			 MayTakeBack(const JournalRecord &record, const JournalContents &contents);

	// Takes back a run that did not commit: the records from the last to the
	// first, each undone by undo; records that MayTakeBack refuses are
	// skipped. Returns how many steps failed or were refused (0: the state
	// before the run is back). A committed journal is not taken back
	// (returns 0 and does nothing).
	smooth::Int		 TakeBack(const JournalContents &contents, JournalUndo &undo);
}
