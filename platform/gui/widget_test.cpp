#include "gui_test_support.h"

using namespace smooth;
using namespace smooth::GUI;
using guitest::WindowTest;

namespace
{
	struct Placement
	{
		const char	*name;
		Int		 orientation;
		Point		 position;
		// Expected top-left in window coordinates; the test window's client
		// area starts at (3, 25) and is 294 by 212.
		Point		 expected;
	};

	class PlacementTest : public WindowTest, public ::testing::WithParamInterface<Placement> {};
}

TEST_P(PlacementTest, ControlLandsWhereOrientationSays)
{
	const Placement	&p = GetParam();
	Button		*button = new Button("OK", Bitmap(), p.position, Size(0, 0));

	button->SetOrientation(p.orientation);
	window->Add(button);

	Rect	 real = button->GetRealRect();

	EXPECT_EQ(Point(real.left, real.top), p.expected);
	EXPECT_EQ(button->GetSize(), Size(80, 22));

	ASSERT_NE(button->GetHandle(), nullptr);

	RECT	 native = guitest::ControlRect((HWND) button->GetHandle());

	EXPECT_EQ(native.left, p.expected.x);
	EXPECT_EQ(native.top, p.expected.y);
	EXPECT_EQ(native.right - native.left, 80);
	EXPECT_EQ(native.bottom - native.top, 22);

	Object::DeleteObject(button);
}

INSTANTIATE_TEST_SUITE_P(Orientations, PlacementTest, ::testing::Values(
	Placement { "UpperLeft",  OR_UPPERLEFT,	 Point(9, 31),	  Point(3 + 9, 25 + 31) },
	Placement { "LowerLeft",  OR_LOWERLEFT,	 Point(9, 31),	  Point(3 + 9, 25 + 212 - 31) },
	Placement { "LowerRight", OR_LOWERRIGHT, Point(89, 31),	  Point(3 + 294 - 89, 25 + 212 - 31) },
	Placement { "UpperRight", OR_UPPERRIGHT, Point(179, 5),	  Point(3 + 294 - 179, 25 + 5) }),
	[](const ::testing::TestParamInfo<Placement> &info) { return info.param.name; });

TEST_F(WindowTest, ClientAreaFollowsFrameAndTitlebar)
{
	EXPECT_EQ(window->GetFrameWidth(), 3);
	EXPECT_EQ(window->GetTitlebarHeight(), 22);
	EXPECT_EQ(window->GetClientRect(), Rect(3, 25, 297, 237));

	Text	*text = new Text("x", Point(0, 0));

	window->Add(text);

	RECT	 before = guitest::ControlRect((HWND) text->GetHandle());

	// Without the title bar the client area, and the text with it, moves up.
	window->Remove(titlebar);

	RECT	 after = guitest::ControlRect((HWND) text->GetHandle());

	EXPECT_EQ(before.top, 25);
	EXPECT_EQ(after.top, 3);
	EXPECT_EQ(window->GetClientRect(), Rect(3, 3, 297, 237));

	Object::DeleteObject(text);
}

TEST_F(WindowTest, WidgetsBuiltBeforeTheWindowGetControlsWhenAttached)
{
	// The wizard's order: widgets, then layers, then the window.
	Layer	*layer = new Layer();
	Text	*text  = new Text("Line one\nLine two, longer", Point(10, 10));
	CheckBox *check = new CheckBox("Check", Point(10, 60), Size(0, 0), nullptr);

	Size	 natural = text->GetSize();
	Size	 oneLine = Text::MeasureText("Line one");

	EXPECT_GT(natural.cx, oneLine.cx);
	EXPECT_EQ(natural.cy, 2 * oneLine.cy);
	EXPECT_EQ(text->SetSize(Size(5, 5)), Error());

	layer->Add(text);
	layer->Add(check);

	EXPECT_EQ(text->GetHandle(), nullptr);

	window->Add(layer);

	ASSERT_NE(text->GetHandle(), nullptr);
	ASSERT_NE(check->GetHandle(), nullptr);
	EXPECT_EQ(layer->GetHandle(), nullptr);

	RECT	 native = guitest::ControlRect((HWND) text->GetHandle());

	EXPECT_EQ(native.right - native.left, natural.cx);
	EXPECT_EQ(native.bottom - native.top, natural.cy);
	EXPECT_EQ(text->GetContainerWindow(), window);

	// Leaving the window takes the controls away; the widgets stay.
	window->Remove(layer);

	EXPECT_EQ(text->GetHandle(), nullptr);
	EXPECT_EQ(text->GetContainerWindow(), nullptr);

	Object::DeleteObject(text);
	Object::DeleteObject(check);
	Object::DeleteObject(layer);
}

TEST_F(WindowTest, HiddenLayerHidesItsChildrenAndShowingRestoresOwnFlags)
{
	Layer	*page  = new Layer();
	Text	*shown = new Text("shown", Point(5, 5));
	Text	*own   = new Text("hidden by itself", Point(5, 30));

	page->Add(shown);
	page->Add(own);
	own->Hide();
	window->Add(page);

	HWND	 shownHwnd = (HWND) shown->GetHandle();
	HWND	 ownHwnd   = (HWND) own->GetHandle();

	struct Step { const char *action; bool shownVisible; bool ownVisible; };

	const Step steps[] = { { "start", true, false }, { "hide page", false, false }, { "show page", true, false } };

	for (const Step &step : steps)
	{
		if (std::string(step.action) == "hide page") page->Hide();
		if (std::string(step.action) == "show page") page->Show();

		EXPECT_EQ(shown->IsVisible(), step.shownVisible) << step.action;
		EXPECT_EQ(own->IsVisible(), step.ownVisible) << step.action;
		EXPECT_EQ(IsWindowVisible(shownHwnd) != FALSE, step.shownVisible) << step.action;
		EXPECT_EQ(IsWindowVisible(ownHwnd) != FALSE, step.ownVisible) << step.action;
	}

	// A widget added to a hidden layer stays hidden until the layer shows.
	page->Hide();

	Text	*late = new Text("late", Point(5, 60));

	page->Add(late);

	EXPECT_FALSE(IsWindowVisible((HWND) late->GetHandle()));

	page->Show();

	EXPECT_TRUE(IsWindowVisible((HWND) late->GetHandle()));

	Object::DeleteObject(late);
	Object::DeleteObject(shown);
	Object::DeleteObject(own);
	Object::DeleteObject(page);
}

TEST(WidgetTree, RefusesWhatWouldBreakTheTree)
{
	Layer	 outer;
	Layer	 inner;
	Text	*text = new Text("t", Point());
	Window	*window = new Window("w", Point(0, 0), Size(50, 50));

	EXPECT_EQ(outer.Add(nullptr), Error());
	EXPECT_EQ(outer.Add(&outer), Error());
	EXPECT_EQ(outer.Add(window), Error());
	EXPECT_EQ(outer.Add(&inner), Success());
	EXPECT_EQ(inner.Add(&outer), Error());		// a cycle
	EXPECT_EQ(inner.Add(text), Success());
	EXPECT_EQ(outer.Add(text), Error());		// already contained
	EXPECT_EQ(outer.Remove(text), Error());		// not a child of outer

	EXPECT_EQ(inner.GetNOfObjects(), 1);
	EXPECT_EQ(inner.GetNthObject(0), text);
	EXPECT_EQ(inner.GetNthObject(1), nullptr);

	// Deleting a child takes it out of its container.
	Object::DeleteObject(text);

	EXPECT_EQ(inner.GetNOfObjects(), 0);

	Object::DeleteObject(window);
}

TEST(WidgetTree, DeletingAContainerLeavesChildrenUsable)
{
	Window	*window = new Window("w", Point(0, 0), Size(120, 120));
	Layer	*layer	= new Layer();
	Button	*button = new Button("b", Bitmap(), Point(1, 1), Size(0, 0));

	layer->Add(button);
	window->Add(layer);

	ASSERT_NE(button->GetHandle(), nullptr);

	Object::DeleteObject(layer);

	EXPECT_EQ(button->GetContainer(), nullptr);
	EXPECT_EQ(button->GetHandle(), nullptr);
	EXPECT_EQ(window->Add(button), Success());
	EXPECT_NE(button->GetHandle(), nullptr);

	// The window goes first, as in the installer's destructor.
	Object::DeleteObject(window);

	EXPECT_EQ(button->GetContainer(), nullptr);
	EXPECT_EQ(button->GetHandle(), nullptr);
	EXPECT_EQ(button->Hide(), Success());

	Object::DeleteObject(button);
}
