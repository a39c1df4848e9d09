// e2e_fixture.exe: a small window program that the driver's own tests work
// from outside. It holds one control of each kind the installer's wizard
// uses, built the same native way:
//
//   e2e_fixture.exe <title> <exit code>
//
// - window titled <title>, client area filled with RGB(0, 128, 255);
// - static "cwd:<current folder>";
// - push button "Ask": shows a Yes/No message box (caption "Fixture Question",
//   text "Proceed?\nReally?") and then sets the static "answer:" to "Yes" or "No";
// - check box "Tick me" (auto), check box "Locked" (deactivated), a hidden
//   push button "Hidden";
// - owner-drawn list box with entries "Alpha", "Beta", "Gamma": item data 1 =
//   marked, 0 = unmarked, | 2 = deactivated; a left click toggles the mark of an
//   active entry; "Beta" starts marked, "Gamma" marked and deactivated;
// - edit box with "C:\start";
// - push button "Quit": ends the program with <exit code>.
//
//   e2e_fixture.exe <title> <exit code> <file>
//
// The same, holding <file> open without sharing for as long as it runs (a
// program that keeps its document locked).
//
//   e2e_fixture.exe            (no arguments)
//
// A three-page wizard shaped like the installer's, for the tests of the
// wizard session and the page walker: the window title is "Page <n>", a
// static reads "text of page <n>", push buttons "<- Back" (hidden on page
// 1), "Cancel" and "Next ->" ("Finish" on page 3). Next on page 2 first
// shows "Installing" with all three buttons hidden for a moment. Page 3 holds
// the option boxes "Yes, restart the computer now!" (selected at first) and
// "No, I will restart my computer later!". Finish ends the program with exit
// code 0 when the later option is selected, else with 3; Cancel ends it with 1.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace
{
	enum { IdAsk = 101, IdAnswer, IdTick, IdLocked, IdHidden, IdList, IdEdit, IdQuit, IdCwd };

	const COLORREF kBackground = RGB(0, 128, 255);
	HBRUSH background = nullptr;
	WNDPROC listProc = nullptr;
	int exitCode = 0;

	// ---- the wizard mode ----------------------------------------------------

	enum { IdBack = 201, IdCancel, IdNext, IdPageText, IdNow, IdLater };
	const UINT_PTR kInstallTimer = 1;
	int page = 1;

	HMENU IdOf(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

	void ShowWizardPage(HWND hwnd)
	{
		const std::wstring number = std::to_wstring(page);
		SetWindowTextW(hwnd, (L"Page " + number).c_str());
		SetDlgItemTextW(hwnd, IdPageText, (L"text of page " + number).c_str());
		SetDlgItemTextW(hwnd, IdNext, page == 3 ? L"Finish" : L"Next ->");
		ShowWindow(GetDlgItem(hwnd, IdBack), page > 1 ? SW_SHOW : SW_HIDE);
		ShowWindow(GetDlgItem(hwnd, IdCancel), SW_SHOW);
		ShowWindow(GetDlgItem(hwnd, IdNext), SW_SHOW);
		ShowWindow(GetDlgItem(hwnd, IdPageText), SW_SHOW);
		ShowWindow(GetDlgItem(hwnd, IdNow), page == 3 ? SW_SHOW : SW_HIDE);
		ShowWindow(GetDlgItem(hwnd, IdLater), page == 3 ? SW_SHOW : SW_HIDE);
	}

	LRESULT CALLBACK WizardProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
	{
		switch (message)
		{
		case WM_CREATE:
			CreateWindowExW(0, L"BUTTON", L"<- Back", WS_CHILD | BS_PUSHBUTTON, 10, 200, 80, 24, hwnd, IdOf(IdBack), nullptr, nullptr);
			CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | BS_PUSHBUTTON, 220, 200, 80, 24, hwnd, IdOf(IdCancel), nullptr, nullptr);
			CreateWindowExW(0, L"BUTTON", L"Next ->", WS_CHILD | BS_PUSHBUTTON, 310, 200, 80, 24, hwnd, IdOf(IdNext), nullptr, nullptr);
			CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 10, 10, 300, 20, hwnd, IdOf(IdPageText), nullptr, nullptr);
			CreateWindowExW(0, L"BUTTON", L"Yes, restart the computer now!", WS_CHILD | BS_AUTORADIOBUTTON | WS_GROUP, 10, 60, 300, 20, hwnd,
			                IdOf(IdNow), nullptr, nullptr);
			CreateWindowExW(0, L"BUTTON", L"No, I will restart my computer later!", WS_CHILD | BS_AUTORADIOBUTTON, 10, 85, 300, 20, hwnd,
			                IdOf(IdLater), nullptr, nullptr);
			CheckDlgButton(hwnd, IdNow, BST_CHECKED);
			ShowWizardPage(hwnd);
			return 0;
		case WM_TIMER:
			KillTimer(hwnd, kInstallTimer);
			page = 3;
			ShowWizardPage(hwnd);
			return 0;
		case WM_COMMAND:
			if (HIWORD(wParam) != BN_CLICKED) return 0;
			if (LOWORD(wParam) == IdCancel)
			{
				exitCode = 1;
				DestroyWindow(hwnd);
			}
			else if (LOWORD(wParam) == IdBack && page > 1)
			{
				page--;
				ShowWizardPage(hwnd);
			}
			else if (LOWORD(wParam) == IdNext && page == 3)
			{
				exitCode = IsDlgButtonChecked(hwnd, IdLater) == BST_CHECKED ? 0 : 3;
				DestroyWindow(hwnd);
			}
			else if (LOWORD(wParam) == IdNext && page == 2)
			{
				SetWindowTextW(hwnd, L"Installing");
				for (int id : {IdBack, IdCancel, IdNext, IdPageText}) ShowWindow(GetDlgItem(hwnd, id), SW_HIDE);
				SetTimer(hwnd, kInstallTimer, 300, nullptr);
			}
			else if (LOWORD(wParam) == IdNext)
			{
				page++;
				ShowWizardPage(hwnd);
			}
			return 0;
		case WM_DESTROY:
			PostQuitMessage(exitCode);
			return 0;
		}
		return DefWindowProcW(hwnd, message, wParam, lParam);
	}

	LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
	{
		if (message == WM_LBUTTONDOWN)
		{
			LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lParam);
			if (HIWORD(hit) == 0)
			{
				int index = LOWORD(hit);
				LRESULT data = SendMessageW(hwnd, LB_GETITEMDATA, index, 0);
				if (data != LB_ERR && !(data & 2)) SendMessageW(hwnd, LB_SETITEMDATA, index, data ^ 1);
				InvalidateRect(hwnd, nullptr, TRUE);
			}
		}
		return CallWindowProcW(listProc, hwnd, message, wParam, lParam);
	}

	HWND Make(HWND parent, const wchar_t *cls, const wchar_t *text, DWORD style, int x, int y, int w, int h, int id)
	{
		return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
		                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
	}

	LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
	{
		switch (message)
		{
		case WM_CREATE:
		{
			wchar_t cwd[MAX_PATH] = {0};
			GetCurrentDirectoryW(MAX_PATH, cwd);
			Make(hwnd, L"STATIC", (std::wstring(L"cwd:") + cwd).c_str(), 0, 10, 10, 400, 20, IdCwd);
			Make(hwnd, L"BUTTON", L"Ask", BS_PUSHBUTTON, 10, 40, 80, 24, IdAsk);
			Make(hwnd, L"STATIC", L"answer:", 0, 100, 44, 150, 20, IdAnswer);
			Make(hwnd, L"BUTTON", L"Tick me", BS_AUTOCHECKBOX, 10, 70, 150, 20, IdTick);
			HWND locked = Make(hwnd, L"BUTTON", L"Locked", BS_AUTOCHECKBOX, 10, 95, 150, 20, IdLocked);
			EnableWindow(locked, FALSE);
			HWND hidden = Make(hwnd, L"BUTTON", L"Hidden", BS_PUSHBUTTON, 180, 70, 80, 24, IdHidden);
			ShowWindow(hidden, SW_HIDE);
			HWND list = Make(hwnd, L"LISTBOX", L"", WS_BORDER | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY, 10, 120, 200, 80, IdList);
			const wchar_t *entries[] = {L"Alpha", L"Beta", L"Gamma"};
			const LPARAM data[] = {0, 1, 3};
			for (int i = 0; i < 3; i++)
			{
				LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i]));
				SendMessageW(list, LB_SETITEMDATA, index, data[i]);
			}
			listProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
			Make(hwnd, L"EDIT", L"C:\\start", WS_BORDER | ES_AUTOHSCROLL, 10, 210, 200, 22, IdEdit);
			Make(hwnd, L"BUTTON", L"Quit", BS_PUSHBUTTON, 300, 210, 80, 24, IdQuit);
			return 0;
		}
		case WM_MEASUREITEM:
			reinterpret_cast<MEASUREITEMSTRUCT *>(lParam)->itemHeight = 18;
			return TRUE;
		case WM_DRAWITEM:
		{
			auto *item = reinterpret_cast<DRAWITEMSTRUCT *>(lParam);
			if (item->itemID == static_cast<UINT>(-1)) return TRUE;
			wchar_t text[64] = {0};
			SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text));
			std::wstring label = std::wstring((item->itemData & 1) ? L"[x] " : L"[ ] ") + text;
			FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_WINDOW));
			TextOutW(item->hDC, item->rcItem.left + 2, item->rcItem.top + 1, label.c_str(), static_cast<int>(label.size()));
			return TRUE;
		}
		case WM_ERASEBKGND:
		{
			RECT r;
			GetClientRect(hwnd, &r);
			FillRect(reinterpret_cast<HDC>(wParam), &r, background);
			return 1;
		}
		case WM_COMMAND:
			if (LOWORD(wParam) == IdAsk && HIWORD(wParam) == BN_CLICKED)
			{
				int answer = MessageBoxW(hwnd, L"Proceed?\nReally?", L"Fixture Question", MB_YESNO | MB_ICONQUESTION);
				SetDlgItemTextW(hwnd, IdAnswer, answer == IDYES ? L"answer:Yes" : L"answer:No");
			}
			else if (LOWORD(wParam) == IdQuit && HIWORD(wParam) == BN_CLICKED)
				DestroyWindow(hwnd);
			return 0;
		case WM_DESTROY:
			PostQuitMessage(exitCode);
			return 0;
		}
		return DefWindowProcW(hwnd, message, wParam, lParam);
	}
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
	int argc = 0;
	wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
	const bool wizard = argc < 2;
	std::wstring title = argc > 1 ? argv[1] : L"Page 1";
	exitCode = argc > 2 ? _wtoi(argv[2]) : 0;
	if (argc > 3 && CreateFileW(argv[3], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE) return 4;

	background = CreateSolidBrush(kBackground);
	WNDCLASSW wc{};
	wc.lpfnWndProc = wizard ? WizardProc : WindowProc;
	wc.hInstance = instance;
	wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
	wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
	wc.lpszClassName = L"E2EFixture";
	RegisterClassW(&wc);
	// Topmost: the screenshot test reads the fixture's pixels from the screen
	// while other test programs may show windows on the same display.
	HWND window = CreateWindowExW(wizard ? 0 : WS_EX_TOPMOST, L"E2EFixture", title.c_str(), WS_POPUP | WS_VISIBLE, 100, 100, 420, 260, nullptr,
	                              nullptr, instance, nullptr);
	ShowWindow(window, show);
	UpdateWindow(window);

	MSG msg;
	while (GetMessageW(&msg, nullptr, 0, 0) > 0)
	{
		TranslateMessage(&msg);
		DispatchMessageW(&msg);
	}
	return static_cast<int>(msg.wParam);
}
