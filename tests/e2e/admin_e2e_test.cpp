// What an administrator relies on, under Wine: the entry in the machine's
// list of installed programs (every value, one entry across an upgrade, the
// quiet removal command started from elsewhere), the silent installation and
// removal with their logs and exit codes, and the undo the wizard offers
// after a failed run, which leaves drive C: and the list as they were.
#include "product.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <map>

using namespace e2e;

namespace
{
	const wchar_t *const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
	const wchar_t *const kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
	constexpr DWORD kRunTimeout = 60000;  // one whole silent installation or removal

	std::wstring Lower(std::wstring text)
	{
		for (wchar_t &c : text) c = static_cast<wchar_t>(std::towlower(c));
		return text;
	}

	std::wstring TempPath()
	{
		wchar_t path[MAX_PATH + 1] = {0};
		std::wstring result(path, GetTempPathW(MAX_PATH + 1, path));
		if (!result.empty() && result.back() == L'\\') result.pop_back();
		return result;
	}

	std::string Today()
	{
		SYSTEMTIME now;
		GetLocalTime(&now);
		char text[16];
		snprintf(text, sizeof(text), "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
		return text;
	}

	// ---- the registry ---------------------------------------------------------

	bool KeyExists(HKEY hive, const std::wstring &path)
	{
		HKEY key;
		if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
		RegCloseKey(key);
		return true;
	}

	// A value as "sz <text>" or "dword <number>"; "(missing)" when absent.
	std::string Value(const std::wstring &path, const wchar_t *name)
	{
		HKEY key;
		if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(missing)";
		DWORD type = 0, size = 0;
		std::string result = "(missing)";
		if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS)
		{
			std::vector<BYTE> data(size + sizeof(wchar_t), 0);
			RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
			if (type == REG_SZ) result = "sz " + Narrow(reinterpret_cast<const wchar_t *>(data.data()));
			else if (type == REG_DWORD && size == 4) result = "dword " + std::to_string(*reinterpret_cast<const DWORD *>(data.data()));
			else result = "type " + std::to_string(type);
		}
		RegCloseKey(key);
		return result;
	}

	std::vector<std::wstring> SubKeys(HKEY hive, const wchar_t *path)
	{
		std::vector<std::wstring> names;
		HKEY key;
		if (RegOpenKeyExW(hive, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
		wchar_t name[256];
		for (DWORD i = 0, n = 256; RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; i++, n = 256)
			names.push_back(name);
		RegCloseKey(key);
		return names;
	}

	// "HKLM\name" / "HKCU\name" of every RunOnce value.
	std::set<std::wstring> RunOnceNames()
	{
		std::set<std::wstring> names;
		for (const auto &hive : {std::make_pair(HKEY_LOCAL_MACHINE, L"HKLM\\"), std::make_pair(HKEY_CURRENT_USER, L"HKCU\\")})
		{
			HKEY key;
			if (RegOpenKeyExW(hive.first, kRunOnceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
			wchar_t name[16384];
			for (DWORD i = 0, n = 16384; RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; i++, n = 16384)
				names.insert(hive.second + std::wstring(name));
			RegCloseKey(key);
		}
		return names;
	}

	// ---- programs without windows -----------------------------------------------

	struct Ended
	{
		bool ended = false;
		DWORD code = 0xFFFF;
		std::vector<std::string> windows;  // visible top-level windows seen while it ran
	};

	// Runs exe and watches it for visible top-level windows until it ends, or
	// a moment after the first one showed (nobody is there to answer it; the
	// program is then killed).
	Ended RunWatched(const std::wstring &exe, const std::wstring &args, const std::wstring &folder)
	{
		Ended result;
		Process program;
		std::wstring error;
		EXPECT_TRUE(program.Start(exe, args, folder, &error)) << Narrow(error);
		if (!program.Started()) return result;
		std::set<HWND> seen;
		WaitUntil(kRunTimeout, [&] {
			if (!result.windows.empty()) return true;
			for (HWND hwnd : TopLevelWindows(program.Id()))
				if (IsWindowVisible(hwnd) && seen.insert(hwnd).second)
					result.windows.push_back(Narrow(ClassOf(hwnd) + L" \"" + WindowText(hwnd) + L"\""));
			return !program.Running();
		}, 5);
		if (!result.windows.empty()) WaitUntil(2000, [&] { return !program.Running(); });
		result.ended = program.WaitForExit(0, &result.code);
		return result;
	}

	std::vector<std::string> Lines(const std::wstring &path)
	{
		std::string text;
		std::vector<std::string> lines;
		if (!ReadFile(path, &text)) return lines;
		if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
		for (size_t at = 0; at < text.size();)
		{
			size_t end = text.find('\n', at);
			if (end == std::string::npos) end = text.size();
			std::string line = text.substr(at, end - at);
			if (!line.empty() && line.back() == '\r') line.pop_back();
			lines.push_back(line);
			at = end + 1;
		}
		return lines;
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

	bool HasLineStarting(const std::vector<std::string> &lines, const std::string &prefix)
	{
		return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
	}

	std::string JoinLines(const std::vector<std::string> &lines)
	{
		std::string text;
		for (const std::string &line : lines) text += "  " + line + "\n";
		return text;
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

	// ---- drive C: ----------------------------------------------------------------

	// Left out of the comparison: the system folder, which Wine keeps
	// changing (registry flushes, fonts, its services' files); the temporary
	// folder, where the test stages its products; and the user's document
	// folders, which Wine links to the machine's home folder outside the
	// prefix. Links (reparse points) are not followed for the same reason. A
	// file is known by its size and time of last write, a folder by its name.
	void WalkDrive(const std::wstring &folder, const std::vector<std::wstring> &excluded, std::map<std::wstring, std::wstring> *paths)
	{
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return;
		do
		{
			const std::wstring name = data.cFileName, path = Lower(folder + L"\\" + name);
			if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
			    std::find(excluded.begin(), excluded.end(), path) != excluded.end())
				continue;
			if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
			{
				(*paths)[path] = L"folder";
				WalkDrive(folder + L"\\" + name, excluded, paths);
			}
			else
				(*paths)[path] = std::to_wstring((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + L" " +
				                 std::to_wstring((ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime);
		} while (FindNextFileW(find, &data));
		FindClose(find);
	}

	std::map<std::wstring, std::wstring> Snapshot()
	{
		wchar_t windows[MAX_PATH] = {0}, profile[MAX_PATH] = {0};
		GetWindowsDirectoryW(windows, MAX_PATH);
		GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
		std::vector<std::wstring> excluded = {Lower(windows), Lower(TempPath())};
		for (const wchar_t *folder : {L"Desktop", L"Documents", L"Downloads", L"Music", L"Pictures", L"Videos"})
			excluded.push_back(Lower(std::wstring(profile) + L"\\" + folder));
		std::map<std::wstring, std::wstring> paths;
		WalkDrive(L"C:", excluded, &paths);
		for (const std::wstring &name : SubKeys(HKEY_LOCAL_MACHINE, kUninstallKey)) paths[L"hklm uninstall\\" + Lower(name)] = L"key";
		return paths;
	}

	std::string Differences(const std::map<std::wstring, std::wstring> &before, const std::map<std::wstring, std::wstring> &after)
	{
		std::string text;
		for (const auto &entry : after)
			if (!before.count(entry.first)) text += "  appeared: " + Narrow(entry.first) + "\n";
		for (const auto &entry : before)
		{
			auto found = after.find(entry.first);
			if (found == after.end()) text += "  gone: " + Narrow(entry.first) + "\n";
			else if (found->second != entry.second) text += "  changed: " + Narrow(entry.first) + "\n";
		}
		return text;
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

	class AdminE2E : public StagedInstall
	{
	protected:
		std::string tag = Narrow(RunTag()), app = "Pebble Admin " + tag;
		std::wstring key = std::wstring(kUninstallKey) + L"\\" + Widen(app);
		std::wstring programs, desktopLink, quickLink;
		std::set<std::wstring> tempBefore, runOnceBefore;

		void SetUp() override
		{
			ASSERT_NO_FATAL_FAILURE(StagedInstall::SetUp());
			ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << "left by an earlier run: " << Narrow(key);
			programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + Widen(app);
			desktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + Widen(app) + L".lnk";
			quickLink = QuickLaunchFolder() + L"\\" + Widen(app) + L".lnk";
			cleanup = {programs, desktopLink, quickLink};
			tempBefore = TempNames();
			runOnceBefore = RunOnceNames();
		}

		// Besides what StagedInstall removes: the registration, and what the
		// uninstaller's copies leave for the next logon (their folders in the
		// temporary folder and the RunOnce commands that would remove them).
		void TearDown() override
		{
			RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
			for (const std::wstring &name : RunOnceNames())
			{
				if (runOnceBefore.count(name)) continue;
				HKEY runOnce;
				if (RegOpenKeyExW(name[2] == L'L' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kRunOnceKey, 0, KEY_SET_VALUE, &runOnce) != ERROR_SUCCESS)
					continue;
				RegDeleteValueW(runOnce, name.substr(5).c_str());
				RegCloseKey(runOnce);
			}
			for (const std::wstring &name : TempNames())
				if (!tempBefore.count(name) && FileExists(TempPath() + L"\\" + name + L"\\uninstall.exe")) RemoveTree(TempPath() + L"\\" + name);
			StagedInstall::TearDown();
		}

		static std::set<std::wstring> TempNames()
		{
			std::set<std::wstring> names;
			ListTree(TempPath(), L"", &names);  // files only; their first folder is what counts
			std::set<std::wstring> tops;
			for (const std::wstring &name : names) tops.insert(name.substr(0, name.find(L'\\')));
			return tops;
		}

		// A fresh stage with setup.exe and smooth.dll; setup.xml and the
		// archives of product (as app, version) unless product is null.
		void Stage(const Product *product, const std::string &version)
		{
			stage = std::make_unique<TempFolder>(L"e2e-admin");
			ASSERT_FALSE(stage->Path().empty());
			ASSERT_TRUE(CopyInto(files.setup, stage->Path()) && CopyInto(files.smooth, stage->Path()));
			if (!product) return;
			std::string xml = Xml(*product);
			for (const auto &change : {std::make_pair(std::string(">Pebble Notes</name>"), ">" + app + "</name>"),
			                           std::make_pair(std::string("<version>2.5</version>"), "<version>" + version + "</version>")})
			{
				const size_t at = xml.find(change.first);
				ASSERT_NE(at, std::string::npos) << change.first << " not in the staged script";
				xml.replace(at, change.first.size(), change.second);
			}
			ASSERT_TRUE(WriteFile(stage->Path() + L"\\setup.xml", xml));
			for (const Component &c : product->components) ASSERT_NO_FATAL_FAILURE(WriteArchive(stage->Path(), c));
		}

		// setup.exe of the stage with args; no window may show. False when
		// it did not end by itself.
		bool InstallSilently(const std::wstring &args, DWORD expectedCode)
		{
			const Ended run = RunWatched(stage->Path() + L"\\setup.exe", args, stage->Path());
			EXPECT_TRUE(run.windows.empty()) << "windows of setup.exe " << Narrow(args) << ":\n" << JoinLines(run.windows);
			EXPECT_TRUE(run.ended) << "setup.exe " << Narrow(args) << " did not end";
			if (run.ended) EXPECT_EQ(run.code, expectedCode) << "setup.exe " << Narrow(args);
			return run.ended;
		}

		// Waits until the installation, its entry and its shortcuts are gone.
		void ExpectAllGone()
		{
			const bool gone = WaitUntil(kRunTimeout, [&] {
				return !KeyExists(HKEY_LOCAL_MACHINE, key) && !FolderExists(target) && !FolderExists(programs) && !FileExists(desktopLink);
			}, 100);
			std::set<std::wstring> left;
			ListTree(target, target + L"\\", &left);
			EXPECT_TRUE(gone) << "left: key " << KeyExists(HKEY_LOCAL_MACHINE, key) << ", target " << FolderExists(target) << " ("
			                  << left.size() << " files), group " << FolderExists(programs) << ", desktop " << FileExists(desktopLink);
			for (const std::wstring &file : left) ADD_FAILURE() << "left: " << Narrow(file);
		}
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
	};
}

// setup.exe /S with the pages' defaults and no window; its log names every
// file; failures, refused options and a missing script end with their codes.
// uninstall.exe /S takes the installation away and logs it.
TEST_F(AdminE2E, SilentInstallationLogsEveryFileAndEndsWithItsCode)
{
	QuickLaunchPresent quickLaunch;  // offered, but not a default
	const SilentRow rows[] = {{"defaults", true, false, L"/S", L"", 0, nullptr},
	                          {"missing archive", true, true, L"/S", L"", 1, "docs.zbk"},
	                          {"no script", false, false, L"/S", L"", 3, "setup.xml"},
	                          {"unknown option after /LOG", true, false, L"/S", L"/bogus", 2, "/bogus"},
	                          {"unknown option before /LOG", true, false, L"/S /bogus", L"", 2, "/bogus"},
	                          {"unknown option before /S", true, false, L"/bogus /S", L"", 2, "/bogus"}};
	for (const SilentRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const Product product = AdminProduct(tag, false, row.docsMissing);
		ASSERT_NO_FATAL_FAILURE(Stage(row.script ? &product : nullptr, "2.5"));
		target = stage->Path() + L"\\Some Folder\\Pebble";
		const std::wstring log = stage->Path() + L"\\setup.log";
		if (!InstallSilently(std::wstring(row.options) + L" /LOG=" + log + L" " + row.later + L" /D=" + target, row.code)) continue;
		const std::vector<std::string> lines = Lines(log);
		if (row.failed)
		{
			bool named = false;
			for (const std::string &line : lines) named = named || (line.rfind("FAILED ", 0) == 0 && line.find(row.failed) != std::string::npos);
			EXPECT_TRUE(named) << "no FAILED line naming " << row.failed << " in:\n" << JoinLines(lines);
		}
		if (row.code >= 2)
		{
			EXPECT_FALSE(FolderExists(target));
			continue;
		}

		// Every file on disk is in the log, and the log names no other.
		std::set<std::wstring> onDisk, logged = LinePaths(lines, "file ");
		for (const auto &file : FilesBelow(target)) onDisk.insert(file.first);
		for (const std::wstring &path : LinePaths(lines, "uninstall script ")) logged.insert(path);
		EXPECT_EQ(onDisk.count(Lower(target + L"\\docs\\manual.txt")), row.docsMissing ? 0u : 1u);
		EXPECT_EQ(onDisk.size(), row.docsMissing ? 6u : 7u);
		EXPECT_TRUE(onDisk == logged) << "log:\n" << JoinLines(lines);
		EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key));
		EXPECT_TRUE(FileExists(programs + L"\\Read me.lnk") && FileExists(desktopLink)) << "the default shortcuts";
		EXPECT_FALSE(FileExists(quickLink)) << "Quick Launch is not a default";
		if (row.code != 0) continue;

		const std::wstring removal = stage->Path() + L"\\uninstall.log";
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
