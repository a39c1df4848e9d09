// The wizard session and the page walker proven against the fixture's
// three-page wizard (e2e_fixture.exe without arguments), so that a failing
// installer test points at the installer.
#include "files.h"
#include "wizard_session.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace
{
	std::wstring Fixture() { return ModuleFolder() + L"\\e2e_fixture.exe"; }
	std::wstring Walker() { return ModuleFolder() + L"\\e2e_walk.exe"; }

	struct Step
	{
		char action;  // '-' start, 'N' Next, 'B' Back
		const wchar_t *title;
		bool back;
		const wchar_t *next;
	};
}

TEST(WizardSession, FollowsPagesAcrossTheHiddenButtonsOfTheRun)
{
	TempFolder folder(L"e2e-session");
	WizardSession session;
	std::wstring error;
	ASSERT_TRUE(session.Start(Fixture(), folder.Path(), &error)) << Narrow(error);

	// Next from page 2 passes through "Installing" with every button hidden;
	// the session only takes the page after it.
	const Step steps[] = {{'-', L"Page 1", false, L"Next ->"}, {'N', L"Page 2", true, L"Next ->"}, {'B', L"Page 1", false, L"Next ->"},
	                      {'N', L"Page 2", true, L"Next ->"},  {'N', L"Page 3", true, L"Finish"}};
	for (const Step &step : steps)
	{
		SCOPED_TRACE(Narrow(step.title));
		PageView before = session.View();
		if (step.action == 'N') ASSERT_TRUE(session.PressNext());
		if (step.action == 'B') ASSERT_TRUE(session.PressBack());
		PageView view;
		if (step.action == '-')
			ASSERT_TRUE(session.WaitForPage(step.title, kStepTimeout, &view));
		else
			ASSERT_TRUE(session.WaitForChange(before, kStepTimeout, &view)) << Narrow(view.Describe());
		EXPECT_EQ(view.title, step.title);
		EXPECT_EQ(view.back.visible, step.back);
		EXPECT_TRUE(view.next.visible);
		EXPECT_EQ(view.next.text, step.next);
		EXPECT_TRUE(view.cancel.visible);
		EXPECT_EQ(view.cancel.text, texts::kCancel);
		EXPECT_TRUE(view.Shows(L"Static", L"text of page " + std::wstring(1, step.title[5])));
		EXPECT_EQ(view.Shows(L"Button", texts::kRestartLater), std::wstring(step.title) == L"Page 3");
	}

	// Nothing pressed: no change, and a title that never comes times out.
	PageView view;
	EXPECT_FALSE(session.WaitForChange(session.View(), 300, &view));
	EXPECT_FALSE(session.WaitForPage(L"Page 9", 300, &view));
	EXPECT_EQ(view.title, L"Page 3");

	ASSERT_TRUE(session.ChooseRestartLater(&error)) << Narrow(error);
	ASSERT_TRUE(session.PressNext());
	DWORD code = 99;
	ASSERT_TRUE(session.Program().WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 0u) << "the fixture ended as if told to restart";
}

TEST(WizardSession, RefusesWhatIsNotAWizardAndPagesWithoutRestartOptions)
{
	TempFolder folder(L"e2e-session");
	{
		// A program that ends at once (the walker without arguments).
		WizardSession session;
		std::wstring error;
		EXPECT_FALSE(session.Start(Walker(), folder.Path(), &error));
		EXPECT_NE(error.find(L"exit code 2"), std::wstring::npos) << Narrow(error);
	}
	WizardSession session;
	std::wstring error;
	ASSERT_TRUE(session.Start(Fixture(), folder.Path(), &error)) << Narrow(error);
	EXPECT_EQ(session.Backdrop(), nullptr);
	EXPECT_FALSE(session.ChooseRestartLater(&error));
	EXPECT_NE(error.find(L"not shown"), std::wstring::npos) << Narrow(error);
	ASSERT_TRUE(session.PressCancel());
	DWORD code = 0;
	ASSERT_TRUE(session.Program().WaitForExit(kExitTimeout, &code));
	EXPECT_EQ(code, 1u);
}

TEST(WizardSession, InstallerFilesAreFoundOnlyWhenBothArePresent)
{
	TempFolder folder(L"e2e-files");
	struct Row
	{
		const wchar_t *add;      // file written before the search
		bool found;
		const wchar_t *missing;  // named in the error
	};
	const Row rows[] = {{nullptr, false, L"setup.exe"}, {L"setup.exe", false, L"smooth.dll"}, {L"smooth.dll", true, nullptr}};
	for (const Row &row : rows)
	{
		if (row.add) ASSERT_TRUE(WriteFile(folder.Path() + L"\\" + row.add, "x"));
		InstallerFiles files;
		std::wstring error;
		EXPECT_EQ(FindInstallerFiles(folder.Path(), &files, &error), row.found);
		if (row.missing) EXPECT_NE(error.find(row.missing), std::wstring::npos) << Narrow(error);
		if (row.found) EXPECT_EQ(files.smooth, folder.Path() + L"\\smooth.dll");
	}
}

TEST(PageWalker, WalksToTheEndSavingEachPageAndRefusesBadCommandLines)
{
	TempFolder folder(L"e2e-walk");
	const std::wstring shots = folder.Path() + L"\\shots";
	struct Row
	{
		const char *name;
		std::wstring args;
		DWORD exitCode;
	};
	const Row rows[] = {
		{"no arguments", L"", 2},
		{"unknown switch", L"a b --fast", 2},
		{"missing product folder", L"\"" + folder.Path() + L"\\none\" \"" + shots + L"\"", 1},
		{"missing installer", L"\"" + folder.Path() + L"\" \"" + shots + L"\"", 1},
		{"fixture wizard", L"\"" + folder.Path() + L"\" \"" + shots + L"\" --setup \"" + Fixture() + L"\" --timeout 30", 0},
	};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(row.name);
		Process walker;
		std::wstring error;
		ASSERT_TRUE(walker.Start(Walker(), row.args, folder.Path(), &error)) << Narrow(error);
		DWORD code = 99;
		ASSERT_TRUE(walker.WaitForExit(120000, &code));
		EXPECT_EQ(code, row.exitCode);
	}
	// Window and screen of each of the three pages; the run in between is
	// no page.
	for (const wchar_t *name : {L"01-Page_1", L"02-Page_2", L"03-Page_3"})
	{
		EXPECT_TRUE(FileExists(shots + L"\\" + name + L".png")) << Narrow(name);
		EXPECT_TRUE(FileExists(shots + L"\\" + name + L"-screen.png")) << Narrow(name);
	}
	EXPECT_FALSE(FileExists(shots + L"\\04-Page_3.png"));
	EXPECT_FALSE(FileExists(shots + L"\\02-Installing.png"));
}
