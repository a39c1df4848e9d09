#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

using namespace smooth;
using namespace EngineTest;

namespace
{
	TEST(Progress, TotalAfterComponentAndCopyBlocks)
	{
		struct { Int index, components, copies, total; } totals[] = {
			{ 0, 3, 0, 33 }, { 0, 3, 1, 25 }, { 2, 3, 0, 100 }, { 3, 4, 0, 100 }, { 1, 6, 1, 28 },
		};

		for (const auto &t : totals) EXPECT_EQ(t.total, Tolvane::TotalAfterComponent(t.index, t.components, t.copies)) << t.index << " of " << t.components;

		struct { Int64 size; Int block; } blocks[] = {
			{ 0, 10000 }, { 999999, 10000 }, { 1000000, 10000 }, { 1000050, 10000 }, { 2500000, 25000 },
		};

		for (const auto &b : blocks) EXPECT_EQ(b.block, Tolvane::CopyBlockSize(b.size)) << b.size;
	}

	// A staged product in a scratch folder: archives and the library in the
	// working folder, the target folder and the special folders below it.
	class RunTest : public ::testing::Test
	{
		protected:
			smooth_test::ScratchFolder	 scratch;
			RecordingSystem			 system { scratch.Root() };
			RecordingBar			 fileBar, totalBar;
			std::unique_ptr<Tolvane::Configuration> configuration;
			Tolvane::InstallChoices		 choices;
			String				 sep = String(std::wstring(1, System::System::PathSeparator));

			String In(const String &folder, const String &name) const { return String(folder).Append(sep).Append(name); }
			String Target() const { return scratch.Path("Target"); }

			// Loads a setup script whose components and links are given.
			void Load(const std::string &components, const std::string &links, bool createLog = true)
			{
				std::string xml = "<?xml version=\"1.0\"?><i><application><name>App</name><version>1.2</version></application>"
						  "<uninstall createLog=\"" + std::string(createLog ? "true" : "false") + "\"><file>notes.ini</file></uninstall>"
						  "<components>" + components + "</components><links>" + links + "</links></i>";

				scratch.Write("setup.xml", xml);

				configuration = std::make_unique<Tolvane::Configuration>();

				ASSERT_EQ(Success(), configuration->LoadFile(scratch.Path("setup.xml")));

				choices.targetFolder = Target();
			}

			String Archive(const char *name) const { return scratch.Path(name); }

			std::vector<Tolvane::InstallFailure> Run()
			{
				Tolvane::InstallRun	 run(*configuration, choices, system, fileBar, totalBar);

				run.librarySource = scratch.Path("smooth.dll");

				EXPECT_EQ(Success(), run.Run());

				return run.GetFailures();
			}

			std::string Line(const char *element, const String &path) const { return std::string(element) + " " + path.ToUTF8(); }
	};

	TEST_F(RunTest, RecordsEverythingInOrder)
	{
		WriteArchive(Archive("core.zbk"), { { "bin/tools/x.exe", "x" }, { "readme.txt", "r" }, { "empty/", "" } });
		WriteArchive(Archive("docs.zbk"), { { "en/manual.txt", "m" } });
		Load("<component id=\"core\" required=\"true\"><archive>" + Archive("core.zbk").ToUTF8() + "</archive><file>smooth.dll</file></component>"
		     "<component id=\"docs\" subdir=\"docs\" default=\"true\"><archive>" + Archive("docs.zbk").ToUTF8() + "</archive></component>"
		     "<component id=\"extra\" subdir=\"extra\"><archive>" + Archive("extra.zbk").ToUTF8() + "</archive></component>",
		     "<desktop><link file=\"bin\\x.exe\">App</link></desktop>"
		     "<startmenu subdir=\"Group\"><link file=\"bin\\x.exe\">App %VERSION%</link><link file=\"extra.txt\" depends=\"extra\">Extra</link></startmenu>"
		     "<quicklaunch><link file=\"bin\\x.exe\">App</link></quicklaunch>");
		scratch.Write("smooth.dll", std::string(1234, 'd'));
		choices.selected = { true, true, false };
		choices.createStartMenu = choices.createDesktop = true;

		EXPECT_TRUE(Run().empty());

		String	 t = Target(), docs = In(t, "docs"), desktop = system.folders[25], group = In(system.folders[23], "Group");
		std::vector<std::string> expected = {
			"application App", "version 1.2",
			Line("directory", t),
			Line("directory", In(t, "bin")), Line("directory", In(t, In("bin", "tools"))), Line("file", In(t, "bin/tools/x.exe")),
			Line("file", In(t, "readme.txt")),
			Line("directory", In(t, "empty")), Line("file", In(t, "empty/")),
			Line("directory", docs), Line("directory", In(docs, "en")), Line("file", In(docs, "en/manual.txt")),
			Line("file", In(t, "smooth.dll")),
			Line("file", In(desktop, "App.lnk")),
			// The group folder is recorded although a desktop link came first.
			Line("directory", group), Line("file", In(group, "App 1.2.lnk")),
			Line("file", In(t, "notes.ini")),
			Line("directory", In(t, "uninstall")), Line("file", In(In(t, "uninstall"), "uninstall.xml")),
		};

		EXPECT_EQ(expected, ScriptEntries(In(In(t, "uninstall"), "uninstall.xml")));
		EXPECT_EQ("x", scratch.Read(In("Target", In("bin", In("tools", "x.exe")))));
		EXPECT_EQ("m", scratch.Read(In("Target", In("docs", In("en", "manual.txt")))));
		EXPECT_EQ(std::string(1234, 'd'), scratch.Read(In("Target", "smooth.dll")));
		EXPECT_EQ((std::vector<Int>{ 25, 23 }), system.asked) << "all-users folders on the NT family";
		ASSERT_EQ(2u, system.links.size());
		EXPECT_EQ(In(desktop, "App.lnk").ToUTF8() + "|" + In(t, "bin\\x.exe").ToUTF8() + "|" + t.ToUTF8(), system.links[0]);
	}

	// Entries from different folders in turn, a deeper one, and a file that
	// stands where later entries need their folder: every new folder level
	// is recorded once, parents first, before the file; one that cannot be
	// made is tried again for each entry below it.
	TEST_F(RunTest, EntryFoldersAreRecordedOnceParentsFirst)
	{
		WriteRawArchive(Archive("core.zbk"), { { "a/x", "1" }, { "b/y", "2" }, { "a/z", "3" }, { "a/b/c/d", "4" }, { "a/b/e", "5" },
						       { "f", "6" }, { "f/g", "7" }, { "f/h", "8" } });
		Load("<component id=\"core\"><archive>" + Archive("core.zbk").ToUTF8() + "</archive></component>", "");
		choices.selected = { true };

		std::vector<Tolvane::InstallFailure> failures = Run();

		String	 t = Target(), f = In(t, "f");
		std::vector<std::string> expected = {
			"application App", "version 1.2", Line("directory", t),
			Line("directory", In(t, "a")), Line("file", In(t, "a/x")),
			Line("directory", In(t, "b")), Line("file", In(t, "b/y")),
			Line("file", In(t, "a/z")),
			Line("directory", In(t, In("a", "b"))), Line("directory", In(t, In("a", In("b", "c")))), Line("file", In(t, "a/b/c/d")),
			Line("file", In(t, "a/b/e")),
			Line("file", f),
			Line("directory", f), Line("file", In(t, "f/g")),
			Line("directory", f), Line("file", In(t, "f/h")),
			Line("file", In(t, "notes.ini")), Line("directory", In(t, "uninstall")), Line("file", In(In(t, "uninstall"), "uninstall.xml")),
		};

		EXPECT_EQ(expected, ScriptEntries(In(In(t, "uninstall"), "uninstall.xml")));

		std::vector<std::string> causes;

		// Without the system's words, which differ between systems.
		for (const auto &failure : failures) causes.push_back(failure.path.ToUTF8() + ": " + failure.cause.Head(failure.cause.Find(" (") >= 0 ? failure.cause.Find(" (") : failure.cause.Length()).ToUTF8());

		EXPECT_EQ((std::vector<std::string>{ f.ToUTF8() + ": cannot create the folder", In(t, "f/g").ToUTF8() + ": cannot write the destination",
						     f.ToUTF8() + ": cannot create the folder", In(t, "f/h").ToUTF8() + ": cannot write the destination" }), causes);
		EXPECT_EQ("4", scratch.Read(In("Target", In("a", In("b", In("c", "d"))))));
		EXPECT_EQ("6", scratch.Read(In("Target", "f")));

		// Each file's bar runs from 0 to 100 (the first over the decoding of
		// the whole chunk, eight bytes); a file whose folder is missing moves
		// nothing.
		std::vector<Int>	 bar = { 0, 12, 25, 37, 50, 62, 75, 87, 100, 100 };

		for (int file = 1; file < 6; file++) bar.insert(bar.end(), { 0, 100, 100 });

		EXPECT_EQ(bar, fileBar.values);
	}

	TEST_F(RunTest, ExistingTargetAndSubdirDotAreNotRecorded)
	{
		WriteArchive(Archive("core.zbk"), { { "a.txt", "a" } });
		Load("<component id=\"core\" subdir=\".\"><archive>" + Archive("core.zbk").ToUTF8() + "</archive></component>", "", false);
		Directory(Target()).Create();
		Directory(In(Target(), "uninstall")).Create();
		choices.selected = { true };

		EXPECT_TRUE(Run().empty());
		EXPECT_EQ("a", scratch.Read(In("Target", "a.txt")));
		EXPECT_FALSE(File(In(In(Target(), "uninstall"), "uninstall.xml")).Exists()) << "no script without createLog";
	}

	TEST_F(RunTest, BarsFollowComponentsAndTheLibraryCopy)
	{
		struct { Int64 library; std::vector<Int> firstTotals; Int lastTotal; } cases[] = {
			{ -1, { 33 }, 33 },		// no library copy: three components, the first marked
			{ 1000050, { 25, 75 }, 100 },	// with a copy the total jumps to 75 and ends at 100
			{ 0, { 25 }, 25 },		// an empty library moves nothing after the components
		};

		for (const auto &c : cases)
		{
			fileBar.values.clear();
			totalBar.values.clear();
			WriteArchive(Archive("core.zbk"), { { "a.txt", "a" } });
			Load(std::string("<component id=\"a\"><archive>") + Archive("core.zbk").ToUTF8() + "</archive>" + (c.library >= 0 ? "<file>smooth.dll</file>" : "") + "</component>"
			     "<component id=\"b\"><archive>b.zbk</archive></component><component id=\"c\"><archive>c.zbk</archive></component>", "", false);
			if (c.library >= 0) scratch.Write("smooth.dll", std::string(size_t(c.library), 'x'));
			choices.selected = { true, false, false };

			Run();

			ASSERT_GE(totalBar.values.size(), c.firstTotals.size()) << c.library;
			EXPECT_EQ(c.firstTotals, std::vector<Int>(totalBar.values.begin(), totalBar.values.begin() + c.firstTotals.size())) << c.library;
			EXPECT_EQ(c.lastTotal, totalBar.values.back()) << c.library;
			if (c.library > 0) EXPECT_EQ(100, fileBar.values.back());
			if (c.library > 0) EXPECT_EQ(101u, totalBar.values.size()) << "one step per whole percent";
			if (c.library == 0) EXPECT_EQ(0, fileBar.values.back());
			if (c.library >= 0) EXPECT_EQ(size_t(c.library), scratch.Read(In("Target", "smooth.dll")).size());
		}
	}

	TEST_F(RunTest, FailuresAreCountedAndNothingLeavesTheTarget)
	{
		// A name is read whole, however long; one whose path the system
		// cannot make (no system takes a 2100-character file name) fails as
		// its write does.
		WriteRawArchive(Archive("hostile.zbk"), { { "good.txt", "g" }, { "../outside.txt", "o" }, { "C:/abs.txt", "c" }, { "aux.txt", "x" }, { "", "e" },
							  { "sub/" + std::string(2100, 'n'), "long" }, { "sub/fine.txt", "f" } });
		scratch.Write("foreign.zbk", "this is not an archive");
		Load("<component id=\"h\" subdir=\"h\"><archive>" + Archive("hostile.zbk").ToUTF8() + "</archive></component>"
		     "<component id=\"m\" subdir=\"m\"><archive>" + Archive("missing.zbk").ToUTF8() + "</archive></component>"
		     "<component id=\"f\"><archive>" + Archive("foreign.zbk").ToUTF8() + "</archive><file>smooth.dll</file></component>"
		     "<component id=\"e\" subdir=\"../escape\"><archive>" + Archive("hostile.zbk").ToUTF8() + "</archive></component>",
		     "<desktop><link file=\"x\">" + std::string(300, 'L') + "</link></desktop>");
		choices.selected = { true, true, true, true };
		choices.createDesktop = true;

		std::vector<Tolvane::InstallFailure> failures = Run();
		std::string				 longName = std::string(2100, 'n');

		struct { const char *pathEnd, *causeStart; } expected[] = {
			{ "../outside.txt", "unsafe entry name" },
			{ "C:/abs.txt", "unsafe entry name" },
			{ "aux.txt", "unsafe entry name" },
			{ "hostile.zbk: ", "unsafe entry name" },
			{ longName.c_str(), "cannot write the destination" },
			{ "missing.zbk", "no such file" },
			{ "foreign.zbk", "not a ZBK archive" },
			{ "folder ../escape", "not a folder below the installation folder" },
			{ "smooth.dll", "cannot read the platform library" },
			{ "LLLL.lnk", "the shortcut's path is longer than 259 characters" },
		};

		ASSERT_EQ(std::size(expected), failures.size());

		for (size_t i = 0; i < failures.size(); i++)
		{
			EXPECT_TRUE(failures[i].path.EndsWith(expected[i].pathEnd)) << failures[i].path.ToUTF8();
			EXPECT_TRUE(failures[i].cause.StartsWith(expected[i].causeStart)) << failures[i].cause.ToUTF8();
		}

		EXPECT_TRUE(system.links.empty());

		// The good entries are there; nothing else left the target folder.
		EXPECT_EQ("g", scratch.Read(In("Target", In("h", "good.txt"))));
		EXPECT_EQ("f", scratch.Read(In("Target", In("h", In("sub", "fine.txt")))));
		EXPECT_EQ((std::vector<String>{ "foreign.zbk", "hostile.zbk", "setup.xml" }), Directory(scratch.Root()).GetFiles());
		EXPECT_EQ((std::vector<String>{ "good.txt" }), Directory(In(Target(), "h")).GetFiles());
		EXPECT_EQ((std::vector<String>{ "fine.txt" }), Directory(In(In(Target(), "h"), "sub")).GetFiles()) << "nothing left of the failed write";
		EXPECT_TRUE(Directory(In(Target(), "m")).Exists()) << "a missing archive still yields its folder";
		EXPECT_FALSE(Directory(scratch.Path("escape")).Exists()) << "a component's folder left the target";

		String	 message = Tolvane::DescribeFailures(failures, 3);

		EXPECT_EQ(0, message.Find("10 steps of the installation failed:"));
		EXPECT_NE(-1, message.Find("and 7 more."));
		EXPECT_NE(-1, message.Find("outside.txt"));
	}

	TEST_F(RunTest, LinkChoicesDependenciesAndPlatform)
	{
		WriteArchive(Archive("a.zbk"), { { "a.txt", "a" } });
		Load("<component id=\"a\"><archive>" + Archive("a.zbk").ToUTF8() + "</archive></component><component id=\"a\" subdir=\"b\"><archive>" + Archive("a.zbk").ToUTF8() + "</archive></component>",
		     "<startmenu><link file=\"x\">S</link><link file=\"x\" depends=\"a\">Dep</link><link file=\"x\" depends=\"zz\">NoSuchId</link></startmenu>"
		     "<desktop><link file=\"x\">D</link></desktop><quicklaunch><link file=\"x\">Q</link></quicklaunch>", false);
		Directory(In(In(In(system.folders[26], "Microsoft"), "Internet Explorer"), "Quick Launch")).Create();

		struct { Int platform; bool start, desktop, quick, second; std::vector<Int> asked; size_t links; } cases[] = {
			{ 2, true, false, false, true, { 23, 23, 23 }, 3 },	// both components marked: Dep is written
			{ 2, true, false, false, false, { 23, 23 }, 2 },	// either one unmarked skips Dep
			{ 1, true, true, true, true, { 2, 2, 2, 0, 26 }, 5 },	// other platforms: the user's own folders
			{ 2, false, true, false, true, { 25 }, 1 },		// start menu cleared: none of its links
		};

		for (const auto &c : cases)
		{
			system.asked.clear();
			system.links.clear();
			system.platformId = c.platform;
			choices.selected = { true, c.second };
			choices.createStartMenu = c.start;
			choices.createDesktop = c.desktop;
			choices.createQuickLaunch = c.quick;

			EXPECT_TRUE(Run().empty());
			EXPECT_EQ(c.asked, system.asked) << c.platform << c.start << c.desktop << c.quick << c.second;
			EXPECT_EQ(c.links, system.links.size());
		}

		EXPECT_EQ(0u, Directory(system.folders[23]).GetDirectories().size()) << "no group folder without a group name";
	}

	TEST_F(RunTest, AnInstalledUninstallerRegistersTheProduct)
	{
		WriteArchive(Archive("core.zbk"), { { "app.exe", std::string(3000, 'a') }, { "Uninstall/Uninstall.exe", std::string(2000, 'u') } });
		WriteArchive(Archive("sub.zbk"), { { "uninstall/uninstall.exe", "u" } });

		struct { const char *name, *archive, *subdir; bool log; bool registered; } cases[] = {
			{ "uninstaller in the target folder", "core.zbk", ".", true, true },
			{ "uninstaller in a component folder", "sub.zbk", "x", true, false },
			{ "no uninstall script", "core.zbk", ".", false, false },
		};

		for (const auto &c : cases)
		{
			system.entries.clear();
			Load(std::string("<component id=\"c\" subdir=\"") + c.subdir + "\"><archive>" + Archive(c.archive).ToUTF8() + "</archive><file>smooth.dll</file></component>", "", c.log);
			scratch.Write("smooth.dll", std::string(700, 'd'));
			choices.selected = { true };
			choices.targetFolder = scratch.Path(c.name);

			Tolvane::InstallRun	 run(*configuration, choices, system, fileBar, totalBar);

			run.installDate = "20261207";
			run.librarySource = scratch.Path("smooth.dll");
			run.Run();

			EXPECT_TRUE(run.GetFailures().empty()) << c.name;
			ASSERT_EQ(c.registered ? 1u : 0u, system.entries.size()) << c.name;

			if (!c.registered) continue;

			String	 t = choices.targetFolder, uninstaller = In(In(t, "uninstall"), "uninstall.exe"), script = In(In(t, "uninstall"), "uninstall.xml");
			const Tolvane::UninstallEntry &entry = system.entries["App"];

			EXPECT_EQ("App", entry.displayName.ToUTF8());
			EXPECT_EQ("1.2", entry.displayVersion.ToUTF8());
			EXPECT_EQ(t.ToUTF8(), entry.installLocation.ToUTF8());
			EXPECT_EQ("\"" + uninstaller.ToUTF8() + "\"", entry.uninstallString.ToUTF8());
			EXPECT_EQ("\"" + uninstaller.ToUTF8() + "\" /S", entry.quietUninstallString.ToUTF8());
			EXPECT_EQ(uninstaller.ToUTF8(), entry.displayIcon.ToUTF8());
			EXPECT_EQ("20261207", entry.installDate.ToUTF8());
			EXPECT_EQ(UnsignedInt((5000 + 700 + 700 + File(script).GetFileSize() + 1023) / 1024), entry.estimatedSize);
			// Started from the list, the uninstaller finds the library beside itself.
			EXPECT_EQ(std::string(700, 'd'), scratch.Read(In(c.name, In("uninstall", "smooth.dll"))));

			// The script names the entry before its own folder and itself.
			std::vector<std::string> lines = ScriptEntries(script);

			auto	 registry = std::find(lines.begin(), lines.end(), "registry HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App");

			ASSERT_NE(lines.end(), registry);
			EXPECT_GE(size_t(registry - lines.begin()) + 4, lines.size());
			EXPECT_EQ("file " + In(In(t, "uninstall"), "smooth.dll").ToUTF8(), lines[lines.size() - 2]);
			EXPECT_EQ("file " + script.ToUTF8(), lines.back());
		}
	}

	TEST_F(RunTest, AnUpgradeEndsAsAFreshInstallationAndAFailedRunIsTakenBack)
	{
		WriteArchive(Archive("v1.zbk"), { { "old/only-in-1.txt", "1" }, { "both.txt", "1" }, { "same.txt", "=" }, { "notes.ini", "1" } });
		WriteArchive(Archive("v2.zbk"), { { "both.txt", "2" }, { "same.txt", "=" }, { "new/only-in-2.txt", "2" } });

		String	 t = Target(), script = In(In(t, "uninstall"), "uninstall.xml");
		auto	 Version = [&](const char *archive, const char *missing)
		{
			Load(std::string("<component id=\"c\"><archive>") + Archive(archive).ToUTF8() + "</archive></component>"
			     + (missing != nullptr ? std::string("<component id=\"d\"><archive>") + missing + "</archive></component>" : std::string()), "");
			choices.selected = { true, true };
		};

		Version("v1.zbk", nullptr);
		ASSERT_TRUE(Run().empty());
		scratch.Write(In("Target", "mine.txt"), "the user's");
		Version("v2.zbk", nullptr);
		{
			Tolvane::InstallRun	 v2(*configuration, choices, system, fileBar, totalBar);
			std::string		 changes;

			v2.librarySource = scratch.Path("smooth.dll");
			v2.onChange	 = [&changes](const std::string &line) { changes += line; };

			EXPECT_EQ(Success(), v2.Run());
			ASSERT_TRUE(v2.GetFailures().empty());

			// A file that holds the new bytes already is neither kept aside
			// nor written again.
			EXPECT_NE(std::string::npos, changes.find("saved\t" + In(t, "both.txt").ToUTF8())) << changes;
			EXPECT_EQ(std::string::npos, changes.find("same.txt")) << changes;
		}
		EXPECT_EQ("=", scratch.Read(In("Target", "same.txt")));

		// What 1.0 had and 2.0 has not is gone, but the data file and the user's.
		EXPECT_FALSE(Directory(In(t, "old")).Exists());
		EXPECT_EQ("2", scratch.Read(In("Target", "both.txt")));
		EXPECT_EQ("1", scratch.Read(In("Target", "notes.ini"))) << "the program's data file stays";
		EXPECT_FALSE(Directory(Tolvane::RunFolderOf(t)).Exists());

		std::vector<std::string> lines = ScriptEntries(script);
		std::vector<std::string> expected = { "application App", "version 1.2",
			"directory " + t.ToUTF8(), "directory " + In(t, "uninstall").ToUTF8(),
			"file " + In(t, "both.txt").ToUTF8(), "file " + In(t, "same.txt").ToUTF8(), "directory " + In(t, "new").ToUTF8(), "file " + In(t, "new/only-in-2.txt").ToUTF8(),
			"file " + In(t, "notes.ini").ToUTF8(), "file " + script.ToUTF8() };

		EXPECT_EQ(expected, lines) << "each path once, the earlier folders first";

		// 3.0 misses an archive: taken back, 2.0 is there as it was.
		const std::string	 before = scratch.Read(In("Target", "both.txt")) + scratch.Read(In(In("Target", "uninstall"), "uninstall.xml"));

		Version("v1.zbk", "missing.zbk");
		{
			Tolvane::InstallRun	 v3(*configuration, choices, system, fileBar, totalBar);

			v3.Run();
			EXPECT_FALSE(v3.GetFailures().empty());
			EXPECT_TRUE(v3.IsPending());
			EXPECT_EQ(0, v3.TakeBack());
		}

		EXPECT_EQ(before, scratch.Read(In("Target", "both.txt")) + scratch.Read(In(In("Target", "uninstall"), "uninstall.xml")));
		EXPECT_FALSE(Directory(In(t, "old")).Exists());
		EXPECT_FALSE(Directory(Tolvane::RunFolderOf(t)).Exists());

		Tolvane::RemovalList	 list;

		ASSERT_TRUE(Tolvane::ReadRemovalList(script, list));

		Tolvane::Remover	 remover;

		EXPECT_EQ(1, Tolvane::RunRemoval(list, remover)) << "the target stays for the user's file";
		EXPECT_EQ((std::vector<String>{ "mine.txt" }), Directory(t).GetFiles());
		EXPECT_TRUE(Directory(t).GetDirectories().empty());
	}

	TEST_F(RunTest, AnotherProductsFolderIsRefused)
	{
		String	 t = Target();

		Directory(In(t, "uninstall")).Create();
		scratch.Write(In(In("Target", "uninstall"), "uninstall.xml"), "<UninstallScript><application>Other</application></UninstallScript>");
		WriteArchive(Archive("v1.zbk"), { { "a.txt", "1" } });
		Load(std::string("<component id=\"c\"><archive>") + Archive("v1.zbk").ToUTF8() + "</archive></component>", "");
		choices.selected = { true };

		std::vector<Tolvane::InstallFailure>	 failures = Run();

		ASSERT_EQ(1u, failures.size());
		EXPECT_GE(failures[0].cause.Find("holds an installation of Other"), 0);
		EXPECT_EQ((std::vector<String>{ "uninstall" }), Directory(t).GetDirectories());
		EXPECT_TRUE(Directory(t).GetFiles().empty());
	}
}
