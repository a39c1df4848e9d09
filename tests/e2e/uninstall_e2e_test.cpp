// The real uninstaller under Wine. A staged product is installed through the
// wizard, then its uninstall.exe is started as its shortcut starts it and
// answered from outside: No changes nothing; Yes moves the uninstaller into a
// fresh temporary folder, whose copy removes what the installation made,
// reports it and leaves a command that removes the copy at the next start of
// the system. Afterwards drive C: and the RunOnce keys look as before, except
// for what the user made. Hand-written scripts check the texts, the copy's
// direct removal and the uninstaller started from the wrong folder.
#include "product.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <map>

using namespace e2e;

namespace
{
	const wchar_t *const kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
	const wchar_t *const kWrongFolderText = L"The uninstaller must be started from the installation folder";

	std::wstring Lower(std::wstring text)
	{
		for (wchar_t &c : text) c = static_cast<wchar_t>(std::towlower(c));
		return text;
	}

	std::wstring TempPath()
	{
		wchar_t path[MAX_PATH + 1] = {0};
		const DWORD n = GetTempPathW(MAX_PATH + 1, path);
		std::wstring result(path, n);
		if (!result.empty() && result.back() == L'\\') result.pop_back();
		return result;
	}

	// ---- what the machine holds -----------------------------------------------

	// Drive C: and the RunOnce values of both hives. A file is known by its
	// size and time of last write, a folder by its name only (its own times
	// change whenever something inside does).
	struct Snapshot
	{
		std::map<std::wstring, std::wstring> paths;    // lower-case path -> "folder" or "size time"
		std::map<std::wstring, std::wstring> runOnce;  // "HKLM\name" -> type and data
	};

	// Left out: the system's own folder, which Wine keeps changing (registry
	// flushes, fonts, its services' files); the temporary folder, where this
	// test stages its products and the uninstaller puts its copy (both checked
	// by themselves); and the user's document folders (Desktop, Documents,
	// Downloads, Music, Pictures, Videos), which Wine links to the home folder
	// of the machine, outside the prefix, where other programs write. Links
	// (reparse points) are not followed for the same reason.
	std::vector<std::wstring> Excluded()
	{
		wchar_t windows[MAX_PATH] = {0}, profile[MAX_PATH] = {0};
		GetWindowsDirectoryW(windows, MAX_PATH);
		GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
		std::vector<std::wstring> excluded = {Lower(windows), Lower(TempPath())};
		for (const wchar_t *folder : {L"Desktop", L"Documents", L"Downloads", L"Music", L"Pictures", L"Videos"})
			excluded.push_back(Lower(std::wstring(profile) + L"\\" + folder));
		return excluded;
	}

	void Walk(const std::wstring &folder, const std::vector<std::wstring> &excluded, std::map<std::wstring, std::wstring> *paths)
	{
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return;
		do
		{
			const std::wstring name = data.cFileName;
			if (name == L"." || name == L"..") continue;
			const std::wstring path = Lower(folder + L"\\" + name);
			if (std::find(excluded.begin(), excluded.end(), path) != excluded.end() || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
				continue;
			if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
			{
				(*paths)[path] = L"folder";
				Walk(folder + L"\\" + name, excluded, paths);
			}
			else
			{
				const ULONGLONG size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
				const ULONGLONG time = (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
				(*paths)[path] = std::to_wstring(size) + L" " + std::to_wstring(time);
			}
		} while (FindNextFileW(find, &data));
		FindClose(find);
	}

	std::map<std::wstring, std::wstring> RunOnceValues()
	{
		std::map<std::wstring, std::wstring> values;
		for (const auto &hive : {std::make_pair(HKEY_LOCAL_MACHINE, L"HKLM\\"), std::make_pair(HKEY_CURRENT_USER, L"HKCU\\")})
		{
			HKEY key;
			if (RegOpenKeyExW(hive.first, kRunOnceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
			for (DWORD i = 0;; i++)
			{
				wchar_t name[16384];
				DWORD nameLength = 16384, type = 0, size = 0;
				if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
				std::vector<BYTE> data(size + sizeof(wchar_t), 0);
				nameLength = 16384;
				if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
				values[hive.second + std::wstring(name, nameLength)] =
					(type == REG_SZ ? L"REG_SZ " : L"type " + std::to_wstring(type) + L" ") + reinterpret_cast<const wchar_t *>(data.data());
			}
			RegCloseKey(key);
		}
		return values;
	}

	Snapshot TakeSnapshot()
	{
		Snapshot snapshot;
		Walk(L"C:", Excluded(), &snapshot.paths);
		snapshot.runOnce = RunOnceValues();
		return snapshot;
	}

	// Keys of after that before lacks.
	std::vector<std::wstring> Added(const std::map<std::wstring, std::wstring> &before, const std::map<std::wstring, std::wstring> &after)
	{
		std::vector<std::wstring> added;
		for (const auto &entry : after)
			if (!before.count(entry.first)) added.push_back(entry.first);
		return added;
	}

	// Lines naming what appeared, went or changed, one per path or value.
	std::vector<std::string> Differences(const Snapshot &before, const Snapshot &after)
	{
		std::vector<std::string> lines;
		for (const auto *maps : {&before.paths, &before.runOnce})
		{
			const auto &a = *maps;
			const auto &b = maps == &before.paths ? after.paths : after.runOnce;
			for (const std::wstring &key : Added(a, b)) lines.push_back("appeared: " + Narrow(key));
			for (const std::wstring &key : Added(b, a)) lines.push_back("gone: " + Narrow(key));
			for (const auto &entry : a)
			{
				auto found = b.find(entry.first);
				if (found != b.end() && found->second != entry.second)
					lines.push_back("changed: " + Narrow(entry.first) + " (" + Narrow(entry.second) + " -> " + Narrow(found->second) + ")");
			}
		}
		return lines;
	}

	std::string Join(const std::vector<std::string> &lines)
	{
		std::string text;
		for (const std::string &line : lines) text += line + "\n";
		return text;
	}

	// Names directly in the temporary folder.
	std::set<std::wstring> TempEntries()
	{
		std::set<std::wstring> names;
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((TempPath() + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return names;
		do
			if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) names.insert(data.cFileName);
		while (FindNextFileW(find, &data));
		FindClose(find);
		return names;
	}

	bool AllDigits(const std::wstring &text)
	{
		return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
	}

	// ---- message boxes of the uninstaller ---------------------------------------

	std::wstring QuestionText(const std::wstring &application, const std::wstring &version)
	{
		return L"This will remove " + application + L" " + version + L" from your computer! Do you want to continue?";
	}

	std::wstring ReportText(const std::wstring &application, const std::wstring &version)
	{
		return application + L" " + version + L" has been removed from your computer!";
	}

	std::vector<int> ButtonIds(const MessageBoxInfo &box)
	{
		std::vector<int> ids;
		for (const auto &button : box.buttons) ids.push_back(button.first);
		return ids;
	}

	// The standard icon the box shows: of the question, exclamation, error and
	// information icons, the one that, drawn here on the box's background,
	// looks most like the screen at the box's icon control. Empty when the
	// box shows no icon.
	std::wstring ShownIcon(HWND box)
	{
		RECT r;
		if (!GetWindowRect(box, &r)) return L"";
		for (const Control &control : Controls(box))
		{
			if (!IsClass(control, L"Static") || (control.style & SS_TYPEMASK) != SS_ICON || !control.visible) continue;
			const RECT part{control.rect.left - r.left, control.rect.top - r.top, control.rect.right - r.left, control.rect.bottom - r.top};
			const int w = part.right - part.left, h = part.bottom - part.top;
			std::vector<COLORREF> shown;
			if (!CaptureWindowPart(box, part, &shown) || shown.size() != size_t(w) * size_t(h)) return L"";
			const std::pair<LPCWSTR, const wchar_t *> icons[] = {
				{IDI_QUESTION, L"question"}, {IDI_EXCLAMATION, L"exclamation"}, {IDI_HAND, L"error"}, {IDI_ASTERISK, L"information"}};
			std::wstring best;
			long long bestDistance = -1;
			HDC screen = GetDC(nullptr);
			HDC dc = CreateCompatibleDC(screen);
			HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
			HGDIOBJ old = SelectObject(dc, bitmap);
			for (const auto &icon : icons)
			{
				HBRUSH background = CreateSolidBrush(shown[0]);
				const RECT all{0, 0, w, h};
				FillRect(dc, &all, background);
				DeleteObject(background);
				DrawIconEx(dc, 0, 0, LoadIconW(nullptr, icon.first), 0, 0, 0, nullptr, DI_NORMAL);
				long long distance = 0;
				for (int y = 0; y < h; y++)
					for (int x = 0; x < w; x++)
					{
						const COLORREF a = GetPixel(dc, x, y), b = shown[size_t(y) * w + x];
						distance += std::abs(int(GetRValue(a)) - int(GetRValue(b))) + std::abs(int(GetGValue(a)) - int(GetGValue(b))) +
						            std::abs(int(GetBValue(a)) - int(GetBValue(b)));
					}
				if (bestDistance < 0 || distance < bestDistance) bestDistance = distance, best = icon.second;
			}
			SelectObject(dc, old);
			DeleteObject(bitmap);
			DeleteDC(dc);
			ReleaseDC(nullptr, screen);
			return best;
		}
		return L"";
	}

	// ShownIcon once it is want (a box may be read before it is painted), or
	// the last one seen when that does not happen within kStepTimeout.
	std::string WaitForIcon(HWND box, const std::wstring &want)
	{
		std::wstring seen;
		WaitUntil(kStepTimeout, [&] { return (seen = ShownIcon(box)) == want; }, 100);
		return Narrow(seen);
	}

	HWND WaitForBoxOfAnyProcess(const std::wstring &caption, DWORD exclude, DWORD timeoutMs, DWORD *pid)
	{
		HWND found = nullptr;
		WaitUntil(timeoutMs, [&] { return (found = MessageBoxOfAnotherProcess(caption, exclude, pid)) != nullptr; }, 50);
		return found;
	}

	// Saves a picture of the box as UninstallE2E\<name> among this build's
	// screenshots; with TOLVANE_UPDATE_SCREENSHOTS set, also into the
	// repository's docs/screenshots (drive Z: is the build machine's root).
	void SaveBoxPicture(HWND box, const std::wstring &name)
	{
		// The message's own control is where the screen must show this box
		// (Wine hit-tests the box's bare client area of another process to
		// the desktop, so the whole rectangle cannot be checked this way).
		RECT r, part{};
		ASSERT_TRUE(GetWindowRect(box, &r));
		for (const Control &control : Controls(box))
			if (control.id == 0xFFFF) part = RECT{control.rect.left - r.left, control.rect.top - r.top, control.rect.right - r.left, control.rect.bottom - r.top};
		EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return ShowsOnTop(box, part) && Sync(box); })) << "the box is not on top";
		const std::wstring path = ScreenshotRoot() + L"\\UninstallE2E\\" + name;
		std::wstring error;
		ASSERT_TRUE(SaveScreenshot(box, path, &error)) << Narrow(error);
#ifdef TOLVANE_SOURCE_DIR
		if (GetEnvironmentVariableW(L"TOLVANE_UPDATE_SCREENSHOTS", nullptr, 0) > 0)
		{
			std::wstring docs = L"Z:" + Widen(TOLVANE_SOURCE_DIR "/docs/screenshots/") + name;
			std::replace(docs.begin(), docs.end(), L'/', L'\\');
			EXPECT_TRUE(CopyFileW(path.c_str(), docs.c_str(), FALSE)) << Narrow(docs);
		}
#endif
	}

	// A process that the uninstaller started, held by id; ended when a
	// failing test leaves it running.
	struct Handle
	{
		HANDLE h = nullptr;
		~Handle()
		{
			if (!h) return;
			if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) TerminateProcess(h, 0xDEAD);
			CloseHandle(h);
		}
	};

	std::wstring ImageOf(HANDLE process)
	{
		wchar_t path[MAX_PATH * 2] = {0};
		DWORD size = MAX_PATH * 2;
		return QueryFullProcessImageNameW(process, 0, path, &size) ? std::wstring(path, size) : std::wstring();
	}

	// A product whose core carries the uninstaller and the library, with a
	// manual and an optional extra, and a shortcut of every kind.
	Product UninstallableProduct(const std::string &group, const std::string &tag)
	{
		std::string uninstaller;
		EXPECT_TRUE(ReadFile(ModuleFolder() + L"\\uninstall.exe", &uninstaller)) << "uninstall.exe is not next to the test program";
		Product p;
		p.group = group;
		Component core{"core", ".", true, true,
		               {{"data/sub/deep.bin", NoiseBytes(70000, 1)}, {"readme.txt", "Read me\r\n"}, {"uninstall/uninstall.exe", uninstaller}}};
		core.library = true;
		p.components = {core,
		                {"docs", "docs", false, true, {{"img/a.bin", NoiseBytes(3000, 2)}, {"manual.txt", "The manual"}}},
		                {"extras", "extras", false, false, {{"tool.txt", "A tool"}}}};
		p.links = {{"startmenu", "uninstall\\uninstall.exe", "Uninstall Pebble Notes", ""},
		           {"startmenu", "docs\\manual.txt", "Manual", "docs"},
		           {"startmenu", "extras\\tool.txt", "Tool", "extras"},
		           {"desktop", "readme.txt", "Pebble E2E " + tag, ""},
		           {"quicklaunch", "readme.txt", "Pebble E2E " + tag, ""}};
		return p;
	}

	// ---- the fixture -----------------------------------------------------------

	class UninstallE2E : public StagedInstall
	{
	protected:
		std::wstring uninstaller;                   // uninstall.exe of this build
		std::vector<std::wstring> runOnceToDelete;  // "HKLM\name" values this test made the uninstaller leave
		std::vector<std::wstring> tempToRemove;     // temporary folders of the uninstaller

		void SetUp() override
		{
			ASSERT_NO_FATAL_FAILURE(StagedInstall::SetUp());
			uninstaller = ModuleFolder() + L"\\uninstall.exe";
			ASSERT_TRUE(FileExists(uninstaller)) << "uninstall.exe is not next to the test program";
		}

		void TearDown() override
		{
			for (const std::wstring &value : runOnceToDelete) DeleteRunOnce(value);
			for (const std::wstring &folder : tempToRemove) RemoveTree(folder);
			StagedInstall::TearDown();
		}

		static void DeleteRunOnce(const std::wstring &value)
		{
			HKEY key;
			const HKEY hive = value.rfind(L"HKLM\\", 0) == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
			if (RegOpenKeyExW(hive, kRunOnceKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
			RegDeleteValueW(key, value.substr(5).c_str());
			RegCloseKey(key);
		}

		// A folder laid out as an installation for the uninstaller:
		// uninstall\uninstall.exe, smooth.dll and uninstall\uninstall.xml
		// holding script (the part inside the root element).
		void MakeInstallFolder(const std::wstring &folder, const std::string &script)
		{
			ASSERT_TRUE(CreateDirectoryW((folder + L"\\uninstall").c_str(), nullptr));
			ASSERT_TRUE(CopyInto(uninstaller, folder + L"\\uninstall"));
			ASSERT_TRUE(CopyInto(files.smooth, folder));
			ASSERT_TRUE(WriteFile(folder + L"\\uninstall\\uninstall.xml",
			                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UninstallScript>" + script + "</UninstallScript>\n"));
		}

		// Starts exe in folder and waits for its first message box, which
		// must have the caption; the box is read into *box.
		void StartAndWaitForBox(Process &program, const std::wstring &exe, const std::wstring &args, const std::wstring &folder,
		                        const std::wstring &caption, MessageBoxInfo *box)
		{
			std::wstring error;
			ASSERT_TRUE(program.Start(exe, args, folder, &error)) << Narrow(error);
			HWND first = WaitForWindow(program.Id(), [](HWND w) { return ClassOf(w) == L"#32770"; }, kWindowTimeout, program.Handle());
			ASSERT_NE(first, nullptr) << "no message box; windows:\n" << Narrow(DescribeWindows(program.Id()));
			ASSERT_TRUE(WaitForMessageBox(program.Id(), caption, kStepTimeout, box, program.Handle()))
				<< "the box's caption is \"" << Narrow(WindowText(first)) << "\"";
		}

		// Answers the question No: the program ends and nothing changed on C:,
		// in the temporary folder or among the RunOnce values.
		void AnswerNoAndExpectNoChange(Process &program, const MessageBoxInfo &box, const Snapshot &before, const std::set<std::wstring> &temp)
		{
			ASSERT_TRUE(AnswerMessageBox(box, IDNO));
			ASSERT_TRUE(program.WaitForExit(kExitTimeout)) << Narrow(DescribeWindows(program.Id()));
			EXPECT_EQ(Join(Differences(before, TakeSnapshot())), "");
			EXPECT_EQ(TempEntries(), temp) << "the temporary folder changed";
		}
	};

	struct RoundTripRow
	{
		const char *name;
		bool targetExists;  // made before the installation (and so kept)
		bool userFiles;     // the user saves files into the installation folder
	};
}

// Installed through the wizard, then removed by its uninstaller: No first
// (nothing happens), then Yes. Every file and folder the installation made
// goes, the user's own files stay, and the temporary copy is left with the
// command that removes it, which works.
TEST_F(UninstallE2E, RemovesTheInstallationAndLeavesItsCleanUpCommand)
{
	const RoundTripRow rows[] = {{"existing folder", true, false},
	                             {"folder made by the installer", false, false},
	                             {"folder made by the installer, with the user's files", false, true}};
	bool firstRow = true;
	for (const RoundTripRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const std::wstring tag = RunTag() + std::to_wstring(&row - rows);
		const std::wstring group = L"Pebble E2E Group " + tag;
		const Product product = UninstallableProduct(Narrow(group), Narrow(tag));
		QuickLaunchPresent quick;
		wizard = std::make_unique<WizardSession>();
		target = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Pebble E2E " + tag;
		const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + group;
		const std::wstring desktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pebble E2E " + tag + L".lnk";
		const std::wstring quickLink = QuickLaunchFolder() + L"\\Pebble E2E " + tag + L".lnk";
		cleanup = {programs, desktopLink, quickLink};
		if (row.targetExists) ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
		const Snapshot before = TakeSnapshot();

		ASSERT_NO_FATAL_FAILURE(Start(product));
		ASSERT_NO_FATAL_FAILURE(Walk({2}, true, true, true));
		Expect(kFinishTitle, 60000);
		EXPECT_TRUE(MessageBoxes(wizard->Program().Id()).empty()) << "a message box after a clean run";
		ASSERT_NO_FATAL_FAILURE(FinishAndExit());
		for (const std::wstring &path : {target + L"\\uninstall\\uninstall.xml", target + L"\\uninstall\\uninstall.exe",
		                                 target + L"\\smooth.dll", programs + L"\\Uninstall Pebble Notes.lnk", desktopLink, quickLink})
			ASSERT_TRUE(FileExists(path)) << Narrow(path) << " was not installed";

		// The program writes its settings file, which the script names; the
		// user saves notes beside the program and in a folder of their own.
		ASSERT_TRUE(WriteFile(target + L"\\notes.ini", "[notes]\r\n"));
		std::vector<std::wstring> userPaths;
		if (row.userFiles)
		{
			userPaths = {target + L"\\my notes.txt", target + L"\\My Folder", target + L"\\My Folder\\letter.txt"};
			ASSERT_TRUE(WriteFile(userPaths[0], "mine"));
			ASSERT_TRUE(CreateDirectoryW(userPaths[1].c_str(), nullptr));
			ASSERT_TRUE(WriteFile(userPaths[2], "also mine"));
		}

		// Started as its Start-menu shortcut starts it.
		LinkInfo link;
		ASSERT_TRUE(LoadLink(programs + L"\\Uninstall Pebble Notes.lnk", &link));
		EXPECT_EQ(Narrow(link.target), Narrow(target + L"\\uninstall\\uninstall.exe"));
		ASSERT_EQ(Narrow(link.workingFolder), Narrow(target));
		const std::wstring caption = L"Pebble Notes Uninstaller";

		{
			const Snapshot installed = TakeSnapshot();
			const std::set<std::wstring> temp = TempEntries();
			Process first;
			MessageBoxInfo box;
			ASSERT_NO_FATAL_FAILURE(StartAndWaitForBox(first, link.target, L"", link.workingFolder, caption, &box));
			ASSERT_NO_FATAL_FAILURE(AnswerNoAndExpectNoChange(first, box, installed, temp));
		}

		const std::set<std::wstring> tempBefore = TempEntries();
		const Snapshot installed = TakeSnapshot();
		Process first;
		MessageBoxInfo question;
		ASSERT_NO_FATAL_FAILURE(StartAndWaitForBox(first, link.target, L"", link.workingFolder, caption, &question));
		EXPECT_EQ(Narrow(question.text), Narrow(QuestionText(L"Pebble Notes", L"2.5")));
		EXPECT_EQ(ButtonIds(question), (std::vector<int>{IDYES, IDNO}));
		EXPECT_EQ(WaitForIcon(question.hwnd, L"question"), "question");
		if (firstRow) ASSERT_NO_FATAL_FAILURE(SaveBoxPicture(question.hwnd, L"uninstall-question.png"));
		ASSERT_TRUE(AnswerMessageBox(question, IDYES));
		DWORD code = 1;
		ASSERT_TRUE(first.WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(first.Id()));
		EXPECT_EQ(code, 0u);

		// The copy in the temporary folder reports from a process of its own.
		DWORD copyId = 0;
		HWND reportWindow = WaitForBoxOfAnyProcess(caption, first.Id(), 60000, &copyId);
		ASSERT_NE(reportWindow, nullptr) << "no report";
		Handle copy{OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, copyId)};
		ASSERT_NE(copy.h, nullptr);
		MessageBoxInfo report;
		ASSERT_TRUE(WaitForMessageBox(copyId, caption, kStepTimeout, &report));
		EXPECT_EQ(Narrow(report.text), Narrow(ReportText(L"Pebble Notes", L"2.5")));
		EXPECT_EQ(ButtonIds(report), (std::vector<int>{IDOK}));
		EXPECT_EQ(WaitForIcon(report.hwnd, L"exclamation"), "exclamation");

		std::vector<std::wstring> newTemp;
		for (const std::wstring &name : TempEntries())
			if (!tempBefore.count(name)) newTemp.push_back(name);
		ASSERT_EQ(newTemp.size(), 1u) << "new entries in the temporary folder: " << newTemp.size();
		const std::wstring t = TempPath() + L"\\" + newTemp[0];
		tempToRemove.push_back(t);
		const std::wstring tick = newTemp[0].substr(0, newTemp[0].find(L'_'));
		EXPECT_TRUE(AllDigits(tick) && (tick == newTemp[0] || AllDigits(newTemp[0].substr(tick.size() + 1)))) << Narrow(newTemp[0]);
		EXPECT_EQ(Narrow(Lower(ImageOf(copy.h))), Narrow(Lower(t + L"\\uninstall.exe")));

		if (firstRow) ASSERT_NO_FATAL_FAILURE(SaveBoxPicture(report.hwnd, L"uninstall-report.png"));
		ASSERT_TRUE(AnswerMessageBox(report, IDOK));
		ASSERT_EQ(WaitForSingleObject(copy.h, kExitTimeout), WAIT_OBJECT_0) << Narrow(DescribeWindows(copyId));
		ASSERT_TRUE(GetExitCodeProcess(copy.h, &code));
		EXPECT_EQ(code, 0u);

		// What the installation made is gone; the user's files stay.
		EXPECT_EQ(FolderExists(target), row.targetExists || row.userFiles);
		for (const std::wstring &gone : {programs, desktopLink, quickLink}) EXPECT_FALSE(FileExists(gone) || FolderExists(gone)) << Narrow(gone);
		for (const std::wstring &kept : userPaths) EXPECT_TRUE(FileExists(kept) || FolderExists(kept)) << Narrow(kept);

		// The copy and the library stay in the temporary folder until the
		// next start of the system runs the command left for it.
		std::set<std::wstring> left;
		ListTree(t, L"", &left);
		EXPECT_EQ(left, (std::set<std::wstring>{L"smooth.dll", L"uninstall.exe"}));
		const Snapshot removed = TakeSnapshot();
		const std::vector<std::wstring> values = Added(installed.runOnce, removed.runOnce);
		ASSERT_EQ(values.size(), 1u) << Join(Differences(installed, removed));
		runOnceToDelete.push_back(values[0]);
		const std::wstring name = values[0].substr(5);
		// Named after the tick count read again when the value is written:
		// a little later than the one in the folder's name.
		ASSERT_EQ(Narrow(name).rfind("removeTempFiles", 0), 0u) << Narrow(name);
		const std::wstring valueTick = name.substr(15);
		ASSERT_FALSE(valueTick.empty());
		EXPECT_EQ(valueTick.find_first_not_of(L"0123456789"), std::wstring::npos) << Narrow(name);
		EXPECT_GE(std::stoull(valueTick), std::stoull(tick)) << Narrow(name);
		EXPECT_LT(std::stoull(valueTick) - std::stoull(tick), 60000ull) << Narrow(name);
		const std::wstring command = L"cmd /c \"del \"" + t + L"\\uninstall.exe\" \"" + t + L"\\smooth.dll\" & rmdir \"" + t + L"\"\"";
		const std::wstring stored = removed.runOnce.at(values[0]);
		ASSERT_EQ(Narrow(stored), Narrow(L"REG_SZ " + command));

		// Run as the system would run it.
		std::wstring text = stored.substr(7);
		STARTUPINFOW startup{sizeof(startup)};
		PROCESS_INFORMATION info{};
		ASSERT_TRUE(CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
			<< Narrow(ErrorText(GetLastError()));
		EXPECT_EQ(WaitForSingleObject(info.hProcess, kExitTimeout), WAIT_OBJECT_0);
		CloseHandle(info.hThread);
		CloseHandle(info.hProcess);
		EXPECT_FALSE(FolderExists(t)) << Narrow(t) << " is still there after its command ran";
		DeleteRunOnce(values[0]);
		runOnceToDelete.clear();

		// C: and RunOnce as before, but for the user's files (and the folder
		// the installer made, which holds them now).
		std::vector<std::string> expected;
		for (const std::wstring &kept : userPaths) expected.push_back("appeared: " + Narrow(Lower(kept)));
		if (row.userFiles && !row.targetExists) expected.push_back("appeared: " + Narrow(Lower(target)));
		std::sort(expected.begin(), expected.end());
		EXPECT_EQ(Join(Differences(before, TakeSnapshot())), Join(expected));

		RemoveTree(target);
		firstRow = false;
	}
}

namespace
{
	struct TextRow
	{
		const char *name;
		std::string script;
		const wchar_t *caption;
		std::wstring question;
	};
}

// The question names the application and version of the script exactly, also
// when one is empty or missing; No leaves everything as it was, also the
// files the script names.
TEST_F(UninstallE2E, QuestionNamesTheScriptsApplicationAndVersion)
{
	const std::string entries = "<file>%1\\keep.txt</file>";
	const TextRow rows[] = {
		{"empty application", "<application></application><version>2.5</version>", L" Uninstaller", QuestionText(L"", L"2.5")},
		{"no application", "<version>2.5</version>", L" Uninstaller", QuestionText(L"", L"2.5")},
		{"empty version", "<application>Pebble Notes</application><version/>", L"Pebble Notes Uninstaller", QuestionText(L"Pebble Notes", L"")},
		{"name with markup", "<application>Pebble &amp; Co</application><version>3 beta</version>", L"Pebble & Co Uninstaller",
		 QuestionText(L"Pebble & Co", L"3 beta")}};
	for (const TextRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		TempFolder folder(L"e2e-uninstall");
		ASSERT_FALSE(folder.Path().empty());
		std::string script = row.script + entries;
		script.replace(script.find("%1"), 2, Narrow(folder.Path()));
		ASSERT_NO_FATAL_FAILURE(MakeInstallFolder(folder.Path(), script));
		ASSERT_TRUE(WriteFile(folder.Path() + L"\\keep.txt", "named by the script"));
		std::set<std::wstring> files;
		ListTree(folder.Path(), L"", &files);
		const Snapshot before = TakeSnapshot();
		const std::set<std::wstring> temp = TempEntries();

		Process program;
		MessageBoxInfo box;
		ASSERT_NO_FATAL_FAILURE(StartAndWaitForBox(program, folder.Path() + L"\\uninstall\\uninstall.exe", L"", folder.Path(), row.caption, &box));
		EXPECT_EQ(Narrow(box.text), Narrow(row.question));
		EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDYES, IDNO}));
		EXPECT_EQ(WaitForIcon(box.hwnd, L"question"), "question");
		ASSERT_NO_FATAL_FAILURE(AnswerNoAndExpectNoChange(program, box, before, temp));
		std::set<std::wstring> after;
		ListTree(folder.Path(), L"", &after);
		EXPECT_EQ(after, files);
	}
}

namespace
{
	struct WrongFolderRow
	{
		const char *name;
		bool program, library, script;  // uninstall\uninstall.exe, smooth.dll, uninstall\uninstall.xml in the working folder
		bool flat;                      // the temporary copy's layout: all three side by side, started without "--temp"
		const wchar_t *caption;
	};
}

// Started where the installation is not (a working folder without
// uninstall\uninstall.exe, smooth.dll or the script), it says so in one
// message and changes nothing. The program itself runs from another folder
// that holds it with the library.
TEST_F(UninstallE2E, StartedElsewhereItSaysSoAndChangesNothing)
{
	const WrongFolderRow rows[] = {
		{"empty folder", false, false, false, false, L" Uninstaller"},
		{"no program", false, true, true, false, L"Pebble Notes Uninstaller"},
		{"no library", true, false, true, false, L"Pebble Notes Uninstaller"},
		{"no script", true, true, false, false, L" Uninstaller"},
		{"the temporary folder's layout", false, false, false, true, L" Uninstaller"}};
	bool firstRow = true;
	for (const WrongFolderRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		TempFolder home(L"e2e-uninstall-home"), work(L"e2e-uninstall-work");
		ASSERT_FALSE(home.Path().empty() || work.Path().empty());
		ASSERT_TRUE(CopyInto(uninstaller, home.Path()));
		ASSERT_TRUE(CopyInto(files.smooth, home.Path()));
		const std::string script = "<?xml version=\"1.0\"?>\n<UninstallScript><application>Pebble Notes</application><version>2.5</version>"
		                           "<file>" + Narrow(work.Path()) + "\\keep.txt</file></UninstallScript>\n";
		ASSERT_TRUE(WriteFile(work.Path() + L"\\keep.txt", "named by the script"));
		if (row.flat)
		{
			ASSERT_TRUE(CopyInto(uninstaller, work.Path()));
			ASSERT_TRUE(CopyInto(files.smooth, work.Path()));
			ASSERT_TRUE(WriteFile(work.Path() + L"\\uninstall.xml", script));
		}
		if (row.program || row.script) ASSERT_TRUE(CreateDirectoryW((work.Path() + L"\\uninstall").c_str(), nullptr));
		if (row.program) ASSERT_TRUE(CopyInto(uninstaller, work.Path() + L"\\uninstall"));
		if (row.library) ASSERT_TRUE(CopyInto(files.smooth, work.Path()));
		if (row.script) ASSERT_TRUE(WriteFile(work.Path() + L"\\uninstall\\uninstall.xml", script));
		std::set<std::wstring> files;
		ListTree(work.Path(), L"", &files);
		const Snapshot before = TakeSnapshot();
		const std::set<std::wstring> temp = TempEntries();

		Process program;
		MessageBoxInfo box;
		ASSERT_NO_FATAL_FAILURE(StartAndWaitForBox(program, home.Path() + L"\\uninstall.exe", L"", work.Path(), row.caption, &box));
		EXPECT_EQ(Narrow(box.text.substr(0, wcslen(kWrongFolderText))), Narrow(kWrongFolderText)) << Narrow(box.text);
		ASSERT_FALSE(box.buttons.empty());
		if (firstRow) ASSERT_NO_FATAL_FAILURE(SaveBoxPicture(box.hwnd, L"uninstall-wrong-folder.png"));
		ASSERT_TRUE(AnswerMessageBox(box, box.buttons[0].first));
		// One message only: the program ends without showing another.
		HWND next = nullptr;
		ASSERT_TRUE(WaitUntil(kExitTimeout, [&] {
			const std::vector<MessageBoxInfo> boxes = MessageBoxes(program.Id());
			if (!boxes.empty()) next = boxes[0].hwnd;
			return next || !program.Running();
		})) << "the program neither ended nor showed anything";
		ASSERT_EQ(next, nullptr) << "a second box: " << Narrow(WindowText(next));
		EXPECT_EQ(Join(Differences(before, TakeSnapshot())), "");
		EXPECT_EQ(TempEntries(), temp) << "the temporary folder changed";
		std::set<std::wstring> after;
		ListTree(work.Path(), L"", &after);
		EXPECT_EQ(after, files);
		firstRow = false;
	}
}

// Started with arguments that end with "--temp" in a folder holding the
// script, as the copy in the temporary folder runs: no question, the listed
// files and the emptied listed folders go at once (the rest stays), then the
// report, and the folder keeps only the program and the library.
TEST_F(UninstallE2E, TempRunRemovesAtOnceAndReports)
{
	TempFolder run(L"e2e-uninstall-run"), victim(L"e2e-uninstall-victim");
	ASSERT_FALSE(run.Path().empty() || victim.Path().empty());
	const std::wstring v = victim.Path();
	for (const wchar_t *folder : {L"\\sub", L"\\sub\\deeper", L"\\full"}) ASSERT_TRUE(CreateDirectoryW((v + folder).c_str(), nullptr));
	for (const wchar_t *file : {L"\\a.txt", L"\\sub\\b.txt", L"\\sub\\deeper\\c.txt", L"\\keep.txt", L"\\full\\x.txt"})
		ASSERT_TRUE(WriteFile(v + file, Narrow(file)));
	std::string script = "<?xml version=\"1.0\"?>\n<UninstallScript><application>Pebble Notes</application><version>2.5</version>";
	for (const wchar_t *folder : {L"\\sub", L"\\sub\\deeper", L"\\full"}) script += "<directory>" + Narrow(v + folder) + "</directory>";
	for (const wchar_t *file : {L"\\a.txt", L"\\sub\\b.txt", L"\\sub\\deeper\\c.txt"}) script += "<file>" + Narrow(v + file) + "</file>";
	ASSERT_TRUE(WriteFile(run.Path() + L"\\uninstall.xml", script + "</UninstallScript>\n"));
	ASSERT_TRUE(CopyInto(uninstaller, run.Path()));
	ASSERT_TRUE(CopyInto(files.smooth, run.Path()));
	const Snapshot before = TakeSnapshot();
	const std::set<std::wstring> temp = TempEntries();

	Process program;
	MessageBoxInfo box;
	ASSERT_NO_FATAL_FAILURE(
		StartAndWaitForBox(program, run.Path() + L"\\uninstall.exe", L"C:\\some path --temp", run.Path(), L"Pebble Notes Uninstaller", &box));
	EXPECT_EQ(Narrow(box.text), Narrow(ReportText(L"Pebble Notes", L"2.5")));
	EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDOK}));
	EXPECT_EQ(WaitForIcon(box.hwnd, L"exclamation"), "exclamation");
	std::set<std::wstring> left;
	ListTree(v, L"", &left);
	EXPECT_EQ(left, (std::set<std::wstring>{L"full\\x.txt", L"keep.txt"}));
	EXPECT_FALSE(FolderExists(v + L"\\sub"));
	ASSERT_TRUE(AnswerMessageBox(box, IDOK));
	DWORD code = 1;
	ASSERT_TRUE(program.WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(program.Id()));
	EXPECT_EQ(code, 0u);

	left.clear();
	ListTree(run.Path(), L"", &left);
	EXPECT_EQ(left, (std::set<std::wstring>{L"smooth.dll", L"uninstall.exe"}));
	const Snapshot after = TakeSnapshot();
	EXPECT_EQ(after.runOnce, before.runOnce);
	EXPECT_EQ(TempEntries(), temp) << "the temporary folder changed";
}
