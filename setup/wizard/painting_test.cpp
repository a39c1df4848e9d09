// The wizard on the screen with its backdrop: the backdrop and the white
// header band read back as pixels, and the backdrop handing the focus on.
// Which rows get which blue, which texts are written in which boxes and
// where the band goes is backdrop.cpp's, tested natively; here the paint
// handlers put exactly that on the screen.
#include "wizard_test_support.h"

#include "backdrop.h"

#include <windows.h>

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

	// Whether any pixel of the rectangle is not pure blue: something was
	// written there.
	bool HasNonBlue(const WindowShot &shot, int left, int top, int right, int bottom)
	{
		for (int y = top; y < bottom; y++)
		{
			for (int x = left; x < right; x++)
			{
				long	 rgb = shot.Pixel(x, y);

				if (rgb >= 0 && (rgb & 0xFFFF00) != 0) return true;
			}
		}

		return false;
	}

	const int	 logoWidth = 40;

	// One wizard with its backdrop on the screen for all tests of the
	// suite: taking shown windows down is slow under Wine.
	class ShownBackdropTest : public WizardFixture
	{
		protected:
			void SetUp() override
			{
				WizardFixture::SetUp();

				if (shown != nullptr) { wizardHandle = shown->GetWidgets().wizardWindow->GetSystemWindow(); return; }

				WriteFile("logo.bmp", SolidBmp(logoWidth, 20, 0xFF0000));

				Script	 script;

				script.pages = { "intro", "finish" };
				script.setup = "<background value=\"true\"/><displayAppName value=\"true\"/><displayAppVersion value=\"true\"/><displayCompanyName value=\"true\"/>";
				script.application =
					"<name xpos=\"40\" ypos=\"40\" font=\"Arial\" size=\"28\" color=\"16777215\" weight=\"700\" italic=\"false\" underline=\"false\">Sample</name>"
					"<version>2.5</version>"
					"<company xpos=\"30\" ypos=\"60\" font=\"Arial\" size=\"12\" color=\"65535\" weight=\"400\" italic=\"false\" underline=\"false\">Example</company>"
					"<logo>logo.bmp</logo>";
				Start(script);
				ShowWindows();

				/* The suite keeps it; the fixture's own ends with the test. */
				shown  = wizard;
				wizard = nullptr;
			}

			static void TearDownTestSuite()
			{
				if (shown != nullptr) Object::DeleteObject(shown);

				shown = nullptr;
			}

			const Tolvane::Wizard::Widgets &W() const	{ return shown->GetWidgets(); }

			static Tolvane::Wizard	*shown;
	};

	Tolvane::Wizard	*ShownBackdropTest::shown = nullptr;
}

TEST_F(ShownBackdropTest, BackdropAndHeaderBandShowWhatTheyShould)
{

	/* The backdrop: the gradient down its left edge (the wizard stands in
	 * the middle, the text boxes start further right), the two texts, and
	 * right of the company's text its box's own gradient, which would reach
	 * black 40 rows below the bottom edge. */
	{
		void	*backdrop = W().backgroundWindow->GetSystemWindow();
		Int	 width	  = W().backgroundWindow->GetSize().cx;
		Int	 height	  = W().backgroundWindow->GetSize().cy;

		ASSERT_NE(backdrop, nullptr);

		WindowShot	 shot(backdrop);

		for (Int y : { 0, 3, 100, height / 2, height - 50, height - 4 })
		{
			EXPECT_TRUE(IsBackdrop(shot.Pixel(10, y), Tolvane::BackdropBlue(y, height))) << "row " << y;
		}

		EXPECT_TRUE(HasNonBlue(shot, 40, 40, 260, 100));
		EXPECT_TRUE(HasNonBlue(shot, 30, height - 60, 260, height - 30));
		EXPECT_FALSE(HasNonBlue(shot, 40, 150, 240, 250));

		Int	 first	  = Tolvane::BackdropBlue(height - 60, height);
		Int	 boxRow30 = first - first * 30 / 100;

		EXPECT_TRUE(IsBackdrop(shot.Pixel(width - 10, height - 30), boxRow30));
	}

	/* The wizard window: white right of the logo, 50 rows. */
	{
		void		*window = W().wizardWindow->GetSystemWindow();
		Int		 w	= W().wizardWindow->GetSize().cx;
		Int		 f	= W().wizardWindow->GetFrameWidth();
		WindowShot	 shot(window);

		ASSERT_EQ(W().logoImage->GetSize().cx, logoWidth);

		Int	 left  = f + logoWidth + 1;
		Int	 right = w - f - 2;		// last white column

		/* Its last two rows lie under the header's divider. */
		for (Int y : { f + 25, f + 50, f + 72 })
		{
			SCOPED_TRACE(y);

			EXPECT_TRUE(IsWhite(shot.Pixel(left, y)));
			EXPECT_TRUE(IsWhite(shot.Pixel((left + right) / 2, y)));
			EXPECT_TRUE(IsWhite(shot.Pixel(right, y)));
			EXPECT_FALSE(IsWhite(shot.Pixel(right + 1, y)));
		}

		/* Left of the band: the logo's own colour. */
		EXPECT_EQ(shot.Pixel(left - 1, f + 30), 0xFF0000);

		/* Above and below the band's 50 rows the window's own background. */
		EXPECT_FALSE(IsWhite(shot.Pixel(w / 2, f + 24)));
		EXPECT_FALSE(IsWhite(shot.Pixel(w / 2, f + 75)));
	}
}

TEST_F(ShownBackdropTest, ActivatingTheBackdropActivatesTheWizard)
{
	HWND	 backdrop = (HWND) W().backgroundWindow->GetSystemWindow();

	/* As a click on the backdrop would, and again once the wizard is active. */
	for (int i = 0; i < 2; i++)
	{
		SetActiveWindow(backdrop);
		Pump(100);

		EXPECT_EQ(GetActiveWindow(), (HWND) wizardHandle);
	}
}
