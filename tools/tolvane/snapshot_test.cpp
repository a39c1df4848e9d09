#include "snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace Tolvane::Tool;

namespace fs = std::filesystem;

// The hive text as Wine writes it: escapes, the default value, data over
// several lines, CR LF line ends, ignored keys, and lines that are neither
// key nor value.
TEST(Snapshot, ReadsHives)
{
	const std::string	 hive =
		"WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
		"[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pebble Notes] 1796744766\r\n"
		"#time=1dd872b3d079d28\r\n"
		"\"DisplayName\"=\"Pebble \\\"Notes\\\"\"\r\n"
		"\"InstallLocation\"=\"C:\\\\Program Files\\\\Pebble Notes\"\n"
		"\"Caf\\xe9\"=str(2):\"%ProgramFiles%\\\\x\"\n"
		"\"EstimatedSize\"=dword:00000010\n"
		"@=\"default\"\n"
		"\"Multi\"=hex(7):41,00,\\\n  00,00\n"
		"garbage line\n"
		"[Software\\\\Wine\\\\Fonts] 1\n\"Skipped\"=\"yes\"\n"
		"[Software\\\\Broken";

	Snapshot	 snapshot;

	ReadHive(hive, "HKLM", { "hklm\\software\\wine" }, &snapshot);

	ASSERT_EQ(snapshot.keys.size(), 2u);

	const SnapshotKey	&key = snapshot.keys.at("hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\pebble notes");
	std::string		 text;

	EXPECT_EQ(key.name, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pebble Notes");

	const struct { const char *value; bool string; const char *text; } values[] = {
		{ "displayname", true, "Pebble \"Notes\"" },
		{ "installlocation", true, "C:\\Program Files\\Pebble Notes" },
		{ "caf\xc3\xa9", true, "%ProgramFiles%\\x" },
		{ "", true, "default" },
		{ "estimatedsize", false, "" },
		{ "multi", false, "" },
	};

	for (const auto &v : values)
	{
		ASSERT_EQ(key.values.count(v.value), 1u) << v.value;
		EXPECT_EQ(HiveString(key.values.at(v.value), &text), v.string) << v.value;

		if (v.string) EXPECT_EQ(text, v.text);
	}

	EXPECT_EQ(key.values.at("multi"), "hex(7):41,00,00,00");
	EXPECT_EQ(key.values.size(), 6u);
	EXPECT_EQ(snapshot.keys.count("hklm\\software\\broken"), 1u);
}

TEST(Snapshot, IgnorePatterns)
{
	const std::vector<std::string>	 patterns = { "windows", "users/*/appdata/local/temp" };

	const struct { const char *path; bool ignored; } cases[] = {
		{ "windows", true }, { "windows/system32/x.dll", true }, { "windowsx", false }, { "window", false },
		{ "users/root/appdata/local/temp/a.exe", true }, { "users/root/appdata/local/temp", true },
		{ "users/root/appdata/local", false }, { "users/root/appdata/local/tempx", false }, { "program files/pebble", false },
	};

	for (const auto &c : cases) EXPECT_EQ(IsIgnored(PathKey(c.path), patterns), c.ignored) << c.path;

	EXPECT_EQ(PathKey("Program Files\\Caf\xc3\xa9/A.TXT"), "program files/caf\xc3\xa9/a.txt");
}

// Before and after as a machine would show them, each kind of change once;
// a path differing only in case is the same path.
TEST(Snapshot, Compares)
{
	fs::path	 root = fs::temp_directory_path() / ("tolvane-snapshot-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));

	fs::remove_all(root);
	fs::create_directories(root / "Program Files" / "Pebble");
	fs::create_directories(root / "windows");
	std::ofstream(root / "Program Files" / "Pebble" / "a.txt") << "one";
	std::ofstream(root / "Program Files" / "Pebble" / "b.txt") << "two";
	std::ofstream(root / "windows" / "noise.log") << "x";

	Snapshot	 before, after;

	SnapshotTree(root.u8string(), { "windows" }, &before);
	ReadHive("[Software\\\\A] 1\n\"v\"=\"1\"\n[Software\\\\Gone] 1\n", "HKLM", {}, &before);

	std::ofstream(root / "Program Files" / "Pebble" / "a.txt") << "one more";
	fs::remove(root / "Program Files" / "Pebble" / "b.txt");
	fs::create_directories(root / "Program Files" / "Pebble" / "New");
	std::ofstream(root / "windows" / "noise.log") << "changed";

	SnapshotTree(root.u8string(), { "windows" }, &after);
	ReadHive("[software\\\\a] 1\n\"V\"=\"2\"\n[Software\\\\New] 1\n", "HKLM", {}, &after);
	fs::remove_all(root);

	SnapshotChanges	 changes = CompareSnapshots(before, after);

	ASSERT_EQ(changes.addedPaths.size(), 1u);
	EXPECT_EQ(changes.addedPaths[0].name, "Program Files/Pebble/New");
	EXPECT_TRUE(changes.addedPaths[0].folder);
	ASSERT_EQ(changes.removedPaths.size(), 1u);
	EXPECT_EQ(changes.removedPaths[0].name, "Program Files/Pebble/b.txt");
	ASSERT_EQ(changes.changedFiles.size(), 1u);
	EXPECT_EQ(changes.changedFiles[0].size, 8u);
	ASSERT_EQ(changes.addedKeys.size(), 1u);
	EXPECT_EQ(changes.addedKeys[0].name, "HKLM\\Software\\New");
	ASSERT_EQ(changes.removedKeys.size(), 1u);
	ASSERT_EQ(changes.changedKeys.size(), 1u);
	EXPECT_EQ(changes.changedKeys[0].values.at("v"), "\"2\"");

	EXPECT_TRUE(CompareSnapshots(after, after).Empty());
}
