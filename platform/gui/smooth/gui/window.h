// smooth::GUI::Window, a top-level window with a self-drawn frame and title bar.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		class Surface;
		class Titlebar;

		// Window flags (SetFlags).
		const Int WF_NORMAL	= 0;
		// Stays in front of the application's backdrop: the window is owned by
		// the backdrop window when one exists, and keeps a task-bar button.
		const Int WF_APPTOPMOST	= 1;
		// A backdrop: no frame, no task-bar button, always kept behind the
		// application's other windows. (WF_BACKDROP = 65 as the programs pass it;
		// bit 1 has no further meaning for a backdrop.)
		const Int WF_BACKGROUND	= 64;
		const Int WF_BACKDROP	= WF_BACKGROUND | WF_APPTOPMOST;

		// A top-level popup window. Its outer rectangle is the position and size
		// given (like every position, size and measure of the widgets, in
		// pixels at 96 DPI: at a higher system DPI the native window, its
		// controls, fonts and drawings are scaled by DPI / 96 together, while
		// the widgets keep reporting these units); it draws its own frame of GetFrameWidth() pixels (3 for ordinary
		// windows, 0 for backdrops) and, once a Titlebar is added, a title bar of
		// GetTitlebarHeight() pixels below the top frame. Widgets added to the
		// window are placed in client coordinates: origin at the top-left of the
		// area inside the frame and below the title bar.
		//
		// The native window is created (hidden) by the constructor; Show or
		// Application::Loop puts it on screen. The window is "visible" (own flag)
		// from construction until Hide, so its widgets report their own
		// visibility before it is on screen.
		class SMOOTH_API Window : public Widget
		{
			friend class WidgetBackend;
			public:
				// title: caption and title-bar text; position and size: outer
				// rectangle in screen coordinates.
						 Window(const String &title, const Point &position, const Size &size);
				// Destroys the native window if it still exists; children are detached.
						~Window();

				// WF_... flags; changes frame, ownership and z-order rules at once.
				// Success().
				Int		 SetFlags(Int flags);
				Int		 GetFlags() const;

				// Creates the native window if needed and shows it. Success(), or
				// Error() when the native window cannot be created or was destroyed.
				Int		 Show() override;
				Int		 Hide() override;

				// Asks doQuit (unconnected: yes); when the answer is yes destroys the
				// native window and returns Success(), otherwise Error() and the
				// window stays. Closing a destroyed window: Success().
				Int		 Close();
				// True once the native window has been destroyed (Close, WM_DESTROY,
				// or destruction of its owner).
				Bool		 IsDestroyed() const;

				Int		 SetText(const String &title) override;
				Int		 SetPosition(const Point &position) override;
				Int		 SetSize(const Size &size) override;
				Int		 Add(Widget *widget) override;
				Int		 Remove(Widget *widget) override;

				// The native window (HWND); null once destroyed.
				void		*GetSystemWindow() const;
				// The area being repainted, in window coordinates; valid inside
				// onPaint. Outside a paint: the whole window.
				Rect		 GetUpdateRect() const;
				Int		 GetFrameWidth() const;
				Int		 GetTitlebarHeight() const;	// 0 without a title bar
				// The client area in window coordinates.
				Rect		 GetClientRect() const;

				Surface		*GetDrawSurface() const override;
				Window		*GetContainerWindow() const override;

				// Emitted inside WM_PAINT after the window's background was drawn
				// and before frame, title bar and self-drawn widgets, so handler
				// drawings appear beneath only those.
				Signal<>			 onPaint;
				// Every message of the window (message, wParam, lParam), before the
				// window's own handling.
				Signal<long, long, long>	 onEvent;
				// Close query: true lets the window close. Unconnected means true.
				Callback<Bool>			 doQuit;
			protected:
				Point		 GetChildOrigin() const override;
				Size		 GetChildArea() const override;
			private:
				void		 DestroyNativeWindow();

				Int		 flags = WF_NORMAL;
				Titlebar	*titlebar = nullptr;
				Surface		*surface = nullptr;
				Bool		 destroyed = false;
				Bool		 painting = false;
				Rect		 updateRect;
				void		*paintDC = nullptr;
				Int		 dpi = 96;	// of the monitor the window is on
		};
	}
}
