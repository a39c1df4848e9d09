#include "gui_test_support.h"

#include <vector>

using namespace smooth;
using namespace smooth::GUI;
using guitest::WindowTest;

namespace
{
	LPARAM Middle(const Rect &rect)
	{
		return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
	}

	// Takes a queued WM_QUIT off the thread's queue; its exit code, or -1.
	int TakeQuit()
	{
		MSG	 msg;

		while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
		{
			if (msg.message == WM_QUIT) return int(msg.wParam);

			DispatchMessageW(&msg);
		}

		return -1;
	}
}

TEST_F(WindowTest, CloseAsksTheCloseQuery)
{
	HWND	 hwnd	 = (HWND) window->GetSystemWindow();
	bool	 answer	 = false;
	int	 asked	 = 0;

	window->doQuit.Connect(std::function<Bool()>([&] { asked++; return answer; }));

	struct Step { const char *how; bool answer; bool closed; };

	const Step steps[] = { { "Close", false, false }, { "WM_CLOSE", false, false }, { "close button", false, false }, { "close button", true, true } };

	for (const Step &step : steps)
	{
		answer = step.answer;

		std::string how = step.how;

		if (how == "Close")	  EXPECT_EQ(window->Close(), step.closed ? Success() : Error());
		if (how == "WM_CLOSE")	  SendMessageW(hwnd, WM_CLOSE, 0, 0);
		if (how == "close button")
		{
			LPARAM	 at = Middle(titlebar->GetCloseButtonRect());

			SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
			SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
		}

		EXPECT_EQ(IsWindow(hwnd) == FALSE, step.closed) << how;
		EXPECT_EQ(window->IsDestroyed(), step.closed) << how;
	}

	EXPECT_EQ(asked, 4);
	EXPECT_EQ(window->GetSystemWindow(), nullptr);

	// Closing again is harmless and asks nothing.
	EXPECT_EQ(window->Close(), Success());
	EXPECT_EQ(window->Show(), Error());
	EXPECT_EQ(asked, 4);
}

TEST_F(WindowTest, CloseButtonReleasedElsewhereDoesNothing)
{
	HWND	 hwnd = (HWND) window->GetSystemWindow();
	Rect	 close = titlebar->GetCloseButtonRect();

	EXPECT_EQ(close.right, 300 - 3 - 3);
	EXPECT_EQ(close.top, 3 + 4);

	SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Middle(close));
	SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));

	EXPECT_TRUE(IsWindow(hwnd));

	// The bar drags the window; its close button does not.
	POINT	 bar   = { 40 + 50, 40 + 10 };
	POINT	 other = { 40 + 50, 40 + 100 };
	POINT	 x     = { 40 + (close.left + close.right) / 2, 40 + (close.top + close.bottom) / 2 };

	EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(bar.x, bar.y)), HTCAPTION);
	EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(other.x, other.y)), HTCLIENT);
	EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x.x, x.y)), HTCLIENT);
}

TEST_F(WindowTest, QuitSentToTheWindowReachesTheQueue)
{
	std::vector<long>	 seen;

	window->onEvent.Connect(std::function<void(long, long, long)>([&](long message, long wParam, long) {
		if (message == WM_QUIT || message == WM_USER + 7) seen.push_back(message * 100 + wParam);
	}));

	guitest::Pump();

	SendMessageW((HWND) window->GetSystemWindow(), WM_USER + 7, 3, 0);
	SendMessageW((HWND) window->GetSystemWindow(), WM_QUIT, 9, 0);

	EXPECT_EQ(TakeQuit(), 9);
	EXPECT_EQ(seen, (std::vector<long> { (WM_USER + 7) * 100 + 3, WM_QUIT * 100 + 9 }));

	// The window itself stays.
	EXPECT_FALSE(window->IsDestroyed());
}

TEST_F(WindowTest, UpdateRectIsTheInvalidatedAreaInsidePaint)
{
	HWND	 hwnd = (HWND) window->GetSystemWindow();
	Rect	 during;
	int	 paints = 0;

	UpdateWindow(hwnd);

	window->onPaint.Connect(std::function<void()>([&] { during = window->GetUpdateRect(); paints++; }));

	RECT	 small = { 50, 60, 70, 75 };

	InvalidateRect(hwnd, &small, TRUE);
	UpdateWindow(hwnd);

	EXPECT_EQ(paints, 1);
	EXPECT_EQ(during, Rect(50, 60, 70, 75));

	// Outside a paint it is the whole window.
	EXPECT_EQ(window->GetUpdateRect(), Rect(0, 0, 300, 240));
}

TEST(WindowFlags, BackdropStaysBehindAndOwnsTheWizard)
{
	Window	*backdrop = new Window("Backdrop", Point(-3, -3), Size(400, 300));
	Window	*wizard	  = new Window("Wizard", Point(50, 50), Size(200, 150));

	HWND	 back = (HWND) backdrop->GetSystemWindow();
	HWND	 wiz  = (HWND) wizard->GetSystemWindow();

	// The wizard may get its flag before the backdrop exists as one.
	wizard->SetFlags(WF_APPTOPMOST);
	backdrop->SetFlags(WF_BACKDROP);

	EXPECT_EQ(backdrop->GetFlags(), 65);
	EXPECT_EQ(backdrop->GetFrameWidth(), 0);
	EXPECT_EQ(wizard->GetFrameWidth(), 3);
	EXPECT_NE(GetWindowLongW(back, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
	EXPECT_EQ(GetWindowLongW(back, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
	EXPECT_NE(GetWindowLongW(wiz, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
	EXPECT_EQ(GetWindow(wiz, GW_OWNER), back);

	backdrop->Show();
	wizard->Show();
	guitest::Pump();

	// Even when asked to come forward the backdrop stays behind the wizard.
	// Under Wine the stacking settles through the X server, so give it a
	// moment instead of reading it straight after the request.
	SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

	auto wizardAbove = [back, wiz]()
	{
		for (HWND h = GetWindow(back, GW_HWNDPREV); h != nullptr; h = GetWindow(h, GW_HWNDPREV)) if (h == wiz) return true;

		return false;
	};

	EXPECT_TRUE(guitest::PumpUntil(wizardAbove));

	Object::DeleteObject(wizard);
	Object::DeleteObject(backdrop);
}

TEST(WindowGeometry, TitleAndPositionReachTheNativeWindow)
{
	Window	*window = new Window("First", Point(10, 20), Size(200, 100));
	HWND	 hwnd	= (HWND) window->GetSystemWindow();
	wchar_t	 title[64];

	window->SetText("Second");
	GetWindowTextW(hwnd, title, 64);

	EXPECT_STREQ(title, L"Second");
	EXPECT_EQ(window->GetText(), "Second");

	window->SetPosition(Point(30, 40));
	window->SetSize(Size(250, 120));

	RECT	 rect;

	GetWindowRect(hwnd, &rect);

	EXPECT_EQ(rect.left, 30);
	EXPECT_EQ(rect.top, 40);
	EXPECT_EQ(rect.right - rect.left, 250);
	EXPECT_EQ(rect.bottom - rect.top, 120);
	EXPECT_EQ(window->GetSize(), Size(250, 120));

	Object::DeleteObject(window);
}

TEST(WindowFlags, FullScreenBackdropHandsActivationToTheWizard)
{
	Int	 width	= GetSystemMetrics(SM_CXSCREEN);
	Int	 height	= GetSystemMetrics(SM_CYSCREEN);
	Window	*backdrop = new Window("Backdrop", Point(-3, -3), Size(width + 6, height + 6));
	Window	*wizard	  = new Window("Wizard", Point(100, 100), Size(200, 150));
	HWND	 wiz	  = (HWND) wizard->GetSystemWindow();

	// What the installer connects to its backdrop.
	backdrop->onEvent.Connect(std::function<void(long, long, long)>([wiz](long message, long, long) { if (message == WM_ACTIVATE) SetActiveWindow(wiz); }));

	backdrop->SetFlags(WF_BACKDROP);
	wizard->SetFlags(WF_APPTOPMOST);
	backdrop->Show();
	wizard->Show();
	guitest::Pump();

	for (int i = 0; i < 2; i++)
	{
		SetActiveWindow((HWND) backdrop->GetSystemWindow());
		guitest::Pump();

		EXPECT_EQ(GetActiveWindow(), wiz) << i;
	}

	Object::DeleteObject(wizard);
	Object::DeleteObject(backdrop);
}

TEST_F(WindowTest, NewTitleRepaintsTheTitlebar)
{
	HWND	 hwnd = (HWND) window->GetSystemWindow();
	RECT	 pending;

	UpdateWindow(hwnd);
	ASSERT_FALSE(GetUpdateRect(hwnd, &pending, FALSE));

	window->SetText("Licence Agreement");

	ASSERT_TRUE(GetUpdateRect(hwnd, &pending, FALSE));
	EXPECT_LE(pending.left, 3);
	EXPECT_LE(pending.top, 3);
	EXPECT_GE(pending.right, 297);
	EXPECT_GE(pending.bottom, 25);
	EXPECT_EQ(titlebar->GetBarRect(), Rect(3, 3, 297, 25));

	// Dark blue at the bar's left end, white title text somewhere in it.
	UpdateWindow(hwnd);

	Surface	*surface = window->GetDrawSurface();
	int	 white	 = 0;

	for (Int x = 8; x < 100; x++) for (Int y = 5; y < 23; y++) if (surface->GetPixel(Point(x, y)) == Color(255, 255, 255)) white++;

	EXPECT_EQ(surface->GetPixel(Point(3, 4)), Color(0, 0, 128));
	EXPECT_GT(white, 20);
}

// A window dragged to a monitor of another DPI keeps its size in our units
// and rescales everything on it: outer rectangle, controls, fonts and rows.
TEST(WindowGeometry, MovesToAMonitorOfAnotherDpi)
{
	Window	*window = new Window("Scaled", Point(20, 30), Size(300, 200));
	Button	*button = new Button("Next ->", Bitmap(), Point(10, 150), Size(80, 22));
	Text	*text	= new Text("A label with some words", Point(10, 10));
	ListBox	*list	= new ListBox(Point(10, 40), Size(150, 80));
	HWND	 hwnd	= (HWND) window->GetSystemWindow();

	list->AddEntry("First entry");
	window->Add(button);
	window->Add(text);
	window->Add(list);
	window->Show();

	const Size	 size	 = window->GetSize();
	const Rect	 buttonRect = button->GetRealRect();
	const Rect	 listRect   = list->GetRealRect();

	for (int dpi : {144, 192, 120, 96})
	{
		SCOPED_TRACE(dpi);
		SIZE	 asked = {};

		// The size asked of us before the move is the one the move gives.
		ASSERT_TRUE(SendMessageW(hwnd, 0x02E4 /* WM_GETDPISCALEDSIZE */, MAKEWPARAM(dpi, dpi), (LPARAM) &asked));
		EXPECT_EQ(asked.cx, MulDiv(size.cx, dpi, 96));
		EXPECT_EQ(asked.cy, MulDiv(size.cy, dpi, 96));

		RECT	 suggested = { 50, 60, 50 + asked.cx, 60 + asked.cy };

		SendMessageW(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), (LPARAM) &suggested);
		guitest::Pump();

		RECT	 outer;

		GetWindowRect(hwnd, &outer);
		EXPECT_EQ(outer.left, 50);
		EXPECT_EQ(outer.top, 60);
		EXPECT_EQ(outer.right - outer.left, asked.cx);
		EXPECT_EQ(outer.bottom - outer.top, asked.cy);
		EXPECT_EQ(window->GetSize(), size);
		EXPECT_EQ(button->GetRealRect(), buttonRect);

		for (const std::pair<Widget *, Rect> &control : std::vector<std::pair<Widget *, Rect>> { { button, buttonRect }, { list, listRect } })
		{
			RECT	 device = guitest::ControlRect((HWND) control.first->GetHandle());

			EXPECT_EQ(device.left, MulDiv(control.second.left, dpi, 96));
			EXPECT_EQ(device.top, MulDiv(control.second.top, dpi, 96));
			EXPECT_EQ(device.right, MulDiv(control.second.right, dpi, 96));
			EXPECT_EQ(device.bottom, MulDiv(control.second.bottom, dpi, 96));
		}

		// Every control's font is the one for the new DPI, and the text
		// still fits its control in it.
		for (Widget *control : std::vector<Widget *> { button, text, list })
		{
			HFONT	 font = (HFONT) SendMessageW((HWND) control->GetHandle(), WM_GETFONT, 0, 0);
			LOGFONTW info = {};

			ASSERT_NE(font, nullptr);
			GetObjectW(font, sizeof(info), &info);
			EXPECT_EQ(info.lfHeight, -MulDiv(Font::DefaultSize, dpi, 72));
		}

		HDC	 dc   = GetDC((HWND) text->GetHandle());
		HGDIOBJ	 old  = SelectObject(dc, (HGDIOBJ) SendMessageW((HWND) text->GetHandle(), WM_GETFONT, 0, 0));
		RECT	 need = {}, have = guitest::ControlRect((HWND) text->GetHandle());

		DrawTextW(dc, L"A label with some words", -1, &need, DT_CALCRECT | DT_NOPREFIX);
		SelectObject(dc, old);
		ReleaseDC((HWND) text->GetHandle(), dc);
		EXPECT_LE(need.right, have.right - have.left);
		EXPECT_LE(need.bottom, have.bottom - have.top);

		EXPECT_EQ(SendMessageW((HWND) list->GetHandle(), LB_GETITEMHEIGHT, 0, 0), MulDiv(16, dpi, 96));
	}

	Object::DeleteObject(window);
}
