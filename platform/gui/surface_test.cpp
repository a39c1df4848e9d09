#include "gui_test_support.h"

using namespace smooth;
using namespace smooth::GUI;
using guitest::WindowTest;

namespace
{
	// Draws through the window's paint, as the programs do, then reads back.
	class SurfaceTest : public WindowTest
	{
		protected:
			void Paint(const std::function<void(Surface *)> &draw)
			{
				window->onPaint.DisconnectAll();
				window->onPaint.Connect(std::function<void()>([this, draw] { draw(window->GetDrawSurface()); }));

				HWND	 hwnd = (HWND) window->GetSystemWindow();

				InvalidateRect(hwnd, nullptr, TRUE);
				UpdateWindow(hwnd);
			}

			Color At(Int x, Int y) { return window->GetDrawSurface()->GetPixel(Point(x, y)); }
	};

	struct GradientCase
	{
		const char	*name;
		Color		 first;
		Color		 second;
		Int		 direction;
	};

	class GradientTest : public SurfaceTest, public ::testing::WithParamInterface<GradientCase> {};
}

TEST_P(GradientTest, EachLineGetsItsShareOfTheWay)
{
	const GradientCase	&c = GetParam();
	const Rect		 rect(20, 40, 60, 80);	// 40 by 40

	Paint([&](Surface *surface) { EXPECT_EQ(surface->Gradient(rect, c.first, c.second, c.direction), Success()); });

	for (Int i = 0; i < 40; i += 3)
	{
		Color	 expected(c.first.GetRed() + (c.second.GetRed() - c.first.GetRed()) * i / 40,
				  c.first.GetGreen() + (c.second.GetGreen() - c.first.GetGreen()) * i / 40,
				  c.first.GetBlue() + (c.second.GetBlue() - c.first.GetBlue()) * i / 40);

		Point	 along = c.direction == OR_VERT ? Point(30, 40 + i) : Point(20 + i, 50);
		Point	 other = c.direction == OR_VERT ? Point(59, 40 + i) : Point(20 + i, 79);

		EXPECT_EQ(At(along.x, along.y), expected) << i;
		EXPECT_EQ(At(other.x, other.y), expected) << i;
	}

	// Nothing outside the rectangle.
	COLORREF face = GetSysColor(COLOR_BTNFACE);

	EXPECT_EQ(At(19, 50), Color(GetRValue(face), GetGValue(face), GetBValue(face)));
	EXPECT_EQ(At(30, 80), Color(GetRValue(face), GetGValue(face), GetBValue(face)));
}

INSTANTIATE_TEST_SUITE_P(Directions, GradientTest, ::testing::Values(
	GradientCase { "BlueToBlackDown", Color(0, 0, 255), Color(0, 0, 0), OR_VERT },
	GradientCase { "MixedChannelsDown", Color(10, 200, 30), Color(250, 20, 130), OR_VERT },
	GradientCase { "BlueRising", Color(0, 0, 128), Color(16, 132, 208), OR_HORZ }),
	[](const ::testing::TestParamInfo<GradientCase> &info) { return info.param.name; });

TEST_F(SurfaceTest, BoxFillsOrOutlines)
{
	const Color	 red(255, 0, 0);
	const Color	 white(255, 255, 255);
	COLORREF	 faceRef = GetSysColor(COLOR_BTNFACE);
	const Color	 face(GetRValue(faceRef), GetGValue(faceRef), GetBValue(faceRef));

	Paint([&](Surface *surface) {
		surface->Box(Rect(Point(10, 30), Size(40, 20)), white, Rect::Filled);
		surface->Box(Rect(Point(60, 30), Size(40, 20)), red, Rect::Outlined);
		// A negative width draws nothing.
		surface->Box(Rect(Point(120, 30), Size(-10, 20)), red, Rect::Filled);
	});

	struct Probe { Int x, y; Color expected; };

	const Probe probes[] = {
		{ 10, 30, white }, { 49, 49, white }, { 30, 40, white }, { 50, 40, face }, { 30, 50, face },
		{ 60, 30, red }, { 99, 49, red }, { 80, 40, face },
		{ 115, 40, face }, { 105, 40, face } };

	for (const Probe &p : probes) EXPECT_EQ(At(p.x, p.y), p.expected) << p.x << "," << p.y;
}

TEST_F(SurfaceTest, TextStaysInsideItsBox)
{
	const Color	 blue(0, 0, 255);
	const Rect	 box(20, 40, 120, 60);

	Paint([&](Surface *surface) {
		surface->SetText("Word word word word word word word word word", box, Font("Tahoma", 12, Font::Bold, 0, blue));
	});

	int	 inside = 0;
	int	 outside = 0;

	for (Int y = 30; y < 120; y++)
	{
		for (Int x = 10; x < 200; x++)
		{
			if (At(x, y) != blue) continue;

			bool	 in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;

			(in ? inside : outside)++;
		}
	}

	EXPECT_GT(inside, 20);
	EXPECT_EQ(outside, 0);
}

TEST(SurfaceWithoutWindow, ReportsErrors)
{
	Window	*window = new Window("w", Point(0, 0), Size(50, 50));
	Surface	*surface = window->GetDrawSurface();

	window->Close();

	EXPECT_EQ(surface->Box(Rect(0, 0, 10, 10), Color(), Rect::Filled), Error());
	EXPECT_EQ(surface->Gradient(Rect(0, 0, 10, 10), Color(), Color(), OR_VERT), Error());
	EXPECT_EQ(surface->SetText("x", Rect(0, 0, 10, 10), Font()), Error());
	EXPECT_EQ(surface->GetWidth(), 50);

	Object::DeleteObject(window);
}
