#include "engine_test_support.h"
#include "installed_layout.h"

#include <gtest/gtest.h>

#include <memory>

using namespace smooth;
using namespace EngineTest;

namespace
{
	TEST(UninstallScript, RoundTripAndReaders)
	{
		smooth_test::ScratchFolder	 scratch;

		{
			Tolvane::UninstallScript	 script("Pebble Ünïcode Ωμέγα", "2.5 beta");

			script.RecordDirectory("C:\\App");
			script.RecordFile("C:\\App\\bin/readme.txt");
			script.RecordFile("C:\\App\\bin/readme.txt");

			ASSERT_EQ(Success(), script.Save(scratch.Path("uninstall.xml")));
			EXPECT_EQ(Error(), script.Save(scratch.Path("no such folder/uninstall.xml")));
		}

		Tolvane::ScriptContents	 contents;

		ASSERT_TRUE(Tolvane::ReadUninstallScript(scratch.Path("uninstall.xml"), contents));
		EXPECT_EQ("Pebble Ünïcode Ωμέγα", contents.application.ToUTF8());
		EXPECT_EQ("2.5 beta", contents.version.ToUTF8());
		EXPECT_EQ((std::vector<String>{ "C:\\App\\bin/readme.txt", "C:\\App\\bin/readme.txt" }), contents.removal.files) << "paths as stored, never merged";
		EXPECT_EQ((std::vector<String>{ "C:\\App" }), contents.removal.folders);

		Tolvane::RemovalList	 list;

		ASSERT_TRUE(Tolvane::ReadRemovalList(scratch.Path("uninstall.xml"), list));
		EXPECT_EQ(contents.removal.files, list.files);
		EXPECT_EQ(contents.removal.folders, list.folders);
	}

	TEST(UninstallScript, ReadersAcceptWhatTheyDoNotKnow)
	{
		smooth_test::ScratchFolder	 scratch;

		struct { const char *name, *xml, *application, *version; size_t files, folders, keys; bool loads; } cases[] = {
			{ "plain", "<UninstallScript><application>A</application><version>1</version><file>f</file></UninstallScript>", "A", "1", 1, 0, 0, true },
			{ "no application or version", "<UninstallScript><directory>d</directory><file>f</file></UninstallScript>", "", "", 1, 1, 0, true },
			{ "unknown elements skipped", "<Other><registry>k</registry><file>f<x>nested</x></file><directory>d</directory><file>g</file></Other>", "", "", 2, 1, 1, true },
			{ "the first name and version count", "\xEF\xBB\xBF<UninstallScript>\r\n<version>2</version><application>B</application>\r\n<application>C</application><version>3</version></UninstallScript>", "B", "2", 0, 0, 0, true },
			{ "not XML", "<UninstallScript><file>f</UninstallScript>", "", "", 0, 0, 0, false },
			{ "empty", "", "", "", 0, 0, 0, false },
			{ "missing", nullptr, "", "", 0, 0, 0, false },
		};

		for (const auto &c : cases)
		{
			String	 path = scratch.Path(c.name);

			if (c.xml != nullptr) scratch.Write(c.name, c.xml);

			// From the file, and from its bytes as the uninstaller holds them.
			for (bool inMemory : { false, true })
			{
				Tolvane::ScriptContents	 contents;

				contents.application = "stale";
				contents.removal.files = { "stale" };

				bool	 loaded = inMemory ? Tolvane::ParseUninstallScript(c.xml != nullptr ? c.xml : "", contents) : Tolvane::ReadUninstallScript(path, contents);

				EXPECT_EQ(c.loads, loaded) << c.name << inMemory;
				EXPECT_EQ(c.application, contents.application.ToUTF8()) << c.name << inMemory;
				EXPECT_EQ(c.version, contents.version.ToUTF8()) << c.name << inMemory;
				EXPECT_EQ(c.files, contents.removal.files.size()) << c.name << inMemory;
				EXPECT_EQ(c.folders, contents.removal.folders.size()) << c.name << inMemory;
				EXPECT_EQ(c.keys, contents.removal.registryKeys.size()) << c.name << inMemory;
			}

			Tolvane::RemovalList	 list;

			EXPECT_EQ(c.loads, Tolvane::ReadRemovalList(path, list)) << c.name;
			EXPECT_EQ(c.files, list.files.size()) << c.name;
		}
	}

	TEST(UninstallScript, RemovalGoesBackwardsAndKeepsWhatIsNotListed)
	{
		smooth_test::ScratchFolder	 scratch;
		String				 app  = scratch.Path("App");
		String				 bin  = Path::Join(app, "bin");
		String				 data = Path::Join(app, "data");

		Directory(bin).Create();
		Directory(data).Create();
		scratch.Write(Path::Join("App", Path::Join("bin", "x.exe")), "x");
		scratch.Write(Path::Join("App", Path::Join("data", "user.txt")), "the user's");

		Tolvane::RemovalList	 list;

		list.folders = { app, bin, data };
		list.files   = { Path::Join(bin, "x.exe"), Path::Join(bin, "x.exe"), bin };

		// The "file" that is a folder and the folders still holding the
		// user's file stay; the walk goes on. x.exe listed twice is gone
		// after the first.
		EXPECT_EQ(3, Tolvane::RunRemoval(list, *std::make_unique<Tolvane::Remover>()));
		EXPECT_FALSE(Directory(bin).Exists());
		EXPECT_TRUE(File(Path::Join(data, "user.txt")).Exists());
		EXPECT_TRUE(Directory(app).Exists());

		struct Log : Tolvane::Remover
		{
			std::vector<std::string> calls;
			bool RemoveFile(const String &path) override	{ calls.push_back("file " + path.ToUTF8()); return true; }
			bool RemoveFolder(const String &path) override	{ calls.push_back("folder " + path.ToUTF8()); return true; }
		} log;

		list.files   = { "f1", "f2" };
		list.folders = { "d1", "d2" };

		EXPECT_EQ(0, Tolvane::RunRemoval(list, log));
		EXPECT_EQ((std::vector<std::string>{ "file f2", "file f1", "folder d2", "folder d1" }), log.calls);
	}

	TEST(UninstallScript, OnlyAProgramsOwnEntryInTheListIsNamed)
	{
		std::string	 root = Tolvane::UninstallKeyPath;

		struct { std::string key, name; } cases[] = {
			{ root + "Pebble Notes", "Pebble Notes" },
			{ root, "" },					// the list itself
			{ root + "A\\B", "" },				// deeper
			{ root + "..", "" },
			{ "HKEY_LOCAL_MACHINE\\Software\\Other\\X", "" },
			{ "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\X", "" },
		};

		for (const auto &c : cases) EXPECT_EQ(c.name, Tolvane::UninstallEntryName(String::FromUTF8(c.key)).ToUTF8()) << c.key;

		smooth_test::ScratchFolder	 scratch;
		Tolvane::RemovalList		 list;

		scratch.Write("s.xml", "<UninstallScript><file>f</file><registry>" + root + "X</registry></UninstallScript>");

		ASSERT_TRUE(Tolvane::ReadRemovalList(scratch.Path("s.xml"), list));
		EXPECT_EQ((std::vector<String>{ String::FromUTF8(root + "X") }), list.registryKeys);
	}

	// A script edited by hand names files and folders anywhere; the
	// uninstaller of C:\Apps\Pebble keeps only what can be its own.
	TEST(UninstallScript, TheRemovalListStaysInsideTheInstallation)
	{
		std::string	 root = Tolvane::UninstallKeyPath;

		struct { const char *path; bool kept; } files[] = {
			{ "C:\\Apps\\Pebble\\app.exe", true },
			{ "c:/apps/PEBBLE/sub/data.bin", true },			// as the file system compares
			{ "C:\\Apps\\Pebble", false },				// the folder itself is no file of it
			{ "C:\\Apps\\Pebble2\\app.exe", false },			// a sibling that starts alike
			{ "C:\\Apps\\Pebble\\..\\..\\Windows\\win.ini", false },
			{ "C:\\Apps\\Pebble\\.\\app.exe", false },
			{ "C:\\Windows\\system32\\kernel32.dll", false },
			{ "D:\\Start Menu\\Programs\\Pebble\\Pebble.lnk", true },	// shortcuts live in special folders
			{ "D:\\Desktop\\Pebble.LNK", true },
			{ "D:\\Desktop\\Pebble.lnk.txt", false },
			{ "", false },
		};
		struct { const char *path; bool kept; } folders[] = {
			{ "C:\\Apps\\Pebble\\sub", true },
			{ "C:\\Apps\\Pebble\\", true },				// the folder itself
			{ "C:\\Apps", true },						// made for it, above it
			{ "D:\\Start Menu\\Programs\\Pebble", true },		// holds a shortcut kept
			{ "D:\\Start Menu\\Programs", true },
			{ "D:\\Start Menu\\Programs\\Other", false },
			{ "C:\\Apps\\Pebble\\sub\\..\\..\\Other", false },
			{ "C:\\Users", false },
		};

		Tolvane::RemovalList	 list, expected;

		for (const auto &f : files)
		{
			list.files.push_back(f.path);
			if (f.kept) expected.files.push_back(f.path);
		}
		for (const auto &f : folders)
		{
			list.folders.push_back(f.path);
			if (f.kept) expected.folders.push_back(f.path);
		}
		list.registryKeys	  = { String::FromUTF8(root + "Pebble"), String::FromUTF8(root + "A\\B"), "HKEY_LOCAL_MACHINE\\Software\\Other" };
		expected.registryKeys = { String::FromUTF8(root + "Pebble") };

		Tolvane::RemovalList	 confined = Tolvane::ConfinedRemovalList(list, "C:\\Apps\\Pebble");

		EXPECT_EQ(expected.files, confined.files);
		EXPECT_EQ(expected.folders, confined.folders);
		EXPECT_EQ(expected.registryKeys, confined.registryKeys);

		// Without a folder to confine to, only shortcuts and the entry stay.
		confined = Tolvane::ConfinedRemovalList(list, "");
		EXPECT_EQ((std::vector<String>{ files[7].path, files[8].path }), confined.files);
		EXPECT_EQ((std::vector<String>{ folders[3].path, folders[4].path }), confined.folders);
	}

	TEST(InstalledLayout, JoinedNamesFollowTheirParts)
	{
		using namespace Tolvane::Layout;

		const struct { const char *joined, *expected; } cases[] = {
			{ UninstallerEntry,	 "uninstall/uninstall.exe" },
			{ ScriptEntry,		 "uninstall/uninstall.xml" },
			{ UninstallLibraryEntry, "uninstall/smooth.dll" },
			{ UninstallKeyFull,	 "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" },
			{ UninstallEntryPrefix,	 "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" },
			{ Tolvane::UninstallKeyPath, UninstallEntryPrefix },
		};

		for (const auto &c : cases) EXPECT_STREQ(c.expected, c.joined);

		EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", Tolvane::UninstallEntryKey("App").ToUTF8());
	}
}
