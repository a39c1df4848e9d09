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

				// The extent of text in the default GUI font, measured on the screen
				// and given in 96-DPI pixels (rounded up, so a control of that
				// size holds the text at any DPI).
				static Size	 MeasureText(const String &text);
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
		};
	}
}
