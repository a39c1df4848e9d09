// smooth::GUI::Divider, an etched line across the container.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// A 2-pixel etched line across the whole width (OR_HORZ) or height
		// (OR_VERT) of its container's client area. With OR_LEFT or OR_TOP the
		// line stands pos pixels from the top (left); with OR_BOTTOM or OR_RIGHT
		// pos pixels from the bottom (right) edge. Flags 5: pos from the top;
		// 9: pos from the bottom. Self-drawn: GetHandle() is null.
		class SMOOTH_API Divider : public Widget
		{
			public:
						 Divider(Int pos, Int flags);
						~Divider();

				Int		 GetPos() const;
				Int		 GetFlags() const;
				// The line's rectangle in window coordinates (empty outside a window).
				Rect		 GetLineRect() const;
			protected:
				void		 Paint(void *dc) override;
			private:
				Int		 pos;
				Int		 flags;
		};
	}
}
