// smooth::GUI::Image, a bitmap shown in a window.
#pragma once

#include "bitmap.h"
#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// Draws its bitmap (scaled to the widget's size). A 0 by 0 size is the
		// bitmap's; an empty bitmap draws nothing and has size 0 by 0.
		// Self-drawn: GetHandle() is null.
		class SMOOTH_API Image : public Widget
		{
			public:
						 Image(const Bitmap &bitmap, const Point &position, const Size &size);
						~Image();

				Int		 SetBitmap(const Bitmap &bitmap);
				const Bitmap	&GetBitmap() const;
			protected:
				Size		 GetDefaultSize() const override;
				void		 Paint(void *dc) override;
			private:
				Bitmap		 bitmap;
		};
	}
}
