#include "uninstaller.h"
#include "run_transaction.h"
#include "test_support.h"
#include "uninstall_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace smooth;

namespace
{
	TEST(Uninstaller, TextsCommandLinesAndCleanupCommand)
	{
		struct { const char *application, *version, *question, *report, *caption; } texts[] = {
			{ "Pebble Notes", "2.5", "This will remove Pebble Notes 2.5 from your computer! Do you want to continue?", "Pebble Notes 2.5 has been removed from your computer!", "Pebble Notes Uninstaller" },
			{ "Pebble Notes", "", "This will remove Pebble Notes  from your computer! Do you want to continue?", "Pebble Notes  has been removed from your computer!", "Pebble Notes Uninstaller" },
			{ "", "", "This will remove   from your computer! Do you want to continue?", "  has been removed from your computer!", " Uninstaller" },
		};

		for (const auto &t : texts)
		{
			EXPECT_EQ(t.question, Tolvane::QuestionText(t.application, t.version).ToUTF8());
			EXPECT_EQ(t.report, Tolvane::ReportText(t.application, t.version).ToUTF8());
			EXPECT_EQ(t.caption, Tolvane::UninstallerCaption(t.application).ToUTF8());
		}

		struct { const char *line; bool temp; Int wait; } lines[] = {
			{ "", false, 0 }, { "--temp", true, 0 }, { "C:\\some path --temp", true, 0 }, { "--temp x", false, 0 },
			{ "--wait 4242 --temp", true, 4242 }, { "--wait x --temp", true, 0 }, { "--wait 99999999999 --temp", true, 0 },
		};

		for (const auto &l : lines)
		{
			EXPECT_EQ(l.temp, Tolvane::IsTempStart(l.line)) << l.line;
			EXPECT_EQ(l.wait, Tolvane::WaitedProcess(l.line)) << l.line;
		}

		struct { const char *line; bool silent; const char *log; } handed[] = {
			{ "--wait 12 /S \"/LOG=C:\\a b.log\" --temp", true, "C:\\a b.log" },
			{ "--wait 12 --temp", false, "" },
			{ "C:\\some path --temp", false, "" },
		};

		for (const auto &h : handed)
		{
			EXPECT_EQ(h.silent, Tolvane::RemovalOptions(h.line).silent) << h.line;
			EXPECT_EQ(h.log, Tolvane::RemovalOptions(h.line).logFile.ToUTF8()) << h.line;
		}

		String	 folder = Path::Join("C:", "Temp dir&(x)^");

		EXPECT_EQ(String("cmd /c \"del \"").Append(Path::Join(folder, "uninstall.exe")).Append("\" \"").Append(Path::Join(folder, "smooth.dll"))
			  .Append("\" & rmdir \"").Append(folder).Append("\"\""), Tolvane::CleanupCommand(folder));
	}

	TEST(Uninstaller, FreshFolderNeverMeetsAnOldOne)
	{
		smooth_test::ScratchFolder	 scratch;
		String				 base = Path::Join(scratch.Root(), "t");

		Directory(String(base).Append("77")).Create();
		scratch.Write("t77_1", "a file of that name");

		EXPECT_EQ(String(base).Append("77_2").ToUTF8(), Tolvane::MakeFreshFolder(base, 77).ToUTF8());
		EXPECT_EQ(String(base).Append("78").ToUTF8(), Tolvane::MakeFreshFolder(base, 78).ToUTF8());
		EXPECT_EQ("", Tolvane::MakeFreshFolder(Path::Join(scratch.Path("no such folder"), "t"), 1).ToUTF8());
	}

	// Test double of Windows for the two runs: answers message boxes from a
	// list and records what the runs asked of the system.
	class RecordingSystem : public Tolvane::UninstallSystem
	{
		public:
			std::vector<Int>		 answers;
			std::vector<std::string>	 calls;
			String				 temp;
			bool				 startFails = false;

			Int ShowMessage(const String &text, const String &caption, Int buttons, Int icon) override
			{
				calls.push_back("message " + caption.ToUTF8() + ": " + text.ToUTF8() + " " + std::to_string(buttons) + "/" + std::to_string(icon));

				Int	 answer = answers.empty() ? 0 : answers.front();

				if (!answers.empty()) answers.erase(answers.begin());

				return answer;
			}
			bool StartProgram(const String &program, const String &parameters, const String &folder) override
			{
				calls.push_back("start " + program.ToUTF8() + " " + parameters.ToUTF8() + " in " + folder.ToUTF8());

				return !startFails;
			}
			bool WriteRunOnce(const String &name, const String &command) override
			{
				calls.push_back("runonce " + name.ToUTF8() + " = " + command.ToUTF8());

				return true;
			}
			void WaitForProcess(Int processId, Int milliseconds) override { calls.push_back("wait " + std::to_string(processId)); }
			bool DeleteUninstallEntry(const String &name) override	{ calls.push_back("unregister " + name.ToUTF8()); return true; }
			String GetProgramFile() override			{ return program; }
			bool SetWorkingFolder(const String &folder) override	{ std::filesystem::current_path(folder.ToUTF8()); return true; }
			String				 program;
			UnsignedInt GetTickCount() override	{ return 1234; }
			Int GetProcessId() override		{ return 4242; }
			String GetTempDirectory() override	{ return temp; }
			String GetWorkingFolder() override	{ return String::FromUTF8(std::filesystem::current_path().u8string()); }
			bool RestoreRegistration(const String &name, const Tolvane::RegistrySnapshot &snapshot) override
			{
				calls.push_back("restore registration " + name.ToUTF8() + (snapshot.exists ? " (exists)" : " (none)"));

				return true;
			}

			// Files "held" by a program, for as many questions as heldFor says.
			std::vector<String>		 held;
			Int				 heldFor = 1000;

			std::vector<Tolvane::FileInUse> FindFilesInUse(const std::vector<String> &paths) override
			{
				std::vector<Tolvane::FileInUse>	 uses;

				for (const String &path : paths) for (const String &file : held) if (heldFor > 0 && path == file) uses.push_back({ path, "Editor", 9 });

				heldFor--;

				return uses;
			}

			bool DeleteAtRestart(const String &path) override { calls.push_back("at restart " + path.ToUTF8()); return true; }

			void ShowProgress(const String &title, const String &text, Int percent) override { calls.push_back("progress " + title.ToUTF8() + ": " + text.ToUTF8() + " " + std::to_string(percent)); }
			void EndProgress() override { calls.push_back("end progress"); }
	};

	String InstalledUninstallerName() { return Path::Join("uninstall", "uninstall.exe"); }

	// An installed product in a scratch folder, which is the working folder
	// while the test runs.
	class UninstallerRun : public ::testing::Test
	{
		protected:
			smooth_test::ScratchFolder	 scratch;
			RecordingSystem			 system;
			std::filesystem::path		 previous = std::filesystem::current_path();
			String				 install  = scratch.Path("install");
			String				 temp	  = Path::Join(scratch.Root(), "tmp-");

			void SetUp() override
			{
				system.temp = temp;
				Directory(Path::Join(install, "uninstall")).Create();
				Write(Path::Join("uninstall", "uninstall.exe"), "MZ program");
				Write("smooth.dll", "MZ library");
				Write("app.txt", "app");
				Write(Path::Join("uninstall", "uninstall.xml"), Script());
				std::filesystem::current_path(install.ToUTF8());
			}

			void TearDown() override { std::filesystem::current_path(previous); }

			void Write(const String &name, const std::string &bytes) { scratch.Write(Path::Join("install", name), bytes); }

			std::string Script() const
			{
				return "<UninstallScript><application>App</application><version>1.0</version>"
				       "<file>" + Path::Join(install, "app.txt").ToUTF8() + "</file><file>" + Path::Join(install, "smooth.dll").ToUTF8() + "</file>"
				       "<directory>" + Path::Join(install, "uninstall").ToUTF8() + "</directory>"
				       "<file>" + Path::Join(install, Path::Join("uninstall", "uninstall.exe")).ToUTF8() + "</file>"
				       "<registry>" + std::string(Tolvane::UninstallKeyPath) + "App</registry><registry>HKEY_LOCAL_MACHINE\\Software\\Other</registry>"
				       "<file>" + Path::Join(install, Path::Join("uninstall", "uninstall.xml")).ToUTF8() + "</file></UninstallScript>";
			}
	};

	TEST_F(UninstallerRun, FirstInstanceAsksCopiesStartsAndLeavesTheCleanup)
	{
		String	 copy = String(temp).Append("1234");

		String	 silentCopy = String(temp).Append("1234_1");
		String	 deadCopy   = String(temp).Append("1234_2");
		String	 logFile    = scratch.Path("u.log");

		struct { const char *name; const char *line; Int answer; const char *missing; bool startFails; Int exit; std::vector<std::string> calls; } cases[] = {
			{ "No", "", 7, nullptr, false, 0, { "message App Uninstaller: " + Tolvane::QuestionText("App", "1.0").ToUTF8() + " 4/32514" } },
			{ "started elsewhere", "", 6, "smooth.dll", false, 3, { "message App Uninstaller: " + std::string(Tolvane::WrongFolderText) + " 0/32515" } },
			{ "silent elsewhere", "/S", 6, "smooth.dll", false, 3, {} },
			{ "Yes", "", 6, nullptr, false, 0, { "message App Uninstaller: " + Tolvane::QuestionText("App", "1.0").ToUTF8() + " 4/32514",
						     "start " + Path::Join(copy, "uninstall.exe").ToUTF8() + " --wait 4242 --temp in " + copy.ToUTF8(),
						     "runonce removeTempFiles1234 = " + Tolvane::CleanupCommand(copy).ToUTF8() } },
			{ "silent", "/S", 7, nullptr, false, 0, { "start " + Path::Join(silentCopy, "uninstall.exe").ToUTF8() + " --wait 4242 /S \"/LOG=" + logFile.ToUTF8() + "\" --temp in " + silentCopy.ToUTF8(),
							      "runonce removeTempFiles1234 = " + Tolvane::CleanupCommand(silentCopy).ToUTF8() } },
			// The copy cannot start: said so, its folder gone (so the next
			// run gets the same name again), no clean-up command left.
			{ "Yes, the copy cannot start", "", 6, nullptr, true, 1, { "message App Uninstaller: " + Tolvane::QuestionText("App", "1.0").ToUTF8() + " 4/32514",
										   "start " + Path::Join(deadCopy, "uninstall.exe").ToUTF8() + " --wait 4242 --temp in " + deadCopy.ToUTF8(),
										   "message App Uninstaller: " + std::string(Tolvane::StartFailedText) + " 0/32515" } },
			{ "silent, the copy cannot start", "/S", 6, nullptr, true, 1, { "start " + Path::Join(deadCopy, "uninstall.exe").ToUTF8() + " --wait 4242 /S \"/LOG=" + logFile.ToUTF8() + "\" --temp in " + deadCopy.ToUTF8() } },
		};

		for (const auto &c : cases)
		{
			system.calls.clear();
			system.answers	  = { c.answer };
			system.startFails = c.startFails;

			// Started from the list of installed programs: another working
			// folder; the program finds the installation from its own place.
			system.program = Path::Join(install, InstalledUninstallerName());
			std::filesystem::current_path(scratch.Root().ToUTF8());

			if (c.missing != nullptr) std::filesystem::rename(Path::Join(install, c.missing).ToUTF8(), Path::Join(install, "moved").ToUTF8());

			Tolvane::Options options = Tolvane::ParseOptions(c.line, false);

			if (options.silent) options.logFile = logFile;

			EXPECT_EQ(c.exit, Tolvane::RunFirstInstance(system, options)) << c.name;
			EXPECT_EQ(c.calls, system.calls) << c.name;

			if (c.name == std::string("silent")) EXPECT_NE(std::string::npos, scratch.Read("u.log").find("relocated to " + silentCopy.ToUTF8())) << scratch.Read("u.log");

			std::filesystem::current_path(install.ToUTF8());

			if (c.missing != nullptr) std::filesystem::rename(Path::Join(install, "moved").ToUTF8(), Path::Join(install, c.missing).ToUTF8());

			// Nothing of the installation is touched by the first instance.
			EXPECT_TRUE(File("app.txt").Exists()) << c.name;
			EXPECT_FALSE(Directory(deadCopy).Exists()) << c.name;
		}

		// The last run's log (each silent run starts it anew).
		EXPECT_NE(std::string::npos, scratch.Read("u.log").find("FAILED the uninstaller's copy in " + deadCopy.ToUTF8() + " could not be started")) << scratch.Read("u.log");

		std::vector<String>	 folders = Directory(scratch.Root()).GetDirectories();

		std::sort(folders.begin(), folders.end(), [](const String &a, const String &b) { return a.ToUTF8() < b.ToUTF8(); });

		EXPECT_EQ((std::vector<String>{ "install", "tmp-1234", "tmp-1234_1" }), folders);

		EXPECT_EQ((std::vector<String>{ "smooth.dll", "uninstall.exe", "uninstall.xml" }), Directory(copy).GetFiles());
		EXPECT_EQ("MZ program", scratch.Read(Path::Join("tmp-1234", "uninstall.exe")));
		// The script goes along, without the other program's entry in the
		// list of installed programs.
		Tolvane::ScriptContents	 installed, copied;

		ASSERT_TRUE(Tolvane::ParseUninstallScript(Script(), installed));
		ASSERT_TRUE(Tolvane::ReadUninstallScript(Path::Join(copy, "uninstall.xml"), copied));
		EXPECT_EQ("App", copied.application.ToUTF8());
		EXPECT_EQ("1.0", copied.version.ToUTF8());
		EXPECT_EQ(installed.removal.files, copied.removal.files);
		EXPECT_EQ(installed.removal.folders, copied.removal.folders);
		EXPECT_EQ((std::vector<String>{ String(Tolvane::UninstallKeyPath).Append("App") }), copied.removal.registryKeys);
	}

	// A script edited to name files and folders elsewhere: the copy removes
	// the installation and nothing outside it.
	TEST_F(UninstallerRun, AnEditedScriptRemovesNothingOutsideTheInstallation)
	{
		scratch.Write("victim.txt", "someone else's");
		Directory(scratch.Path("victim")).Create();
		std::string script = Script();
		script.insert(script.find("</UninstallScript>"), "<file>" + scratch.Path("victim.txt").ToUTF8() + "</file>"
			"<file>" + Path::Join(install, Path::Join("..", "victim.txt")).ToUTF8() + "</file>"
			"<directory>" + scratch.Path("victim").ToUTF8() + "</directory>");
		Write(Path::Join("uninstall", "uninstall.xml"), script);
		system.answers = { 6 };

		ASSERT_EQ(0, Tolvane::RunFirstInstance(system, Tolvane::ParseOptions(String::FromUTF8("/S \"/LOG=" + scratch.Path("e.log").ToUTF8() + "\""), false)));
		EXPECT_NE(std::string::npos, scratch.Read("e.log").find("refused 4 entries of the uninstall script")) << scratch.Read("e.log");

		std::filesystem::current_path((String(temp).Append("1234")).ToUTF8());
		Tolvane::RunRemovalInstance(system, "--wait 4242 /S --temp");

		EXPECT_FALSE(File(Path::Join(install, "app.txt")).Exists());
		EXPECT_EQ("someone else's", scratch.Read("victim.txt"));
		EXPECT_TRUE(Directory(scratch.Path("victim")).Exists());
	}

	TEST_F(UninstallerRun, RemovalWaitsRemovesReportsAndDropsItsScript)
	{
		// As the relocated copy: its own folder holds the script copy.
		Directory(String(temp).Append("9")).Create();
		scratch.Write(Path::Join("tmp-9", "uninstall.xml"), Script());
		scratch.Write(Path::Join("install", "user.txt"), "the user's");
		std::filesystem::current_path((String(temp).Append("9")).ToUTF8());

		Tolvane::RunRemovalInstance(system, "--wait 77 --temp");

		EXPECT_EQ((std::vector<std::string>{ "wait 77", "unregister App", "message App Uninstaller: " + Tolvane::ReportText("App", "1.0").ToUTF8() + " 0/32515" }), system.calls);
		EXPECT_EQ((std::vector<String>{ "user.txt" }), Directory(install).GetFiles()) << "exactly what the script lists goes";
		EXPECT_TRUE(Directory(install).GetDirectories().empty());
		EXPECT_FALSE(File("uninstall.xml").Exists());

		// Silent: no report, and the log says what went and what stayed.
		system.calls.clear();
		scratch.Write(Path::Join("tmp-9", "uninstall.xml"), Script());
		scratch.Write(Path::Join("install", "app.txt"), "again");
		Tolvane::RunRemovalInstance(system, String("--wait 5 /S \"/LOG=").Append(scratch.Path("r.log")).Append("\" --temp"));

		EXPECT_EQ((std::vector<std::string>{ "wait 5", "unregister App" }), system.calls);
		EXPECT_FALSE(File(Path::Join(install, "app.txt")).Exists());
		EXPECT_NE(std::string::npos, scratch.Read("r.log").find("removed file " + Path::Join(install, "app.txt").ToUTF8()));
		// Gone already (removed by the first run) is as good as removed.
		EXPECT_NE(std::string::npos, scratch.Read("r.log").find("removed file " + Path::Join(install, "smooth.dll").ToUTF8() + "\r\n"));
		EXPECT_EQ(std::string::npos, scratch.Read("r.log").find("kept ")) << scratch.Read("r.log");

		// Without a readable script nothing is removed and nothing shown.
		system.calls.clear();
		scratch.Write(Path::Join("tmp-9", "uninstall.xml"), "<UninstallScript><file>");
		Tolvane::RunRemovalInstance(system, "--temp");

		EXPECT_TRUE(system.calls.empty());
		EXPECT_TRUE(File("uninstall.xml").Exists());
		EXPECT_TRUE(File(Path::Join(install, "user.txt")).Exists());
	}

	// An installation run killed in the folder: its journal is taken back
	// before the script is read, and the user hears of it once.
	TEST_F(UninstallerRun, AnUnfinishedInstallationRunIsTakenBackFirst)
	{
		String	 backup = Tolvane::BackupOf(install);

		Directory(backup).Create();
		Write("new.txt", "written by the killed run");
		Write(Path::Join(Path::Join(Path::Join("uninstall", "run"), "backup"), "1"), "app");
		File("app.txt").Delete();
		Write(Path::Join(Path::Join(Path::Join("uninstall", "run"), "backup"), "2"), Tolvane::EncodeRegistrySnapshot({}));

		std::string	 journal = "journal 1\n" + Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Target, install, backup });

		journal += Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::File, Path::Join(install, "new.txt"), "" });
		journal += Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Saved, Path::Join(install, "app.txt"), Path::Join(backup, "1") });
		journal += Tolvane::EncodeJournalRecord({ Tolvane::JournalRecord::Kind::Registry, "App", Path::Join(backup, "2") });
		Write(Path::Join(Path::Join("uninstall", "run"), "journal.txt"), journal);

		system.answers = { 0, 7 };

		EXPECT_EQ(0, Tolvane::RunFirstInstance(system, Tolvane::Options()));
		EXPECT_EQ((std::vector<std::string>{ "restore registration App (none)",
						     "message App Uninstaller: " + Tolvane::UnfinishedRunText(install, 0).ToUTF8() + " 0/32515",
						     "message App Uninstaller: " + Tolvane::QuestionText("App", "1.0").ToUTF8() + " 4/32514" }), system.calls);
		EXPECT_FALSE(File("new.txt").Exists());
		EXPECT_EQ("app", scratch.Read(Path::Join("install", "app.txt")));
		EXPECT_FALSE(Directory(Tolvane::RunFolderOf(install)).Exists());
	}

	// Files in use: the first instance asks after Yes (Retry looks again,
	// Ignore hands the files to the copy, Abort changes nothing); a silent
	// run leaves them for the restart and says so in its exit code. The copy
	// deletes them, and the folders holding them, at restart.
	TEST_F(UninstallerRun, FilesInUseAreAskedAboutAndLeftForTheRestart)
	{
		String	 app	= Path::Join(install, "app.txt");
		std::string asked = "message App Uninstaller: " + Tolvane::FilesInUseQuestion({ { app, "Editor", 9 } }, true).ToUTF8() + " 2/32515";
		std::string yes	  = "message App Uninstaller: " + Tolvane::QuestionText("App", "1.0").ToUTF8() + " 4/32514";

		struct { const char *name; const char *line; std::vector<Int> answers; Int heldFor; Int exit; bool copied; size_t questions; } cases[] = {
			{ "Abort", "", { 6, 3 }, 1000, 0, false, 1 },
			{ "closed before Retry", "", { 6, 4 }, 1, 0, true, 1 },
			{ "Retry, then Ignore", "", { 6, 4, 5 }, 1000, 3010, true, 2 },
			{ "silent", "/S", {}, 1000, 3010, true, 0 },
		};

		UnsignedInt	 tick = 0;

		for (const auto &c : cases)
		{
			SCOPED_TRACE(c.name);

			system.calls.clear();
			system.answers = c.answers;
			system.held    = { app };
			system.heldFor = c.heldFor;

			EXPECT_EQ(c.exit, Tolvane::RunFirstInstance(system, Tolvane::ParseOptions(c.line, false)));
			EXPECT_EQ(c.questions, size_t(std::count(system.calls.begin(), system.calls.end(), asked)));
			EXPECT_EQ(!String(c.line).StartsWith("/S"), !system.calls.empty() && system.calls[0] == yes);

			String	 name = String("tmp-1234").Append(tick == 0 ? String() : String("_").Append(String::FromInt(tick)));

			EXPECT_EQ(c.copied, Directory(scratch.Path(name)).Exists());

			if (!c.copied) continue;

			tick++;

			String	 list = Path::Join(name, "restart.txt");

			EXPECT_EQ(c.exit == 3010 ? app.ToUTF8() + "\n" : std::string("(none)"), File(scratch.Path(list)).Exists() ? scratch.Read(list) : std::string("(none)"));
		}

		// The copy: the held file stays until the restart, and so does the
		// folder that holds it; the report says so.
		Directory(Path::Join(install, "sub")).Create();
		Write(Path::Join("sub", "held.txt"), "held");
		Directory(String(temp).Append("9")).Create();
		scratch.Write(Path::Join("tmp-9", "uninstall.xml"), "<UninstallScript><application>App</application><version>1.0</version>"
			      "<file>" + app.ToUTF8() + "</file><directory>" + Path::Join(install, "sub").ToUTF8() + "</directory>"
			      "<file>" + Path::Join(install, Path::Join("sub", "held.txt")).ToUTF8() + "</file></UninstallScript>");
		scratch.Write(Path::Join("tmp-9", "restart.txt"), Path::Join(install, Path::Join("sub", "held.txt")).ToUTF8() + "\n");
		std::filesystem::current_path((String(temp).Append("9")).ToUTF8());
		system.calls.clear();

		Tolvane::RunRemovalInstance(system, "--temp");

		EXPECT_EQ((std::vector<std::string>{ "at restart " + Path::Join(install, Path::Join("sub", "held.txt")).ToUTF8(), "at restart " + Path::Join(install, "sub").ToUTF8(),
						     "message App Uninstaller: " + Tolvane::ReportText("App", "1.0").ToUTF8() + "\n\nSome of its files were in use; they are removed when the computer restarts. 0/32515" }), system.calls);
		EXPECT_FALSE(File(app).Exists());
		EXPECT_TRUE(File(Path::Join(install, Path::Join("sub", "held.txt"))).Exists());
		EXPECT_FALSE(File("restart.txt").Exists());
		EXPECT_FALSE(File("uninstall.xml").Exists());
	}

	// Passive: the first instance asks nothing and hands /P on; the copy
	// shows its progress step by step instead of a report.
	TEST_F(UninstallerRun, PassiveShowsProgressAndAsksNothing)
	{
		system.answers = { 7 };

		EXPECT_EQ(0, Tolvane::RunFirstInstance(system, Tolvane::ParseOptions("/P", false)));
		ASSERT_EQ(2u, system.calls.size());
		EXPECT_EQ("start " + Path::Join(String(temp).Append("1234"), "uninstall.exe").ToUTF8() + " --wait 4242 /P --temp in " + String(temp).Append("1234").ToUTF8(), system.calls[0]);
		EXPECT_TRUE(Tolvane::RemovalOptions("--wait 4242 /P --temp").passive);

		std::filesystem::current_path((String(temp).Append("1234")).ToUTF8());
		system.calls.clear();
		Tolvane::RunRemovalInstance(system, "--wait 4242 /P --temp");

		// Four files and a folder: a step each, the registration, then the
		// whole bar.
		std::string	 progress = "progress App Uninstaller: Removing App 1.0 from your computer... ";
		std::vector<std::string> expected = { "wait 4242" };

		for (Int percent : { 0, 0, 20, 40, 60, 80 }) expected.push_back(progress + std::to_string(percent));

		expected.insert(expected.end(), { "unregister App", progress + "100", "end progress" });

		EXPECT_EQ(expected, system.calls);
		EXPECT_FALSE(File(Path::Join(install, "app.txt")).Exists());
	}
}
