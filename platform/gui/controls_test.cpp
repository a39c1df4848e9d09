#include "gui_test_support.h"

#include <commctrl.h>

#include <thread>

using namespace smooth;
using namespace smooth::GUI;
using guitest::WindowTest;

namespace
{
	LRESULT Send(Widget *widget, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
	{
		return SendMessageW((HWND) widget->GetHandle(), message, wParam, lParam);
	}

	std::wstring NativeText(Widget *widget)
	{
		wchar_t	 buffer[512] = { 0 };

		GetWindowTextW((HWND) widget->GetHandle(), buffer, 512);

		return buffer;
	}
}

TEST_F(WindowTest, CheckBoxWritesItsBoolAndReadsItOnUpdate)
{
	bool	 flag	  = true;
	int	 actions  = 0;
	CheckBox *check	  = new CheckBox("Create Desktop icon", Point(10, 10), Size(150, 0), &flag);

	check->onAction.Connect(std::function<void()>([&] { actions++; }));
	window->Add(check);

	EXPECT_EQ(check->GetSize().cy, 17);
	EXPECT_EQ(Send(check, BM_GETCHECK), BST_CHECKED);

	struct Step { bool active; bool expectFlag; int expectActions; };

	const Step steps[] = { { true, false, 1 }, { true, true, 2 }, { false, true, 2 } };

	for (const Step &step : steps)
	{
		if (step.active) check->Activate();
		else		 check->Deactivate();

		Send(check, BM_CLICK);

		EXPECT_EQ(flag, step.expectFlag);
		EXPECT_EQ(actions, step.expectActions);
		EXPECT_EQ(Send(check, BM_GETCHECK), step.expectFlag ? BST_CHECKED : BST_UNCHECKED);
	}

	// The program changes the variable itself and asks for an update.
	flag = false;
	check->Update();

	EXPECT_EQ(Send(check, BM_GETCHECK), BST_UNCHECKED);
	EXPECT_FALSE(check->IsChecked());

	Object::DeleteObject(check);
}

TEST_F(WindowTest, OptionBoxesBoundToOneLongFormAGroup)
{
	long	 choice = 1;
	long	 other	= 5;
	OptionBox *now	 = new OptionBox("Yes, restart the computer now!", Point(37, 10), Size(200, 0), &choice, 1);
	OptionBox *later = new OptionBox("No, I will restart my computer later!", Point(37, 33), Size(200, 0), &choice, 2);
	OptionBox *stray = new OptionBox("Unrelated", Point(37, 56), Size(200, 0), &other, 5);

	window->Add(now);
	window->Add(later);
	window->Add(stray);

	struct Step { OptionBox *click; long expected; };

	const Step steps[] = { { later, 2 }, { later, 2 }, { now, 1 } };

	for (const Step &step : steps)
	{
		Send(step.click, BM_CLICK);

		EXPECT_EQ(choice, step.expected);
		EXPECT_EQ(Send(now, BM_GETCHECK), step.expected == 1 ? BST_CHECKED : BST_UNCHECKED);
		EXPECT_EQ(Send(later, BM_GETCHECK), step.expected == 2 ? BST_CHECKED : BST_UNCHECKED);

		// A group bound to another variable is left alone.
		EXPECT_EQ(other, 5);
		EXPECT_EQ(Send(stray, BM_GETCHECK), BST_CHECKED);
	}

	later->Deactivate();
	Send(later, BM_CLICK);

	EXPECT_EQ(choice, 1);

	Object::DeleteObject(now);
	Object::DeleteObject(later);
	Object::DeleteObject(stray);
}

TEST_F(WindowTest, ButtonActsOnClickOnlyWhileActive)
{
	int	 actions = 0;
	Button	*button	 = new Button("A rather long caption for a button", Bitmap(), Point(5, 5), Size(0, 0));

	button->onAction.Connect(std::function<void()>([&] { actions++; }));
	window->Add(button);

	EXPECT_GT(button->GetSize().cx, 80);
	EXPECT_EQ(button->GetSize().cy, 22);

	Send(button, BM_CLICK);
	EXPECT_EQ(actions, 1);

	button->Deactivate();
	Send(button, BM_CLICK);
	EXPECT_EQ(actions, 1);
	EXPECT_FALSE(IsWindowEnabled((HWND) button->GetHandle()));

	button->SetText("Finish");
	EXPECT_EQ(NativeText(button), L"Finish");

	Object::DeleteObject(button);
}

TEST_F(WindowTest, EditBoxKeepsUserTextForOtherThreads)
{
	EditBox	*edit = new EditBox("C:\\Program Files\\App", Point(5, 5), Size(200, 0), 10);

	window->Add(edit);

	EXPECT_EQ(edit->GetSize().cy, 20);
	EXPECT_EQ(NativeText(edit), L"C:\\Program Files\\App");
	EXPECT_EQ(Send(edit, EM_GETLIMITTEXT), 10);

	// As typing over it (or another process setting it) would.
	Send(edit, WM_SETTEXT, 0, (LPARAM) L"D:\\Target");

	EXPECT_EQ(edit->GetText(), "D:\\Target");

	String	 seen;

	std::thread([&] { seen = edit->GetText(); }).join();

	EXPECT_EQ(seen, "D:\\Target");

	edit->SetText("E:\\x");
	EXPECT_EQ(NativeText(edit), L"E:\\x");
	EXPECT_EQ(edit->GetText(), "E:\\x");

	EditBox	*unlimited = new EditBox("", Point(5, 40), Size(0, 0), 0);

	window->Add(unlimited);

	EXPECT_GT(Send(unlimited, EM_GETLIMITTEXT), 100000);

	Object::DeleteObject(edit);
	Object::DeleteObject(unlimited);
}

TEST_F(WindowTest, MultiEditShowsLineBreaksAndStaysScrollableWhenDeactivated)
{
	struct Case { const char *text; const wchar_t *shown; };

	const Case cases[] = { { "a\nb", L"a\r\nb" }, { "a\rb", L"a\r\nb" }, { "a\r\nb", L"a\r\nb" }, { "a\n\nb\r", L"a\r\n\r\nb\r\n" } };

	MultiEdit *edit = new MultiEdit("", Point(5, 5), Size(200, 100), 0);

	window->Add(edit);

	for (const Case &c : cases)
	{
		edit->SetText(c.text);

		EXPECT_EQ(NativeText(edit), c.shown) << c.text;
		EXPECT_EQ(edit->GetText(), c.text) << "text as set comes back";
	}

	edit->Deactivate();

	HWND	 hwnd = (HWND) edit->GetHandle();

	EXPECT_TRUE(IsWindowEnabled(hwnd));
	EXPECT_NE(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY, 0);

	edit->Activate();

	EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY, 0);

	Object::DeleteObject(edit);
}

TEST_F(WindowTest, ProgressbarTakesValuesFromAnyThreadClamped)
{
	Progressbar *bar = new Progressbar(Point(9, 100), Size(256, 0), OR_HORZ, PB_PERCENT, 0, 100, 0);

	window->Add(bar);

	EXPECT_EQ(bar->GetSize(), Size(256, 19));

	struct Case { Int set; Int expected; };

	const Case cases[] = { { 40, 40 }, { 150, 100 }, { -3, 0 }, { 77, 77 } };

	for (const Case &c : cases)
	{
		std::thread worker([&] { for (Int i = 0; i <= c.set; i += 7) bar->SetValue(i); bar->SetValue(c.set); });

		worker.join();

		EXPECT_EQ(bar->GetValue(), c.expected);
		EXPECT_TRUE(guitest::PumpUntil([&] { return Send(bar, PBM_GETPOS) == c.expected; })) << c.set;
	}

	// On the window thread the bar follows at once.
	bar->SetValue(12);
	EXPECT_EQ(Send(bar, PBM_GETPOS), 12);

	// Without its control (the page left the window) the value is still kept,
	// and a new control starts from it.
	window->Remove(bar);
	std::thread([&] { bar->SetValue(55); }).join();
	guitest::Pump();
	window->Add(bar);

	EXPECT_EQ(bar->GetValue(), 55);
	EXPECT_EQ(Send(bar, PBM_GETPOS), 55);

	Object::DeleteObject(bar);
}

TEST_F(WindowTest, TextChangesItsControlAndSize)
{
	Text	*text = new Text("short", Point(5, 5));

	window->Add(text);

	Size	 before = text->GetSize();

	text->SetText("a much longer text than before");

	EXPECT_GT(text->GetSize().cx, before.cx);
	EXPECT_EQ(NativeText(text), L"a much longer text than before");

	RECT	 native = guitest::ControlRect((HWND) text->GetHandle());

	EXPECT_EQ(native.right - native.left, text->GetSize().cx);

	// An empty text keeps the height of a line.
	EXPECT_EQ(Text::MeasureText("").cy, Text::MeasureText("x").cy);

	Object::DeleteObject(text);
}

TEST_F(WindowTest, DividerSpansTheClientAreaFromEitherEdge)
{
	Divider	*top	= new Divider(51, OR_HORZ | OR_LEFT);
	Divider	*bottom	= new Divider(43, OR_HORZ | OR_BOTTOM);

	EXPECT_EQ(top->GetLineRect(), Rect());

	window->Add(top);
	window->Add(bottom);

	EXPECT_EQ(top->GetLineRect(), Rect(3, 25 + 51, 297, 25 + 53));
	EXPECT_EQ(bottom->GetLineRect(), Rect(3, 237 - 43, 297, 237 - 41));
	EXPECT_EQ(top->GetHandle(), nullptr);

	UpdateWindow((HWND) window->GetSystemWindow());

	Surface	*surface = window->GetDrawSurface();
	COLORREF shadow	 = GetSysColor(COLOR_BTNSHADOW);
	COLORREF light	 = GetSysColor(COLOR_BTNHIGHLIGHT);

	EXPECT_EQ(surface->GetPixel(Point(100, 25 + 51)), Color(GetRValue(shadow), GetGValue(shadow), GetBValue(shadow)));
	EXPECT_EQ(surface->GetPixel(Point(100, 25 + 52)), Color(GetRValue(light), GetGValue(light), GetBValue(light)));

	Object::DeleteObject(top);
	Object::DeleteObject(bottom);
}
