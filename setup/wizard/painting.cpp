#include "wizard.h"

#include "backdrop.h"

using namespace smooth;
using namespace smooth::GUI;

void Tolvane::Wizard::PaintBackground()
{
	Window	*backdrop = widgets.backgroundWindow;

	if (backdrop == nullptr) return;

	Surface	*surface = backdrop->GetDrawSurface();

	if (surface == nullptr) return;

	Int	 width	= backdrop->GetSize().cx;
	Int	 height	= backdrop->GetSize().cy;
	Rect	 update	= backdrop->GetUpdateRect();

	surface->Gradient(update, BackdropColor(update.top, height), BackdropColor(update.bottom, height), OR_VERT);

	/* A text's box gets its own gradient first: the text is drawn over
	 * clean rows, not over what an earlier paint left there.
	 */
	for (const BackdropText &text : BackdropTexts(config, width, height, update))
	{
		surface->Gradient(text.box, BackdropColor(text.box.top, height), BackdropColor(text.box.bottom, height), OR_VERT);
		surface->SetText(text.text, text.box, text.font, false);
	}
}

void Tolvane::Wizard::PaintHeaderBox()
{
	Window	*window	 = widgets.wizardWindow;
	Surface	*surface = window->GetDrawSurface();

	if (surface == nullptr) return;

	Rect	 band = HeaderBand(window->GetSize().cx, window->GetFrameWidth(), widgets.logoImage->GetSize().cx);

	surface->Box(band, Color(255, 255, 255), Rect::Filled, Size(0, 0));
}
