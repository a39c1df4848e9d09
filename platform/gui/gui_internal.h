// Shared inside the GUI half of the library only: the bridge from the window
// procedures to the widgets' protected hooks, and common GDI helpers.
#pragma once

#include <smooth/gui.h>

#include <windows.h>

namespace smooth
{
	namespace GUI
	{
		// Private messages of our windows and controls.
		const UINT WM_SMOOTH_PROGRESS = WM_APP + 0x51;	// to a progress bar: apply the stored value

		class WidgetBackend
		{
			public:
				// The window class of every Window; registered on first use.
				static const wchar_t	*WindowClassName();
				static Bool		 EnsureWindowClass();
				static HINSTANCE	 Module();

				// Widgets are placed, sized and drawn in units of a pixel at 96 DPI;
				// native windows, fonts and GDI work in device pixels. The
				// process is system-DPI aware (its manifest says so), so one
				// factor, the system's DPI / 96, read once, serves every window.
				static Int		 Dpi();
				static Int		 ToDevice(Int value);
				static Int		 ToLogical(Int value);
				// Edges are scaled one by one, so widgets that meet or keep
				// apart in our units do so in device pixels too.
				static Rect		 ToDevice(const Rect &rect);
				// The smallest rectangle in our units that covers rect.
				static Rect		 ToLogicalCover(const Rect &rect);
				// Draws bitmap stretched to rect (device pixels) with a high
				// quality filter; false when that cannot be done.
				static Bool		 DrawScaled(HDC dc, const Bitmap &bitmap, const Rect &rect);
				// The shared default GUI font (created on first use).
				static HFONT		 DefaultFont();
				static void		 FreeDefaultFont();
				// A GDI font for font (the caller deletes it).
				static HFONT		 MakeFont(const Font &font);

				// The widget a control belongs to, or null.
				static Widget		*FromHandle(HWND hwnd);

				// Hooks a freshly created control up to its widget: font, widget
				// property and our control procedure in front of its class's.
				static void		 AdoptControl(Widget *widget, HWND hwnd);
				// Creates a child control of parent at the widget's real rectangle,
				// with visibility and enabled state from the widget.
				static HWND		 CreateControl(Widget *widget, void *parent, const wchar_t *className, DWORD style, DWORD exStyle, const String &text);

				static Bool		 Notify(Widget *w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);
				static void		 Paint(Widget *w, HDC dc);
				static void		 PaintTree(Widget *w, HDC dc);
				static void		 Attach(Widget *w)		{ w->AttachNative(); }
				static void		 Detach(Widget *w)		{ w->DetachNative(); }
				static void		 Relayout(Widget *w)		{ w->Relayout(); }
				static void		 Invalidate(const Widget *w)	{ w->Invalidate(); }
				static void		 SetContainer(Widget *w, Widget *c) { w->container = c; }
				static void		*PaintDC(const Window *w)	{ return w->painting ? w->paintDC : nullptr; }
				static Point		 ChildOrigin(const Widget *w)	{ return w->GetChildOrigin(); }
				static Size		 ChildArea(const Widget *w)	{ return w->GetChildArea(); }
				static std::vector<Widget *> &Children(Widget *w) { return w->children; }

				// Native windows of the process's Windows: lookup and bookkeeping.
				static Window		*WindowFromHandle(HWND hwnd);
				static LRESULT CALLBACK	 WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
				static LRESULT CALLBACK	 ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
				static Bool		 ControlMessage(Widget *w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);
				static void		 SetHandle(Widget *w, void *handle)	{ w->handle = handle; }

				// Every live Window (constructed, not yet deleted), in creation order.
				static std::vector<Window *> &Windows();
				// Every live Application.
				static std::vector<Application *> &Applications();

				// Whether the calling thread is the one that owns hwnd.
				static Bool		 OnWindowThread(HWND hwnd);
		};

		// RAII for a DC obtained with GetDC.
		class ScreenDC
		{
			public:
				explicit ScreenDC(HWND iHwnd = nullptr) : hwnd(iHwnd), dc(GetDC(iHwnd)) {}
				~ScreenDC() { if (dc != nullptr) ReleaseDC(hwnd, dc); }
				ScreenDC(const ScreenDC &) = delete;
				ScreenDC &operator =(const ScreenDC &) = delete;
				operator HDC() const { return dc; }
			private:
				HWND hwnd;
				HDC  dc;
		};

		inline COLORREF ToColorRef(const Color &color)
		{
			return RGB(color.GetRed(), color.GetGreen(), color.GetBlue());
		}

		inline RECT ToRECT(const Rect &r)
		{
			RECT rect = { r.left, r.top, r.right, r.bottom };

			return rect;
		}
	}
}
