#include "files_in_use.h"

#include "command_line.h"
#include "engine_test_support.h"
#include "upgrade.h"

#include <gtest/gtest.h>

#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace smooth;
using namespace EngineTest;

namespace
{
	// The fake system, taking (or refusing) what is left for the restart.
	class RestartSystem : public RecordingSystem
	{
		public:
			using RecordingSystem::RecordingSystem;

			bool				 refuse = false;
			std::vector<std::string>	 pending;	// "source>destination", or "path>" for a deletion

			bool ReplaceAtRestart(const String &source, const String &destination) override { pending.push_back(source.ToUTF8() + ">" + destination.ToUTF8()); return !refuse; }
			bool DeleteAtRestart(const String &path) override				 { pending.push_back(path.ToUTF8() + ">"); return !refuse; }
	};

	class InUseTest : public ::testing::Test
	{
		protected:
			smooth_test::ScratchFolder	 scratch;
			RestartSystem			 system { scratch.Root() };
			RecordingBar			 fileBar, totalBar;
			std::unique_ptr<Tolvane::Configuration> configuration;
			Tolvane::InstallChoices		 choices;
			String				 sep = String(std::wstring(1, System::System::PathSeparator));

			// Paths as text, for readable comparisons.
			std::vector<std::string> Files() const
			{
				std::vector<std::string> files;

				for (const String &path : Tolvane::FilesTheRunChanges(*configuration, choices)) files.push_back(path.ToUTF8());

				return files;
			}

			std::vector<std::string> Ts(std::initializer_list<const char *> names) const
			{
				std::vector<std::string> paths;

				for (const char *name : names) paths.push_back(T(name).ToUTF8());

				return paths;
			}

			String In(const String &folder, const String &name) const { return String(folder).Append(sep).Append(name); }
			String T(const char *name) const { return In(scratch.Path("Target"), name); }

			// Version 1 has a program, a library, an old file, a data file
			// and the uninstaller; version 2 drops the old file and adds one.
			void Load(const char *version, bool library)
			{
				std::string	 v1 = version == std::string("1") ? "1" : "";
				std::string	 xml = "<?xml version=\"1.0\"?><i><application><name>App</name><version>" + std::string(version) + "</version></application>"
						       "<uninstall createLog=\"true\"><file>notes.ini</file></uninstall><components>"
						       "<component id=\"c\" required=\"true\"><archive>" + scratch.Path(String("v").Append(version).Append(".zbk")).ToUTF8() + "</archive>"
						       + (library ? "<file>smooth.dll</file>" : "") + "</component>"
						       "<component id=\"o\"><archive>" + scratch.Path("optional.zbk").ToUTF8() + "</archive></component>"
						       "</components></i>";

				scratch.Write("setup.xml", xml);
				configuration = std::make_unique<Tolvane::Configuration>();
				ASSERT_EQ(Success(), configuration->LoadFile(scratch.Path("setup.xml")));

				choices.targetFolder = scratch.Path("Target");
				choices.selected     = { true, false };
			}

			void SetUp() override
			{
				WriteArchive(scratch.Path("v1.zbk"), { { "app.exe", "1" }, { "lib/a.dll", "1" }, { "old.txt", "1" }, { "notes.ini", "1" }, { "uninstall/uninstall.exe", "u1" } });
				WriteArchive(scratch.Path("v2.zbk"), { { "app.exe", "2" }, { "lib/a.dll", "2" }, { "new.txt", "2" }, { "notes.ini", "2" }, { "uninstall/uninstall.exe", "u2" } });
				WriteArchive(scratch.Path("optional.zbk"), { { "extra.txt", "x" } });
				scratch.Write("smooth.dll", "library");

				Load("1", true);
				ASSERT_TRUE(Run(nullptr).empty());
				scratch.Write(In("Target", "extra.txt"), "there, but its component is not marked");
				Load("2", true);
			}

			std::vector<Tolvane::InstallFailure> Run(std::vector<String> *restartWork, const std::set<std::wstring> &inUse = {}, bool takeBack = false)
			{
				Tolvane::InstallRun	 run(*configuration, choices, system, fileBar, totalBar);

				run.librarySource    = scratch.Path("smooth.dll");
				run.replaceAtRestart = inUse;
				run.Run();

				if (restartWork != nullptr) *restartWork = run.GetRestartWork();
				if (takeBack) run.TakeBack();

				return run.GetFailures();
			}
	};

	TEST_F(InUseTest, TheFilesToAskAboutAreTheExistingOnesTheRunReplacesOrRemoves)
	{
		// Not the uninstaller and its script (copied, never moved), not the
		// kept data file, not the unmarked component's file, not new.txt
		// (nothing there yet); each path once though the earlier script
		// lists the program too.
		EXPECT_EQ(Ts({ "app.exe", "lib/a.dll", "smooth.dll", "old.txt" }), Files());

		Load("2", false);
		choices.selected = { true, true };
		EXPECT_EQ(Ts({ "app.exe", "lib/a.dll", "extra.txt", "old.txt", "smooth.dll" }), Files())
			<< "the marked component's file; the library copied no more is removed";

		// Another product's script is not ours: its files are not removed.
		scratch.Write(In("Target", In("uninstall", "uninstall.xml")), "<?xml version=\"1.0\"?><UninstallScript><application>Other</application><file>" + T("old.txt").ToUTF8() + "</file></UninstallScript>");
		EXPECT_EQ(Ts({ "app.exe", "lib/a.dll", "extra.txt" }), Files());
	}

	TEST_F(InUseTest, AHeldFileThatTheNewVersionKeepsByteForByteIsNoReasonToAsk)
	{
		scratch.Write(In("Target", In("lib", "a.dll")), "2");

		std::vector<Tolvane::FileInUse>	 uses;

		for (const char *name : { "app.exe", "lib/a.dll", "old.txt", "smooth.dll" }) uses.push_back({ T(name), String(), 0 });

		std::vector<std::string>	 left;

		for (const Tolvane::FileInUse &use : Tolvane::WithoutUnchanged(uses, *configuration, choices)) left.push_back(use.path.ToUTF8());

		// app.exe differs; old.txt goes and the library is copied: no
		// archive holds them.
		EXPECT_EQ(Ts({ "app.exe", "old.txt", "smooth.dll" }), left);

		std::vector<String>	 restartWork;

		EXPECT_TRUE(Run(&restartWork, Tolvane::InUseKeys(uses)).empty());

		std::set<std::wstring>	 waiting;

		for (const String &path : restartWork) waiting.insert(Tolvane::PathKey(path));

		EXPECT_EQ(1u, waiting.count(Tolvane::PathKey(T("app.exe"))));
		EXPECT_EQ(0u, waiting.count(Tolvane::PathKey(T("lib/a.dll")))) << "the run leaves it as it is";
	}

	TEST_F(InUseTest, FilesInUseAreReplacedAndRemovedAtRestartOnlyOnceTheRunIsKept)
	{
		// A leftover from an earlier attempt already has the first name.
		scratch.Write(In("Target", "app.exe.new"), "stale");

		std::vector<String>	 work;
		std::vector<Tolvane::FileInUse> uses = { { T("app.exe"), "App", 1 }, { T("smooth.dll"), "App", 1 }, { T("old.txt"), String(), 0 } };

		ASSERT_TRUE(Run(&work, Tolvane::InUseKeys(uses)).empty());

		EXPECT_EQ((std::vector<String>{ T("app.exe"), T("smooth.dll"), T("old.txt") }), work);
		EXPECT_EQ((std::vector<std::string>{ T("app.exe.new2").ToUTF8() + ">" + T("app.exe").ToUTF8(), T("smooth.dll.new").ToUTF8() + ">" + T("smooth.dll").ToUTF8(), T("old.txt").ToUTF8() + ">" }), system.pending);

		// Until the restart the old files stay; the new ones wait beside them.
		EXPECT_EQ("1", scratch.Read(In("Target", "app.exe")));
		EXPECT_EQ("2", scratch.Read(In("Target", "app.exe.new2")));
		EXPECT_EQ("library", scratch.Read(In("Target", "smooth.dll.new")));
		EXPECT_EQ("1", scratch.Read(In("Target", "old.txt")));
		EXPECT_EQ("2", scratch.Read(In("Target", In("lib", "a.dll")))) << "a file nobody holds is replaced now";
		EXPECT_FALSE(Directory(Tolvane::RunFolderOf(scratch.Path("Target"))).Exists());

		// The script describes the state after the restart.
		std::vector<std::string> lines = ScriptEntries(T("uninstall/uninstall.xml"));

		EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "file " + T("app.exe").ToUTF8()));
		EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), "file " + T("old.txt").ToUTF8()));
		EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), "file " + T("app.exe.new2").ToUTF8()));
	}

	TEST_F(InUseTest, ARefusedRequestFailsTheRunAndTakingBackLeavesNoNewFileAndNoDeletion)
	{
		system.refuse = true;

		std::vector<Tolvane::InstallFailure> failures = Run(nullptr, Tolvane::InUseKeys({ { T("app.exe"), "App", 1 }, { T("old.txt"), "App", 1 } }), true);

		ASSERT_EQ(1u, failures.size());
		EXPECT_EQ(T("app.exe"), failures[0].path);
		EXPECT_EQ((std::vector<std::string>{ T("app.exe.new").ToUTF8() + ">" + T("app.exe").ToUTF8() }), system.pending) << "no deletion asked for by a run with failures";
		EXPECT_FALSE(File(T("app.exe.new")).Exists());
		EXPECT_EQ("1", scratch.Read(In("Target", In("lib", "a.dll"))));
		EXPECT_EQ("1", scratch.Read(In("Target", "old.txt")));
	}

	TEST(InUse, DescriptionGroupsFilesByProgram)
	{
		struct { std::vector<Tolvane::FileInUse> uses; const char *text; } cases[] = {
			{ {}, "" },
			{ { { "a", "Editor", 1 }, { "b", String(), 0 }, { "c", "Editor", 1 } }, "Editor: a, c\nUnknown program: b" },
			{ { { "1", "P", 1 }, { "2", "P", 1 }, { "3", "P", 1 } }, "P: 1, 2, 3" },
			{ { { "1", "P", 1 }, { "2", "P", 1 }, { "3", "P", 1 }, { "4", "P", 1 } }, "P: 1, 2, 3 and 1 more" },
		};

		for (const auto &c : cases) EXPECT_EQ(c.text, Tolvane::DescribeFilesInUse(c.uses).ToUTF8());
	}

	TEST(InUse, SilentExitCodes)
	{
		EXPECT_EQ(Tolvane::EXIT_OK, Tolvane::SilentExitCode(false, false));
		EXPECT_EQ(3010, Tolvane::SilentExitCode(false, true));
		EXPECT_EQ(Tolvane::EXIT_FAILED, Tolvane::SilentExitCode(true, true)) << "a failed run is taken back: nothing waits for the restart";
	}

#ifdef _WIN32
	// The pending deletions and replacements of the next start, as one text.
	std::wstring PendingOperations()
	{
		HKEY			 key;
		std::vector<wchar_t>	 data;
		DWORD			 type = 0, size = 0;

		if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"";

		if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS)
		{
			data.resize(size / sizeof(wchar_t) + 1, 0);
			RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, (BYTE *) data.data(), &size);
		}

		RegCloseKey(key);

		for (wchar_t &c : data) if (c == 0) c = L'|';

		return std::wstring(data.begin(), data.end());
	}

	// A file this process holds open without sharing is in use; one nobody
	// holds, or that does not exist, is not. A backup file still held when
	// the run commits stays for the next restart, with the run folder; the
	// journal goes at once.
	TEST(InUseOnWindows, HeldFilesAreFoundAndAHeldBackupGoesAtRestart)
	{
		smooth_test::ScratchFolder	 scratch;

		scratch.Write("held.txt", "held");
		scratch.Write("free.txt", "free");

		HANDLE	 held = CreateFileW(scratch.Path("held.txt").Wide(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

		ASSERT_NE(INVALID_HANDLE_VALUE, held);

		std::vector<Tolvane::FileInUse> uses = Tolvane::FindFilesInUseOnSystem({ scratch.Path("free.txt"), scratch.Path("held.txt"), scratch.Path("missing.txt") });

		CloseHandle(held);
		ASSERT_EQ(1u, uses.size());
		EXPECT_EQ(scratch.Path("held.txt"), uses[0].path);
		EXPECT_EQ("", uses[0].program.ToUTF8()) << "this process does not name itself";

		String			 target = scratch.Path("Target");
		String			 file	= String(target).Append("\\app.exe");

		Directory(target).Create();
		scratch.Write("Target\\app.exe", "old");

		Tolvane::RunTransaction	 run([](const String &, Tolvane::RegistrySnapshot &) { return true; });

		ASSERT_EQ(Success(), run.Begin(target, {}));
		ASSERT_TRUE(run.WillWriteFiles({ file }));
		ASSERT_TRUE(run.MakeRoomFor(file));

		String	 kept = String(Tolvane::BackupOf(target)).Append("\\0\\1");

		held = CreateFileW(kept.Wide(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
		ASSERT_NE(INVALID_HANDLE_VALUE, held);
		EXPECT_EQ(Success(), run.Commit());
		CloseHandle(held);

		EXPECT_FALSE(File(Tolvane::JournalOf(target)).Exists());
		EXPECT_TRUE(File(kept).Exists());

		std::wstring	 pending = PendingOperations();

		for (const String &path : { kept, String(Tolvane::BackupOf(target)).Append("\\0"), Tolvane::BackupOf(target), Tolvane::RunFolderOf(target) })
		{
			EXPECT_NE(std::wstring::npos, pending.find(std::wstring(L"\\??\\") + path.Wide() + L"||")) << path.ToUTF8();
		}

		EXPECT_LT(pending.find(kept.Wide()), pending.find((std::wstring(Tolvane::RunFolderOf(target).Wide()) + L"||").c_str())) << "the file before its folders";
	}
#endif
}
