// smooth::GUI::Titlebar, the self-drawn title bar of a Window.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// Title-bar buttons.
		const Int TB_NONE		= 0;
		const Int TB_MINBUTTON		= 1;	// accepted, not drawn
		const Int TB_MAXBUTTON		= 2;	// accepted, not drawn
		const Int TB_CLOSEBUTTON	= 4;

		// Added to a Window, it spans the width inside the frame with a height of
		// Window::GetTitlebarHeight() (22), shows the window title in white bold
		// on a blue gradient and, with TB_CLOSEBUTTON, a close button that calls
		// Window::Close. Dragging the bar moves the window. Its position and
		// orientation are ignored.
		class SMOOTH_API Titlebar : public Widget
		{
			friend class WidgetBackend;
			public:
				static const Int Height = 22;

						 Titlebar(Int buttonFlags = TB_CLOSEBUTTON);
						~Titlebar();

				Int		 GetButtonFlags() const;
				// The bar's rectangle in window coordinates (empty outside a window).
				Rect		 GetBarRect() const;
				// The close button's rectangle in window coordinates (empty without one).
				Rect		 GetCloseButtonRect() const;
			protected:
				void		 Paint(void *dc) override;
			private:
				Int		 buttonFlags;
				Bool		 closePressed = false;	// the close button is held down
		};
	}
}
