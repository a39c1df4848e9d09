// Shared inside the GUI half of the library only: the bridge from the window
// procedures to the widgets' protected hooks, and common GDI helpers.
#pragma once

#include <smooth/gui.h>

#include <windows.h>

#include <vector>

namespace smooth
{
	namespace GUI
	{
		// Sent by systems that keep a DPI per monitor; older headers lack them.
#ifndef WM_DPICHANGED
		const UINT WM_DPICHANGED	= 0x02E0;
#endif
#ifndef WM_GETDPISCALEDSIZE
		const UINT WM_GETDPISCALEDSIZE	= 0x02E4;
#endif

		// Private messages of our windows and controls.
		const UINT WM_SMOOTH_PROGRESS = WM_APP + 0x51;	// to a progress bar: apply the stored value

		// The height of a list's rows, in our units.
		const Int listItemHeight = 16;

		// Widgets are placed, sized and drawn in units of a pixel at 96 DPI;
		// native windows, fonts and GDI work in device pixels. The process
		// is per-monitor DPI aware where the system offers it (its manifest
		// says so): every Window keeps the DPI of the monitor it is on, and
		// a Scale of that DPI converts between the two for the window and
		// everything on it.
		class Scale
		{
			public:
				// Below 96 we would shrink controls under their texts' fixed
				// minimum margins; nothing sensible asks for that.
				explicit	 Scale(Int iDpi) : dpi(iDpi > 96 ? iDpi : 96) {}

				Int		 GetDpi() const		{ return dpi; }
				Int		 ToDevice(Int value) const;
				Int		 ToLogical(Int value) const;
				// Edges are scaled one by one, so widgets that meet or keep
				// apart in our units do so in device pixels too.
				Rect		 ToDevice(const Rect &rect) const;
				// The smallest rectangle in our units that covers rect.
				Rect		 ToLogicalCover(const Rect &rect) const;
				// A device extent back in our units, rounded up, so that a
				// control of that size holds what was measured.
				Size		 ToLogicalUp(const Size &size) const;
			private:
				Int		 dpi;
		};

		class WidgetBackend
		{
			public:
				// The window class of every Window; registered on first use.
				static const wchar_t	*WindowClassName();
				static Bool		 EnsureWindowClass();
				static HINSTANCE	 Module();

				// The primary monitor's DPI (at least 96), read once: the
				// scale of a window until it learns its own, and of
				// measurements made before any window exists.
				static Int		 SystemDpi();
				// The DPI of a monitor or of the monitor a window is on, where
				// the system keeps one per monitor; SystemDpi() elsewhere.
				static Int		 MonitorDpi(HMONITOR monitor);
				static Int		 WindowDpi(HWND hwnd);
				// The DPIs of every attached monitor, SystemDpi() among them.
				static std::vector<Int>	 MonitorDpis();
				// The scale of the window a widget is on (of the widget itself
				// when it is a window); SystemDpi()'s when it is on none.
				static Scale		 ScaleOf(const Widget *widget);
				// Moves window to dpi: its outer rectangle (at suggested, or
				// where it is, with its size in our units kept), its
				// controls' fonts, positions and item heights, and a repaint.
				static void		 ApplyDpi(Window *window, Int dpi, const RECT *suggested);
				// Draws bitmap stretched to rect (device pixels) with a high
				// quality filter; false when that cannot be done.
				static Bool		 DrawScaled(HDC dc, const Bitmap &bitmap, const Rect &rect);
				// The shared default GUI font for a DPI (created on first use,
				// one per DPI, all freed together).
				static HFONT		 DefaultFont(Int dpi);
				static void		 FreeDefaultFont();
				// A GDI font for font at dpi (the caller deletes it).
				static HFONT		 MakeFont(const Font &font, Int dpi);

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
