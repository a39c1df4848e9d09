// The backdrop's colours and texts and the wizard's white header band, read
// back as pixels from the real windows.
#include "wizard_test_support.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>

using namespace smooth;
using namespace WizardTest;

namespace
{
	int Blue(long rgb)  { return int(rgb & 255); }
	bool IsWhite(long rgb) { return rgb == 0xFFFFFF; }

	// Whether rgb is pure blue within one step of blue (the gradients'
	// integer steps may differ by one).
	::testing::AssertionResult IsBackdrop(long rgb, int blue)
	{
		if (rgb >= 0 && (rgb & 0xFFFF00) == 0 && std::abs(Blue(rgb) - blue) <= 1) return ::testing::AssertionSuccess();

		char	 text[64];

		snprintf(text, sizeof(text), "pixel %06lx, expected blue %d", rgb, blue);

		return ::testing::AssertionFailure() << text;
	}

	const char	*const brandedApplication =
		"<name xpos=\"40\" ypos=\"40\" font=\"Arial\" size=\"28\" color=\"16777215\" weight=\"700\" italic=\"false\" underline=\"false\">Sample</name>"
		"<version>2.5</version>"
		"<company xpos=\"30\" ypos=\"60\" font=\"Arial\" size=\"12\" color=\"65535\" weight=\"400\" italic=\"false\" underline=\"false\">Example</company>";

	// Whether any pixel of the rectangle is not pure blue: something was
	// written there.
	bool HasNonBlue(void *window, int left, int top, int right, int bottom)
	{
		for (int y = top; y < bottom; y += 2)
		{
			for (int x = left; x < right; x += 2)
			{
				long	 rgb = WindowPixel(window, x, y);

				if (rgb >= 0 && (rgb & 0xFFFF00) != 0) return true;
			}
		}

		return false;
	}

	class PaintingTest : public WizardFixture
	{
	};
}

TEST(BackdropBlue, RunsFromFullBlueAtTheTopToBlackAtTheBottom)
{
	struct Case { Int y; Int h; Int blue; };
	const Case	 cases[] =
	{
		{ 0, 768, 255 }, { 384, 768, 127 }, { 767, 768, 0 }, { 768, 768, 0 },	// (768 - 767) * 0.33 is 0
		{ 769, 768, 0 }, { 5000, 768, 0 },		// below the bottom edge: black
		{ 1, 3, 170 }, { 2, 3, 85 }, { 0, 1, 255 },
		{ 0, 0, 0 }, { 10, -5, 0 },			// no height: black, no division by zero
		{ -1, 768, 255 }, { -300, 768, 255 },		// above the top edge: no wrap to dark
	};

	for (const Case &c : cases) EXPECT_EQ(Tolvane::BackdropBlue(c.y, c.h), c.blue) << "y " << c.y << ", h " << c.h;

	/* Never brighter further down. */
	for (Int h : { 1, 2, 600, 774, 1206 })
	{
		for (Int y = 1; y <= h + 1; y++) ASSERT_LE(Tolvane::BackdropBlue(y, h), Tolvane::BackdropBlue(y - 1, h)) << y << " of " << h;
	}
}

TEST_F(PaintingTest, BackdropRowsFollowTheGradient)
{
	Script	 script;

	script.pages = { "intro" };
	script.setup = "<background value=\"true\"/>";
	Start(script);
	ShowWindows();

	void	*backdrop = wizard->backgroundWindow->GetSystemWindow();
	Int	 height = wizard->backgroundWindow->GetSize().cy;

	ASSERT_NE(backdrop, nullptr);

	/* The left edge of the screen: the wizard stands in the middle. */
	for (Int y : { 0, 3, 100, height / 2, height - 50, height - 4 })
	{
		SCOPED_TRACE(y);

		EXPECT_TRUE(IsBackdrop(WindowPixel(backdrop, 10, y), Tolvane::BackdropBlue(y, height)));
	}

	/* Nothing is written without the switches. */
	EXPECT_FALSE(HasNonBlue(backdrop, 40, 40, 240, 140));
}

TEST_F(PaintingTest, NameVersionAndCompanyAreWrittenOnlyWhenSwitchedOn)
{
	struct Case { const char *name; const char *setup; bool nameShown; bool companyShown; };
	const Case	 cases[] =
	{
		{ "name and company", "<displayAppName value=\"true\"/><displayAppVersion value=\"true\"/><displayCompanyName value=\"true\"/>", true, true },
		{ "version alone", "<displayAppVersion value=\"true\"/>", false, false },
		{ "company alone", "<displayCompanyName value=\"true\"/>", false, true },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		Script	 script;

		script.pages = { "intro" };
		script.setup = std::string("<background value=\"true\"/>") + c.setup;
		script.application = brandedApplication;
		Start(script);
		ShowWindows();

		void	*backdrop = wizard->backgroundWindow->GetSystemWindow();
		Int	 width = wizard->backgroundWindow->GetSize().cx;
		Int	 height = wizard->backgroundWindow->GetSize().cy;

		EXPECT_EQ(HasNonBlue(backdrop, 40, 40, 260, 100), c.nameShown);
		EXPECT_EQ(HasNonBlue(backdrop, 30, height - 60, 260, height - 30), c.companyShown);

		/* The company's box has its own gradient that would reach black 40
		 * rows below the bottom edge; away from the text it shows that
		 * gradient instead of the backdrop's. */
		Int	 first = Tolvane::BackdropBlue(height - 60, height);
		Int	 boxRow30 = first - first * 30 / 100;
		Int	 expected = c.companyShown ? boxRow30 : Tolvane::BackdropBlue(height - 30, height);

		EXPECT_TRUE(IsBackdrop(WindowPixel(backdrop, width - 10, height - 30), expected));

		Object::DeleteObject(wizard);
		wizard = nullptr;
		Pump(50);
	}
}

TEST_F(PaintingTest, HeaderBandIsWhiteRightOfTheLogo)
{
	struct Case { const char *name; int logoWidth; };
	const Case	 cases[] = { { "no logo", 0 }, { "logo", 40 } };

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		Script	 script;

		script.pages = { "intro" };

		if (c.logoWidth > 0)
		{
			WriteFile("logo.bmp", SolidBmp(c.logoWidth, 20, 0xFF0000));
			script.application = "<name>Sample</name><logo>logo.bmp</logo>";
		}
		else
		{
			script.application = "<name>Sample</name><logo>absent.bmp</logo>";
		}

		Start(script);
		ShowWindows();

		void	*window = wizard->wizardWindow->GetSystemWindow();
		Int	 w = wizard->wizardWindow->GetSize().cx;
		Int	 f = wizard->wizardWindow->GetFrameWidth();

		ASSERT_EQ(wizard->logoImage->GetSize().cx, c.logoWidth);

		Int	 left = f + c.logoWidth + 1;
		Int	 right = w - f - 2;		// last white column

		for (Int y : { f + 26, f + 50, f + 72 })
		{
			SCOPED_TRACE(y);

			EXPECT_TRUE(IsWhite(WindowPixel(window, left, y)));
			EXPECT_TRUE(IsWhite(WindowPixel(window, (left + right) / 2, y)));
			EXPECT_TRUE(IsWhite(WindowPixel(window, right, y)));
			EXPECT_FALSE(IsWhite(WindowPixel(window, right + 1, y)));
		}

		/* Left of the band: the logo's own colour. */
		if (c.logoWidth > 0) EXPECT_EQ(WindowPixel(window, left - 1, f + 30), 0xFF0000);

		/* Above and below the band's 50 rows the window's own background. */
		EXPECT_FALSE(IsWhite(WindowPixel(window, w / 2, f + 23)));
		EXPECT_FALSE(IsWhite(WindowPixel(window, w / 2, f + 76)));

		Object::DeleteObject(wizard);
		wizard = nullptr;
		Pump(50);
	}
}
