// smooth::GUI::Bitmap and ImageLoader: images held in memory and loaded from files.
#pragma once

#include <smooth.h>

#include <memory>

namespace smooth
{
	namespace GUI
	{
		// A 32-bit image (a GDI DIB section). Copies share the same pixels.
		// A default-constructed Bitmap is empty.
		class SMOOTH_API Bitmap
		{
			public:
						 Bitmap();
				// A new image of the given size filled with color; empty when the
				// size is not positive or the image cannot be made.
						 Bitmap(const Size &size, const Color &color);
				// Takes ownership of a GDI bitmap (HBITMAP); null gives an empty Bitmap.
				explicit	 Bitmap(void *systemBitmap);
						~Bitmap();

				Bool		 IsEmpty() const;
				Size		 GetSize() const;		// 0 by 0 when empty
				void		*GetSystemBitmap() const;	// HBITMAP, null when empty
				// The pixel at p, or Color() outside / when empty.
				Color		 GetPixel(const Point &p) const;
			private:
				std::shared_ptr<void> data;
				Size		 size;
		};

		class SMOOTH_API ImageLoader
		{
			public:
				// Loads a BMP, PNG, GIF or JPEG file (through GDI+; transparent
				// pixels become the window background colour), or with
				// "Icon:<n>" icon resource n of the program at 32 by 32. Any failure
				// (missing or unreadable file, unknown resource) gives an empty Bitmap.
				static Bitmap	 Load(const String &name);
		};
	}
}
