// Value types for positions, sizes, colours and fonts.
#pragma once

#include "string.h"

namespace smooth
{
	namespace GUI
	{
		struct SMOOTH_API Point
		{
			Int x = 0, y = 0;
			Point() = default;
			Point(Int ix, Int iy) : x(ix), y(iy) {}
			Bool operator ==(const Point &o) const { return x == o.x && y == o.y; }
			Bool operator !=(const Point &o) const { return !(*this == o); }
		};

		struct SMOOTH_API Size
		{
			Int cx = 0, cy = 0;
			Size() = default;
			Size(Int w, Int h) : cx(w), cy(h) {}
			Bool operator ==(const Size &o) const { return cx == o.cx && cy == o.cy; }
		};

		struct SMOOTH_API Rect
		{
			Int left = 0, top = 0, right = 0, bottom = 0;
			Rect() = default;
			Rect(Int l, Int t, Int r, Int b) : left(l), top(t), right(r), bottom(b) {}
			Rect(const Point &p, const Size &s) : left(p.x), top(p.y), right(p.x + s.cx), bottom(p.y + s.cy) {}

			// Drawing styles of a rectangle (Surface::Box).
			static constexpr Int Outlined = 0;
			static constexpr Int Filled = 1;
			Bool operator ==(const Rect &o) const { return left == o.left && top == o.top && right == o.right && bottom == o.bottom; }
		};

		// A colour: packed red + 256 × green + 65536 × blue, plus a second word
		// (0 for an ordinary colour).
		class SMOOTH_API Color
		{
			public:
				Color(UnsignedInt packed = 0, Int other = 0) : value(packed), otherWord(other) {}
				Color(Int red, Int green, Int blue) : value(UnsignedInt((red & 255) | (green & 255) << 8 | (blue & 255) << 16)), otherWord(0) {}

				Int		 GetRed() const		{ return value & 255; }
				Int		 GetGreen() const	{ return (value >> 8) & 255; }
				Int		 GetBlue() const	{ return (value >> 16) & 255; }
				UnsignedInt	 GetPacked() const	{ return value; }
				Int		 GetOtherWord() const	{ return otherWord; }
				operator	 UnsignedInt() const	{ return value; }

				Bool operator ==(const Color &o) const { return value == o.value && otherWord == o.otherWord; }
				Bool operator !=(const Color &o) const { return !(*this == o); }
			private:
				UnsignedInt	 value;
				Int		 otherWord;
		};

		class SMOOTH_API Font
		{
			public:
				// Style bits; Normal (0) also serves as the default weight.
				static const Int	 Normal		= 0;
				static const Int	 Bold		= 700;
				static const Int	 Italic		= 1;
				static const Int	 Underline	= 2;
				static const Int	 StrikeOut	= 4;

				static const String	 Default;	// face of the system's dialog font
				static const Int	 DefaultSize	= 8;	// points

				Font(const String &face = Default, Int size = DefaultSize, Int weight = Normal, Int style = Normal, const Color &color = Color());

				const String	&GetName() const	{ return face; }
				Int		 GetSize() const	{ return size; }
				Int		 GetWeight() const	{ return weight; }
				Int		 GetStyle() const	{ return style; }
				const Color	&GetColor() const	{ return color; }

				Bool operator ==(const Font &o) const { return face == o.face && size == o.size && weight == o.weight && style == o.style && color == o.color; }
				Bool operator !=(const Font &o) const { return !(*this == o); }
			private:
				String		 face;
				Int		 size;
				Int		 weight;
				Int		 style;
				Color		 color;
		};
	}
}
