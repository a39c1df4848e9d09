// smooth::GUI::Button, a push button.
#pragma once

#include "bitmap.h"
#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// A push button; a click (also BM_CLICK) emits onAction. A 0 width or
		// height becomes the natural extent: at least 80 by 22, wider when the
		// text needs it. A non-empty bitmap is shown beside the text.
		class SMOOTH_API Button : public Widget
		{
			public:
						 Button(const String &text, const Bitmap &bitmap, const Point &position, const Size &size);
						~Button();
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				Bool		 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
			private:
				Bitmap		 bitmap;
		};
	}
}
