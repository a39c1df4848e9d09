// The driver proven against e2e_fixture.exe, our own window program with one
// control of each kind the wizard uses, before the driver is pointed at the
// installer: if these pass and an installer test fails, the fault is in the
// installer.
#include "driver.h"
#include "files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace e2e;

namespace
{
	std::wstring FixturePath() { return ModuleFolder() + L"\\e2e_fixture.exe"; }

	// One running fixture with its window.
	struct Fixture
	{
		Process process;
		HWND window = nullptr;
		std::vector<Control> controls;

		// Starts the fixture in folder with the given title and exit code and
		// waits for its window; records a test failure when either fails.
		bool Start(const std::wstring &title, int exitCode, const std::wstring &folder)
		{
			std::wstring error;
			if (!process.Start(FixturePath(), L"\"" + title + L"\" " + std::to_wstring(exitCode), folder, &error))
			{
				ADD_FAILURE() << Narrow(error);
				return false;
			}
			window = WaitForWindowTitled(process.Id(), title, kWindowTimeout, process.Handle());
			if (!window)
			{
				ADD_FAILURE() << "no window titled " << Narrow(title) << "; windows:\n" << Narrow(DescribeWindows(process.Id()));
				return false;
			}
			controls = Controls(window);
			return true;
		}

		HWND Find(const wchar_t *cls, const std::wstring &text) const
		{
			const Control *control = FindControl(controls, cls, text);
			return control ? control->hwnd : nullptr;
		}

		HWND List() const
		{
			for (const Control &control : controls)
				if (IsClass(control, L"ListBox")) return control.hwnd;
			return nullptr;
		}

		// The answer static reads "answer:" followed by the last answer.
		std::wstring Answer() const
		{
			for (const Control &control : Controls(window))
				if (control.id == 102) return control.text;
			return std::wstring();
		}
	};
}

TEST(DriverProcess, ExitCodeAndWorkingFolderOfAStartedProgram)
{
	TempFolder folder(L"e2e-driver");
	ASSERT_FALSE(folder.Path().empty());

	for (int code : {0, 7, 255})
	{
		SCOPED_TRACE(code);
		Fixture fixture;
		ASSERT_TRUE(fixture.Start(L"Exit " + std::to_wstring(code), code, folder.Path()));
		// The program runs in the folder it was given.
		const Control *cwd = nullptr;
		for (const Control &control : fixture.controls)
			if (control.text.rfind(L"cwd:", 0) == 0) cwd = &control;
		ASSERT_NE(cwd, nullptr);
		EXPECT_EQ(_wcsicmp(cwd->text.c_str(), (L"cwd:" + folder.Path()).c_str()), 0) << Narrow(cwd->text);

		DWORD exitCode = 12345;
		EXPECT_FALSE(fixture.process.WaitForExit(50, &exitCode)) << "ended by itself";
		EXPECT_TRUE(fixture.process.Running());
		ASSERT_TRUE(Click(fixture.Find(L"Button", L"Quit")));
		ASSERT_TRUE(fixture.process.WaitForExit(kExitTimeout, &exitCode));
		EXPECT_EQ(exitCode, static_cast<DWORD>(code));
		EXPECT_FALSE(fixture.process.Running());
	}
}

TEST(DriverProcess, StartFailureIsReportedAndKillEndsAHungProgram)
{
	Process missing;
	std::wstring error;
	EXPECT_FALSE(missing.Start(ModuleFolder() + L"\\no_such_program.exe", L"", L"", &error));
	EXPECT_NE(error.find(L"no_such_program.exe"), std::wstring::npos) << Narrow(error);
	EXPECT_FALSE(missing.Started());
	EXPECT_FALSE(missing.WaitForExit(10));

	Fixture fixture;
	ASSERT_TRUE(fixture.Start(L"Kill me", 0, L""));
	std::wstring second;
	EXPECT_FALSE(fixture.process.Start(FixturePath(), L"", L"", &second)) << "a second start over a held process";
	fixture.process.Kill();
	DWORD code = 0;
	ASSERT_TRUE(fixture.process.WaitForExit(0, &code));
	EXPECT_EQ(code, 0xDEADu);
}

TEST(DriverWindows, ControlsAreSeenWithClassTextKindVisibilityAndState)
{
	Fixture fixture;
	ASSERT_TRUE(fixture.Start(L"Controls", 0, L""));

	struct Row
	{
		const wchar_t *cls;
		const wchar_t *text;
		ButtonKind kind;
		bool visible;
		bool enabled;
	};
	const Row rows[] = {
		{L"Button", L"Ask", ButtonKind::Push, true, true},
		{L"Button", L"Tick me", ButtonKind::Check, true, true},
		{L"Button", L"Locked", ButtonKind::Check, true, false},
		{L"Button", L"Hidden", ButtonKind::Push, false, true},
		{L"Edit", L"C:\\start", ButtonKind::Other, true, true},
		{L"Static", L"answer:", ButtonKind::Other, true, true},
	};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(Narrow(row.text));
		const Control *control = FindControl(fixture.controls, row.cls, row.text);
		ASSERT_NE(control, nullptr);
		EXPECT_EQ(KindOf(*control), row.kind);
		EXPECT_EQ(control->visible, row.visible);
		EXPECT_EQ(control->enabled, row.enabled);
	}
	EXPECT_EQ(FindControl(fixture.controls, L"Edit", L"Ask"), nullptr) << "class must match as well as text";

	auto visibleButtons = VisibleTexts(fixture.controls, L"Button");
	EXPECT_EQ(std::count(visibleButtons.begin(), visibleButtons.end(), L"Hidden"), 0);
	EXPECT_EQ(std::count(visibleButtons.begin(), visibleButtons.end(), L"Quit"), 1);

	// A window's title is read like a control's text.
	EXPECT_EQ(WindowText(fixture.window), L"Controls");
	HWND edit = fixture.Find(L"Edit", L"C:\\start");
	ASSERT_TRUE(SetText(edit, L"D:\\other folder"));
	EXPECT_EQ(WindowText(edit), L"D:\\other folder");
}

TEST(DriverWindows, CheckBoxesAndListEntriesToggleAsClicked)
{
	Fixture fixture;
	ASSERT_TRUE(fixture.Start(L"Toggles", 0, L""));

	HWND tick = fixture.Find(L"Button", L"Tick me");
	ASSERT_NE(tick, nullptr);
	for (int expected : {BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, BST_CHECKED})
	{
		EXPECT_EQ(CheckState(tick), expected);
		ASSERT_TRUE(Click(tick));
	}

	HWND list = fixture.List();
	ASSERT_NE(list, nullptr);
	ASSERT_EQ(ListCount(list), 3);
	// Entry, its label, its data before and after one click: a deactivated
	// entry (bit 2) keeps its mark.
	struct Row
	{
		int index;
		const wchar_t *label;
		LRESULT before, after;
	};
	const Row rows[] = {{0, L"Alpha", 0, 1}, {1, L"Beta", 1, 0}, {2, L"Gamma", 3, 3}, {0, L"Alpha", 1, 0}};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(Narrow(row.label));
		EXPECT_EQ(ListText(list, row.index), row.label);
		EXPECT_EQ(ListItemData(list, row.index), row.before);
		ASSERT_TRUE(ClickListEntry(list, row.index));
		EXPECT_EQ(ListItemData(list, row.index), row.after);
	}
	EXPECT_EQ(ListItemData(list, 3), LB_ERR);
	EXPECT_EQ(ListText(list, 3), L"");
	RECT r;
	EXPECT_FALSE(ListItemRect(list, 5, &r));
	EXPECT_FALSE(ClickListEntry(list, 5));
}

TEST(DriverMessageBoxes, ABoxIsReadAndEachAnswerReachesTheProgram)
{
	Fixture fixture;
	ASSERT_TRUE(fixture.Start(L"Boxes", 0, L""));
	HWND ask = fixture.Find(L"Button", L"Ask");
	ASSERT_NE(ask, nullptr);

	struct Row
	{
		int button;
		const wchar_t *answer;
	};
	for (const Row &row : {Row{IDYES, L"answer:Yes"}, Row{IDNO, L"answer:No"}})
	{
		SCOPED_TRACE(Narrow(row.answer));
		EXPECT_TRUE(MessageBoxes(fixture.process.Id()).empty());
		ASSERT_TRUE(PostClick(ask));
		MessageBoxInfo box;
		ASSERT_TRUE(WaitForMessageBox(fixture.process.Id(), L"Fixture Question", kStepTimeout, &box));
		EXPECT_EQ(box.caption, L"Fixture Question");
		EXPECT_EQ(box.text, L"Proceed?\nReally?");
		ASSERT_EQ(box.buttons.size(), 2u);
		EXPECT_EQ(box.buttons[0].first, IDYES);
		EXPECT_EQ(box.buttons[1].first, IDNO);
		// A button the box does not have is refused and leaves it open.
		EXPECT_FALSE(AnswerMessageBox(box, IDOK, 200));
		EXPECT_EQ(MessageBoxes(fixture.process.Id()).size(), 1u);

		ASSERT_TRUE(AnswerMessageBox(box, row.button));
		EXPECT_TRUE(WaitUntil(kStepTimeout, [&] { return fixture.Answer() == row.answer; })) << Narrow(fixture.Answer());
	}
	MessageBoxInfo none;
	EXPECT_FALSE(WaitForMessageBox(fixture.process.Id(), L"Fixture Question", 200, &none));
}

TEST(DriverScreenshots, WindowAndScreenAreSavedAsPngWithTheirPixels)
{
	Fixture fixture;
	ASSERT_TRUE(fixture.Start(L"Pixels", 0, L""));
	TempFolder folder(L"e2e-shots");
	ASSERT_FALSE(folder.Path().empty());
	ASSERT_TRUE(Sync(fixture.window));

	RECT r;
	ASSERT_TRUE(GetWindowRect(fixture.window, &r));
	const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
	// Window shot: its own size, the fixture's blue at a spot without
	// controls (right of the answer text). Screen shot: the screen's size and
	// the same blue at the same spot in screen coordinates.
	struct Row
	{
		HWND window;
		const wchar_t *name;
		SIZE size;
		POINT blue;
	};
	const Row rows[] = {
		{fixture.window, L"sub\\window.png", SIZE{r.right - r.left, r.bottom - r.top}, POINT{400, 50}},
		{nullptr, L"screen.png", screen, POINT{r.left + 400, r.top + 50}},
	};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(Narrow(row.name));
		const std::wstring path = folder.Path() + L"\\" + row.name;
		std::wstring error;
		ASSERT_TRUE(SaveScreenshot(row.window, path, &error)) << Narrow(error);
		std::string bytes;
		ASSERT_TRUE(ReadFile(path, &bytes));
		ASSERT_GT(bytes.size(), 8u);
		EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
		COLORREF color = 0;
		SIZE size{};
		ASSERT_TRUE(ReadPixel(path, row.blue.x, row.blue.y, &color, &size));
		EXPECT_EQ(size.cx, row.size.cx);
		EXPECT_EQ(size.cy, row.size.cy);
		EXPECT_EQ(color, RGB(0, 128, 255)) << std::hex << color;
	}
	// A part of the window read straight from the screen: all the fixture's
	// blue, row after row.
	std::vector<COLORREF> part;
	ASSERT_TRUE(CaptureWindowPart(fixture.window, RECT{380, 40, 410, 60}, &part));
	ASSERT_EQ(part.size(), 30u * 20u);
	EXPECT_EQ(std::count(part.begin(), part.end(), RGB(0, 128, 255)), 30 * 20);
	EXPECT_FALSE(CaptureWindowPart(fixture.window, RECT{5000, 0, 5010, 10}, &part));
	EXPECT_FALSE(CaptureWindowPart(nullptr, RECT{0, 0, 10, 10}, &part));
	EXPECT_TRUE(ShowsOnTop(fixture.window, RECT{380, 40, 410, 60}));
	EXPECT_FALSE(ShowsOnTop(fixture.window, RECT{380, 40, 1000, 60})) << "beyond the window's right edge";

	COLORREF unused;
	EXPECT_FALSE(ReadPixel(folder.Path() + L"\\screen.png", screen.cx, 0, &unused));
	EXPECT_FALSE(ReadPixel(folder.Path() + L"\\missing.png", 0, 0, &unused));
}

TEST(DriverFiles, TempFolderIsFreshAndRemovedWithItsContents)
{
	std::wstring kept;
	{
		TempFolder a(L"e2e-files"), b(L"e2e-files");
		ASSERT_FALSE(a.Path().empty());
		EXPECT_NE(a.Path(), b.Path());
		EXPECT_TRUE(FolderExists(a.Path()));
		ASSERT_TRUE(CreateDirectoryW((a.Path() + L"\\deep").c_str(), nullptr));
		ASSERT_TRUE(WriteFile(a.Path() + L"\\deep\\f.txt", std::string("x\0y", 3)));
		std::string back;
		ASSERT_TRUE(ReadFile(a.Path() + L"\\deep\\f.txt", &back));
		EXPECT_EQ(back, std::string("x\0y", 3));
		kept = a.Path();
	}
	EXPECT_FALSE(FolderExists(kept));
	EXPECT_FALSE(WriteFile(kept + L"\\gone\\f.txt", "x"));
}

TEST(DriverText, LineEndsAndFolderNames)
{
	const std::pair<std::wstring, std::wstring> lineEnds[] = {
		{L"a\r\nb", L"a\nb"}, {L"a\rb", L"a\nb"}, {L"a\r\r\nb\n", L"a\n\nb\n"}, {L"\r", L"\n"}, {L"", L""}};
	for (const auto &row : lineEnds) EXPECT_EQ(NormalizeLineEnds(row.first), row.second) << Narrow(row.first);

	EXPECT_EQ(SafeName(L"Licence first/2: \"No\""), L"Licence_first_2___No_");
	EXPECT_EQ(Widen(Narrow(L"\u00e9\u20ac")), L"\u00e9\u20ac");
}
