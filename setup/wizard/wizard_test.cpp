// The wizard as a whole: window geometry, the version check, scripts that
// leave nothing to show, and Main's end.
#include "wizard_test_support.h"

#include "startup.h"

#include <windows.h>

using namespace smooth;
using namespace WizardTest;

namespace
{
	class StartupTest : public WizardFixture
	{
	};

	// Runs Main with a safety net; whether the net was needed.
	bool MainTimesOut(int ms, Int *result)
	{
		return LoopTimesOut(ms, [result] { *result = Tolvane::Main(); });
	}

	// Clicks the button with the given text in the top-level window of this
	// thread whose title is title; used from inside Main's loop.
	std::wstring	 clickTitle;
	std::wstring	 clickButton;

	BOOL CALLBACK ClickChild(HWND child, LPARAM found)
	{
		wchar_t	 text[64] = { 0 };

		GetWindowTextW(child, text, 64);

		if (clickButton == text && IsWindowVisible(child))
		{
			PostMessageW(child, BM_CLICK, 0, 0);
			*(bool *) found = true;

			return FALSE;
		}

		return TRUE;
	}

	BOOL CALLBACK ClickInWindow(HWND window, LPARAM found)
	{
		wchar_t	 text[64] = { 0 };

		GetWindowTextW(window, text, 64);

		if (clickTitle == text && IsWindowVisible(window)) EnumChildWindows(window, &ClickChild, found);

		return *(bool *) found ? FALSE : TRUE;
	}

	int	 presses = 0;

	// Timer: presses the wanted button; after "Next ->" the next press is
	// "Finish" on the summary page.
	void CALLBACK PressButton(HWND, UINT, UINT_PTR, DWORD)
	{
		bool	 found = false;

		EnumThreadWindows(GetCurrentThreadId(), &ClickInWindow, LPARAM(&found));

		if (found) presses++;
		if (found && clickButton == L"Next ->") { clickButton = L"Finish"; clickTitle = L"summary title"; }
	}
}

TEST_F(StartupTest, WindowsAreSizedFromTheActiveMonitor)
{
	for (bool background : { false, true })
	{
		SCOPED_TRACE(background);

		Script	 script;

		script.pages = { "intro", "finish" };
		script.setup = background ? "<background value=\"true\"/>" : "";
		Start(script);

		GUI::Rect	 monitor = System::MultiMonitor::GetActiveMonitorMetrics();
		Int		 w = monitor.right - monitor.left;
		Int		 h = monitor.bottom - monitor.top;

		EXPECT_EQ(W().wizardWindow->GetPosition().x, (w - 480) / 2);
		EXPECT_EQ(W().wizardWindow->GetPosition().y, (h - 400) / 2);
		EXPECT_EQ(W().wizardWindow->GetSize().cx, 482);
		EXPECT_EQ(W().wizardWindow->GetSize().cy, 372);
		EXPECT_EQ(W().wizardWindow->GetText().ToUTF8(), "intro title");
		EXPECT_EQ(wizard->GetText().ToUTF8(), "intro title");

		if (background)
		{
			ASSERT_NE(W().backgroundWindow, nullptr);
			EXPECT_EQ(W().backgroundWindow->GetPosition().x, -3);
			EXPECT_EQ(W().backgroundWindow->GetPosition().y, -3);
			EXPECT_EQ(W().backgroundWindow->GetSize().cx, w + 6);
			EXPECT_EQ(W().backgroundWindow->GetSize().cy, h + 6);
			EXPECT_EQ(W().backgroundWindow->GetText().ToUTF8(), "Tolvane v0.1");
			EXPECT_EQ(W().backgroundWindow->GetFlags(), 65);
			EXPECT_EQ(W().wizardWindow->GetFlags(), 1);
		}
		else
		{
			EXPECT_EQ(W().backgroundWindow, nullptr);
			EXPECT_EQ(W().wizardWindow->GetFlags(), 0);
		}

		/* The program's own icon, group 100, one 32 by 32 image. */
		ASSERT_NE(W().iconBitmap, nullptr);
		EXPECT_FALSE(W().iconBitmap->IsEmpty());
		EXPECT_EQ(W().iconBitmap->GetSize().cx, 32);
		EXPECT_EQ(W().iconBitmap->GetSize().cy, 32);

		Object::DeleteObject(wizard);
		wizard = nullptr;
	}
}

TEST(VersionCheck, OnlyAnExactMatchPassesWithoutAQuestion)
{
	struct Case { const char *version; int answer; bool goOn; bool asked; };
	const Case	 cases[] =
	{
		{ "0.8.70.0", IDNO, true, false },
		{ "0.8.70.1", IDNO, false, true },
		{ "0.8.70.1", IDYES, true, true },
		{ "0.8.70", IDNO, false, true },
		{ "0.8.70.0 ", IDYES, true, true },
		{ "", IDNO, false, true },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(std::string("'") + c.version + "'");

		answers = { c.answer };
		questions.clear();

		GUI::Dialogs::QuickMessage::SetTestResponder([](const String &text, const String &caption, Int buttons, Int icon) -> Int
		{
			questions.push_back(Question { text.WideString(), caption.WideString(), buttons, icon });

			return answers.front();
		});

		EXPECT_EQ(Tolvane::CheckLibraryVersion(c.version), c.goOn);
		ASSERT_EQ(questions.size(), c.asked ? 1u : 0u);

		if (c.asked)
		{
			EXPECT_TRUE(questions[0].text == L"This program might not be compatible with the smooth library\ninstalled on your system. Continue execution?");
			EXPECT_TRUE(questions[0].caption == L"Warning");
			EXPECT_EQ(questions[0].buttons, 4);
			EXPECT_EQ(questions[0].icon, 32514);
		}
	}

	GUI::Dialogs::QuickMessage::SetTestResponder(nullptr);
}

// Scripts that leave nothing to show end at once and cleanly (which
// scripts those are is the flow's, tested natively); those with broken
// references still start.
TEST_F(StartupTest, ScriptsWithoutPagesEndMainAtOnce)
{
	struct Case { const char *name; const char *xml; };	// xml null: no setup.xml
	const Case	 cases[] =
	{
		{ "no setup.xml", nullptr },
		{ "no pages", "<installer><application><name>x</name></application><dialogs><dialog id=\"installation\"><title>t</title><text>x</text></dialog></dialogs></installer>" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		DeleteFileW((folder + L"\\setup.xml").c_str());

		if (c.xml != nullptr) WriteFile("setup.xml", c.xml);

		/* The wizard alone: nothing to show, nothing on screen. */
		Tolvane::Wizard	*app = new Tolvane::Wizard();

		EXPECT_FALSE(app->HasPages());
		EXPECT_FALSE(IsWindowVisible((HWND) app->GetWidgets().wizardWindow->GetSystemWindow()));

		/* Stray clicks change nothing and ask nothing. */
		for (GUI::Widget *button : { (GUI::Widget *) app->GetWidgets().nextButton, (GUI::Widget *) app->GetWidgets().backButton, (GUI::Widget *) app->GetWidgets().cancelButton }) Click(button);

		EXPECT_TRUE(questions.empty());
		EXPECT_TRUE(restarts.empty());

		Object::DeleteObject(app);

		Int	 result = -5;

		EXPECT_FALSE(MainTimesOut(5000, &result));
		EXPECT_EQ(result, 0);
	}
}

TEST_F(StartupTest, MissingLogoAndLicenceLeaveEmptyPlaces)
{
	Script	 script;

	script.pages = { "intro", "license", "finish" };
	script.licenseFile = "absent-licence.txt";
	script.application = "<name>Sample</name><logo>absent-logo.png</logo>";
	Start(script);

	EXPECT_TRUE(W().logoBitmap->IsEmpty());
	EXPECT_EQ(W().logoImage->GetSize().cx, 0);
	EXPECT_EQ(W().layerLicense->licenseEdit->GetText().Length(), 0);

	Click(W().nextButton);
	EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::License);
	EXPECT_TRUE(WizardAlive());
}

TEST_F(StartupTest, OnlyPageNextEndsMain)
{
	struct Case { const char *name; std::vector<std::string> pages; const wchar_t *title; };
	const Case	 cases[] =
	{
		{ "welcome and summary", { "intro", "summary" }, L"intro title" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		Script	 script;

		script.pages = c.pages;
		WriteFile("setup.xml", script.Xml());

		/* From inside the loop: press the visible "Next ->" of the wizard,
		 * and on a second page its "Finish". */
		clickTitle = c.title;
		clickButton = L"Next ->";

		presses = 0;

		UINT_PTR timer = SetTimer(nullptr, 0, 300, &PressButton);

		Int	 result = -5;

		EXPECT_FALSE(MainTimesOut(8000, &result));
		KillTimer(nullptr, timer);

		EXPECT_EQ(result, 0);
		EXPECT_EQ(presses, int(c.pages.size()));
		EXPECT_TRUE(questions.empty());
	}
}
