#include "run_journal.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace smooth;
using Tolvane::JournalRecord;

namespace
{
	using Kind = JournalRecord::Kind;

	// Test double: remembers every undo step as one line of text, and fails
	// the steps whose path it is told to.
	class RecordingUndo : public Tolvane::JournalUndo
	{
		public:
			std::vector<std::string> steps;
			String			 failing;

			bool RemoveFile(const String &path) override		{ return Step("remove file " + path.ToUTF8(), path); }
			bool RemoveFolder(const String &path) override		{ return Step("remove folder " + path.ToUTF8(), path); }
			bool MakeFolder(const String &path) override		{ return Step("make folder " + path.ToUTF8(), path); }
			bool Restore(const String &copy, const String &path) override { return Step("restore " + path.ToUTF8() + " from " + copy.ToUTF8(), path); }
			bool RestoreRegistry(const String &name, const String &copy) override { return Step("registry " + name.ToUTF8() + " from '" + copy.ToUTF8() + "'", name); }
		private:
			bool Step(const std::string &text, const String &path) { steps.push_back(text); return path != failing; }
	};

	const std::vector<JournalRecord> run = {
		{ Kind::Folder, "C:\\Program Files\\Ed", "" },
		{ Kind::Folder, "C:\\Program Files\\Ed\\bin", "" },
		{ Kind::File, "C:\\Program Files\\Ed\\bin/ed.exe", "" },
		{ Kind::Saved, "C:\\Program Files\\Ed\\uninstall\\uninstall.xml", "C:\\Program Files\\Ed\\uninstall\\run\\backup\\1" },
		{ Kind::File, "C:\\Menu\\Ed 2.0.lnk", "" },
		{ Kind::Saved, "C:\\Menu\\Ed.lnk", "C:\\Program Files\\Ed\\uninstall\\run\\backup\\2" },
		{ Kind::Removed, "C:\\Menu\\Old group", "" },
		{ Kind::Registry, "Ed", "C:\\Program Files\\Ed\\uninstall\\run\\backup\\3" },
	};

	// Undo steps of run's first n records, in the order they must happen.
	std::vector<std::string> Expected(size_t n)
	{
		const char *steps[] = {
			"remove folder C:\\Program Files\\Ed",
			"remove folder C:\\Program Files\\Ed\\bin",
			"remove file C:\\Program Files\\Ed\\bin/ed.exe",
			"restore C:\\Program Files\\Ed\\uninstall\\uninstall.xml from C:\\Program Files\\Ed\\uninstall\\run\\backup\\1",
			"remove file C:\\Menu\\Ed 2.0.lnk",
			"restore C:\\Menu\\Ed.lnk from C:\\Program Files\\Ed\\uninstall\\run\\backup\\2",
			"make folder C:\\Menu\\Old group",
			"registry Ed from 'C:\\Program Files\\Ed\\uninstall\\run\\backup\\3'",
		};

		std::vector<std::string>	 expected;

		for (size_t i = n; i-- > 0; ) expected.push_back(steps[i]);

		return expected;
	}

	std::string Journal(size_t records, bool committed)
	{
		std::string	 bytes = "journal 1\n" + Tolvane::EncodeJournalRecord({ Kind::Target, "C:\\Program Files\\Ed", "C:\\Program Files\\Ed\\uninstall\\run\\backup" });

		for (size_t i = 0; i < records; i++) bytes += Tolvane::EncodeJournalRecord(run[i]);

		if (committed) bytes += Tolvane::EncodeJournalRecord({ Kind::Committed, "", "" });

		return bytes;
	}

	TEST(RunJournal, CutAtEveryByteTakesBackExactlyTheRecordsWritten)
	{
		std::string	 whole = Journal(run.size(), false);
		size_t		 header = std::string("journal 1\n").size();

		for (size_t cut = 0; cut <= whole.size(); cut++)
		{
			Tolvane::JournalContents	 contents;
			bool				 parsed = Tolvane::ParseJournal(whole.substr(0, cut), contents);
			size_t				 target = header + Tolvane::EncodeJournalRecord({ Kind::Target, "C:\\Program Files\\Ed", "C:\\Program Files\\Ed\\uninstall\\run\\backup" }).size();

			ASSERT_EQ(cut >= target, parsed) << "cut at " << cut;

			if (!parsed) continue;

			// Whole records before the cut count; a record cut anywhere,
			// even just before its line feed, does not.
			size_t	 records = 0;

			while (records < run.size() && Journal(records + 1, false).size() <= cut) records++;

			EXPECT_EQ(records + 1, contents.records.size()) << "cut at " << cut;
			EXPECT_EQ(cut == Journal(records, false).size(), contents.complete) << "cut at " << cut;

			RecordingUndo	 undo;

			EXPECT_EQ(0, Tolvane::TakeBack(contents, undo)) << "cut at " << cut;
			EXPECT_EQ(Expected(records), undo.steps) << "cut at " << cut;
		}
	}

	TEST(RunJournal, DamageAndForeignFiles)
	{
		std::string	 whole = Journal(3, false);
		size_t		 second = Journal(1, false).size() + 2;	// inside the second record

		struct { const char *name; std::string bytes; bool parsed; size_t records; } rows[] = {
			{ "empty", "", false, 0 },
			{ "another header", "journal 2\n" + whole.substr(10), false, 0 },
			{ "no target first", "journal 1\n" + Tolvane::EncodeJournalRecord(run[0]), false, 0 },
			{ "a flipped byte", whole.substr(0, second) + char(whole[second] ^ 1) + whole.substr(second + 1), true, 2 },
			{ "a second target", Journal(1, false) + Tolvane::EncodeJournalRecord({ Kind::Target, "D:\\", "D:\\b" }) + Tolvane::EncodeJournalRecord(run[1]), true, 2 },
			{ "zeros after a power loss", whole + std::string(64, '\0'), true, 4 },
			{ "CR LF line ends", Journal(1, false).substr(0, Journal(1, false).size() - 1) + "\r\n", true, 2 },
			{ "unknown record", Journal(1, false) + "moved\tx\t00000000\n", true, 2 },
		};

		for (const auto &row : rows)
		{
			Tolvane::JournalContents	 contents;

			EXPECT_EQ(row.parsed, Tolvane::ParseJournal(row.bytes, contents)) << row.name;
			EXPECT_EQ(row.records, contents.records.size()) << row.name;
		}
	}

	TEST(RunJournal, FieldsRoundTrip)
	{
		const char	*paths[] = { "C:\\Тест Ωmega\\日本語\\a b.txt", "100% done\\x", "tab\there", "line\nfeed", "%41" };

		for (const char *path : paths)
		{
			JournalRecord			 record = { Kind::Saved, String::FromUTF8(path), String::FromUTF8(path) + "~" };
			std::string			 line	= Tolvane::EncodeJournalRecord(record);
			Tolvane::JournalContents	 contents;

			EXPECT_EQ(1, std::count(line.begin(), line.end(), '\n')) << path;
			ASSERT_TRUE(Tolvane::ParseJournal("journal 1\n" + Tolvane::EncodeJournalRecord({ Kind::Target, "C:\\", "C:\\b" }) + line, contents)) << path;
			ASSERT_EQ(2u, contents.records.size()) << path;
			EXPECT_EQ(record, contents.records[1]) << path;
		}
	}

	TEST(RunJournal, CommittedAndRefusedRecords)
	{
		Tolvane::JournalContents	 contents;

		ASSERT_TRUE(Tolvane::ParseJournal(Journal(run.size(), true), contents));
		EXPECT_TRUE(contents.committed);

		RecordingUndo	 untouched;

		EXPECT_EQ(0, Tolvane::TakeBack(contents, untouched));
		EXPECT_TRUE(untouched.steps.empty()) << "a committed run is never taken back";

		// A journal edited by hand must not delete or replace other files.
		std::string	 hostile = Journal(0, false);
		std::vector<JournalRecord> records = {
			{ Kind::File, "C:\\Windows\\system32\\kernel32.dll", "" },
			{ Kind::File, "C:\\Program Files\\Ed\\..\\Other\\x.exe", "" },
			{ Kind::Saved, "C:\\Windows\\win.ini", "C:\\Program Files\\Ed\\uninstall\\run\\backup\\1" },
			{ Kind::Saved, "C:\\Program Files\\Ed\\x", "C:\\evil\\x" },
			{ Kind::Registry, "..\\..\\Run", "" },
			{ Kind::File, "C:\\Program Files\\Ed\\ok.txt", "" },
			{ Kind::File, "C:\\Users\\Public\\Desktop\\Ed.LNK", "" },
		};

		for (const JournalRecord &record : records) hostile += Tolvane::EncodeJournalRecord(record);

		ASSERT_TRUE(Tolvane::ParseJournal(hostile, contents));

		RecordingUndo	 undo;

		undo.failing = "C:\\Program Files\\Ed\\ok.txt";

		EXPECT_EQ(6, Tolvane::TakeBack(contents, undo)) << "five refused, one failed";
		EXPECT_EQ((std::vector<std::string>{ "remove file C:\\Users\\Public\\Desktop\\Ed.LNK", "remove file C:\\Program Files\\Ed\\ok.txt" }), undo.steps);
	}

	TEST(RunJournal, WriterWritesWhatTheReaderReads)
	{
		smooth_test::ScratchFolder	 scratch;
		String				 path = scratch.Path("journal.txt");

		{
			Tolvane::JournalWriter	 writer;

			ASSERT_EQ(Success(), writer.Open(path, "C:\\Program Files\\Ed", "C:\\Program Files\\Ed\\uninstall\\run\\backup"));

			for (const JournalRecord &record : run) writer.Add(record);

			// Queued, not written: a crash now loses them, and their changes
			// must not have been made yet.
			Tolvane::JournalContents	 before;

			ASSERT_TRUE(Tolvane::ReadJournal(path, before));
			EXPECT_EQ(1u, before.records.size());

			ASSERT_EQ(Success(), writer.Write(false));
			ASSERT_TRUE(Tolvane::ReadJournal(path, before));
			EXPECT_EQ(run.size() + 1, before.records.size());
			EXPECT_FALSE(before.committed);

			ASSERT_EQ(Success(), writer.Commit());
			EXPECT_FALSE(writer.IsOpen());
		}

		Tolvane::JournalContents	 contents;

		ASSERT_TRUE(Tolvane::ReadJournal(path, contents));
		EXPECT_TRUE(contents.committed);
		EXPECT_EQ(scratch.Read("journal.txt"), Journal(run.size(), true));

		Tolvane::JournalWriter	 nowhere;

		EXPECT_EQ(Error(), nowhere.Open(scratch.Path("no such folder/journal.txt"), "C:\\", "C:\\b"));
		EXPECT_EQ(Error(), nowhere.Write(false));
		EXPECT_FALSE(Tolvane::ReadJournal(scratch.Path("missing"), contents));
	}
}
