// The page state machine, driven through the real buttons' handlers.
#include "wizard_test_support.h"

#include "layer_directory.h"
#include "layer_reboot.h"

#include <archive.h>

#include <windows.h>

using namespace smooth;
using namespace WizardTest;

namespace
{
	// What the wizard shows after one step.
	struct Expect
	{
		char		 action;	// 'N' Next, 'B' Back, '-' the start
		long		 page;
		bool		 back;
		bool		 cancel;
		const char	*next;		// text of the Next button
		const char	*cancelText;
		bool		 icon;
		int		 totalBar;	// the total bar's value after the step
	};

	struct Walk
	{
		const char			*name;
		std::vector<std::string>	 pages;
		std::vector<Expect>		 steps;
	};

	const Walk walks[] =
	{
		{ "every page", { "intro", "license", "directory", "components", "links", "summary", "finish", "reboot" },
		  { { '-', 1, false, true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 2, true,  true,  "Yes",     "No",     true,  0 },
		    { 'N', 3, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'B', 2, true,  true,  "Yes",     "No",     true,  0 },
		    { 'N', 3, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 4, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 5, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 6, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 7, false, false, "Next ->", "Cancel", true,  100 },
		    { 'N', 8, true,  false, "Finish",  "Cancel", false, 100 },
		    { 'B', 7, false, false, "Next ->", "Cancel", true,  100 },
		    { 'B', 7, false, false, "Next ->", "Cancel", true,  100 },
		    { 'N', 8, true,  false, "Finish",  "Cancel", false, 100 } } },
		{ "licence first", { "license", "directory", "finish" },
		  { { '-', 2, false, true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 3, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'B', 2, false, true,  "Yes",     "No",     true,  0 },
		    { 'N', 3, true,  true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 7, false, false, "Finish",  "Cancel", true,  100 } } },
		{ "restart without finish", { "intro", "reboot" },
		  { { '-', 1, false, true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 8, false, false, "Finish",  "Cancel", false, 100 },
		    { 'B', 8, false, false, "Finish",  "Cancel", false, 100 } } },
		{ "no finish, no restart", { "intro", "directory" },
		  { { '-', 1, false, true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 3, true,  true,  "Finish",  "Cancel", true,  0 },
		    { 'B', 1, false, true,  "Next ->", "Cancel", true,  0 } } },
		{ "finish first", { "finish", "reboot" },
		  { { '-', 7, false, true,  "Next ->", "Cancel", true,  0 },
		    { 'N', 8, true,  true,  "Finish",  "Cancel", false, 0 },
		    { 'B', 7, false, true,  "Next ->", "Cancel", true,  0 } } },
		{ "restart only", { "reboot" },
		  { { '-', 8, false, true,  "Next ->", "Cancel", false, 0 } } },
	};

	class NavigationTest : public WizardFixture, public ::testing::WithParamInterface<Walk>
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
				wizard->layerDirectory->directoryEdit->SetText(String(folder.c_str()).Append("\\target"));
			}
	};

	std::string Text(GUI::Widget *widget)
	{
		return widget->GetText().ToUTF8();
	}
}

TEST_P(NavigationTest, ButtonsTitlesAndPagesFollowTheStateMachine)
{
	const Walk	&walk = GetParam();
	Script		 script;

	script.pages = walk.pages;
	StartInstallable(script);

	for (size_t i = 0; i < walk.steps.size(); i++)
	{
		const Expect	&step = walk.steps[i];

		SCOPED_TRACE(std::string(walk.name) + ", step " + std::to_string(i) + " (" + step.action + ")");

		if (step.action == 'N') wizard->OnNext();
		if (step.action == 'B') wizard->OnBack();

		Pump(20);

		ASSERT_EQ(wizard->currentPage, step.page);

		EXPECT_EQ(wizard->backButton->IsVisible(), step.back);
		EXPECT_EQ(wizard->cancelButton->IsVisible(), step.cancel);
		EXPECT_TRUE(wizard->nextButton->IsVisible());
		EXPECT_EQ(Text(wizard->nextButton), step.next);
		EXPECT_EQ(Text(wizard->cancelButton), step.cancelText);
		EXPECT_EQ(wizard->iconImage->IsVisible(), step.icon);
		EXPECT_EQ(wizard->totalBar->GetValue(), step.totalBar);

		/* Exactly the current page is on screen, and the title is its own. */
		for (long page = 1; page <= 8; page++) EXPECT_EQ(wizard->GetPage(page)->IsVisible(), page == step.page) << "page " << page;

		EXPECT_FALSE(wizard->currentFileBar->IsVisible());
		EXPECT_FALSE(wizard->totalBar->IsVisible());
		EXPECT_EQ(wizard->wizardWindow->GetText(), Tolvane::config->GetPageTitle(step.page));
		EXPECT_TRUE(WizardAlive());
	}

	/* Nothing on the way asked a question or restarted the computer. */
	EXPECT_TRUE(questions.empty());
	EXPECT_TRUE(restarts.empty());
}

INSTANTIATE_TEST_SUITE_P(Walks, NavigationTest, ::testing::ValuesIn(walks),
	[](const ::testing::TestParamInfo<Walk> &info) { std::string n = info.param.name; for (char &c : n) if (!isalnum((unsigned char) c)) c = '_'; return n; });

TEST_F(NavigationTest, FirstPageIsTheLowestEnabledAndTheTitleIsItsOwn)
{
	Script	 script;

	script.pages = { "links", "components", "summary" };	// document order does not matter
	Start(script);

	EXPECT_EQ(wizard->currentPage, 4);
	EXPECT_EQ(wizard->firstPage, 4);
	EXPECT_EQ(wizard->lastPage, 6);
	EXPECT_EQ(wizard->installPage, -1);
	EXPECT_EQ(wizard->rebootChoice, 2);
	EXPECT_EQ(wizard->wizardWindow->GetText().ToUTF8(), "components title");
}

// Finish on the last page: closes the window, or asks for a restart.
struct FinishCase
{
	const char	*name;
	long		 choice;	// 0: leave as it is
	int		 restartResult;
	bool		 closes;
	size_t		 restartCalls;
};

class FinishTest : public WizardFixture, public ::testing::WithParamInterface<FinishCase>
{
};

const FinishCase finishCases[] =
{
	{ "restart now", 0, 1, false, 1 },
	{ "restart refused", 1, 0, false, 1 },
	{ "restart later", 2, 1, true, 0 },
};

TEST_P(FinishTest, FinishClosesOrRestarts)
{
	const FinishCase &c = GetParam();
	Script		  script;

	script.pages = { "finish", "reboot" };
	Start(script);

	restartResult = c.restartResult;

	EXPECT_EQ(wizard->rebootChoice, 1);

	wizard->OnNext();
	ASSERT_EQ(wizard->currentPage, 8);

	/* The choice is made as a user makes it: on the page's option boxes. */
	if (c.choice == 1) SendMessageW((HWND) wizard->layerReboot->restartNowOption->GetHandle(), BM_CLICK, 0, 0);
	if (c.choice == 2) SendMessageW((HWND) wizard->layerReboot->restartLaterOption->GetHandle(), BM_CLICK, 0, 0);

	Pump(20);
	EXPECT_EQ(wizard->rebootChoice, c.choice != 0 ? c.choice : 1);

	wizard->OnNext();
	Pump(50);

	EXPECT_EQ(WizardAlive(), !c.closes);
	ASSERT_EQ(restarts.size(), c.restartCalls);

	if (c.restartCalls > 0)
	{
		EXPECT_EQ(restarts[0].first, unsigned(EWX_REBOOT));
		EXPECT_EQ(restarts[0].second, 0ul);
		EXPECT_EQ(wizard->currentPage, 8);
		EXPECT_EQ(wizard->nextButton->GetText().ToUTF8(), "Finish");
	}

	/* Finish never asks. */
	EXPECT_TRUE(questions.empty());
}

INSTANTIATE_TEST_SUITE_P(Finish, FinishTest, ::testing::ValuesIn(finishCases),
	[](const ::testing::TestParamInfo<FinishCase> &info) { std::string n = info.param.name; for (char &c : n) if (!isalnum((unsigned char) c)) c = '_'; return n; });

// Cancel and the close request away from the last page.
struct CancelCase
{
	const char	*name;
	long		 page;		// page to stand on
	int		 answer;
	bool		 closes;
	const char	*caption;
	int		 buttons;
	int		 icon;
};

class CancelTest : public WizardFixture, public ::testing::WithParamInterface<CancelCase>
{
};

const CancelCase cancelCases[] =
{
	{ "exit question yes", 1, IDYES,    true,  "Exit Setup", MB_YESNO,    32514 },
	{ "exit question no",  3, IDNO,     false, "Exit Setup", MB_YESNO,    32514 },
	{ "licence info cancel", 2, IDCANCEL, false, "Info",     MB_OKCANCEL, 32516 },
};

TEST_P(CancelTest, CancelAsksAndActsOnTheAnswer)
{
	const CancelCase &c = GetParam();
	Script		  script;

	script.pages = { "intro", "license", "directory", "finish" };
	script.setup = "<background value=\"true\"/>";
	Start(script);

	while (wizard->currentPage < c.page) wizard->OnNext();

	void	*backdrop = wizard->backgroundWindow->GetSystemWindow();

	answers = { c.answer };
	wizard->OnCancel();
	Pump(50);

	ASSERT_EQ(questions.size(), 1u);
	EXPECT_EQ(questions[0].caption, std::wstring(c.caption, c.caption + strlen(c.caption)));
	EXPECT_EQ(questions[0].buttons, c.buttons);
	EXPECT_EQ(questions[0].icon, c.icon);

	EXPECT_EQ(WizardAlive(), !c.closes);
	/* A confirmed exit takes the backdrop along. */
	EXPECT_EQ(IsWindow((HWND) backdrop) != FALSE, !c.closes);
	EXPECT_EQ(wizard->currentPage, c.page);
}

INSTANTIATE_TEST_SUITE_P(Cancel, CancelTest, ::testing::ValuesIn(cancelCases),
	[](const ::testing::TestParamInfo<CancelCase> &info) { std::string n = info.param.name; for (char &c : n) if (!isalnum((unsigned char) c)) c = '_'; return n; });

TEST_F(NavigationTest, ExitQuestionHasItsExactText)
{
	Script	 script;

	script.pages = { "intro", "summary" };
	Start(script);

	answers = { IDNO };
	wizard->OnCancel();

	ASSERT_EQ(questions.size(), 1u);
	EXPECT_EQ(questions[0].text, L"Do you really want to exit Setup now?\n\nIf you quit now, the program will not be installed on your computer.\nYou may run Setup again later to complete the installation.");

	/* On the last page the close request needs no question. */
	wizard->OnNext();
	questions.clear();
	wizard->OnCancel();
	Pump(50);

	EXPECT_TRUE(questions.empty());
	EXPECT_FALSE(WizardAlive());
}

TEST_F(NavigationTest, LicenceAsFirstPageStillAnswersCancelWithTheInfoMessage)
{
	Script	 script;

	script.pages = { "license", "summary" };
	Start(script);

	EXPECT_EQ(Text(wizard->cancelButton), "Cancel");

	answers = { IDCANCEL };
	wizard->OnCancel();

	ASSERT_EQ(questions.size(), 1u);
	EXPECT_TRUE(questions[0].caption == L"Info");
	EXPECT_TRUE(WizardAlive());
	EXPECT_EQ(wizard->currentPage, 2);
}

TEST_F(NavigationTest, LicenceInfoOkEndsTheMessageLoop)
{
	Script	 script;

	script.pages = { "intro", "license", "finish" };
	Start(script);

	wizard->OnNext();
	ASSERT_EQ(wizard->currentPage, 2);

	answers = { IDOK };
	wizard->OnCancel();

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

	wizard->OnNext();
	Pump(50);

	EXPECT_TRUE(WizardAlive());
	EXPECT_TRUE(questions.empty());
	EXPECT_EQ(wizard->currentPage, 7);
	EXPECT_EQ(wizard->installThread, nullptr);
	EXPECT_EQ(wizard->totalBar->GetValue(), 100);

	/* After the run the close request is an ordinary one again. */
	answers = { IDNO };
	wizard->OnCancel();
	EXPECT_EQ(questions.size(), 1u);
}

TEST_F(NavigationTest, QuitRequestDuringTheInstallationIsKeptForTheLoop)
{
	Script	 script;

	script.pages = { "summary", "finish" };
	Start(script);

	PostQuitMessage(7);
	wizard->OnNext();

	MSG	 msg;
	bool	 found = false;

	while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) if (msg.message == WM_QUIT) { found = true; EXPECT_EQ(msg.wParam, 7u); }

	EXPECT_TRUE(found);
	EXPECT_EQ(wizard->currentPage, 7);
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

		String	 target = wizard->layerDirectory->directoryEdit->GetText();

		answers = { answer, IDOK };
		wizard->OnNext();

		ASSERT_GE(questions.size(), 1u);
		EXPECT_EQ(questions[0].caption, L"Setup");
		EXPECT_EQ(questions[0].buttons, MB_YESNO);
		EXPECT_NE(questions[0].text.find(L"One step of the installation failed"), std::wstring::npos);
		EXPECT_NE(questions[0].text.find(L"missing.zbk\n    no such file"), std::wstring::npos);

		if (answer == IDNO)
		{
			EXPECT_EQ(questions.size(), 1u);
			EXPECT_EQ(wizard->currentPage, 7);
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
