#include "upgrade.h"

#include <gtest/gtest.h>

using namespace smooth;
using Tolvane::ScriptEntry;

namespace
{
	TEST(Upgrade, VersionOrder)
	{
		// a, b, sign of CompareVersions(a, b); each row is also checked swapped.
		struct { const char *a, *b; int order; } rows[] = {
			{ "2.10", "2.9", 1 },
			{ "2.9", "2.10", -1 },
			{ "1.0", "1.0", 0 },
			{ "2", "2.0", 0 },
			{ "2", "2.0.0.0", 0 },
			{ "2.0.1", "2", 1 },
			{ "007", "7", 0 },
			{ "10", "9", 1 },
			{ "3.1", "3.1.beta", -1 },
			{ "3.1rc2", "3.1rc10", 1 },		// after the number, text order
			{ "3.10rc1", "3.9rc1", 1 },
			{ "alpha", "beta", -1 },
			{ "1.a", "1.5", 1 },			// text after a number: code point order
			{ " 2.5 ", "2.5", 0 },
			{ "", "0", -1 },
			{ "", "", 0 },
			{ "99999999999999999999999999.1", "99999999999999999999999998.9", 1 },	// more digits than any integer holds
			{ "4294967296", "4294967295", 1 },
			{ "1..2", "1.0.2", 0 },
			{ "Ωmega", "Alpha", 1 },
		};

		for (const auto &row : rows)
		{
			int	 order = Tolvane::CompareVersions(String::FromUTF8(row.a), String::FromUTF8(row.b));
			int	 back  = Tolvane::CompareVersions(String::FromUTF8(row.b), String::FromUTF8(row.a));

			EXPECT_EQ(row.order, order < 0 ? -1 : (order > 0 ? 1 : 0)) << row.a << " vs " << row.b;
			EXPECT_EQ(-row.order, back < 0 ? -1 : (back > 0 ? 1 : 0)) << row.b << " vs " << row.a;
		}
	}

	TEST(Upgrade, PathsCompareAsTheFileSystemDoes)
	{
		struct { const char *a, *b; bool same; } rows[] = {
			{ "C:\\App\\bin/readme.txt", "c:\\app\\BIN\\README.TXT", true },
			{ "C:\\App\\", "C:\\App", true },
			{ "C:\\App\\\\x", "C:\\App\\x", true },
			{ "C:\\Ärger\\Ωmega\\Тест", "C:\\äRGER\\ωMEGA\\тЕСТ", true },
			{ "C:\\ŁÓDŹ\\ÿ", "C:\\łódź\\Ÿ", true },
			{ "C:\\ς", "C:\\Σ", true },
			{ "C:\\App\\a", "C:\\App\\b", false },
			{ "C:\\App\\a.", "C:\\App\\a", false },	// never reaches the file system: names are refused
			{ "C:\\App", "C:\\App2", false },
		};

		for (const auto &row : rows)
		{
			EXPECT_EQ(row.same, Tolvane::PathKey(String::FromUTF8(row.a)) == Tolvane::PathKey(String::FromUTF8(row.b))) << row.a << " / " << row.b;
		}

		struct { const char *path, *folder; bool below; } inside[] = {
			{ "C:\\App\\x", "C:\\App", true },
			{ "c:/app/sub/x", "C:\\App\\", true },
			{ "C:\\App", "C:\\App", false },
			{ "C:\\App2\\x", "C:\\App", false },
			{ "C:\\App\\..\\Windows\\x", "C:\\App", false },
			{ "C:\\App\\.\\x", "C:\\App", false },
			{ "C:\\App\\x", "", false },
		};

		for (const auto &row : inside)
		{
			EXPECT_EQ(row.below, Tolvane::IsBelow(String::FromUTF8(row.path), String::FromUTF8(row.folder))) << row.path << " in " << row.folder;
		}
	}

	ScriptEntry Folder(const char *path)	{ return { ScriptEntry::Kind::Folder, path }; }
	ScriptEntry File(const char *path)	{ return { ScriptEntry::Kind::File, path }; }
	ScriptEntry Key(const char *path)	{ return { ScriptEntry::Kind::RegistryKey, path }; }

	TEST(Upgrade, PlanKeepsWhatIsStillThereAndListsEachPathOnce)
	{
		const char	*key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Editor";

		// 1.0 made C:\App with bin, lib, old and a Start-menu group; it had
		// the data file notes.ini and a second program, and listed one path twice.
		Tolvane::RemovalList	 earlier;

		earlier.folders	     = { "C:\\App", "C:\\App\\bin", "C:\\App\\old", "C:\\App\\old\\deep", "C:\\Menu\\Editor", "C:\\App\\uninstall" };
		earlier.files	     = { "C:\\App\\bin/editor.exe", "C:\\App\\bin/second.exe", "C:\\App\\old/deep/x.txt", "C:\\App\\bin/editor.exe",
					 "C:\\Menu\\Editor\\Editor 1.0.lnk", "C:\\Menu\\Editor\\Second.lnk", "C:\\App\\notes.ini", "C:\\App\\uninstall\\uninstall.xml" };
		earlier.registryKeys = { key };

		// 2.0 over it: the folders existed, so the run recorded only what is
		// new to it (a new folder, with a different spelling of an old file).
		std::vector<ScriptEntry> recorded = {
			Folder("C:\\App\\share"),
			File("c:\\app\\BIN\\Editor.exe"), File("C:\\App\\share/new.txt"), File("C:\\App\\share/new.txt"),
			File("C:\\Menu\\Editor\\Editor 2.0.lnk"),
			Key(key),
			File("C:\\App\\notes.ini"), File("C:\\App\\uninstall\\uninstall.xml"),
		};

		Tolvane::UpgradePlan	 plan = Tolvane::PlanUpgrade(earlier, recorded, { "C:\\App\\notes.ini" });

		std::vector<ScriptEntry> script = {
			Folder("C:\\App"), Folder("C:\\App\\bin"), Folder("C:\\Menu\\Editor"), Folder("C:\\App\\uninstall"),
			Folder("C:\\App\\share"),
			File("c:\\app\\BIN\\Editor.exe"), File("C:\\App\\share/new.txt"),
			File("C:\\Menu\\Editor\\Editor 2.0.lnk"),
			Key(key),
			File("C:\\App\\notes.ini"), File("C:\\App\\uninstall\\uninstall.xml"),
		};

		EXPECT_EQ(script, plan.script);
		EXPECT_EQ((std::vector<String>{ "C:\\App\\bin/second.exe", "C:\\App\\old/deep/x.txt", "C:\\Menu\\Editor\\Editor 1.0.lnk", "C:\\Menu\\Editor\\Second.lnk" }), plan.leftovers.files);
		EXPECT_EQ((std::vector<String>{ "C:\\App\\old", "C:\\App\\old\\deep" }), plan.leftovers.folders) << "parents before children: the walk goes backwards";
		EXPECT_TRUE(plan.leftovers.registryKeys.empty());
	}

	TEST(Upgrade, PlanEdges)
	{
		// Nothing earlier: the run's own entries, duplicates gone, nothing to remove.
		Tolvane::UpgradePlan	 fresh = Tolvane::PlanUpgrade({}, { Folder("D:\\P"), File("D:\\P\\a"), File("d:/p/A") }, {});

		EXPECT_EQ((std::vector<ScriptEntry>{ Folder("D:\\P"), File("D:\\P\\a") }), fresh.script);
		EXPECT_TRUE(fresh.leftovers.files.empty() && fresh.leftovers.folders.empty());

		// A kept data file the new run did not record (its setup script
		// writes no uninstall script) stays listed; the earlier key goes.
		Tolvane::RemovalList	 earlier;

		earlier.folders	     = { "D:\\P" };
		earlier.files	     = { "D:\\P\\data.db", "D:\\P\\gone.txt", "D:\\P\\gone.txt" };
		earlier.registryKeys = { "HKEY_LOCAL_MACHINE\\X\\P" };

		Tolvane::UpgradePlan	 plan = Tolvane::PlanUpgrade(earlier, { File("D:\\P\\a") }, { "d:\\p\\DATA.DB" });

		EXPECT_EQ((std::vector<ScriptEntry>{ Folder("D:\\P"), File("D:\\P\\a"), File("D:\\P\\data.db") }), plan.script);
		EXPECT_EQ((std::vector<String>{ "D:\\P\\gone.txt" }), plan.leftovers.files) << "a path listed twice is removed once";
		EXPECT_EQ((std::vector<String>{ "HKEY_LOCAL_MACHINE\\X\\P" }), plan.leftovers.registryKeys);

		// The new version installs nothing at all below an earlier folder
		// that is its target: the folder is a leftover (removed when empty).
		Tolvane::UpgradePlan	 empty = Tolvane::PlanUpgrade(earlier, {}, {});

		EXPECT_EQ((std::vector<String>{ "D:\\P" }), empty.leftovers.folders);
		EXPECT_TRUE(empty.script.empty());
	}
}
