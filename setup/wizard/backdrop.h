// What the backdrop and the wizard window's header band paint, as numbers
// and rectangles: the backdrop's row colours, the texts it writes with
// their boxes, and the white band right of the logo. The paint handlers
// only draw what these say.
#pragma once

#include "configuration.h"

#include <vector>

namespace Tolvane
{
	// The blue value of pixel row y of a backdrop of height h: 255 at the
	// top row and 0 at the bottom edge and below it. Rows above the top
	// (negative y) stay at 255 instead of wrapping round, and a backdrop
	// without height (h <= 0) is black.
	smooth::Int		 BackdropBlue(smooth::Int y, smooth::Int h);

	// The colour of row y: pure blue of BackdropBlue.
	smooth::GUI::Color	 BackdropColor(smooth::Int y, smooth::Int h);

	// Whether two rectangles share a pixel; an empty one (right <= left or
	// bottom <= top) shares none, and touching edges share none.
	bool			 RectsMeet(const smooth::GUI::Rect &a, const smooth::GUI::Rect &b);

	// A text the backdrop writes: its box, which is filled with the
	// backdrop's gradient of its own rows first, and its font.
	struct BackdropText
	{
		smooth::String		 text;
		smooth::GUI::Rect	 box;
		smooth::GUI::Font	 font;
	};

	// The texts a repaint of update writes on a backdrop of width by height,
	// in this order: the application's name (followed by a blank and the
	// version when displayAppVersion is set) when displayAppName is set, in
	// a box 100 pixels tall from appNamePos to the right edge; the company's
	// name when displayCompanyName is set, in a box 100 pixels tall whose
	// top is companyPos.y above the bottom edge. A box that does not meet
	// update is left out. None without the background.
	std::vector<BackdropText> BackdropTexts(const Configuration &config, smooth::Int width, smooth::Int height, const smooth::GUI::Rect &update);

	// The white band in the wizard window's header, 50 rows from 25 below
	// the frame: from one pixel right of the logo (frame + logo + 1) to
	// windowWidth - frame - 1, that pixel not included. A logo wider than
	// the window gives a negative width, which is drawn as it is.
	smooth::GUI::Rect	 HeaderBand(smooth::Int windowWidth, smooth::Int frameWidth, smooth::Int logoWidth);
}
