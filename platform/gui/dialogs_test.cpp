#include "gui_test_support.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

using namespace smooth;
using namespace smooth::GUI;
using namespace smooth::GUI::Dialogs;

namespace
{
	struct Asked { String text, caption; Int buttons = -1, icon = -1; } asked;

	Int AnswerNo(const String &text, const String &caption, Int buttons, Int icon)
	{
		asked = { text, caption, buttons, icon };

		return IDNO;
	}

	Int ChooseFolder(String &name)	{ name.Append("\\Chosen"); return Success(); }
	Int Cancel(String &name)	{ name = "changed anyway"; return Error(); }
}

TEST(QuickMessage, StyleMapsIconNumbers)
{
	struct Case { Int buttons; Int icon; UnsignedInt style; };

	const Case cases[] = {
		{ MB_YESNO,	32514, MB_YESNO | MB_ICONQUESTION },
		{ MB_OKCANCEL,	32516, MB_OKCANCEL | MB_ICONINFORMATION },
		{ MB_OK,	32515, MB_OK | MB_ICONEXCLAMATION },
		{ MB_OK,	32513, MB_OK | MB_ICONHAND },
		{ MB_YESNO,	MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION },
		{ MB_OK,	0,     MB_OK },
		{ MB_OK,	12345, MB_OK } };

	for (const Case &c : cases) EXPECT_EQ(QuickMessage("t", "c", c.buttons, c.icon).GetStyle(), c.style) << c.icon;
}

TEST(QuickMessage, ResponderAnswersInsteadOfABox)
{
	QuickMessage::SetTestResponder(&AnswerNo);

	QuickMessage	 message("Do you really want to exit Setup now?", "Exit Setup", 4, 32514);

	EXPECT_EQ(message.ShowDialog(), IDNO);
	EXPECT_EQ(asked.text, "Do you really want to exit Setup now?");
	EXPECT_EQ(asked.caption, "Exit Setup");
	EXPECT_EQ(asked.buttons, 4);
	EXPECT_EQ(asked.icon, 32514);

	QuickMessage::SetTestResponder(nullptr);
}

TEST(QuickMessage, RealBoxReturnsTheButtonPressed)
{
	std::atomic<bool> done(false);
	std::atomic<bool> found(false);

	// Plays the user: finds the box and presses No.
	std::thread user([&] {
		while (!done)
		{
			HWND	 box = FindWindowW(L"#32770", L"Question for the test");

			if (box != nullptr) { found = true; PostMessageW(box, WM_COMMAND, IDNO, 0); Sleep(50); }

			Sleep(20);
		}
	});

	Int	 answer = QuickMessage("Continue?", "Question for the test", MB_YESNO, 32514).ShowDialog();

	done = true;
	user.join();

	EXPECT_TRUE(found);
	EXPECT_EQ(answer, IDNO);
}

TEST(DirSelection, ResponderMayChooseOrCancel)
{
	DirSelection	 dialog;

	dialog.SetDirName("C:\\Program Files");
	dialog.SetCaption("\nSelect the folder in which the program will be installed:");

	struct Case { DirSelection::Responder responder; Int result; const char *name; };

	const Case cases[] = { { &Cancel, Error(), "C:\\Program Files" }, { &ChooseFolder, Success(), "C:\\Program Files\\Chosen" } };

	for (const Case &c : cases)
	{
		DirSelection::SetTestResponder(c.responder);

		EXPECT_EQ(dialog.ShowDialog(), c.result);
		EXPECT_EQ(dialog.GetDirName(), c.name);
	}

	DirSelection::SetTestResponder(nullptr);
}

namespace
{
	BOOL CALLBACK TakeOwnDialog(HWND hwnd, LPARAM data)
	{
		wchar_t	 name[16] = { 0 };
		DWORD	 process  = 0;

		GetClassNameW(hwnd, name, 16);
		GetWindowThreadProcessId(hwnd, &process);

		if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd) || std::wstring(name) != L"#32770") return TRUE;

		*(HWND *) data = hwnd;

		return FALSE;
	}

	// A visible dialog box of this process, or null.
	HWND FindOwnDialog()
	{
		HWND	 found = nullptr;

		EnumWindows(&TakeOwnDialog, (LPARAM) &found);

		return found;
	}

	BOOL CALLBACK TakeTree(HWND hwnd, LPARAM data)
	{
		wchar_t	 name[32] = { 0 };

		GetClassNameW(hwnd, name, 32);

		if (std::wstring(name) != L"SysTreeView32") return TRUE;

		*(HWND *) data = hwnd;

		return FALSE;
	}

	// The text of the folder the chooser's tree has selected ("" while none).
	std::wstring SelectedFolder(HWND box)
	{
		HWND	 tree = nullptr;

		EnumChildWindows(box, &TakeTree, (LPARAM) &tree);

		if (tree == nullptr) return std::wstring();

		HTREEITEM	 selected = (HTREEITEM) SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
		wchar_t		 text[MAX_PATH] = { 0 };
		TVITEMW		 item = {};

		item.mask	= TVIF_TEXT;
		item.hItem	= selected;
		item.pszText	= text;
		item.cchTextMax = MAX_PATH;

		if (selected == nullptr || !SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM) &item)) return std::wstring();

		return text;
	}
}

TEST(DirSelection, RealChooserStartsAtThePresetFolder)
{
	wchar_t	 temp[MAX_PATH];

	GetTempPathW(MAX_PATH, temp);

	std::wstring	 folder = temp;

	folder.pop_back();	// the chooser answers without the trailing backslash

	std::atomic<bool> done(false);
	std::atomic<int>  answered(0);

	std::wstring	 leaf = folder.substr(folder.find_last_of(L'\\') + 1);

	// Plays the user: waits until the chooser has selected the preset folder
	// (it does so some time after it appears) and confirms it. Confirming
	// earlier would answer whatever the chooser started at.
	std::thread user([&] {
		for (int i = 0; i < 1500 && !done; i++)
		{
			HWND	 box = FindOwnDialog();

			if (box != nullptr && answered == 0 && _wcsicmp(SelectedFolder(box).c_str(), leaf.c_str()) == 0) { answered = 1; PostMessageW(box, WM_COMMAND, IDOK, 0); }

			Sleep(20);
		}

		/* Never selected: end the chooser so the test fails instead of hanging. */
		for (HWND box; !done && (box = FindOwnDialog()) != nullptr; Sleep(100)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
	});

	DirSelection	 dialog;

	dialog.SetDirName(String(folder + L"\\"));
	dialog.SetCaption("\nSelect the folder in which the program will be installed:");

	Int	 result = dialog.ShowDialog();

	done = true;
	user.join();

	ASSERT_EQ(answered, 1);
	EXPECT_EQ(result, Success());
	EXPECT_EQ(String(dialog.GetDirName()).Compare(String(folder)), 0) << dialog.GetDirName().Narrow();
}
