// smooth::GUI::Text, a static text in the default font.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// A left-aligned text; '\n' starts a new line. Its size is always the
		// text's natural extent in the default font, measured on construction
		// and on every SetText (before any window exists, too).
		class SMOOTH_API Text : public Widget
		{
			public:
						 Text(const String &text, const Point &position);
						~Text();

				Int		 SetText(const String &text) override;
				// The size is the text's: SetSize is refused (Error()).
				Int		 SetSize(const Size &size) override;

				// The extent of text in the default GUI font, given in 96-DPI
				// pixels: the largest of its measures at every monitor's DPI and
				// at 96, 120, 144 and 192, rounded up, so that a control of that
				// size holds the text on any of them.
				static Size	 MeasureText(const String &text);
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
		};
	}
}
