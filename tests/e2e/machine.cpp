#include "machine.h"

#include <shlobj.h>

#include <algorithm>
#include <cwctype>

namespace e2e
{
	const wchar_t *const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
	const wchar_t *const kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

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

	// ---- the registry ---------------------------------------------------------

	bool KeyExists(HKEY hive, const std::wstring &path)
	{
		HKEY key;
		if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
		RegCloseKey(key);
		return true;
	}

	namespace
	{
		std::string ValueText(DWORD type, const std::vector<BYTE> &data, DWORD size)
		{
			if (type == REG_SZ) return "sz " + Narrow(reinterpret_cast<const wchar_t *>(data.data()));
			if (type == REG_DWORD && size == 4) return "dword " + std::to_string(*reinterpret_cast<const DWORD *>(data.data()));
			// Anything else compares by its bytes.
			std::string text = "type " + std::to_string(type) + " ";
			static const char digits[] = "0123456789abcdef";
			for (DWORD i = 0; i < size; i++) text += std::string{digits[data[i] >> 4], digits[data[i] & 15]};
			return text;
		}
	}

	std::string Value(const std::wstring &path, const wchar_t *name)
	{
		HKEY key;
		if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(missing)";
		DWORD type = 0, size = 0;
		std::string result = "(missing)";
		if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS)
		{
			std::vector<BYTE> data(size + sizeof(wchar_t), 0);
			if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS) result = ValueText(type, data, size);
		}
		RegCloseKey(key);
		return result;
	}

	std::map<std::wstring, std::string> Values(const std::wstring &path)
	{
		std::map<std::wstring, std::string> values;
		HKEY key;
		if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
		for (DWORD i = 0;; i++)
		{
			wchar_t name[16384];
			DWORD length = 16384, type = 0, size = 0;
			if (RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
			std::vector<BYTE> data(size + sizeof(wchar_t), 0);
			length = 16384;
			if (RegEnumValueW(key, i, name, &length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
			values[std::wstring(name, length)] = ValueText(type, data, size);
		}
		RegCloseKey(key);
		return values;
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

	// ---- drive C: ----------------------------------------------------------------

	std::wstring HashText(const std::string &bytes)
	{
		uint64_t hash = 14695981039346656037ull;
		for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
		wchar_t text[17];
		swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(hash));
		return text;
	}

	namespace
	{
		// A folder by its name only: its own times change whenever
		// something inside does. The bytes are read too, since a run that
		// puts a file back could keep its size and time and still get the
		// contents wrong.
		void WalkDrive(const std::wstring &folder, const std::vector<std::wstring> &excluded, MachineState *paths)
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
					continue;
				}
				std::string bytes;
				const std::wstring hash = ReadFile(folder + L"\\" + name, &bytes) ? HashText(bytes) : L"unreadable";
				(*paths)[path] = std::to_wstring((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + L" bytes, written " +
				                 std::to_wstring((ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime) +
				                 L", hash " + hash;
			} while (FindNextFileW(find, &data));
			FindClose(find);
		}
	}

	MachineState Snapshot()
	{
		wchar_t windows[MAX_PATH] = {0}, profile[MAX_PATH] = {0};
		GetWindowsDirectoryW(windows, MAX_PATH);
		GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
		std::vector<std::wstring> excluded = {Lower(windows), Lower(TempPath())};
		for (const wchar_t *folder : {L"Desktop", L"Documents", L"Downloads", L"Music", L"Pictures", L"Videos"})
			excluded.push_back(Lower(std::wstring(profile) + L"\\" + folder));
		MachineState paths;
		WalkDrive(L"C:", excluded, &paths);
		for (const std::wstring &name : SubKeys(HKEY_LOCAL_MACHINE, kUninstallKey))
		{
			const std::wstring entry = L"hklm uninstall\\" + Lower(name);
			paths[entry] = L"key";
			for (const auto &value : Values(std::wstring(kUninstallKey) + L"\\" + name)) paths[entry + L"\\" + Lower(value.first)] = Widen(value.second);
		}
		return paths;
	}

	std::string Differences(const MachineState &before, const MachineState &after)
	{
		std::string text;
		for (const auto &entry : after)
			if (!before.count(entry.first)) text += "  appeared: " + Narrow(entry.first) + "\n";
		for (const auto &entry : before)
		{
			auto found = after.find(entry.first);
			if (found == after.end()) text += "  gone: " + Narrow(entry.first) + "\n";
			else if (found->second != entry.second)
				text += "  changed: " + Narrow(entry.first) + " (" + Narrow(entry.second) + " -> " + Narrow(found->second) + ")\n";
		}
		return text;
	}

	// ---- programs without windows -----------------------------------------------

	Ended RunWatched(const std::wstring &exe, const std::wstring &args, const std::wstring &folder)
	{
		Ended result;
		Process program;
		std::wstring error;
		EXPECT_TRUE(program.Start(exe, args, folder, &error)) << Narrow(error);
		if (!program.Started()) return result;
		result.pid = program.Id();
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

	bool HasLineStarting(const std::vector<std::string> &lines, const std::string &prefix)
	{
		return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
	}

	bool HasFailedLine(const std::vector<std::string> &lines, const std::string &what)
	{
		return std::any_of(lines.begin(), lines.end(),
		                   [&](const std::string &line) { return line.rfind("FAILED", 0) == 0 && line.find(what) != std::string::npos; });
	}

	std::string JoinLines(const std::vector<std::string> &lines)
	{
		std::string text;
		for (const std::string &line : lines) text += "  " + line + "\n";
		return text;
	}

	// ---- the fixture ---------------------------------------------------------

	RegisteredInstall::RegisteredInstall(const std::string &prefix) : tag(Narrow(RunTag())), app(prefix + " " + tag)
	{
		key = std::wstring(kUninstallKey) + L"\\" + Widen(app);
	}

	void RegisteredInstall::SetUp()
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

	void RegisteredInstall::TearDown()
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

	std::set<std::wstring> RegisteredInstall::TempNames()
	{
		std::set<std::wstring> names;
		ListTree(TempPath(), L"", &names);  // files only; their first folder is what counts
		std::set<std::wstring> tops;
		for (const std::wstring &name : names) tops.insert(name.substr(0, name.find(L'\\')));
		return tops;
	}

	std::unique_ptr<TempFolder> RegisteredInstall::StageIn(const Product *product, const std::string &version)
	{
		auto folder = std::make_unique<TempFolder>(L"e2e-stage");
		EXPECT_FALSE(folder->Path().empty());
		EXPECT_TRUE(CopyInto(files.setup, folder->Path()) && CopyInto(files.smooth, folder->Path()));
		if (!product) return folder;
		std::string xml = Xml(*product);
		for (const auto &change : {std::make_pair(std::string(">Pebble Notes</name>"), ">" + app + "</name>"),
		                           std::make_pair(std::string("<version>2.5</version>"), "<version>" + version + "</version>")})
		{
			const size_t at = xml.find(change.first);
			EXPECT_NE(at, std::string::npos) << change.first << " not in the staged script";
			if (at != std::string::npos) xml.replace(at, change.first.size(), change.second);
		}
		EXPECT_TRUE(WriteFile(folder->Path() + L"\\setup.xml", xml));
		for (const Component &c : product->components) WriteArchive(folder->Path(), c);
		return folder;
	}

	bool RegisteredInstall::InstallSilently(const std::wstring &args, DWORD expectedCode, const std::wstring &folder, DWORD *pid)
	{
		const std::wstring from = folder.empty() ? stage->Path() : folder;
		const Ended run = RunWatched(from + L"\\setup.exe", args, from);
		if (pid) *pid = run.pid;
		EXPECT_TRUE(run.windows.empty()) << "windows of setup.exe " << Narrow(args) << ":\n" << JoinLines(run.windows);
		EXPECT_TRUE(run.ended) << "setup.exe " << Narrow(args) << " did not end";
		if (run.ended) EXPECT_EQ(run.code, expectedCode) << "setup.exe " << Narrow(args);
		return run.ended;
	}

	void RegisteredInstall::ExpectAllGone()
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
}
