// The backdrop's colours and text boxes and the header band, as numbers.
#include "backdrop.h"

#include <gtest/gtest.h>

using namespace smooth;
using namespace smooth::GUI;
using namespace Tolvane;

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

	for (const Case &c : cases) EXPECT_EQ(BackdropBlue(c.y, c.h), c.blue) << "y " << c.y << ", h " << c.h;

	/* Never brighter further down. */
	for (Int h : { 1, 2, 600, 774, 1206 })
	{
		for (Int y = 1; y <= h + 1; y++) ASSERT_LE(BackdropBlue(y, h), BackdropBlue(y - 1, h)) << y << " of " << h;
	}

	EXPECT_EQ(BackdropColor(384, 768), Color(0, 0, 127));
}

TEST(RectsMeet, SharedPixelsOnly)
{
	struct Case { Rect a; Rect b; bool meet; };
	const Case	 cases[] =
	{
		{ Rect(0, 0, 10, 10), Rect(5, 5, 20, 20), true },
		{ Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), false },	// touching edges
		{ Rect(0, 0, 10, 10), Rect(9, 9, 10, 10), true },	// one pixel
		{ Rect(0, 0, 10, 10), Rect(2, 2, 3, 3), true },		// inside
		{ Rect(0, 0, 10, 10), Rect(5, 5, 5, 20), false },	// empty
		{ Rect(0, 0, 10, 10), Rect(8, 12, 2, 20), false },	// turned round
		{ Rect(-40, -40, -10, -10), Rect(-20, -20, 0, 0), true },
	};

	for (const Case &c : cases)
	{
		EXPECT_EQ(RectsMeet(c.a, c.b), c.meet) << c.b.left << "," << c.b.top << "," << c.b.right << "," << c.b.bottom;
		EXPECT_EQ(RectsMeet(c.b, c.a), c.meet);
	}
}

TEST(BackdropTexts, NameVersionAndCompanyOnlyWhenSwitchedOnAndMet)
{
	const Int	 w = 1024, h = 768;
	const Rect	 all(0, 0, w, h);

	struct Case
	{
		const char	*name;
		bool		 background, displayName, displayVersion, displayCompany;
		const char	*appName;
		Rect		 update;
		std::vector<std::string> texts;
	};
	const Case	 cases[] =
	{
		{ "name, version and company", true, true, true, true, "Sample", all, { "Sample 2.5", "Example" } },
		{ "name without version", true, true, false, false, "Sample", all, { "Sample" } },
		{ "version alone", true, false, true, false, "Sample", all, { } },
		{ "company alone", true, false, false, true, "Sample", all, { "Example" } },
		{ "empty name with version", true, true, true, false, "", all, { " 2.5" } },
		{ "no background", false, true, true, true, "Sample", all, { } },
		{ "repaint far from both", true, true, true, true, "Sample", Rect(0, 300, 100, 400), { } },
		{ "repaint of the name's last row", true, true, false, true, "Sample", Rect(500, 139, 510, 140), { "Sample" } },
		{ "repaint just below the name", true, true, false, true, "Sample", Rect(500, 140, 510, 141), { } },
		{ "repaint of the company's first row", true, true, false, true, "Sample", Rect(500, h - 60, 501, h - 59), { "Example" } },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		Configuration	 config;

		config.background	  = c.background;
		config.displayAppName	  = c.displayName;
		config.displayAppVersion  = c.displayVersion;
		config.displayCompanyName = c.displayCompany;
		config.appName		  = c.appName;
		config.appVersion	  = "2.5";
		config.companyName	  = "Example";
		config.appNamePos	  = Point(40, 40);
		config.companyPos	  = Point(30, 60);
		config.appNameFont	  = Font("Arial", 28, 700);
		config.companyFont	  = Font("Arial", 12);

		std::vector<BackdropText>	 texts = BackdropTexts(config, w, h, c.update);

		ASSERT_EQ(texts.size(), c.texts.size());

		for (size_t i = 0; i < texts.size(); i++)
		{
			EXPECT_EQ(texts[i].text.ToUTF8(), c.texts[i]);

			/* The name's box from its position, the company's measured up
			 * from the bottom edge; both 100 rows tall to the right edge.
			 * The company's reaches 40 rows below the screen. */
			bool	 company = c.texts[i] == "Example";

			EXPECT_EQ(texts[i].box, company ? Rect(30, h - 60, w, h + 40) : Rect(40, 40, w, 140));
			EXPECT_EQ(texts[i].font, company ? config.companyFont : config.appNameFont);
		}
	}
}

TEST(HeaderBand, FromRightOfTheLogoToTheFrame)
{
	struct Case { Int width, frame, logo; Rect band; };
	const Case	 cases[] =
	{
		{ 482, 3, 0, Rect(4, 28, 478, 78) },
		{ 482, 3, 40, Rect(44, 28, 478, 78) },
		{ 482, 0, 64, Rect(65, 25, 481, 75) },
		{ 482, 3, 600, Rect(604, 28, 478, 78) },	// a logo wider than the window: negative width, as it is
	};

	for (const Case &c : cases) EXPECT_EQ(HeaderBand(c.width, c.frame, c.logo), c.band) << c.width << " " << c.frame << " " << c.logo;
}
