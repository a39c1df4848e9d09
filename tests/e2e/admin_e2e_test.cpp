// What an administrator relies on, under Wine: the entry in the machine's
// list of installed programs (every value, one entry across an upgrade, the
// quiet removal command started from elsewhere), the silent installation and
// removal with their logs and exit codes, and the undo the wizard offers
// after a failed run, which leaves drive C: and the list as they were.
#include "machine.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>

using namespace e2e;

namespace
{
	std::string Today()
	{
		SYSTEMTIME now;
		GetLocalTime(&now);
		char text[16];
		snprintf(text, sizeof(text), "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
		return text;
	}

	// How often the list of installed programs (one "key|||name" line each)
	// shows name.
	size_t Listed(const std::string &list, const std::string &name)
	{
		size_t n = 0;
		for (size_t at = 0; at < list.size();)
		{
			size_t end = list.find('\n', at);
			if (end == std::string::npos) end = list.size();
			std::string line = list.substr(at, end - at);
			if (!line.empty() && line.back() == '\r') line.pop_back();
			const size_t bars = line.find("|||");
			n += bars != std::string::npos && line.substr(bars + 3) == name;
			at = end + 1;
		}
		return n;
	}

	// Lower-case paths of the lines starting with prefix, without it.
	std::set<std::wstring> LinePaths(const std::vector<std::string> &lines, const std::string &prefix)
	{
		std::set<std::wstring> paths;
		for (const std::string &line : lines)
			if (line.rfind(prefix, 0) == 0)
			{
				// Archive entries keep their '/' in the run's paths.
				std::wstring path = Lower(Widen(line.substr(prefix.size())));
				std::replace(path.begin(), path.end(), L'/', L'\\');
				paths.insert(path);
			}
		return paths;
	}

	// Full lower-case paths of the files below folder, with their sizes.
	std::map<std::wstring, ULONGLONG> FilesBelow(const std::wstring &folder)
	{
		std::set<std::wstring> names;
		ListTree(folder, folder + L"\\", &names);
		std::map<std::wstring, ULONGLONG> files;
		for (const std::wstring &name : names)
		{
			WIN32_FILE_ATTRIBUTE_DATA data;
			if (GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
				files[Lower(name)] = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
		}
		return files;
	}

	// The path of the item a .lnk file points at, from its item list: the
	// shell's own record of the target. (Wine hands back the text copy of the
	// path through the code page; the list keeps every character.)
	std::wstring LinkItemPath(const std::wstring &path)
	{
		IShellLinkW *link = nullptr;
		if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void **>(&link))))
			return L"";
		IPersistFile *file = nullptr;
		LPITEMIDLIST items = nullptr;
		wchar_t buffer[MAX_PATH] = {0};
		if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))) && SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
		    SUCCEEDED(link->GetIDList(&items)) && items != nullptr)
			SHGetPathFromIDListW(items, buffer);
		CoTaskMemFree(items);
		if (file) file->Release();
		link->Release();
		return buffer;
	}

	// ---- the product -------------------------------------------------------------

	// A core with the uninstaller and the library, a default manual (its
	// archive missing when asked), links of every kind. The changed product
	// has other bytes in one file and one file more.
	Product AdminProduct(const std::string &tag, bool changed, bool docsMissing)
	{
		std::string uninstaller;
		EXPECT_TRUE(ReadFile(ModuleFolder() + L"\\uninstall.exe", &uninstaller)) << "uninstall.exe is not next to the test program";
		Product p;
		p.group = "Pebble Admin " + tag;
		Component core{"core", ".", true, true, {{"data/a.bin", NoiseBytes(50000, 1)}}};
		if (changed) core.entries.push_back({"data/b.bin", NoiseBytes(9000, 2)});
		core.entries.push_back({"readme.txt", changed ? "Read me, version 2.6\r\n" : "Read me\r\n"});
		core.entries.push_back({"uninstall/uninstall.exe", uninstaller});
		core.library = true;
		Component docs{"docs", "docs", false, true, {{"manual.txt", "The manual"}}};
		if (docsMissing) docs.archive = Component::Missing;
		p.components = {core, docs};
		p.links = {{"startmenu", "readme.txt", "Read me", ""},
		           {"startmenu", "uninstall\\uninstall.exe", "Uninstall", ""},
		           {"desktop", "readme.txt", "Pebble Admin " + tag, ""},
		           {"quicklaunch", "readme.txt", "Pebble Admin " + tag, ""}};
		return p;
	}

	class AdminE2E : public RegisteredInstall
	{
	protected:
		AdminE2E() : RegisteredInstall("Pebble Admin") {}
	};
}

// Installed silently into Program Files, the product is in the list with
// every value; version 2.6 over it keeps one entry; the quiet removal command
// of the list, started elsewhere, takes everything away.
TEST_F(AdminE2E, RegistrationSurvivesAnUpgradeAndItsQuietCommandRemovesAll)
{
	target = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\" + Widen(app);
	const std::wstring uninstaller = target + L"\\uninstall\\uninstall.exe";
	for (const char *version : {"2.5", "2.6"})
	{
		SCOPED_TRACE(version);
		const Product product = AdminProduct(tag, version == std::string("2.6"), false);
		ASSERT_NO_FATAL_FAILURE(Stage(&product, version));
		const std::string dayBefore = Today();
		ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0));
		const std::string dayAfter = Today();

		std::string library, copied;
		ASSERT_TRUE(ReadFile(files.smooth, &library));
		EXPECT_TRUE(ReadFile(target + L"\\uninstall\\smooth.dll", &copied) && copied == library) << "no library beside the uninstaller";
		std::string script;
		ASSERT_TRUE(ReadFile(target + L"\\uninstall\\uninstall.xml", &script));
		EXPECT_NE(script.find("<registry>HKEY_LOCAL_MACHINE\\" + Narrow(key) + "</registry>"), std::string::npos) << script;
		EXPECT_NE(script.find("<file>" + Narrow(target) + "\\uninstall\\smooth.dll</file>"), std::string::npos) << script;

		const std::string quoted = "\"" + Narrow(uninstaller) + "\"";
		const std::pair<const wchar_t *, std::string> values[] = {
			{L"DisplayName", "sz " + app},          {L"DisplayVersion", std::string("sz ") + version},
			{L"Publisher", "sz Example Works"},     {L"InstallLocation", "sz " + Narrow(target)},
			{L"UninstallString", "sz " + quoted},   {L"QuietUninstallString", "sz " + quoted + " /S"},
			{L"DisplayIcon", "sz " + Narrow(uninstaller)}, {L"NoModify", "dword 1"}, {L"NoRepair", "dword 1"}};
		for (const auto &value : values) EXPECT_EQ(Value(key, value.first), value.second) << Narrow(value.first);
		const std::string date = Value(key, L"InstallDate");
		EXPECT_TRUE(date == "sz " + dayBefore || date == "sz " + dayAfter) << date;

		ULONGLONG bytes = 0;
		for (const auto &file : FilesBelow(target)) bytes += file.second;
		const std::string size = Value(key, L"EstimatedSize");
		ASSERT_EQ(size.rfind("dword ", 0), 0u) << size;
		const long long kib = std::stoll(size.substr(6)), actual = static_cast<long long>((bytes + 1023) / 1024);
		EXPECT_LE(std::llabs(kib - actual), 4) << kib << " KiB registered, " << bytes << " bytes installed";

		int entries = 0;
		for (const std::wstring &name : SubKeys(HKEY_LOCAL_MACHINE, kUninstallKey))
			entries += Value(std::wstring(kUninstallKey) + L"\\" + name, L"DisplayName") == "sz " + app;
		EXPECT_EQ(entries, 1);
		const std::string list = ConsoleOutput(L"uninstaller.exe --list", stage->Path() + L"\\list.txt");
		EXPECT_EQ(Listed(list, app), 1u) << "uninstaller --list:\n" << list;
	}
	EXPECT_TRUE(FileExists(desktopLink) && FileExists(programs + L"\\Uninstall.lnk"));

	// As the list starts it: its own command, in a folder without the library.
	const std::string quiet = Value(key, L"QuietUninstallString");
	ASSERT_EQ(quiet, "sz \"" + Narrow(uninstaller) + "\" /S");
	TempFolder elsewhere(L"e2e-elsewhere");
	Process program;
	std::wstring error;
	ASSERT_TRUE(program.Start(uninstaller, L"/S", elsewhere.Path(), &error)) << Narrow(error);
	DWORD code = 1;
	ASSERT_TRUE(program.WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 0u);
	ExpectAllGone();
}

namespace
{
	struct SilentRow
	{
		const char *name;
		bool script, docsMissing;
		const wchar_t *options, *later;  // before and after /LOG=; /D= comes last
		DWORD code;
		const char *failed;      // what the log's FAILED line names
		// The folder below the stage that holds the target folder Pebble, and
		// the log's name in the stage.
		const wchar_t *top = L"Some Folder", *logName = L"setup.log";
	};
}

// setup.exe /S with the pages' defaults and no window; its log names every
// file; a run that fails is taken back, and it, refused options and a
// missing script end with their codes, leaving the machine as it was.
// uninstall.exe /S takes the installation away and logs it.
TEST_F(AdminE2E, SilentInstallationLogsEveryFileAndEndsWithItsCode)
{
	QuickLaunchPresent quickLaunch;  // offered, but not a default
	const SilentRow rows[] = {{"defaults", true, false, L"/S", L"", 0, nullptr},
	                          {"missing archive", true, true, L"/S", L"", 1, "docs.zbk"},
	                          {"no script", false, false, L"/S", L"", 3, "setup.xml"},
	                          {"unknown option after /LOG", true, false, L"/S", L"/bogus", 2, "/bogus"},
	                          {"unknown option before /LOG", true, false, L"/S /bogus", L"", 2, "/bogus"},
	                          {"unknown option before /S", true, false, L"/bogus /S", L"", 2, "/bogus"},
	                          // Names outside the ANSI code page: taken as typed, end to end.
	                          {"folder and log in any script", true, false, L"/S", L"", 0, nullptr, L"\u0422\u0435\u0441\u0442 \u03a9mega \u65e5\u672c\u8a9e", L"\u0436\u0443\u0440\u043d\u0430\u043b \u03bb \u65e5.log"},
	                          {"unknown option after such a folder", true, false, L"/S", L"/bogus", 2, "/bogus", L"\u0422\u0435\u0441\u0442 \u03a9", L"\u0436 \u03bb.log"}};
	for (const SilentRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const Product product = AdminProduct(tag, false, row.docsMissing);
		ASSERT_NO_FATAL_FAILURE(Stage(row.script ? &product : nullptr, "2.5"));
		target = stage->Path() + L"\\" + row.top + L"\\Pebble";
		const std::wstring log = stage->Path() + L"\\" + row.logName;
		const MachineState before = Snapshot();
		if (!InstallSilently(std::wstring(row.options) + L" \"/LOG=" + log + L"\" " + row.later + L" /D=" + target, row.code)) continue;
		const std::vector<std::string> lines = Lines(log);
		ASSERT_FALSE(lines.empty()) << "no log at " << Narrow(log);
		if (row.failed) EXPECT_TRUE(HasFailedLine(lines, row.failed)) << "no FAILED line naming " << row.failed << " in:\n" << JoinLines(lines);
		if (row.code != 0)
		{
			// Refused, or taken back: not even the folders made for the target stay.
			EXPECT_FALSE(FolderExists(stage->Path() + L"\\" + row.top)) << "log:\n" << JoinLines(lines);
			EXPECT_EQ(Differences(before, Snapshot()), "");
			continue;
		}

		// Every file on disk is in the log, and the log names no other.
		std::set<std::wstring> onDisk, logged = LinePaths(lines, "file ");
		for (const auto &file : FilesBelow(target)) onDisk.insert(file.first);
		for (const std::wstring &path : LinePaths(lines, "uninstall script ")) logged.insert(path);
		EXPECT_EQ(onDisk.count(Lower(target + L"\\docs\\manual.txt")), 1u);
		EXPECT_EQ(onDisk.size(), 7u);
		EXPECT_TRUE(onDisk == logged) << "log:\n" << JoinLines(lines);
		EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key));
		EXPECT_TRUE(FileExists(programs + L"\\Read me.lnk") && FileExists(desktopLink)) << "the default shortcuts";
		EXPECT_FALSE(FileExists(quickLink)) << "Quick Launch is not a default";

		// The names exactly as given: in the log, the links and the registration.
		const std::string readme = Narrow(target) + "\\readme.txt", uninstaller = Narrow(target) + "\\uninstall\\uninstall.exe";
		EXPECT_NE(std::find(lines.begin(), lines.end(), "file " + readme), lines.end()) << JoinLines(lines);
		for (const std::wstring &link : {programs + L"\\Read me.lnk", desktopLink})
		{
			LinkInfo info;
			EXPECT_TRUE(LoadLink(link, &info)) << Narrow(link);
			EXPECT_EQ(Narrow(LinkItemPath(link)), readme) << Narrow(link);
			EXPECT_EQ(Narrow(info.workingFolder), Narrow(target)) << Narrow(link);
		}
		EXPECT_EQ(Value(key, L"InstallLocation"), "sz " + Narrow(target));
		EXPECT_EQ(Value(key, L"UninstallString"), "sz \"" + uninstaller + "\"");

		const std::wstring removal = stage->Path() + L"\\un" + row.logName;
		const Ended first = RunWatched(target + L"\\uninstall\\uninstall.exe", L"/S \"/LOG=" + removal + L"\"", target);
		EXPECT_TRUE(first.ended && first.code == 0) << "uninstall.exe /S: " << first.code;
		EXPECT_TRUE(first.windows.empty()) << JoinLines(first.windows);
		EXPECT_TRUE(WaitUntil(kRunTimeout, [&] { return HasLineStarting(Lines(removal), "done"); }, 100)) << JoinLines(Lines(removal));
		ExpectAllGone();
		const std::vector<std::string> removed = Lines(removal);
		const std::set<std::wstring> gone = LinePaths(removed, "removed file ");
		EXPECT_TRUE(std::includes(gone.begin(), gone.end(), onDisk.begin(), onDisk.end())) << JoinLines(removed);
		EXPECT_TRUE(HasLineStarting(removed, "unregistered HKEY_LOCAL_MACHINE\\" + Narrow(key))) << JoinLines(removed);
		EXPECT_FALSE(HasLineStarting(removed, "kept file")) << JoinLines(removed);
	}
}

// After a failed run the wizard offers to take everything back; Yes leaves
// drive C: and the list of installed programs as they were.
TEST_F(AdminE2E, UndoAfterAFailedRunLeavesTheMachineAsItWas)
{
	const Product product = AdminProduct(tag, false, true);
	ASSERT_NO_FATAL_FAILURE(Stage(&product, "2.5"));
	target = L"C:\\e2e-undo " + Widen(tag);
	const std::map<std::wstring, std::wstring> before = Snapshot();
	std::wstring error;
	ASSERT_TRUE(wizard->Start(stage->Path() + L"\\setup.exe", stage->Path(), &error)) << Narrow(error);
	ASSERT_NO_FATAL_FAILURE(Walk({}, true, true, false));

	MessageBoxInfo box;
	ASSERT_TRUE(wizard->WaitForBox(L"Setup", kRunTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
	EXPECT_NE(box.text.find(L"docs.zbk"), std::wstring::npos) << Narrow(box.text);
	EXPECT_NE(box.text.find(L"Do you want Setup to take back everything it installed?"), std::wstring::npos) << Narrow(box.text);
	ASSERT_EQ(box.buttons.size(), 2u) << Narrow(box.text);
	EXPECT_EQ(std::set<int>({box.buttons[0].first, box.buttons[1].first}), std::set<int>({IDYES, IDNO}));
	// The run did install: there is something to take back.
	EXPECT_TRUE(FileExists(target + L"\\uninstall\\uninstall.xml") && KeyExists(HKEY_LOCAL_MACHINE, key) && FileExists(desktopLink));
	ASSERT_TRUE(AnswerMessageBox(box, IDYES));

	ASSERT_TRUE(wizard->WaitForBox(L"Setup", kRunTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
	EXPECT_EQ(box.text, L"Setup has taken back everything it installed.");
	ASSERT_EQ(box.buttons.size(), 1u);
	ASSERT_TRUE(AnswerMessageBox(box, IDOK));
	DWORD code = 1;
	ASSERT_TRUE(wizard->Program().WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(wizard->Program().Id()));
	EXPECT_EQ(code, 0u);

	EXPECT_FALSE(FileExists(target + L"\\uninstall\\uninstall.xml"));
	EXPECT_EQ(Differences(before, Snapshot()), "");
}
