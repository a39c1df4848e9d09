// The real setup.exe, started in a prepared folder and worked from outside as
// a person would: pages, buttons, titles, message boxes, list marks and check
// boxes read and clicked through Win32 from this second process.
//
// Each test copies setup.exe and smooth.dll from this program's bin folder into
// a fresh folder, writes a setup.xml variant there, starts the installer and
// saves a screenshot of every page it sees into
// <build>/e2e-screenshots/<test>/<step>.png.
#include "files.h"
#include "wizard_session.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>


using namespace e2e;

namespace
{
	// ---- the setup script ---------------------------------------------------

	const wchar_t *const kVersion = L"4.5.6";

	struct PageInfo
	{
		const char *id;
		const wchar_t *title;
		const char *text;          // as written in the script
		const wchar_t *shown;      // as the page shows it
	};

	// Every dialog of the script; the page texts carry the version
	// placeholder (twice on the welcome page, across two lines) so the page
	// shows where it was replaced.
	const PageInfo kPages[] = {
		{"intro", L"Welcome", "Welcome to E2E App %VERSION%.\nThis installs version %VERSION%.",
		 L"Welcome to E2E App 4.5.6.\nThis installs version 4.5.6."},
		{"license", L"License Agreement", "Do you accept the licence of E2E App %VERSION%?", L"Do you accept the licence of E2E App 4.5.6?"},
		{"directory", L"Choose Directory", "Choose where E2E App goes.", L"Choose where E2E App goes."},
		{"components", L"Select Components", "Select the parts of E2E App %VERSION%.", L"Select the parts of E2E App 4.5.6."},
		{"links", L"Create Shortcuts", "Shortcuts to create:", L"Shortcuts to create:"},
		{"summary", L"Ready to Install", "E2E App %VERSION% is ready to be installed.", L"E2E App 4.5.6 is ready to be installed."},
		{"installation", L"Installing", "E2E App is being installed.", L"E2E App is being installed."},
		{"finish", L"Setup Complete", "E2E App has been installed.", L"E2E App has been installed."},
		{"reboot", L"Restart Required", "Restart to complete the installation of %VERSION%.", L"Restart to complete the installation of 4.5.6."},
	};

	const PageInfo &Page(const std::string &id)
	{
		for (const PageInfo &page : kPages)
			if (id == page.id) return page;
		ADD_FAILURE() << "no page " << id;
		return kPages[0];
	}

	// The licence file: CR LF line ends and a byte 233, shown as one
	// character per byte.
	const std::string kLicenceBytes = "E2E App licence\r\nSecond line \xE9t\xE9\r\nThird line";
	const std::wstring kLicenceShown = L"E2E App licence\r\nSecond line \u00e9t\u00e9\r\nThird line";
	// A licence in UTF-8 with its mark, one line ending in LF only: its
	// letters as written, each line end a line of the box.
	const std::string kUtf8LicenceBytes = "\xEF\xBB\xBF" "E2E App Lizenz\n\xC3\x9C" "bersetzung \xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC\r\nThird line";
	const std::wstring kUtf8LicenceShown = L"E2E App Lizenz\r\n\u00dcbersetzung \u03a9mega \u65e5\u672c\r\nThird line";

	struct Script
	{
		std::vector<std::string> pages;  // dialog ids; "installation" is always written
		bool background = false;
		std::string defaultDir = "E2E App";
	};

	std::string Xml(const Script &script)
	{
		std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<installer>\n";
		xml += std::string("  <setup>\n    <background value=\"") + (script.background ? "true" : "false") + "\"/>\n";
		xml += "    <displayAppName value=\"true\"/>\n    <displayAppVersion value=\"true\"/>\n    <displayCompanyName value=\"true\"/>\n  </setup>\n";
		xml += "  <application>\n    <name xpos=\"40\" ypos=\"40\">E2E App</name>\n    <version>" + Narrow(kVersion) +
		       "</version>\n    <company xpos=\"40\" ypos=\"90\">E2E Makers</company>\n    <logo>logo.bmp</logo>\n  </application>\n";
		xml += "  <dialogs>\n";
		std::vector<std::string> ids = script.pages;
		ids.push_back("installation");
		for (const std::string &id : ids)
		{
			const PageInfo &page = Page(id);
			xml += "    <dialog id=\"" + id + "\">\n      <title>" + Narrow(page.title) + "</title>\n      <text>" + page.text + "</text>\n";
			if (id == "license") xml += "      <licensefile>license.txt</licensefile>\n";
			if (id == "directory") xml += "      <defaultdir>" + script.defaultDir + "</defaultdir>\n";
			xml += "    </dialog>\n";
		}
		xml += "  </dialogs>\n";
		// Empty archives and no links: the wizard is under test here, and the
		// run must leave nothing behind in the shared Wine prefix but the
		// target folder, which the fixture removes again.
		xml += "  <components>\n"
		       "    <component name=\"Core files %VERSION%\" id=\"core\" required=\"true\" default=\"true\"><archive>empty.zbk</archive><text>The program itself %VERSION%</text></component>\n"
		       "    <component name=\"Documentation\" id=\"docs\" default=\"true\"><archive>empty.zbk</archive><text>Manuals</text></component>\n"
		       "    <component name=\"Examples\" id=\"examples\"><archive>empty.zbk</archive><text>Samples</text></component>\n"
		       "  </components>\n";
		xml += "</installer>\n";
		return xml;
	}

	// A 64 by 40 bottom-up 24-bit BMP with a red-to-blue ramp, so the logo
	// is there to be seen in the screenshots.
	std::string LogoBmp()
	{
		const int width = 64, height = 40, row = width * 3;
		const int size = 54 + row * height;
		std::string bmp(size, '\0');
		auto put32 = [&](int at, int value) {
			for (int i = 0; i < 4; i++) bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
		};
		bmp[0] = 'B';
		bmp[1] = 'M';
		put32(2, size);
		put32(10, 54);
		put32(14, 40);
		put32(18, width);
		put32(22, height);
		bmp[26] = 1;
		bmp[28] = 24;
		put32(34, row * height);
		for (int y = 0; y < height; y++)
			for (int x = 0; x < width; x++)
			{
				char *pixel = &bmp[54 + y * row + x * 3];
				pixel[0] = static_cast<char>(x * 4);        // blue
				pixel[1] = static_cast<char>(y * 6);        // green
				pixel[2] = static_cast<char>(255 - x * 4);  // red
			}
		return bmp;
	}

	std::wstring ProgramFilesFolder()
	{
		wchar_t buffer[MAX_PATH] = {0};
		DWORD size = sizeof(buffer);
		if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", RRF_RT_REG_SZ, nullptr,
		                 buffer, &size) == ERROR_SUCCESS)
			return buffer;
		DWORD n = ExpandEnvironmentStringsW(L"%ProgramFiles%", buffer, MAX_PATH);
		return n > 0 && n <= MAX_PATH ? std::wstring(buffer) : std::wstring();
	}

	std::wstring QuickLaunchFolder()
	{
		wchar_t appData[MAX_PATH] = {0};
		if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return std::wstring();
		return std::wstring(appData) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
	}

	// Native progress bars of the wizard (the two installation bars), in
	// window order; empty when the bars are not native controls.
	std::vector<HWND> ProgressBars(const PageView &view)
	{
		std::vector<HWND> bars;
		for (const Control &control : view.controls)
			if (IsClass(control, L"msctls_progress32")) bars.push_back(control.hwnd);
		return bars;
	}

	int BarPosition(HWND bar)
	{
		DWORD_PTR position = 0;
		if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &position)) return -1;
		return static_cast<int>(position);
	}

	// The band across the top of the wizard window where its own title bar
	// shows the title, left of the close button.
	RECT TitleBandRect(HWND window)
	{
		RECT r{};
		GetWindowRect(window, &r);
		return RECT{3, 3, (r.right - r.left) - 40, 18};
	}

	std::vector<COLORREF> TitleBand(HWND window)
	{
		std::vector<COLORREF> pixels;
		CaptureWindowPart(window, TitleBandRect(window), &pixels);
		return pixels;
	}

	// The text of the item the folder chooser's tree has selected, read out of
	// the installer's process; "" while nothing is selected.
	std::wstring SelectedTreeItem(HWND dialog)
	{
		HWND tree = nullptr;
		for (const Control &control : Controls(dialog))
			if (IsClass(control, L"SysTreeView32")) tree = control.hwnd;
		if (tree == nullptr) return std::wstring();
		HTREEITEM selected = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
		DWORD pid = 0;
		GetWindowThreadProcessId(tree, &pid);
		HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
		if (selected == nullptr || process == nullptr) { if (process) CloseHandle(process); return std::wstring(); }
		// The item and its text buffer must live in the other process.
		const SIZE_T chars = MAX_PATH;
		char *remote = (char *)VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
		std::wstring text;
		if (remote != nullptr)
		{
			TVITEMW item = {};
			item.mask = TVIF_TEXT;
			item.hItem = selected;
			item.pszText = (wchar_t *)(remote + sizeof(TVITEMW));
			item.cchTextMax = int(chars);
			wchar_t buffer[MAX_PATH] = {0};
			if (WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) && SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)remote) &&
			    ReadProcessMemory(process, remote + sizeof(TVITEMW), buffer, sizeof(buffer) - sizeof(wchar_t), nullptr))
				text = buffer;
			VirtualFreeEx(process, remote, 0, MEM_RELEASE);
		}
		CloseHandle(process);
		return text;
	}

	// ---- the fixture --------------------------------------------------------

	class SetupE2E : public ::testing::Test
	{
	protected:
		InstallerFiles files;
		std::unique_ptr<TempFolder> folder;
		std::unique_ptr<WizardSession> wizard = std::make_unique<WizardSession>();
		int shot = 0;

		void SetUp() override
		{
			std::wstring error;
			ASSERT_TRUE(FindInstallerFiles(ModuleFolder(), &files, &error)) << Narrow(error);
			folder = std::make_unique<TempFolder>(L"e2e-setup");
			ASSERT_FALSE(folder->Path().empty()) << "no temporary folder";
			ASSERT_TRUE(CopyInto(files.setup, folder->Path())) << "cannot copy setup.exe";
			ASSERT_TRUE(CopyInto(files.smooth, folder->Path())) << "cannot copy smooth.dll";
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\license.txt", kLicenceBytes));
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\logo.bmp", LogoBmp()));
			// An archive of no chunks: just the magic.
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\empty.zbk", "ZBK"));
		}

		void TearDown() override
		{
			// A test that stopped half-way leaves no installer running.
			wizard->Program().Kill();
			// The run made the (empty) default target folder; only an empty
			// folder goes.
			wchar_t programFiles[MAX_PATH] = {0};
			if (SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE))
				RemoveDirectoryW((std::wstring(programFiles) + L"\\E2E App").c_str());
		}

		// Writes the script and starts the installer with args; the wizard shows.
		void Start(const Script &script, const std::wstring &args = L"")
		{
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\setup.xml", Xml(script)));
			std::wstring error;
			ASSERT_TRUE(wizard->Start(folder->Path() + L"\\setup.exe", folder->Path(), &error, args)) << Narrow(error);
		}

		// Waits for the page titled like page id; fails the test when it does
		// not come.
		PageView Expect(const std::string &id, bool requireNext = true)
		{
			PageView view;
			EXPECT_TRUE(wizard->WaitForPage(Page(id).title, kStepTimeout, &view, requireNext))
				<< "waiting for page " << id << "; the wizard shows:\n" << Narrow(view.Describe());
			return view;
		}

		// Saves the wizard window (and the whole screen when asked) as the
		// next numbered step of this test.
		void Shot(const std::string &step, bool screen = false)
		{
			const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
			std::wstring dir = ScreenshotRoot() + L"\\" + SafeName(Widen(std::string(info->test_suite_name()) + "." + info->name()));
			// A test's folder holds the pictures of its last run only.
			if (shot == 0) RemoveTree(dir);
			wchar_t number[8];
			swprintf(number, 8, L"%02d", ++shot);
			std::wstring name = dir + L"\\" + number + L"-" + SafeName(Widen(step));
			std::wstring error;
			EXPECT_TRUE(wizard->Screenshot(name + L".png", screen ? name + L"-screen.png" : L"", &error)) << Narrow(error);
		}

		// The program ends by itself within kExitTimeout with exit code 0,
		// and no message box was shown on the way.
		void ExpectCleanExit()
		{
			DWORD code = 12345;
			bool boxSeen = false;
			bool ended = WaitUntil(kExitTimeout, [&] {
				if (!MessageBoxes(wizard->Program().Id()).empty()) boxSeen = true;
				return !wizard->Program().Running();
			});
			ASSERT_TRUE(ended) << "setup.exe still runs; it shows:\n" << Narrow(wizard->View().Describe()) << Narrow(DescribeWindows(wizard->Program().Id()));
			ASSERT_TRUE(wizard->Program().WaitForExit(0, &code));
			EXPECT_EQ(code, 0u);
			EXPECT_FALSE(boxSeen) << "a message box was shown on the way out";
		}

		// Goes forward with Next from the first page until page id shows.
		PageView NextUntil(const std::string &id)
		{
			PageView view = wizard->View();
			for (int i = 0; i < 8 && view.title != Page(id).title; i++)
			{
				EXPECT_TRUE(wizard->PressNext());
				PageView before = view;
				EXPECT_TRUE(wizard->WaitForChange(before, kStepTimeout, &view)) << Narrow(view.Describe());
			}
			EXPECT_EQ(view.title, Page(id).title);
			return view;
		}
	};

	// ---- the page state machine, row by row ---------------------------------

	// What the wizard shows after one step. Cancel's text is checked only when
	// the button is visible; Next is visible on every page.
	struct Step
	{
		char action;  // '-' start, 'N' Next, 'B' Back
		const char *page;
		bool back;
		const wchar_t *next;
		bool cancel;
		const wchar_t *cancelText;
		int bar;  // the total progress bar's position: 0 before the run, kAfterRun after it
	};

	// The total bar after a run of the script's components: it moves after
	// each marked one, and the last (optional) one is not marked, so two of
	// three thirds.
	const int kAfterRun = 66;

	struct Walk
	{
		const char *name;
		Script script;
		std::vector<Step> steps;
		// The program ends with Finish on the last step's page, choosing the
		// restart-later option first where the restart page shows.
	};

	const wchar_t *const N = texts::kNext;
	const wchar_t *const F = texts::kFinish;
	const wchar_t *const C = texts::kCancel;

	std::vector<Walk> Walks()
	{
		std::vector<Walk> walks;
		walks.push_back({"AllPages",
		                 {{"intro", "license", "directory", "components", "links", "summary", "finish", "reboot"}},
		                 {{'-', "intro", false, N, true, C, 0},
		                  {'N', "license", true, texts::kYes, true, texts::kNo, 0},
		                  {'B', "intro", false, N, true, C, 0},
		                  {'N', "license", true, texts::kYes, true, texts::kNo, 0},
		                  {'N', "directory", true, N, true, C, 0},
		                  {'B', "license", true, texts::kYes, true, texts::kNo, 0},
		                  {'N', "directory", true, N, true, C, 0},
		                  {'N', "components", true, N, true, C, 0},
		                  {'B', "directory", true, N, true, C, 0},
		                  {'N', "components", true, N, true, C, 0},
		                  {'N', "links", true, N, true, C, 0},
		                  {'B', "components", true, N, true, C, 0},
		                  {'N', "links", true, N, true, C, 0},
		                  {'N', "summary", true, N, true, C, 0},
		                  {'B', "links", true, N, true, C, 0},
		                  {'N', "summary", true, N, true, C, 0},
		                  {'N', "finish", false, N, false, C, kAfterRun},
		                  {'N', "reboot", true, F, false, C, kAfterRun},
		                  {'B', "finish", false, N, false, C, kAfterRun},
		                  {'N', "reboot", true, F, false, C, kAfterRun}}});
		walks.push_back({"LicenceFirstWithBackdrop",
		                 {{"license", "directory", "summary", "finish"}, true},
		                 {{'-', "license", false, N, true, C, 0},
		                  {'N', "directory", true, N, true, C, 0},
		                  {'B', "license", false, texts::kYes, true, texts::kNo, 0},
		                  {'N', "directory", true, N, true, C, 0},
		                  {'N', "summary", true, N, true, C, 0},
		                  {'N', "finish", false, F, false, C, kAfterRun}}});
		walks.push_back({"RestartWithoutFinish",
		                 {{"intro", "summary", "reboot"}},
		                 {{'-', "intro", false, N, true, C, 0},
		                  {'N', "summary", true, N, true, C, 0},
		                  {'N', "reboot", false, F, false, C, kAfterRun}}});
		walks.push_back({"NeitherFinishNorRestart",
		                 {{"intro", "directory", "summary"}},
		                 {{'-', "intro", false, N, true, C, 0},
		                  {'N', "directory", true, N, true, C, 0},
		                  {'N', "summary", true, F, true, C, 0},
		                  {'B', "directory", true, N, true, C, 0},
		                  {'N', "summary", true, F, true, C, 0}}});
		walks.push_back({"FinishFirst",
		                 {{"finish", "reboot"}},
		                 {{'-', "finish", false, N, true, C, 0},
		                  {'N', "reboot", true, F, true, C, 0},
		                  {'B', "finish", false, N, true, C, 0},
		                  {'N', "reboot", true, F, true, C, 0}}});
		walks.push_back({"SinglePage", {{"intro"}}, {{'-', "intro", false, N, true, C, 0}}});
		return walks;
	}

	// Test names and failure messages show a variant by its name.
	void PrintTo(const Walk &walk, std::ostream *out) { *out << walk.name; }

	class PageStateMachine : public SetupE2E, public ::testing::WithParamInterface<Walk>
	{
	};
}

TEST_P(PageStateMachine, ButtonsTitlesAndPagesFollowEachStep)
{
	const Walk &walk = GetParam();
	ASSERT_NO_FATAL_FAILURE(Start(walk.script));

	std::vector<COLORREF> band;
	int bandsSeen = 0;
	for (size_t i = 0; i < walk.steps.size(); i++)
	{
		const Step &step = walk.steps[i];
		SCOPED_TRACE(std::string("step ") + std::to_string(i) + " '" + step.action + "' to " + step.page);
		PageView before = wizard->View();
		std::vector<COLORREF> bandBefore = band;
		if (step.action == 'N') ASSERT_TRUE(wizard->PressNext());
		if (step.action == 'B') ASSERT_TRUE(wizard->PressBack());
		PageView view;
		if (step.action == '-')
			view = Expect(step.page);
		else
			ASSERT_TRUE(wizard->WaitForChange(before, kStepTimeout, &view)) << "the page did not change; it shows:\n" << Narrow(view.Describe());
		// The title a person reads is the one the window draws in its title
		// bar: it must change on screen with the page, not only in the
		// window's text.
		// Only what the screen shows can be compared: when another program's
		// window covers the title bar, this step's title is not checked.
		bool titleDrawn = true;
		const bool bandSeen = ShowsOnTop(wizard->Window(), TitleBandRect(wizard->Window()));
		bandsSeen += bandSeen ? 1 : 0;
		if (!bandSeen)
			band.clear();
		else if (i > 0 && !bandBefore.empty())
			titleDrawn = WaitUntil(2000, [&] {
				RedrawWindow(wizard->Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
				band = TitleBand(wizard->Window());
				return !band.empty() && band != bandBefore;
			});
		else
			band = TitleBand(wizard->Window());
		EXPECT_TRUE(titleDrawn) << "the title bar still shows the title of the page before";
		Shot(std::to_string(i) + "-" + step.action + "-" + step.page, i == 0);

		EXPECT_EQ(view.title, Page(step.page).title);
		EXPECT_EQ(view.back.visible, step.back) << "Back";
		EXPECT_TRUE(view.back.visible ? view.back.text == texts::kBack : true) << Narrow(view.back.text);
		EXPECT_TRUE(view.next.visible) << "Next";
		EXPECT_EQ(view.next.text, step.next);
		EXPECT_EQ(view.cancel.visible, step.cancel) << "Cancel";
		if (step.cancel) EXPECT_EQ(view.cancel.text, step.cancelText);

		// The page's own text shows, with the version in place of its
		// placeholder, and no other page's text does.
		std::vector<std::string> ids = walk.script.pages;
		ids.push_back("installation");
		for (const std::string &id : ids)
			EXPECT_EQ(view.Shows(L"Static", Page(id).shown), id == step.page) << "text of page " << id << " in:\n" << Narrow(view.Describe());

		// The installation runs between leaving the page before installPage
		// and showing it: only the run moves the total bar. The bars themselves are hidden outside the run.
		std::vector<HWND> bars = ProgressBars(view);
		if (!bars.empty())
		{
			EXPECT_EQ(BarPosition(bars.back()), step.bar) << "total progress bar";
			for (HWND bar : bars) EXPECT_FALSE(IsWindowVisible(bar)) << "a progress bar shows outside the installation";
		}

		if (std::string(step.page) == "reboot")
		{
			// The restart page opens with "restart now" chosen.
			const Control *now = view.Find(L"Button", texts::kRestartNow);
			const Control *later = view.Find(L"Button", texts::kRestartLater);
			ASSERT_TRUE(now && later) << Narrow(view.Describe());
			EXPECT_EQ(KindOf(*now), ButtonKind::Radio);
			EXPECT_EQ(CheckState(now->hwnd), BST_CHECKED);
			EXPECT_EQ(CheckState(later->hwnd), BST_UNCHECKED);
		}
		if (step.action == '-' && walk.script.background)
		{
			// The backdrop covers the screen and stays behind the wizard->
			HWND backdrop = wizard->Backdrop();
			ASSERT_NE(backdrop, nullptr) << Narrow(DescribeWindows(wizard->Program().Id()));
			RECT r;
			ASSERT_TRUE(GetWindowRect(backdrop, &r));
			EXPECT_LE(r.left, 0);
			EXPECT_LE(r.top, 0);
			EXPECT_GE(r.right, GetSystemMetrics(SM_CXSCREEN));
			EXPECT_GE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
			auto order = TopLevelWindows(wizard->Program().Id());
			auto wizardAt = std::find(order.begin(), order.end(), wizard->Window());
			auto backdropAt = std::find(order.begin(), order.end(), backdrop);
			EXPECT_LT(wizardAt - order.begin(), backdropAt - order.begin()) << "the backdrop is in front of the wizard";
		}
		if (step.action == '-' && !walk.script.background)
			EXPECT_EQ(wizard->Backdrop(), nullptr);
	}

	EXPECT_GT(bandsSeen, 0) << "the title bar was covered by other windows at every step";

	// Finish (or Next on a single page) ends the program without a question
	// and with exit code 0, also while the backdrop is open. Where the
	// restart page shows, the restart-later option is chosen first: these
	// tests never let the installer restart anything.
	PageView last = wizard->View();
	if (last.Shows(L"Button", texts::kRestartLater))
	{
		std::wstring error;
		ASSERT_TRUE(wizard->ChooseRestartLater(&error)) << Narrow(error);
		Shot("restart-later");
	}
	ASSERT_TRUE(wizard->PressNext());
	ExpectCleanExit();
}

INSTANTIATE_TEST_SUITE_P(Variants, PageStateMachine, ::testing::ValuesIn(Walks()),
                         [](const ::testing::TestParamInfo<Walk> &info) { return std::string(info.param.name); });

// ---- leaving early --------------------------------------------------------------

namespace
{
	struct ExitRow
	{
		const char *name;
		bool closeMessage;  // the window's close request instead of the Cancel button
		bool background;
	};
}

TEST_F(SetupE2E, ExitQuestionNoStaysYesEnds)
{
	for (const ExitRow &row : {ExitRow{"cancel button", false, false}, ExitRow{"close request", true, false},
	                           ExitRow{"cancel button with backdrop", false, true}})
	{
		SCOPED_TRACE(row.name);
		wizard = std::make_unique<WizardSession>();
		ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "directory", "components", "summary", "finish"}, row.background}));
		Expect("intro");
		PageView view = NextUntil("components");
		auto leave = [&] { return row.closeMessage ? PostMessageW(wizard->Window(), WM_CLOSE, 0, 0) != 0 : wizard->PressCancel(); };

		ASSERT_TRUE(leave());
		MessageBoxInfo box;
		ASSERT_TRUE(wizard->WaitForBox(texts::kExitCaption, kStepTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
		Shot(std::string(row.name) + "-exit-question", row.background);
		EXPECT_EQ(box.text, texts::kExitText);
		ASSERT_EQ(box.buttons.size(), 2u);
		EXPECT_EQ(box.buttons[0].first, IDYES);
		EXPECT_EQ(box.buttons[1].first, IDNO);
		ASSERT_TRUE(AnswerMessageBox(box, IDNO));

		// No: the same page, its buttons as they were, the program running.
		PageView after = Expect("components");
		EXPECT_TRUE(wizard->Program().Running());
		EXPECT_TRUE(after.back.visible && after.cancel.visible);
		EXPECT_EQ(after.next.text, texts::kNext);
		EXPECT_TRUE(after.Shows(L"Static", Page("components").shown));
		if (row.background) EXPECT_NE(wizard->Backdrop(), nullptr);

		// Yes: the program ends with the backdrop, if any.
		ASSERT_TRUE(leave());
		ASSERT_TRUE(wizard->WaitForBox(texts::kExitCaption, kStepTimeout, &box));
		ASSERT_TRUE(AnswerMessageBox(box, IDYES));
		ExpectCleanExit();
	}
}

TEST_F(SetupE2E, CloseRequestOnTheLastPageEndsWithoutAQuestion)
{
	ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "summary"}}));
	Expect("intro");
	PageView view = NextUntil("summary");
	EXPECT_EQ(view.next.text, texts::kFinish);
	ASSERT_TRUE(PostMessageW(wizard->Window(), WM_CLOSE, 0, 0));
	ExpectCleanExit();
}

namespace
{
	struct InfoRow
	{
		const char *name;
		Script script;
		const wchar_t *cancelText;  // what the Cancel button reads on the licence page
		const std::string &licence;
		const std::wstring &shown;   // the box's text
	};
}

// On the licence page Cancel asks "Info" instead of the exit question, also
// when the licence page is the first page and its Cancel still reads "Cancel".
TEST_F(SetupE2E, LicencePageInfoCancelStaysOkEndsWithoutExitQuestion)
{
	const InfoRow rows[] = {
		{"licence after welcome", Script{{"intro", "license", "directory", "finish"}}, texts::kNo, kLicenceBytes, kLicenceShown},
		{"licence first, in UTF-8 with its mark", Script{{"license", "directory", "finish"}}, texts::kCancel, kUtf8LicenceBytes, kUtf8LicenceShown},
	};
	for (const InfoRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		wizard = std::make_unique<WizardSession>();
		ASSERT_TRUE(WriteFile(folder->Path() + L"\\license.txt", row.licence));
		ASSERT_NO_FATAL_FAILURE(Start(row.script));
		PageView view = NextUntil("license");
		EXPECT_EQ(view.cancel.text, row.cancelText);

		// The licence file's text (without a mark one character a byte),
		// three lines, in a box that cannot be edited.
		const Control *licence = view.First(L"Edit");
		ASSERT_NE(licence, nullptr) << Narrow(view.Describe());
		EXPECT_EQ(licence->text, row.shown) << Narrow(licence->text);
		DWORD_PTR lines = 0;
		ASSERT_TRUE(SendMessageTimeoutW(licence->hwnd, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &lines));
		EXPECT_EQ(lines, 3u);
		EXPECT_TRUE(!licence->enabled || (licence->style & ES_READONLY)) << "the licence can be edited";

		ASSERT_TRUE(wizard->PressCancel());
		MessageBoxInfo box;
		ASSERT_TRUE(wizard->WaitForBox(texts::kInfoCaption, kStepTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
		Shot(std::string(row.name) + "-info");
		EXPECT_EQ(box.text, texts::kInfoText);
		ASSERT_EQ(box.buttons.size(), 2u);
		EXPECT_EQ(box.buttons[0].first, IDOK);
		EXPECT_EQ(box.buttons[1].first, IDCANCEL);

		// Cancel: nothing changes.
		ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
		PageView after = Expect("license");
		EXPECT_TRUE(wizard->Program().Running());
		EXPECT_EQ(after.cancel.text, row.cancelText);
		EXPECT_TRUE(after.cancel.visible);

		// OK: the program ends at once, without the exit question.
		ASSERT_TRUE(wizard->PressCancel());
		ASSERT_TRUE(wizard->WaitForBox(texts::kInfoCaption, kStepTimeout, &box));
		ASSERT_TRUE(AnswerMessageBox(box, IDOK));
		ExpectCleanExit();
	}
}

// ---- page contents ------------------------------------------------------------

TEST_F(SetupE2E, DirectoryPageOffersProgramFilesAndKeepsWhatWasTyped)
{
	ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "directory", "summary"}, false, "E2E App Folder"}));
	PageView view = NextUntil("directory");
	Shot("directory");

	std::wstring programFiles = ProgramFilesFolder();
	ASSERT_FALSE(programFiles.empty());
	if (programFiles.back() != L'\\') programFiles += L'\\';
	const Control *edit = view.First(L"Edit");
	ASSERT_NE(edit, nullptr) << Narrow(view.Describe());
	EXPECT_EQ(edit->text, programFiles + L"E2E App Folder");
	const Control *group = view.Find(L"Button", L"Destination Directory");
	ASSERT_NE(group, nullptr) << Narrow(view.Describe());
	EXPECT_EQ(KindOf(*group), ButtonKind::Group);
	const Control *browseButton = view.Find(L"Button", L"Browse");
	ASSERT_NE(browseButton, nullptr);
	EXPECT_EQ(KindOf(*browseButton), ButtonKind::Push);
	// The controls keep their windows while the views that found them go.
	const HWND editBox = edit->hwnd, browse = browseButton->hwnd;

	// What the user typed is what the page shows after Back and Next.
	const std::wstring typed = folder->Path() + L"\\typed target";
	ASSERT_TRUE(SetText(editBox, typed));
	ASSERT_TRUE(wizard->PressBack());
	Expect("intro");
	ASSERT_TRUE(wizard->PressNext());
	Expect("directory");
	EXPECT_EQ(WindowText(editBox), typed);
	EXPECT_TRUE(IsWindowVisible(editBox));

	// Browse opens the folder dialog with our sentence above the folders.
	// Cancel keeps what was typed; OK puts the chosen folder in place of the
	// whole text. The dialog starts at the typed folder, so a typed folder
	// that exists is the one chosen by OK; it comes back without the
	// backslash that was typed after it.
	struct BrowseRow
	{
		const char *name;
		std::wstring typed;
		int button;
		std::wstring expected;
	};
	const BrowseRow rows[] = {{"cancel", typed, IDCANCEL, typed}, {"ok", folder->Path() + L"\\", IDOK, folder->Path()}};
	for (const BrowseRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		ASSERT_TRUE(SetText(editBox, row.typed));
		ASSERT_TRUE(PostClick(browse));
		HWND dialog = WaitForWindow(wizard->Program().Id(), [](HWND hwnd) {
			if (ClassOf(hwnd) != L"#32770") return false;
			for (const Control &control : Controls(hwnd))
				if (IsClass(control, L"Static") && control.text.find(L"Select the folder in which the program will be installed:") != std::wstring::npos)
					return true;
			return false;
		}, kStepTimeout, wizard->Program().Handle());
		ASSERT_NE(dialog, nullptr) << Narrow(DescribeWindows(wizard->Program().Id()));
		// The chooser selects the preset folder some time after it appears;
		// OK before that would answer the folder it started at.
		if (row.button == IDOK)
		{
			std::wstring leaf = row.expected.substr(row.expected.find_last_of(L'\\') + 1);
			EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return _wcsicmp(SelectedTreeItem(dialog).c_str(), leaf.c_str()) == 0; }))
				<< Narrow(SelectedTreeItem(dialog));
		}
		Shot(std::string("browse-") + row.name);
		MessageBoxInfo box;
		box.hwnd = dialog;
		ASSERT_TRUE(AnswerMessageBox(box, row.button));
		EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return _wcsicmp(WindowText(editBox).c_str(), row.expected.c_str()) == 0; }))
			<< Narrow(WindowText(editBox));
		Expect("directory");
	}
}

// A folder given with /D= is what the directory page shows, in any script.
TEST_F(SetupE2E, DirectoryPageShowsTheFolderGivenOnTheCommandLine)
{
	const std::wstring given = folder->Path() + L"\\\u0422\u0435\u0441\u0442 \u03a9mega \u65e5\u672c\u8a9e\\Quill";
	ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "directory", "summary"}}, L"/D=" + given));
	PageView view = NextUntil("directory");
	Shot("directory-given");
	const Control *edit = view.First(L"Edit");
	ASSERT_NE(edit, nullptr) << Narrow(view.Describe());
	EXPECT_EQ(edit->text, given) << Narrow(edit->text);
}

namespace
{
	struct MarkRow
	{
		int entry;
		LRESULT before;
		LRESULT after;  // after one click at the entry
	};
}

TEST_F(SetupE2E, ComponentMarksRequiredStayDefaultAndOptionalToggle)
{
	ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "components", "summary"}}));
	PageView view = NextUntil("components");
	Shot("components");

	const Control *list = view.First(L"ListBox");
	ASSERT_NE(list, nullptr) << Narrow(view.Describe());
	ASSERT_EQ(ListCount(list->hwnd), 3);
	const wchar_t *labels[] = {L"Core files 4.5.6", L"Documentation", L"Examples"};
	for (int i = 0; i < 3; i++) EXPECT_EQ(ListText(list->hwnd, i), labels[i]) << i;
	EXPECT_TRUE(view.Shows(L"Button", L"Available components"));
	EXPECT_TRUE(view.Shows(L"Button", L"Description"));
	EXPECT_TRUE(view.Shows(L"Static", L"Move the mouse over a\ncomponent entry to\nshow a description")) << Narrow(view.Describe());

	// Pointing at an entry shows its component's description as written;
	// pointing away brings the hint back.
	const std::wstring hint = L"Move the mouse over a\ncomponent entry to\nshow a description";
	RECT listRect = list->rect;
	for (int entry : {1, 0, 2})
	{
		const wchar_t *descriptions[] = {L"The program itself %VERSION%", L"Manuals", L"Samples"};
		ASSERT_TRUE(HoverListEntry(list->hwnd, entry));
		EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return wizard->View().Shows(L"Static", descriptions[entry]); }))
			<< "entry " << entry << ":\n" << Narrow(wizard->View().Describe());
		if (entry == 1) Shot("components-description");
	}
	ASSERT_TRUE(MovePointer(listRect.right + 200, listRect.bottom + 100));
	EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return wizard->View().Shows(L"Static", hint); })) << Narrow(wizard->View().Describe());

	// Required: marked and locked (1 | 2). Default: marked, can be unmarked
	// and marked again. Optional: unmarked, can be marked.
	const MarkRow rows[] = {{0, 3, 3}, {1, 1, 0}, {1, 0, 1}, {2, 0, 1}, {0, 3, 3}};
	for (const MarkRow &row : rows)
	{
		SCOPED_TRACE(row.entry);
		EXPECT_EQ(ListItemData(list->hwnd, row.entry), row.before);
		ASSERT_TRUE(ClickListEntry(list->hwnd, row.entry));
		EXPECT_EQ(ListItemData(list->hwnd, row.entry), row.after);
	}
	Shot("components-clicked");

	// The marks are kept when the page is left and shown again.
	ASSERT_TRUE(wizard->PressBack());
	Expect("intro");
	ASSERT_TRUE(wizard->PressNext());
	Expect("components");
	const LRESULT kept[] = {3, 1, 1};
	for (int i = 0; i < 3; i++) EXPECT_EQ(ListItemData(list->hwnd, i), kept[i]) << i;
}

namespace
{
	// Makes the user's Quick Launch folder present or absent for one test and
	// puts back what was there before: an existing folder is moved aside and
	// back, a made one is removed.
	class QuickLaunchState
	{
	public:
		QuickLaunchState(const std::wstring &path, bool present) : path(path)
		{
			existed = FolderExists(path);
			if (present && !existed)
				made = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS;
			if (!present && existed)
			{
				aside = path + L".e2e-" + std::to_wstring(GetCurrentProcessId());
				if (!MoveFileW(path.c_str(), aside.c_str())) aside.clear();
			}
		}
		~QuickLaunchState()
		{
			if (made) RemoveDirectoryW(path.c_str());
			if (!aside.empty()) MoveFileW(aside.c_str(), path.c_str());
		}

	private:
		std::wstring path, aside;
		bool existed = false, made = false;
	};

	struct QuickLaunchRow
	{
		const char *name;
		bool present;
	};
}

TEST_F(SetupE2E, QuickLaunchBoxIsOffWithoutItsFolder)
{
	const std::wstring quickLaunch = QuickLaunchFolder();
	ASSERT_FALSE(quickLaunch.empty());
	for (const QuickLaunchRow &row : {QuickLaunchRow{"folder present", true}, QuickLaunchRow{"folder absent", false}})
	{
		SCOPED_TRACE(row.name);
		QuickLaunchState state(quickLaunch, row.present);
		ASSERT_EQ(FolderExists(quickLaunch), row.present) << Narrow(quickLaunch);
		wizard = std::make_unique<WizardSession>();
		ASSERT_NO_FATAL_FAILURE(Start(Script{{"intro", "links", "summary"}}));
		PageView view = NextUntil("links");
		Shot(row.name);

		const Control *startMenu = view.Find(L"Button", L"Create Start Menu group");
		const Control *desktop = view.Find(L"Button", L"Create Desktop icon");
		const Control *quick = view.Find(L"Button", L"Create Quick Launch icon");
		ASSERT_TRUE(startMenu && desktop && quick) << Narrow(view.Describe());
		for (const Control *box : {startMenu, desktop, quick}) EXPECT_EQ(KindOf(*box), ButtonKind::Check) << Narrow(box->text);
		// One under the other at 26-pixel steps.
		EXPECT_EQ(desktop->rect.top - startMenu->rect.top, 26);
		EXPECT_EQ(quick->rect.top - desktop->rect.top, 26);

		EXPECT_EQ(CheckState(startMenu->hwnd), BST_CHECKED);
		EXPECT_EQ(CheckState(desktop->hwnd), BST_CHECKED);
		EXPECT_EQ(CheckState(quick->hwnd), BST_UNCHECKED);
		EXPECT_TRUE(startMenu->enabled);
		EXPECT_TRUE(desktop->enabled);
		EXPECT_EQ(quick->enabled, row.present);
		if (row.present)
		{
			ASSERT_TRUE(Click(quick->hwnd));
			EXPECT_EQ(CheckState(quick->hwnd), BST_CHECKED);
		}
		// The other two can be unticked either way.
		ASSERT_TRUE(Click(desktop->hwnd));
		EXPECT_EQ(CheckState(desktop->hwnd), BST_UNCHECKED);

		ASSERT_TRUE(wizard->PressCancel());
		MessageBoxInfo box;
		ASSERT_TRUE(wizard->WaitForBox(texts::kExitCaption, kStepTimeout, &box));
		ASSERT_TRUE(AnswerMessageBox(box, IDYES));
		ExpectCleanExit();
	}
}

TEST_F(SetupE2E, WizardWindowIsCentredWithItsSizeAndFirstPageTitle)
{
	ASSERT_NO_FATAL_FAILURE(Start(Script{{"directory", "summary"}}));
	PageView view = Expect("directory");
	Shot("start", true);
	RECT r;
	ASSERT_TRUE(GetWindowRect(wizard->Window(), &r));
	// Centred as if it were 480 by 400, on the monitor the wizard comes up on.
	const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
	EXPECT_EQ(r.left, (width - 480) / 2);
	EXPECT_EQ(r.top, (height - 400) / 2);
	EXPECT_EQ(r.right - r.left, 482);
	EXPECT_EQ(r.bottom - r.top, 372);

	// Back at the lower left, Cancel left of Next at the lower right, their
	// tops on one line.
	const Control *back = nullptr, *cancel = nullptr, *next = nullptr;
	for (const Control &control : view.controls)
	{
		if (control.text == texts::kBack) back = &control;
		if (control.text == texts::kCancel) cancel = &control;
		if (control.text == texts::kNext) next = &control;
	}
	ASSERT_TRUE(back && cancel && next);
	EXPECT_LT(back->rect.left, cancel->rect.left);
	EXPECT_LT(cancel->rect.right, next->rect.left + 1);
	EXPECT_EQ(back->rect.top, next->rect.top);
	EXPECT_EQ(cancel->rect.top, next->rect.top);
	EXPECT_GT(next->rect.top, r.top + (r.bottom - r.top) / 2);
}

// The installer writes to Program Files and the all-users folders: on a
// system with user account control it must start with administrator rights,
// so its manifest has to ask for them (Wine runs everything as administrator
// and would not show the difference).
TEST(SetupManifest, AsksForAdministratorRights)
{
	InstallerFiles files;
	std::wstring error;
	ASSERT_TRUE(FindInstallerFiles(ModuleFolder(), &files, &error)) << Narrow(error);
	// The uninstaller deletes from the same places and writes the machine's
	// once-only commands.
	for (const std::wstring &program : {files.setup, ModuleFolder() + L"\\uninstall.exe"})
	{
		SCOPED_TRACE(Narrow(program));
		HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
		ASSERT_NE(module, nullptr);
		HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
		ASSERT_NE(resource, nullptr) << "no application manifest";
		const char *bytes = (const char *)LockResource(LoadResource(module, resource));
		std::string manifest(bytes, SizeofResource(module, resource));
		FreeLibrary(module);
		EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos) << manifest;
		EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
		// Every window of the platform layer follows its monitor's DPI.
		EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
		EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
	}
}
