#include "run_transaction.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace smooth;

namespace fs = std::filesystem;

namespace
{
	// Every file and folder below root: relative path -> bytes and write
	// time ("<dir>" for folders).
	std::map<std::string, std::string> Tree(const String &root)
	{
		std::map<std::string, std::string>	 tree;
		fs::path				 base = fs::u8path(root.ToUTF8());

		if (!fs::exists(base)) return tree;

		for (const auto &item : fs::recursive_directory_iterator(base))
		{
			std::string	 name = fs::relative(item.path(), base).generic_u8string();

			if (item.is_directory()) { tree[name] = "<dir>"; continue; }

			IO::InStream	 in(IO::STREAM_FILE, String::FromUTF8(item.path().u8string()), IO::IS_READ_ONLY);
			std::string	 bytes(size_t(in.Size()), '\0');

			if (!bytes.empty()) in.InputData(&bytes[0], Int(bytes.size()));

			tree[name] = bytes + " @" + std::to_string(fs::last_write_time(item.path()).time_since_epoch().count());
		}

		return tree;
	}

	void Write(const String &path, const std::string &bytes)
	{
		IO::OutStream	 out(IO::STREAM_FILE, path, IO::OS_REPLACE);

		out.OutputData(bytes.data(), Int(bytes.size()));
	}

	// Test double for the registry: entries in memory.
	struct MemoryRegistry
	{
		std::map<std::wstring, Tolvane::RegistrySnapshot> entries;

		Tolvane::RunTransaction::RegistryReader Reader()
		{
			return [this](const String &name, Tolvane::RegistrySnapshot &snapshot)
			{
				auto	 found = entries.find(name.WideString());

				snapshot = found == entries.end() ? Tolvane::RegistrySnapshot() : found->second;

				return true;
			};
		}

		Tolvane::FileSystemUndo::RegistryRestorer Restorer()
		{
			return [this](const String &name, const Tolvane::RegistrySnapshot &snapshot)
			{
				if (snapshot.exists) entries[name.WideString()] = snapshot;
				else		     entries.erase(name.WideString());

				return true;
			};
		}
	};

	Tolvane::RegistrySnapshot Entry(const char *version)
	{
		Tolvane::RegistrySnapshot	 snapshot;

		snapshot.exists = true;
		snapshot.values = { { "DisplayVersion", 1, version } };

		return snapshot;
	}

	// An upgrade in the order the installation makes its changes; stops
	// after step steps (as if killed there) and says whether it got through.
	struct Upgrade
	{
		const String	 target;
		MemoryRegistry	&registry;

		bool Run(Tolvane::RunTransaction &run, int steps)
		{
			String	 bin	 = Path::Join(target, "bin");
			String	 shared	 = Path::Join(target, "shared");
			String	 script	 = Path::Join(Path::Join(target, "uninstall"), "uninstall.xml");
			int	 step	 = 0;

			auto	 Go = [&]() { return step++ < steps; };

			if (!Go() || run.Begin(target, {}) != Success()) return false;
			if (!Go() || !run.WillMakeFolder(shared)) return false;
			if (!Go() || Directory(shared).CreateNew() != Success()) return false;
			String	 scriptPart = String(script).Append(".part");

			if (!Go() || !run.WillWriteFiles({ Path::Join(bin, "editor.exe"), Path::Join(shared, "new.txt"), script, scriptPart })) return false;
			if (!Go() || !run.MakeRoomFor(Path::Join(bin, "editor.exe"))) return false;
			if (!Go()) return false;
			Write(Path::Join(bin, "editor.exe"), "editor 2.0");
			if (!Go() || !run.MakeRoomFor(Path::Join(shared, "new.txt"))) return false;
			if (!Go()) return false;
			Write(Path::Join(shared, "new.txt"), "new in 2.0");
			if (!Go() || !run.RemoveFile(Path::Join(bin, "second.exe"))) return false;
			if (!Go() || !run.RemoveFile(Path::Join(Path::Join(target, "old"), "x.txt"))) return false;
			if (!Go() || !run.RemoveEmptyFolder(Path::Join(target, "old"))) return false;
			if (!Go() || !run.MakeRoomFor(script, true)) return false;
			if (!Go() || !File(script).Exists() || !run.MakeRoomFor(scriptPart)) return false;	// kept in place: the uninstaller can still start
			Write(scriptPart, "<UninstallScript>2.0</UninstallScript>");
			if (!Go() || File(scriptPart).Replace(File(script)) != Success()) return false;
			if (!Go() || !run.WillChangeRegistry("Editor")) return false;
			if (!Go()) return false;
			registry.entries[L"Editor"] = Entry("2.0");

			return true;
		}
	};

	class RunTransactionTest : public ::testing::Test
	{
		protected:
			smooth_test::ScratchFolder	 scratch;
			String				 target;
			MemoryRegistry			 registry;

			void SetUp() override
			{
				target = scratch.Path("Ed Ωmega");

				for (const char *folder : { "", "bin", "old", "uninstall", "user" }) Directory(Path::Join(target, folder)).Create();

				Write(Path::Join(Path::Join(target, "bin"), "editor.exe"), "editor 1.0");
				Write(Path::Join(Path::Join(target, "bin"), "second.exe"), "second 1.0");
				Write(Path::Join(Path::Join(target, "old"), "x.txt"), "old file");
				Write(Path::Join(Path::Join(target, "uninstall"), "uninstall.xml"), "<UninstallScript>1.0</UninstallScript>");
				Write(Path::Join(Path::Join(target, "user"), "mine.txt"), "the user's");

				// Times a second apart from "now", so a rewrite would show.
				for (const auto &item : fs::recursive_directory_iterator(fs::u8path(target.ToUTF8())))
				{
					if (item.is_regular_file()) fs::last_write_time(item.path(), fs::last_write_time(item.path()) - std::chrono::hours(24));
				}

				registry.entries[L"Editor"] = Entry("1.0");
			}
	};

	TEST_F(RunTransactionTest, TakenBackOrRecoveredAfterEveryStepTheEarlierStateReturns)
	{
		const auto	 before = Tree(target);
		const auto	 entries = registry.entries;

		for (int steps = 0; ; steps++)
		{
			SCOPED_TRACE("stopped after step " + std::to_string(steps));

			bool	 done;

			// Taken back by the run itself (the failure box's Yes) when
			// steps is even, by the next start (a kill) when odd.
			{
				Tolvane::RunTransaction	 run(registry.Reader());
				Tolvane::FileSystemUndo	 undo(registry.Restorer());

				done = Upgrade { target, registry }.Run(run, steps);

				if (steps % 2 == 0 && run.IsActive()) EXPECT_EQ(0, run.TakeBack(undo));
			}

			Tolvane::FileSystemUndo	 undo(registry.Restorer());
			Int			 failed = -1;
			Tolvane::Recovery	 recovery = Tolvane::RecoverRun(target, undo, failed);

			EXPECT_EQ(0, failed);
			EXPECT_EQ(steps % 2 == 0 || steps == 0 ? Tolvane::Recovery::None : Tolvane::Recovery::TakenBack, recovery);
			EXPECT_EQ(before, Tree(target));
			EXPECT_TRUE(entries == registry.entries);

			if (done) break;

			ASSERT_LT(steps, 100);
		}
	}

	TEST_F(RunTransactionTest, CommitKeepsTheNewStateAndDropsTheBackup)
	{
		{
			Tolvane::RunTransaction	 run(registry.Reader());

			ASSERT_TRUE((Upgrade { target, registry }.Run(run, 1000)));
			ASSERT_EQ(Success(), run.Commit());
		}

		auto	 after = Tree(target);

		EXPECT_EQ(0u, after.count("uninstall/run")) << "the run folder is gone";
		EXPECT_EQ(0u, after.count("old"));
		EXPECT_EQ(0u, after.count("bin/second.exe"));
		EXPECT_EQ(1u, after.count("user/mine.txt"));
		EXPECT_EQ(0u, after["bin/editor.exe"].rfind("editor 2.0", 0));
		EXPECT_EQ(Entry("2.0").values, registry.entries[L"Editor"].values);

		// Nothing left to recover.
		Tolvane::FileSystemUndo	 undo(registry.Restorer());
		Int			 failed = -1;

		EXPECT_EQ(Tolvane::Recovery::None, Tolvane::RecoverRun(target, undo, failed));
		EXPECT_EQ(after, Tree(target));
	}

	TEST_F(RunTransactionTest, JournalsThatAreNotForThisFolder)
	{
		String	 run = Tolvane::RunFolderOf(target);

		Directory(run).Create();

		struct { const char *name; std::string journal; Tolvane::Recovery recovery; bool runFolderStays; } rows[] = {
			{ "no journal yet", "", Tolvane::Recovery::None, false },
			{ "first line cut", "journ", Tolvane::Recovery::None, false },
			{ "another folder", "journal 1\n" + Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Target, "C:\\Elsewhere", "C:\\Elsewhere\\b" })
					  + Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::File, "C:\\Elsewhere\\f", "" }), Tolvane::Recovery::Refused, true },
			{ "committed", "journal 1\n" + Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Target, target, Tolvane::BackupOf(target) })
					+ Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::File, Path::Join(target, "user"), "" })
					+ Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Committed, "", "" }), Tolvane::Recovery::Finished, false },
		};

		const auto	 before = Tree(Path::Join(target, "bin"));

		for (const auto &row : rows)
		{
			Directory(run).Create();

			if (row.journal.size() > 0) Write(Tolvane::JournalOf(target), row.journal);

			Tolvane::FileSystemUndo	 undo(registry.Restorer());
			Int			 failed = -1;

			EXPECT_EQ(row.recovery, Tolvane::RecoverRun(target, undo, failed)) << row.name;
			EXPECT_EQ(row.runFolderStays, Directory(run).Exists()) << row.name;
			EXPECT_EQ(before, Tree(Path::Join(target, "bin"))) << row.name;

			File(Tolvane::JournalOf(target)).Delete();
			Directory(run).Delete();
		}
	}
}
