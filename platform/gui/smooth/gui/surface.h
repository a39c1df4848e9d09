// smooth::GUI::Surface, drawing on a window.
#pragma once

#include <smooth.h>

namespace smooth
{
	namespace GUI
	{
		class Window;

		// Draws on its window in window coordinates (0,0 = outer top-left, frame
		// and title bar included), in the window's 96-DPI pixels: at a higher
		// DPI every coordinate, line and font is scaled to the device. Inside the window's onPaint it draws into the
		// paint (clipped to the update area); elsewhere directly onto the screen,
		// where the next repaint may cover it. Every operation returns Error()
		// when the window has no native window, else Success().
		class SMOOTH_API Surface
		{
			public:
				explicit	 Surface(Window *window);
						~Surface();

				// Rect::Filled fills rect with color; Rect::Outlined draws its
				// 1-pixel outline. A non-zero size rounds the corners with ellipses
				// of that size. An empty or inverted rect draws nothing.
				Int		 Box(const Rect &rect, const Color &color, Int style, const Size &size = Size());

				// Fills rect with a linear gradient. direction 2 (OR_VERT): row i of
				// h rows gets first + (second - first) * i / h per channel (integer
				// division), so the top row is first and the colour would reach
				// second one row below the rect; adjoining rects whose end colours
				// match join seamlessly. Otherwise (1, OR_HORZ) the same by columns.
				Int		 Gradient(const Rect &rect, const Color &first, const Color &second, Int direction);

				// Writes text top-left aligned into rect, word-wrapped to its width
				// and clipped to it, with a transparent background, in font's face,
				// size, weight, style and colour. shadow first writes the text in dark
				// grey 2 pixels down and right.
				Int		 SetText(const String &text, const Rect &rect, const Font &font, Bool shadow = false);

				Int		 Line(const Point &from, const Point &to, const Color &color);
				Int		 SetPixel(const Point &p, const Color &color);
				// The colour on screen at p (Color() when it cannot be read).
				Color		 GetPixel(const Point &p) const;

				// The window's outer size.
				Int		 GetWidth() const;
				Int		 GetHeight() const;
				Size		 GetSize() const;
			private:
				Window		*window;
		};
	}
}
