// The flow in real windows: what the widgets show after each click, Finish
// and the restart, the questions through the test hook, and the
// installation run with its pump, its failures and the quit and close
// requests that arrive while it goes. Which page comes when, what the
// buttons read and how answers are judged is the model's, tested natively.
#include "wizard_test_support.h"

#include <archive.h>

#include <windows.h>

using namespace smooth;
using namespace WizardTest;

namespace
{
	class NavigationTest : public WizardFixture
	{
		protected:
			// Starts a wizard whose run installs something real: one required
			// component from a small archive and the library copy, so that a
			// completed run leaves the total bar at 100.
			void StartInstallable(Script script)
			{
				WriteFile("a.txt", "a");
				WriteFile("smooth.dll", std::string(5000, 'd'));

				ZBK::Archive	 archive;

				ASSERT_TRUE(archive.AddFile(String(folder.c_str()).Append("\\a.txt"), "a.txt"));
				ASSERT_TRUE(archive.Write(String(folder.c_str()).Append("\\lib.zbk")));

				script.components = "<component id=\"lib\" name=\"Lib\" required=\"true\"><archive>lib.zbk</archive><file>smooth.dll</file></component>" + script.components;
				Start(script);

				/* Without a directory page the target would be the Program Files
				 * folder itself: install into the test's own folder instead.
				 */
				wizard->SetTargetFolder(String(folder.c_str()).Append("\\target"));
			}

			// The widgets show exactly what the flow's view says.
			void ExpectWidgetsShowTheView()
			{
				const Tolvane::WizardView	&view = wizard->GetFlow().GetView();

				EXPECT_EQ(bool(W().backButton->IsVisible()), view.back);
				EXPECT_EQ(bool(W().nextButton->IsVisible()), view.next);
				EXPECT_EQ(bool(W().cancelButton->IsVisible()), view.cancel);
				EXPECT_EQ(W().nextButton->GetText().ToUTF8(), view.nextText);
				EXPECT_EQ(W().cancelButton->GetText().ToUTF8(), view.cancelText);
				EXPECT_EQ(bool(W().iconImage->IsVisible()), view.icon);

				for (GUI::Widget *widget : { (GUI::Widget *) W().currentFileText, (GUI::Widget *) W().currentFileBar, (GUI::Widget *) W().totalText, (GUI::Widget *) W().totalBar, (GUI::Widget *) W().layerInstall })
				{
					EXPECT_EQ(bool(widget->IsVisible()), view.installation);
				}

				for (long page = 1; page <= 8; page++) EXPECT_EQ(bool(wizard->GetPage(Tolvane::PageOfNumber(page))->IsVisible()), Tolvane::PageOfNumber(page) == view.page) << "page " << page;

				EXPECT_EQ(W().wizardWindow->GetText(), Tolvane::WizardTitle(wizard->GetConfiguration(), view));
				EXPECT_TRUE(WizardAlive());
			}
	};
}

TEST_F(NavigationTest, WidgetsShowTheFlowAtEveryClick)
{
	Script	 script;

	script.pages = { "intro", "license", "directory", "components", "links", "summary", "finish", "reboot" };
	StartInstallable(script);

	/* Every page, both ways, through the run; the flow's own walk tables
	 * say what each step must show. */
	const char	 clicks[] = "-NNBNNNNNNBBN";

	for (size_t i = 0; clicks[i] != 0; i++)
	{
		SCOPED_TRACE(std::string("click ") + std::to_string(i) + " (" + clicks[i] + ")");

		if (clicks[i] == 'N') Click(W().nextButton);
		if (clicks[i] == 'B') Click(W().backButton);

		Pump(20);

		ExpectWidgetsShowTheView();

		/* The run went to its end before the page after it. */
		EXPECT_EQ(W().totalBar->GetValue(), wizard->GetFlow().GetCurrentPage() >= Tolvane::Page::Finish ? 100 : 0);
	}

	EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Reboot);

	/* Nothing on the way asked a question or restarted the computer. */
	EXPECT_TRUE(questions.empty());
	EXPECT_TRUE(restarts.empty());
}

// Finish on the last page, after choosing on the restart page: closes the
// window, or asks for a restart, whose refusal leaves the wizard as it is.
TEST_F(NavigationTest, FinishClosesOrRestarts)
{
	struct Case { const char *name; bool later; bool closes; };
	const Case	 cases[] = { { "restart refused", false, false }, { "restart later", true, true } };

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		Script	 script;

		script.pages = { "finish", "reboot" };
		Start(script);

		restarts.clear();
		restartResult = 0;

		EXPECT_EQ(wizard->GetRestartChoice(), Tolvane::RESTART_NOW);

		Click(W().nextButton);
		ASSERT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Reboot);

		/* The choice is made as a user makes it: on the page's option boxes. */
		Click(c.later ? W().layerReboot->restartLaterOption : W().layerReboot->restartNowOption);
		Pump(20);
		EXPECT_EQ(wizard->GetRestartChoice(), c.later ? Tolvane::RESTART_LATER : Tolvane::RESTART_NOW);

		Click(W().nextButton);
		Pump(50);

		EXPECT_EQ(WizardAlive(), !c.closes);
		ASSERT_EQ(restarts.size(), c.closes ? 0u : 1u);

		if (!c.closes)
		{
			EXPECT_EQ(restarts[0].first, unsigned(EWX_REBOOT));
			EXPECT_EQ(restarts[0].second, 0ul);
			ExpectWidgetsShowTheView();
			EXPECT_EQ(W().nextButton->GetText().ToUTF8(), "Finish");
		}

		/* Finish never asks. */
		EXPECT_TRUE(questions.empty());

		Object::DeleteObject(wizard);
		wizard = nullptr;
	}
}

// Cancel away from the last page asks the exit question; Yes closes the
// wizard and the backdrop, No leaves both.
TEST_F(NavigationTest, ExitQuestionClosesWithTheBackdropOrStays)
{
	for (int answer : { IDNO, IDYES })
	{
		SCOPED_TRACE(answer == IDYES ? "yes" : "no");

		Script	 script;

		script.pages = { "intro", "license", "directory", "finish" };
		script.setup = "<background value=\"true\"/>";
		Start(script);

		Click(W().nextButton);
		Click(W().nextButton);
		ASSERT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Directory);

		void	*backdrop = W().backgroundWindow->GetSystemWindow();

		questions.clear();
		answers = { answer };
		Click(W().cancelButton);
		Pump(50);

		ASSERT_EQ(questions.size(), 1u);
		EXPECT_TRUE(questions[0].caption == L"Exit Setup");
		EXPECT_EQ(questions[0].buttons, MB_YESNO);

		EXPECT_EQ(WizardAlive(), answer == IDNO);
		EXPECT_EQ(IsWindow((HWND) backdrop) != FALSE, answer == IDNO);
		EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Directory);

		Object::DeleteObject(wizard);
		wizard = nullptr;
	}
}

TEST_F(NavigationTest, LicenceInfoOkEndsTheMessageLoop)
{
	Script	 script;

	script.pages = { "intro", "license", "finish" };
	Start(script);

	Click(W().nextButton);
	ASSERT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::License);

	answers = { IDOK };
	Click(W().cancelButton);

	ASSERT_EQ(questions.size(), 1u);
	EXPECT_EQ(questions[0].text, L"The Setup will be cancelled now!");

	/* Should the loop not end, a safety net ends it and says so. */
	EXPECT_FALSE(LoopTimesOut(5000, [this] { wizard->Loop(); }));

	/* No exit question on the way out. */
	EXPECT_EQ(questions.size(), 1u);
}

TEST_F(NavigationTest, CloseRequestDuringTheInstallationIsRefused)
{
	Script	 script;

	script.pages = { "summary", "finish", "reboot" };
	StartInstallable(script);

	/* The pump inside Next dispatches this close request while the run goes;
	 * the exit question would be answered Yes if it were asked.
	 */
	answers = { IDYES };
	PostMessageW((HWND) wizardHandle, WM_CLOSE, 0, 0);

	Click(W().nextButton);
	Pump(50);

	EXPECT_TRUE(WizardAlive());
	EXPECT_TRUE(questions.empty());
	EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Finish);
	EXPECT_FALSE(wizard->GetFlow().IsInstalling());
	EXPECT_EQ(W().totalBar->GetValue(), 100);

	/* After the run the close request is an ordinary one again. */
	answers = { IDNO };
	PostMessageW((HWND) wizardHandle, WM_CLOSE, 0, 0);
	Pump(50);
	EXPECT_EQ(questions.size(), 1u);
	EXPECT_TRUE(WizardAlive());
}

TEST_F(NavigationTest, QuitRequestDuringTheInstallationIsKeptForTheLoop)
{
	Script	 script;

	script.pages = { "summary", "finish" };
	Start(script);

	PostQuitMessage(7);
	Click(W().nextButton);

	MSG	 msg;
	bool	 found = false;

	while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) if (msg.message == WM_QUIT) { found = true; EXPECT_EQ(msg.wParam, 7u); }

	EXPECT_TRUE(found);
	EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Finish);
	ExpectWidgetsShowTheView();
}

TEST_F(NavigationTest, FailuresOfTheRunAreReportedAndCanBeTakenBack)
{
	for (int answer : { IDNO, IDYES })
	{
		SCOPED_TRACE(answer == IDYES ? "take back" : "keep");

		Script	 script;

		script.pages	  = { "summary", "finish" };
		script.components = "<component id=\"gone\" name=\"Gone\" required=\"true\"><archive>missing.zbk</archive></component>";
		StartInstallable(script);

		String	 target = W().layerDirectory->directoryEdit->GetText();

		answers = { answer, IDOK };
		Click(W().nextButton);

		ASSERT_GE(questions.size(), 1u);
		EXPECT_EQ(questions[0].caption, L"Setup");
		EXPECT_NE(questions[0].text.find(L"missing.zbk\n    no such file"), std::wstring::npos);

		if (answer == IDNO)
		{
			EXPECT_EQ(questions.size(), 1u);
			EXPECT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Finish);
			ExpectWidgetsShowTheView();
			EXPECT_TRUE(File(Path::Join(target, "a.txt")).Exists());
		}
		else
		{
			ASSERT_EQ(questions.size(), 2u);
			EXPECT_EQ(questions[1].text, L"Setup has taken back everything it installed.");
			EXPECT_FALSE(Directory(target).Exists()) << "the target folder the run made goes too";
		}

		Object::DeleteObject(wizard);
		wizard = nullptr;
		questions.clear();
		Directory(target).Empty();
		Directory(target).Delete();
	}
}
