#include "tolvane.h"

#include <windows.h>

using namespace smooth;
using namespace smooth::GUI;

Int Tolvane::BackdropBlue(Int y, Int h)
{
	if (h <= 0 || y > h) return 0;

	/* Above the top edge the formula climbs past 255; wrapping round there
	 * would paint a dark band into a box that starts above the screen.
	 */
	if (y < 0) return 255;

	double	 step = 255.0 / h;

	return Int((h - y) * step) % 256;
}

namespace
{
	Color BackdropColor(Int y, Int h)
	{
		return Color(0, 0, Tolvane::BackdropBlue(y, h));
	}

	bool Meets(const Rect &a, const Rect &b)
	{
		RECT	 ra = { a.left, a.top, a.right, a.bottom };
		RECT	 rb = { b.left, b.top, b.right, b.bottom };
		RECT	 common;

		return IntersectRect(&common, &ra, &rb);
	}
}

void Tolvane::Tolvane::PaintBackground()
{
	if (!config->background || backgroundWindow == nullptr) return;

	Surface	*surface = backgroundWindow->GetDrawSurface();

	if (surface == nullptr) return;

	Int	 width	= backgroundWindow->GetSize().cx;
	Int	 height	= backgroundWindow->GetSize().cy;
	Rect	 update	= backgroundWindow->GetUpdateRect();

	surface->Gradient(update, BackdropColor(update.top, height), BackdropColor(update.bottom, height), OR_VERT);

	if (config->displayAppName)
	{
		String	 text = config->appName;

		if (config->displayAppVersion) text.Append(" ").Append(config->appVersion);

		Rect	 box(config->appNamePos.x, config->appNamePos.y, width, config->appNamePos.y + 100);

		if (Meets(box, update))
		{
			surface->Gradient(box, BackdropColor(box.top, height), BackdropColor(box.bottom, height), OR_VERT);
			surface->SetText(text, box, config->appNameFont, false);
		}
	}

	if (config->displayCompanyName)
	{
		Rect	 box(config->companyPos.x, height - config->companyPos.y, width, height - config->companyPos.y + 100);

		if (Meets(box, update))
		{
			surface->Gradient(box, BackdropColor(box.top, height), BackdropColor(box.bottom, height), OR_VERT);
			surface->SetText(config->companyName, box, config->companyFont, false);
		}
	}
}

void Tolvane::Tolvane::PaintHeaderBox()
{
	Surface	*surface = wizardWindow->GetDrawSurface();

	if (surface == nullptr) return;

	Int	 width = wizardWindow->GetSize().cx;
	Int	 frame = wizardWindow->GetFrameWidth();
	Int	 logo  = logoImage->GetSize().cx;

	surface->Box(Rect(Point(frame + logo + 1, frame + 25), Size(width - 2 * frame - logo - 2, 50)), Color(255, 255, 255), Rect::Filled, Size(0, 0));
}
