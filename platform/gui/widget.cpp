#include "gui_internal.h"

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	const wchar_t *const widgetProperty = L"smooth.widget";
	const wchar_t *const procProperty   = L"smooth.proc";

	// Control ids only need to be distinct among a window's children; a
	// process-wide counter is simplest and never hands out 0 or the dialog ids
	// (IDOK ...) that some controls treat specially.
	int NextControlId()
	{
		static int next = 1000;

		if (next >= 0x7fff) next = 1000;

		return next++;
	}

	bool IsWindowWidget(const Widget *widget)
	{
		return dynamic_cast<const Window *>(widget) != nullptr;
	}
}

Widget::Widget(const Point &iPosition, const Size &iSize) : position(iPosition), size(iSize)
{
}

Widget::~Widget()
{
	// Derived destructors have already run; only plain bookkeeping is left.
	if (container != nullptr) container->Remove(this);

	for (Widget *child : children)
	{
		child->DetachNative();
		if (!IsWindowWidget(child)) child->container = nullptr;
	}

	children.clear();

	if (handle != nullptr && !IsWindowWidget(this))
	{
		HWND	 hwnd = (HWND) handle;

		handle = nullptr;
		DestroyWindow(hwnd);
	}
}

Int Widget::Show()
{
	visible = true;

	Relayout();
	SyncNative();

	return Success();
}

Int Widget::Hide()
{
	// The area is repainted while the widget still counts as visible, so
	// self-drawn parts of the subtree are cleared away.
	Invalidate();

	visible = false;

	Relayout();

	return Success();
}

Bool Widget::IsVisible() const
{
	for (const Widget *widget = this; widget != nullptr; widget = widget->container)
	{
		if (!widget->visible) return false;
	}

	return true;
}

Int Widget::Activate()
{
	active = true;

	SyncNative();
	Invalidate();

	return Success();
}

Int Widget::Deactivate()
{
	active = false;

	SyncNative();
	Invalidate();

	return Success();
}

Bool Widget::IsActive() const
{
	return active;
}

Int Widget::SetText(const String &newText)
{
	text = newText;

	if (handle != nullptr) SetWindowTextW((HWND) handle, text.Wide());

	// A natural size may follow the text.
	Relayout();

	return Success();
}

String Widget::GetText() const
{
	return text;
}

Int Widget::SetOrientation(Int newOrientation)
{
	Invalidate();

	orientation = newOrientation;

	Relayout();

	return Success();
}

Int Widget::GetOrientation() const
{
	return orientation;
}

Point Widget::GetPosition() const
{
	return position;
}

Size Widget::GetSize() const
{
	Size	 real = size;

	if (real.cx == 0 || real.cy == 0)
	{
		Size	 natural = GetDefaultSize();

		if (real.cx == 0) real.cx = natural.cx;
		if (real.cy == 0) real.cy = natural.cy;
	}

	return real;
}

Int Widget::SetPosition(const Point &newPosition)
{
	Invalidate();

	position = newPosition;

	Relayout();

	return Success();
}

Int Widget::SetSize(const Size &newSize)
{
	Invalidate();

	size = newSize;

	Relayout();

	return Success();
}

Rect Widget::GetRealRect() const
{
	if (IsWindowWidget(this)) return Rect(Point(0, 0), GetSize());

	Point	 origin;
	Size	 area;

	if (container != nullptr)
	{
		origin = container->GetChildOrigin();
		area   = container->GetChildArea();
	}

	Int	 x = (orientation & OR_RIGHT)  ? origin.x + area.cx - position.x : origin.x + position.x;
	Int	 y = (orientation & OR_BOTTOM) ? origin.y + area.cy - position.y : origin.y + position.y;

	return Rect(Point(x, y), GetSize());
}

Int Widget::Add(Widget *widget)
{
	if (widget == nullptr || widget == this || widget->container != nullptr) return Error();

	// A window is always top-level, and a widget cannot contain its own ancestor.
	if (IsWindowWidget(widget)) return Error();

	for (Widget *ancestor = container; ancestor != nullptr; ancestor = ancestor->container)
	{
		if (ancestor == widget) return Error();
	}

	children.push_back(widget);
	widget->container = this;

	widget->AttachNative();
	widget->Relayout();

	return Success();
}

Int Widget::Remove(Widget *widget)
{
	auto	 it = std::find(children.begin(), children.end(), widget);

	if (widget == nullptr || it == children.end()) return Error();

	children.erase(it);

	if (IsWindowWidget(widget)) return Success();

	widget->Invalidate();
	widget->DetachNative();

	widget->container = nullptr;

	return Success();
}

Int Widget::GetNOfObjects() const
{
	return Int(children.size());
}

Widget *Widget::GetNthObject(Int n) const
{
	if (n < 0 || n >= Int(children.size())) return nullptr;

	return children[n];
}

Widget *Widget::GetContainer() const
{
	return container;
}

Surface *Widget::GetDrawSurface() const
{
	Window	*window = GetContainerWindow();

	return window != nullptr ? window->GetDrawSurface() : nullptr;
}

Window *Widget::GetContainerWindow() const
{
	return container != nullptr ? container->GetContainerWindow() : nullptr;
}

void *Widget::GetHandle() const
{
	return handle;
}

Size Widget::GetDefaultSize() const
{
	return Size();
}

void *Widget::CreateNative(void *)
{
	return nullptr;
}

void Widget::SyncNative()
{
	if (handle != nullptr && !IsWindowWidget(this)) EnableWindow((HWND) handle, active);
}

void Widget::Paint(void *)
{
}

Bool Widget::Notify(UnsignedInt, std::uintptr_t, std::intptr_t, std::intptr_t &)
{
	return false;
}

Bool Widget::ControlMessage(UnsignedInt, std::uintptr_t, std::intptr_t, std::intptr_t &)
{
	return false;
}

Point Widget::GetChildOrigin() const
{
	Rect	 rect = GetRealRect();

	return Point(rect.left, rect.top);
}

Size Widget::GetChildArea() const
{
	return GetSize();
}

void Widget::Invalidate() const
{
	Window	*window = GetContainerWindow();
	HWND	 hwnd	= window != nullptr ? (HWND) window->GetSystemWindow() : nullptr;

	if (hwnd == nullptr) return;

	// Self-drawn widgets that ignore their position draw elsewhere.
	const Divider	*divider  = dynamic_cast<const Divider *>(this);
	const Titlebar	*titlebar = dynamic_cast<const Titlebar *>(this);
	RECT		 rect	  = ToRECT(WidgetBackend::ScaleOf(this).ToDevice(divider != nullptr ? divider->GetLineRect() : titlebar != nullptr ? titlebar->GetBarRect() : GetRealRect()));

	// Our windows do not clip their children, so the controls over the area
	// are repainted after the window's own background.
	RedrawWindow(hwnd, IsWindowWidget(this) ? nullptr : &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Widget::Relayout()
{
	for (Widget *child : children) child->Relayout();

	if (handle != nullptr && !IsWindowWidget(this))
	{
		Rect	 rect = WidgetBackend::ScaleOf(this).ToDevice(GetRealRect());

		SetWindowPos((HWND) handle, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
		ShowWindow((HWND) handle, IsVisible() ? SW_SHOWNA : SW_HIDE);
	}

	Invalidate();
}

void Widget::AttachNative()
{
	Window	*window = GetContainerWindow();
	HWND	 parent = window != nullptr ? (HWND) window->GetSystemWindow() : nullptr;

	if (parent == nullptr) return;

	if (handle == nullptr && !IsWindowWidget(this))
	{
		handle = CreateNative(parent);

		if (handle != nullptr) SyncNative();
	}

	for (Widget *child : children) child->AttachNative();
}

void Widget::DetachNative()
{
	// A window's subtree lives and dies with its own native window.
	if (IsWindowWidget(this)) return;

	for (Widget *child : children) child->DetachNative();

	if (handle != nullptr && !IsWindowWidget(this))
	{
		HWND	 hwnd = (HWND) handle;

		handle = nullptr;
		DestroyWindow(hwnd);
	}
}

/* Our units and the device's.
 */
Int Scale::ToDevice(Int value) const
{
	return dpi == 96 ? value : MulDiv(value, dpi, 96);
}

Int Scale::ToLogical(Int value) const
{
	return dpi == 96 ? value : MulDiv(value, 96, dpi);
}

Rect Scale::ToDevice(const Rect &rect) const
{
	return Rect(ToDevice(rect.left), ToDevice(rect.top), ToDevice(rect.right), ToDevice(rect.bottom));
}

Rect Scale::ToLogicalCover(const Rect &rect) const
{
	if (dpi == 96) return rect;

	Int	 d    = dpi;
	auto	 down = [d](Int v) { Int64 n = Int64(v) * 96; return Int(n >= 0 ? n / d : -((-n + d - 1) / d)); };
	auto	 up   = [d](Int v) { Int64 n = Int64(v) * 96; return Int(n >= 0 ? (n + d - 1) / d : -(-n / d)); };

	return Rect(down(rect.left), down(rect.top), up(rect.right), up(rect.bottom));
}

Size Scale::ToLogicalUp(const Size &size) const
{
	if (dpi == 96) return size;

	return Size(Int((Int64(size.cx) * 96 + dpi - 1) / dpi), Int((Int64(size.cy) * 96 + dpi - 1) / dpi));
}

namespace
{
	// Per-monitor DPIs came with later systems than the oldest we start
	// on, so both functions are looked up, not imported.
	typedef UINT	 (WINAPI *GetDpiForWindowFunction)(HWND);
	typedef HRESULT	 (WINAPI *GetDpiForMonitorFunction)(HMONITOR, int, UINT *, UINT *);

	// A looked-up entry point as the type it really has; through a generic
	// function pointer, as the compiler asks for such casts.
	template <typename Function> Function Entry(HMODULE module, const char *name)
	{
		return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
	}

	GetDpiForWindowFunction GetDpiForWindowEntry()
	{
		static GetDpiForWindowFunction	 function = Entry<GetDpiForWindowFunction>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");

		return function;
	}

	GetDpiForMonitorFunction GetDpiForMonitorEntry()
	{
		static HMODULE			 shcore	  = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
		static GetDpiForMonitorFunction	 function = Entry<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");

		return function;
	}

	BOOL CALLBACK CollectMonitorDpi(HMONITOR monitor, HDC, LPRECT, LPARAM data)
	{
		std::vector<Int>	*dpis = (std::vector<Int> *) data;
		Int			 dpi  = WidgetBackend::MonitorDpi(monitor);

		if (std::find(dpis->begin(), dpis->end(), dpi) == dpis->end()) dpis->push_back(dpi);

		return TRUE;
	}
}

Int WidgetBackend::SystemDpi()
{
	static Int dpi = 0;

	if (dpi == 0)
	{
		ScreenDC	 screen;

		dpi = Scale(screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0).GetDpi();
	}

	return dpi;
}

Int WidgetBackend::MonitorDpi(HMONITOR monitor)
{
	GetDpiForMonitorFunction	 function = GetDpiForMonitorEntry();
	UINT				 x = 0, y = 0;

	// 0 asks for the effective DPI, the one the user chose for the monitor.
	if (monitor == nullptr || function == nullptr || FAILED(function(monitor, 0, &x, &y)) || y == 0) return SystemDpi();

	return Scale(Int(y)).GetDpi();
}

Int WidgetBackend::WindowDpi(HWND hwnd)
{
	GetDpiForWindowFunction	 function = GetDpiForWindowEntry();
	UINT			 dpi	  = hwnd != nullptr && function != nullptr ? function(hwnd) : 0;

	return dpi != 0 ? Scale(Int(dpi)).GetDpi() : SystemDpi();
}

std::vector<Int> WidgetBackend::MonitorDpis()
{
	std::vector<Int>	 dpis = { SystemDpi() };

	EnumDisplayMonitors(nullptr, nullptr, &CollectMonitorDpi, (LPARAM) &dpis);

	return dpis;
}

Scale WidgetBackend::ScaleOf(const Widget *widget)
{
	Window	*window = widget != nullptr ? widget->GetContainerWindow() : nullptr;

	return Scale(window != nullptr ? window->dpi : SystemDpi());
}

/* The bridge from window procedures to the widgets.
 */
Widget *WidgetBackend::FromHandle(HWND hwnd)
{
	if (hwnd == nullptr) return nullptr;

	return (Widget *) GetPropW(hwnd, widgetProperty);
}

void WidgetBackend::AdoptControl(Widget *widget, HWND hwnd)
{
	SendMessageW(hwnd, WM_SETFONT, (WPARAM) DefaultFont(ScaleOf(widget).GetDpi()), FALSE);

	SetPropW(hwnd, widgetProperty, widget);
	SetPropW(hwnd, procProperty, (HANDLE) GetWindowLongPtrW(hwnd, GWLP_WNDPROC));

	SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR) &WidgetBackend::ControlProc);
}

HWND WidgetBackend::CreateControl(Widget *widget, void *parent, const wchar_t *className, DWORD style, DWORD exStyle, const String &text)
{
	Rect	 rect	 = ScaleOf(widget).ToDevice(widget->GetRealRect());
	DWORD	 flags	 = WS_CHILD | style;

	if (widget->IsVisible()) flags |= WS_VISIBLE;
	if (!widget->IsActive()) flags |= WS_DISABLED;

	HWND	 hwnd = CreateWindowExW(exStyle, className, text.Wide(), flags, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
					(HWND) parent, (HMENU) (INT_PTR) NextControlId(), Module(), nullptr);

	if (hwnd != nullptr) AdoptControl(widget, hwnd);

	return hwnd;
}

Bool WidgetBackend::Notify(Widget *widget, UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
	std::intptr_t	 value = 0;
	Bool		 handled = widget->Notify(message, wParam, lParam, value);

	result = value;

	return handled;
}

Bool WidgetBackend::ControlMessage(Widget *widget, UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
	std::intptr_t	 value = 0;
	Bool		 handled = widget->ControlMessage(message, wParam, lParam, value);

	result = value;

	return handled;
}

void WidgetBackend::Paint(Widget *widget, HDC dc)
{
	widget->Paint(dc);
}

void WidgetBackend::PaintTree(Widget *widget, HDC dc)
{
	// Hidden containers hide everything below them.
	if (!widget->visible) return;

	if (widget->handle == nullptr || IsWindowWidget(widget)) widget->Paint(dc);

	for (Widget *child : widget->children) PaintTree(child, dc);
}

LRESULT CALLBACK WidgetBackend::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
	Widget	*widget	= FromHandle(hwnd);
	WNDPROC	 proc	= (WNDPROC) GetPropW(hwnd, procProperty);

	if (widget != nullptr && widget->handle == hwnd)
	{
		if (message == WM_MOUSEMOVE && !widget->mouseInside)
		{
			TRACKMOUSEEVENT	 track = {};

			track.cbSize    = sizeof(track);
			track.dwFlags   = TME_LEAVE;
			track.hwndTrack = hwnd;

			widget->mouseInside = true;

			TrackMouseEvent(&track);

			widget->onMouseOver.Emit();
		}
		else if (message == WM_MOUSELEAVE && widget->mouseInside)
		{
			widget->mouseInside = false;
			widget->onMouseOut.Emit();
		}
	}

	// Also while the widget takes its control away (its handle is already
	// cleared then), so that it can forget the control.
	if (widget != nullptr)
	{
		LRESULT	 result = 0;

		if (ControlMessage(widget, message, wParam, lParam, result)) return result;
	}

	if (message == WM_NCDESTROY)
	{
		// Give the control its own procedure back before it goes, so nothing of
		// ours runs for a window that no widget owns any more.
		if (proc != nullptr) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR) proc);

		RemovePropW(hwnd, widgetProperty);
		RemovePropW(hwnd, procProperty);

		if (widget != nullptr && widget->handle == hwnd) widget->handle = nullptr;
	}

	if (proc == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

	return CallWindowProcW(proc, hwnd, message, wParam, lParam);
}

Bool WidgetBackend::OnWindowThread(HWND hwnd)
{
	return GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
}
