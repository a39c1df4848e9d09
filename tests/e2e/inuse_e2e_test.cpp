// Files that running programs hold during an upgrade, under Wine: the
// installed program running (its own .exe) and a program that keeps a data
// file open without sharing. A silent run leaves both for the restart
// (exit code 3010, the replacements in the registry list the system works
// through when it starts, done by Wine's restart); /CLOSEAPPS closes the
// program with a window and installs at once.
#include "machine.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <functional>

using namespace e2e;

namespace
{
	const wchar_t *const kSessionManager = L"System\\CurrentControlSet\\Control\\Session Manager";

	// The pending operations of the next start, as "source > destination"
	// lines (destination empty for a deletion), lower case, without the
	// "\??\" prefixes and the "!" of a replacement.
	std::vector<std::wstring> PendingOperations()
	{
		std::vector<std::wstring> lines;
		HKEY key;
		if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return lines;
		DWORD type = 0, size = 0;
		std::vector<wchar_t> data;
		if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ)
		{
			data.resize(size / sizeof(wchar_t) + 2, 0);
			RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
		}
		RegCloseKey(key);
		std::vector<std::wstring> names;
		for (size_t at = 0; at + 1 < data.size();)
		{
			std::wstring name(data.data() + at);
			at += name.size() + 1;
			if (name.empty() && names.size() % 2 == 0) break;
			if (!name.empty() && name[0] == L'!') name.erase(0, 1);
			if (name.rfind(L"\\??\\", 0) == 0) name.erase(0, 4);
			names.push_back(Lower(name));
		}
		for (size_t i = 0; i + 1 < names.size(); i += 2) lines.push_back(names[i] + L" > " + names[i + 1]);
		return lines;
	}

	bool Has(const std::vector<std::wstring> &lines, const std::wstring &line)
	{
		return std::find(lines.begin(), lines.end(), Lower(line)) != lines.end();
	}

	std::string Joined(const std::vector<std::wstring> &lines)
	{
		std::string text;
		for (const std::wstring &line : lines) text += "\n  " + Narrow(line);
		return text;
	}

	class InUseE2E : public RegisteredInstall
	{
	protected:
		InUseE2E() : RegisteredInstall("Pebble InUse") {}

		std::string program;  // the fixture program's bytes, installed as app.exe
		Process running, holder;

		void SetUp() override
		{
			ASSERT_NO_FATAL_FAILURE(RegisteredInstall::SetUp());
			ASSERT_TRUE(ReadFile(ModuleFolder() + L"\\e2e_fixture.exe", &program)) << "e2e_fixture.exe is not next to the test program";
			target = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\" + Widen(app);
		}

		void TearDown() override
		{
			running.Kill();
			holder.Kill();
			RegisteredInstall::TearDown();
		}

		// Version 1 or 2 of a product whose app.exe is the fixture program
		// (version 2 with one byte more) beside a data file and a readme.
		Product Version(int version) const
		{
			std::string uninstaller;
			EXPECT_TRUE(ReadFile(ModuleFolder() + L"\\uninstall.exe", &uninstaller));
			Product p;
			p.group = app;
			Component core{"core", ".", true, true, {}};
			core.entries = {{"app.exe", version == 1 ? program : program + "2"},
			                {"data.bin", version == 1 ? "data 1" : "data 2"},
			                {"readme.txt", version == 1 ? "one" : "two"},
			                {"uninstall/uninstall.exe", uninstaller}};
			core.library = true;
			p.components = {core};
			return p;
		}

		// Version 1 installed, then its program started from the target and,
		// with hold, a second program holding its data file.
		void InstallAndHold(bool hold)
		{
			const Product v1 = Version(1);
			ASSERT_NO_FATAL_FAILURE(Stage(&v1, "1.0"));
			ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0));
			ASSERT_TRUE(running.Start(target + L"\\app.exe", L"\"Pebble Running\" 0", target));
			ASSERT_TRUE(WaitForWindowTitled(running.Id(), L"Pebble Running", kWindowTimeout, running.Handle()));
			if (hold)
			{
				ASSERT_TRUE(holder.Start(ModuleFolder() + L"\\e2e_fixture.exe", L"\"Pebble Holder\" 0 \"" + target + L"\\data.bin\"", target));
				ASSERT_TRUE(WaitForWindowTitled(holder.Id(), L"Pebble Holder", kWindowTimeout, holder.Handle()));
			}
			const Product v2 = Version(2);
			ASSERT_NO_FATAL_FAILURE(Stage(&v2, "2.0"));
		}

		void CloseApps(bool hold)
		{
			ASSERT_NO_FATAL_FAILURE(InstallAndHold(hold));
			const std::wstring log = stage->Path() + L"\\setup.log";
			ASSERT_TRUE(InstallSilently(L"/S /CLOSEAPPS /LOG=\"" + log + L"\" /D=" + target, hold ? 3010 : 0));

			EXPECT_TRUE(running.WaitForExit(kExitTimeout)) << "the installed program still runs";
			std::string bytes;
			EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program + "2");
			EXPECT_FALSE(FileExists(target + L"\\app.exe.new"));
			EXPECT_TRUE(ReadFile(target + (hold ? L"\\data.bin.new" : L"\\data.bin"), &bytes) && bytes == "data 2");
			const std::vector<std::string> lines = Lines(log);
			EXPECT_EQ(HasLineStarting(lines, "the programs have closed"), !hold) << JoinLines(lines);
			EXPECT_FALSE(FolderExists(target + L"\\uninstall\\run")) << "the run's backup stayed";
		}
	};
}

// Silent: both files stay as they are until the restart, the new versions
// wait beside them, the log names the program and the files, exit code
// 3010; after Wine's restart the new files are in place and nothing is
// left beside them.
TEST_F(InUseE2E, SilentRunLeavesHeldFilesForTheRestart)
{
	ASSERT_NO_FATAL_FAILURE(InstallAndHold(true));
	const std::wstring log = stage->Path() + L"\\setup.log";
	ASSERT_TRUE(InstallSilently(L"/S /LOG=\"" + log + L"\" /D=" + target, 3010));

	std::string bytes;
	EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program) << "the running program was overwritten";
	EXPECT_TRUE(ReadFile(target + L"\\app.exe.new", &bytes) && bytes == program + "2");
	EXPECT_TRUE(ReadFile(target + L"\\data.bin.new", &bytes) && bytes == "data 2");
	EXPECT_TRUE(ReadFile(target + L"\\readme.txt", &bytes) && bytes == "two") << "a file nobody holds is replaced at once";
	EXPECT_EQ(Value(key, L"DisplayVersion"), "sz 2.0");

	const std::vector<std::string> lines = Lines(log);
	EXPECT_TRUE(HasLineStarting(lines, "in use " + Narrow(target) + "\\app.exe by Pebble Running")) << JoinLines(lines);
	EXPECT_TRUE(HasLineStarting(lines, "in use " + Narrow(target) + "\\data.bin by ")) << JoinLines(lines);
	EXPECT_TRUE(HasLineStarting(lines, "replaced at restart " + Narrow(target) + "\\app.exe by ")) << JoinLines(lines);

	const std::vector<std::wstring> pending = PendingOperations();
	EXPECT_TRUE(Has(pending, target + L"\\app.exe.new > " + target + L"\\app.exe")) << Joined(pending);
	EXPECT_TRUE(Has(pending, target + L"\\data.bin.new > " + target + L"\\data.bin")) << Joined(pending);

	running.Kill();
	holder.Kill();
	running.WaitForExit(kExitTimeout);
	holder.WaitForExit(kExitTimeout);

	Process restart;
	DWORD code = 1;
	ASSERT_TRUE(restart.Start(L"C:\\windows\\system32\\wineboot.exe", L"-r", L"C:\\"));
	ASSERT_TRUE(restart.WaitForExit(kRunTimeout, &code));
	EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program + "2") << "not replaced at the restart";
	EXPECT_TRUE(ReadFile(target + L"\\data.bin", &bytes) && bytes == "data 2") << "not replaced at the restart";
	EXPECT_FALSE(FileExists(target + L"\\app.exe.new"));
	EXPECT_FALSE(FileExists(target + L"\\data.bin.new"));
	EXPECT_TRUE(PendingOperations().empty()) << Joined(PendingOperations());
}

// /CLOSEAPPS: the installed program is asked to close through its window;
// it does, and the run installs everything at once. A file held by a
// program that cannot be named (Wine's Restart Manager names none) is left
// for the restart.
TEST_F(InUseE2E, CloseAppsClosesTheProgramAndInstallsAtOnce)
{
	ASSERT_NO_FATAL_FAILURE(CloseApps(false));
}

TEST_F(InUseE2E, CloseAppsLeavesAFileHeldByAnUnnamedProgramForTheRestart)
{
	ASSERT_NO_FATAL_FAILURE(CloseApps(true));
}

namespace
{
	// The question about files in use, answered with answer; its text must
	// name each of names and none of absent.
	// beforeAnswer runs while the question is up.
	void AnswerInUse(WizardSession &wizard, const std::vector<std::string> &names, int answer, const std::vector<std::string> &absent = {},
	                 const std::function<void()> &beforeAnswer = nullptr)
	{
		MessageBoxInfo box;
		ASSERT_TRUE(wizard.WaitForBox(L"Setup", kRunTimeout, &box)) << Narrow(DescribeWindows(wizard.WizardProcess()));
		for (const std::string &name : names) EXPECT_NE(Narrow(box.text).find(name), std::string::npos) << name << " not in:\n" << Narrow(box.text);
		for (const std::string &name : absent) EXPECT_EQ(Narrow(box.text).find(name), std::string::npos) << name << " in:\n" << Narrow(box.text);
		std::vector<std::wstring> buttons;
		for (const auto &button : box.buttons) buttons.push_back(button.second);
		EXPECT_EQ(box.buttons.size(), 3u) << Joined(buttons);
		if (beforeAnswer) beforeAnswer();
		ASSERT_TRUE(AnswerMessageBox(box, answer)) << Joined(buttons);
	}
}

// The wizard asks once the summary page is left: Abort keeps the summary
// page with nothing changed; Retry looks again and asks while a program
// still holds a file; once both have ended, Retry installs everything at
// once and the finish page follows.
TEST_F(InUseE2E, WizardAbortThenRetryAfterTheProgramsEnded)
{
	ASSERT_NO_FATAL_FAILURE(InstallAndHold(true));
	std::wstring error;
	ASSERT_TRUE(wizard->Start(stage->Path() + L"\\setup.exe", stage->Path(), &error)) << Narrow(error);
	ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));

	ASSERT_NO_FATAL_FAILURE(AnswerInUse(*wizard, {"Pebble Running", Narrow(target) + "\\app.exe", Narrow(target) + "\\data.bin"}, IDABORT));
	Expect(kSummaryTitle);
	std::string bytes;
	EXPECT_TRUE(ReadFile(target + L"\\readme.txt", &bytes) && bytes == "one") << "Abort changed the installation";
	EXPECT_FALSE(FileExists(target + L"\\app.exe.new"));

	// Each program ends while the question is up; Retry then looks again.
	ASSERT_TRUE(wizard->PressNext());
	ASSERT_NO_FATAL_FAILURE(AnswerInUse(*wizard, {"Pebble Running", "data.bin"}, IDRETRY, {}, [&] {
		holder.Kill();
		EXPECT_TRUE(holder.WaitForExit(kExitTimeout));
	}));
	ASSERT_NO_FATAL_FAILURE(AnswerInUse(*wizard, {"Pebble Running"}, IDRETRY, {"data.bin"}, [&] {
		running.Kill();
		EXPECT_TRUE(running.WaitForExit(kExitTimeout));
	}));
	ASSERT_NO_FATAL_FAILURE(FinishAndExit());

	EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program + "2");
	EXPECT_TRUE(ReadFile(target + L"\\data.bin", &bytes) && bytes == "data 2");
	EXPECT_FALSE(FileExists(target + L"\\app.exe.new"));
}

// Ignore: the run writes the held files beside the old ones and leaves them
// for the restart; the restart page takes the finish page's place (the
// product's script does not enable it), and the replacements wait in the
// registry.
TEST_F(InUseE2E, WizardIgnoreEndsOnTheRestartPage)
{
	ASSERT_NO_FATAL_FAILURE(InstallAndHold(true));
	std::wstring error;
	ASSERT_TRUE(wizard->Start(stage->Path() + L"\\setup.exe", stage->Path(), &error)) << Narrow(error);
	ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));
	ASSERT_NO_FATAL_FAILURE(AnswerInUse(*wizard, {"Pebble Running"}, IDIGNORE));

	PageView view;
	ASSERT_TRUE(WaitUntil(kRunTimeout, [&] { view = wizard->View(); return view.Shows(L"Button", texts::kRestartNow) && view.next.visible; }, 100)) << Narrow(view.Describe());
	EXPECT_TRUE(view.Shows(L"Static", L"Some files were in use by running programs. They are replaced when the computer restarts.")) << Narrow(view.Describe());
	EXPECT_EQ(view.next.text, texts::kFinish);
	wizard->Screenshot(stage->Path() + L"\\restart-page.png", L"", &error);

	std::string bytes;
	EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program);
	EXPECT_TRUE(ReadFile(target + L"\\app.exe.new", &bytes) && bytes == program + "2");
	EXPECT_TRUE(ReadFile(target + L"\\readme.txt", &bytes) && bytes == "two");
	const std::vector<std::wstring> pending = PendingOperations();
	EXPECT_TRUE(Has(pending, target + L"\\app.exe.new > " + target + L"\\app.exe")) << Joined(pending);
	EXPECT_TRUE(Has(pending, target + L"\\data.bin.new > " + target + L"\\data.bin")) << Joined(pending);

	ASSERT_TRUE(wizard->ChooseRestartLater(&error)) << Narrow(error);
	ASSERT_TRUE(wizard->PressNext());
	DWORD code = 1;
	ASSERT_TRUE(wizard->Program().WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 0u);
}

namespace
{
	BOOL CALLBACK TakeAny(HWND window, LPARAM data)
	{
		reinterpret_cast<std::set<HWND> *>(data)->insert(window);
		return TRUE;
	}

	// What a passive run showed: every visible top-level window not in
	// before, as its class, title and visible buttons; the last one seen.
	struct Watch
	{
		const std::set<HWND> *before;
		std::set<std::string> seen;
		HWND last;
	};

	BOOL CALLBACK TakeNew(HWND window, LPARAM data)
	{
		Watch *watch = reinterpret_cast<Watch *>(data);
		if (watch->before->count(window) || !IsWindowVisible(window)) return TRUE;
		std::string what = Narrow(ClassOf(window)) + " \"" + Narrow(WindowText(window)) + "\"";
		for (const Control &control : Controls(window))
			if (IsWindowVisible(control.hwnd) && IsClass(control, L"Button")) what += " button \"" + Narrow(control.text) + "\"";
		watch->seen.insert(what);
		watch->last = window;
		return TRUE;
	}
}

// The uninstaller asks the same question after its own: Ignore removes the
// rest now and leaves the held files, and the installation folder holding
// them, to be deleted at restart; the report says so.
TEST_F(InUseE2E, UninstallerIgnoreDeletesHeldFilesAtRestart)
{
	ASSERT_NO_FATAL_FAILURE(InstallAndHold(true));
	const std::wstring caption = Widen(app) + L" Uninstaller";
	Process first;
	ASSERT_TRUE(first.Start(target + L"\\uninstall\\uninstall.exe", L"", target));
	MessageBoxInfo box;
	ASSERT_TRUE(WaitForMessageBox(first.Id(), caption, kWindowTimeout, &box, first.Handle()));
	ASSERT_TRUE(AnswerMessageBox(box, IDYES));
	ASSERT_TRUE(WaitForMessageBox(first.Id(), caption, kStepTimeout, &box, first.Handle()));
	EXPECT_NE(Narrow(box.text).find("Pebble Running: " + Narrow(target) + "\\app.exe"), std::string::npos) << Narrow(box.text);
	EXPECT_NE(Narrow(box.text).find(Narrow(target) + "\\data.bin"), std::string::npos) << Narrow(box.text);
	ASSERT_TRUE(AnswerMessageBox(box, IDIGNORE));
	DWORD code = 0;
	ASSERT_TRUE(first.WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 3010u);

	DWORD copy = 0;
	HWND report = nullptr;
	ASSERT_TRUE(WaitUntil(kRunTimeout, [&] { return (report = MessageBoxOfAnotherProcess(caption, first.Id(), &copy)) != nullptr; }, 100)) << "no report";
	ASSERT_TRUE(WaitForMessageBox(copy, caption, kStepTimeout, &box));
	EXPECT_NE(Narrow(box.text).find("removed when the computer restarts"), std::string::npos) << Narrow(box.text);
	ASSERT_TRUE(AnswerMessageBox(box, IDOK));

	EXPECT_FALSE(FileExists(target + L"\\readme.txt"));
	EXPECT_TRUE(FileExists(target + L"\\app.exe"));
	EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));
	const std::vector<std::wstring> pending = PendingOperations();
	for (const std::wstring &path : {target + L"\\app.exe", target + L"\\data.bin", target})
		EXPECT_TRUE(Has(pending, path + L" > ")) << Narrow(path) << Joined(pending);
}

// Silent: exit code 3010, the rest removed, and after Wine's restart the
// installation folder is gone.
TEST_F(InUseE2E, SilentUninstallEndsWith3010AndTheRestartFinishes)
{
	ASSERT_NO_FATAL_FAILURE(InstallAndHold(true));
	const std::wstring log = stage->Path() + L"\\uninstall.log";
	const Ended first = RunWatched(target + L"\\uninstall\\uninstall.exe", L"/S \"/LOG=" + log + L"\"", target);
	EXPECT_TRUE(first.ended && first.code == 3010) << "uninstall.exe /S: " << first.code;
	EXPECT_TRUE(first.windows.empty()) << JoinLines(first.windows);
	ASSERT_TRUE(WaitUntil(kRunTimeout, [&] { return HasLineStarting(Lines(log), "done"); }, 100)) << JoinLines(Lines(log));
	const std::vector<std::string> lines = Lines(log);
	EXPECT_TRUE(HasLineStarting(lines, "in use " + Narrow(target) + "\\app.exe by Pebble Running")) << JoinLines(lines);
	EXPECT_TRUE(HasLineStarting(lines, "removed at restart " + Narrow(target) + "\\data.bin")) << JoinLines(lines);

	running.Kill();
	holder.Kill();
	running.WaitForExit(kExitTimeout);
	holder.WaitForExit(kExitTimeout);
	Process restart;
	ASSERT_TRUE(restart.Start(L"C:\\windows\\system32\\wineboot.exe", L"-r", L"C:\\"));
	ASSERT_TRUE(restart.WaitForExit(kRunTimeout));
	std::set<std::wstring> left;
	ListTree(target, target + L"\\", &left);
	EXPECT_FALSE(FolderExists(target)) << left.size() << " files left";
}

// Passive: every top-level window that setup.exe /P shows, all the time it
// runs, is the installation page (no button, no question, no other page);
// it ends by itself with everything installed.
TEST_F(InUseE2E, PassiveShowsOnlyTheInstallationPageAndEndsByItself)
{
	Product product = Version(1);
	product.components[0].entries.push_back({"big.bin", NoiseBytes(24 << 20, 7)});  // time to be seen
	ASSERT_NO_FATAL_FAILURE(Stage(&product, "1.0"));

	Process setup;
	ASSERT_TRUE(setup.Start(stage->Path() + L"\\setup.exe", L"/P /D=" + target, stage->Path()));
	std::set<std::string> seen;
	bool shot = false;
	const bool ended = WaitUntil(kRunTimeout, [&] {
		for (HWND window : TopLevelWindows(setup.Id()))
		{
			if (!IsWindowVisible(window)) continue;
			std::string what = Narrow(ClassOf(window)) + " \"" + Narrow(WindowText(window)) + "\"";
			for (const Control &control : Controls(window))
				if (IsWindowVisible(control.hwnd) && IsClass(control, L"Button")) what += " button \"" + Narrow(control.text) + "\"";
			seen.insert(what);
			if (!shot && WindowText(window) == kInstallTitle)
			{
				std::wstring error;
				shot = SaveScreenshot(window, ScreenshotRoot() + L"\\InUseE2E\\passive.png", &error);
			}
		}
		return !setup.Running();
	}, 50);

	ASSERT_TRUE(ended) << "setup.exe /P did not end by itself";
	DWORD code = 1;
	ASSERT_TRUE(setup.WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 0u);
	EXPECT_TRUE(shot) << "the installation page was never seen";
	for (const std::string &what : seen) EXPECT_EQ(what, "smooth.Window \"Installing\"") << "a window other than the installation page";
	std::string bytes;
	EXPECT_TRUE(ReadFile(target + L"\\app.exe", &bytes) && bytes == program);
	EXPECT_EQ(Value(key, L"DisplayVersion"), "sz 1.0");
}

// uninstall.exe /P: no question and no report; the only window, of any
// process that was not there before, is the removal's progress, and the
// installation is gone by itself.
TEST_F(InUseE2E, PassiveUninstallShowsOnlyItsProgress)
{
	const Product product = Version(1);
	ASSERT_NO_FATAL_FAILURE(Stage(&product, "1.0"));
	ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0));

	std::set<HWND> before;
	EnumWindows(&TakeAny, reinterpret_cast<LPARAM>(&before));

	Process first;
	ASSERT_TRUE(first.Start(target + L"\\uninstall\\uninstall.exe", L"/P", target));
	Watch watch{&before, {}, nullptr};
	bool shot = false;
	const bool gone = WaitUntil(kRunTimeout, [&] {
		EnumWindows(&TakeNew, reinterpret_cast<LPARAM>(&watch));
		if (!shot && watch.last && IsWindow(watch.last))
		{
			std::wstring error;
			shot = SaveScreenshot(watch.last, ScreenshotRoot() + L"\\InUseE2E\\passive-uninstall.png", &error);
		}
		return !FolderExists(target) && !KeyExists(HKEY_LOCAL_MACHINE, key);
	}, 20);

	EXPECT_TRUE(gone) << "the installation is still there";
	DWORD code = 1;
	EXPECT_TRUE(first.WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 0u);
	EXPECT_TRUE(shot && !watch.seen.empty()) << "the progress was never seen";
	for (const std::string &what : watch.seen) EXPECT_EQ(what, "smooth.Window \"" + app + " Uninstaller\"") << "a window other than the progress";
}
