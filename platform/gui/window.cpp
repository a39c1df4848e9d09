#include "gui_internal.h"

#include <smooth/internal.h>

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <map>
#include <cwchar>

#include <objidl.h>
#include <gdiplus.h>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	const Int	 frameWidth = 3;

	// One default font per DPI that a window of ours has been shown at.
	std::map<Int, HFONT>	 defaultFonts;
	ULONG_PTR	 gdiplusToken	= 0;
	bool		 oleStarted	= false;

	Int InitGUI()
	{
		INITCOMMONCONTROLSEX	 controls = {};

		controls.dwSize = sizeof(controls);
		controls.dwICC	= ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES;

		InitCommonControlsEx(&controls);

		// The new-style folder chooser needs OLE on the window thread.
		oleStarted = SUCCEEDED(OleInitialize(nullptr));

		Gdiplus::GdiplusStartupInput	 input;

		if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) gdiplusToken = 0;

		if (!WidgetBackend::EnsureWindowClass())
		{
			if (gdiplusToken != 0) Gdiplus::GdiplusShutdown(gdiplusToken);
			if (oleStarted) OleUninitialize();

			gdiplusToken = 0;
			oleStarted   = false;

			return Error();
		}

		return Success();
	}

	Int FreeGUI()
	{
		WidgetBackend::FreeDefaultFont();

		if (gdiplusToken != 0) Gdiplus::GdiplusShutdown(gdiplusToken);
		if (oleStarted) OleUninitialize();

		gdiplusToken = 0;
		oleStarted   = false;

		return Success();
	}

	struct RegisterGUI
	{
		RegisterGUI() { Internal::RegisterInitHook(&InitGUI, &FreeGUI); }
	} registerGUI;

	// The raised frame of our windows, its two lines as thick as a device
	// pixel per 96-DPI pixel rounds to.
	void DrawFrame(HDC dc, RECT rect, const Scale &scale)
	{
		Int	 thickness = scale.ToDevice(1);

		if (thickness <= 1)
		{
			DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);

			return;
		}

		for (Int i = 0; i < 2 * thickness; i++)
		{
			DrawEdge(dc, &rect, i < thickness ? BDR_RAISEDOUTER : BDR_RAISEDINNER, BF_RECT);
			InflateRect(&rect, -1, -1);
		}
	}

	bool IsBackdrop(Int flags)
	{
		return (flags & WF_BACKGROUND) != 0;
	}

	// Windows with WF_APPTOPMOST are owned by the application's backdrop so
	// that they always stay in front of it. Run whenever a flag changes or a
	// window is shown, as the wizard sets the flags in any order.
	void UpdateOwnership()
	{
		HWND	 backdrop = nullptr;

		for (Window *window : WidgetBackend::Windows())
		{
			if (IsBackdrop(window->GetFlags()) && window->GetSystemWindow() != nullptr) { backdrop = (HWND) window->GetSystemWindow(); break; }
		}

		for (Window *window : WidgetBackend::Windows())
		{
			HWND	 hwnd = (HWND) window->GetSystemWindow();

			if (hwnd == nullptr || IsBackdrop(window->GetFlags()) || !(window->GetFlags() & WF_APPTOPMOST)) continue;

			if (GetWindow(hwnd, GW_OWNER) != backdrop) SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, (LONG_PTR) backdrop);
		}
	}
}

HINSTANCE WidgetBackend::Module()
{
	static HINSTANCE module = nullptr;

	if (module == nullptr)
	{
		GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
				   (LPCWSTR) &WidgetBackend::Module, &module);
	}

	return module;
}

const wchar_t *WidgetBackend::WindowClassName()
{
	return L"smooth.Window";
}

Bool WidgetBackend::EnsureWindowClass()
{
	WNDCLASSEXW	 info = {};

	info.cbSize = sizeof(info);

	if (GetClassInfoExW(Module(), WindowClassName(), &info)) return true;

	info.style	   = CS_DBLCLKS;
	info.lpfnWndProc   = &WidgetBackend::WindowProc;
	info.hInstance	   = Module();
	info.hCursor	   = LoadCursorW(nullptr, (LPCWSTR) IDC_ARROW);
	info.hbrBackground = nullptr;
	info.lpszClassName = WindowClassName();

	HINSTANCE	 program = smooth::hInstance != nullptr ? (HINSTANCE) smooth::hInstance : GetModuleHandleW(nullptr);

	info.hIcon	   = LoadIconW(program, MAKEINTRESOURCEW(100));

	return RegisterClassExW(&info) != 0;
}

HFONT WidgetBackend::MakeFont(const Font &font, Int dpi)
{
	Int		 height = -MulDiv(font.GetSize(), dpi, 72);
	Int		 style	= font.GetStyle();

	return CreateFontW(height, 0, 0, 0, font.GetWeight() == Font::Normal ? FW_NORMAL : font.GetWeight(),
			   (style & Font::Italic) != 0, (style & Font::Underline) != 0, (style & Font::StrikeOut) != 0,
			   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.GetName().Wide());
}

HFONT WidgetBackend::DefaultFont(Int dpi)
{
	HFONT	&font = defaultFonts[Scale(dpi).GetDpi()];

	if (font == nullptr) font = MakeFont(Font("Tahoma", Font::DefaultSize), Scale(dpi).GetDpi());
	if (font == nullptr) font = (HFONT) GetStockObject(DEFAULT_GUI_FONT);

	return font;
}

void WidgetBackend::FreeDefaultFont()
{
	for (const auto &entry : defaultFonts)
	{
		if (entry.second != nullptr && entry.second != (HFONT) GetStockObject(DEFAULT_GUI_FONT)) ::DeleteObject(entry.second);
	}

	defaultFonts.clear();
}

namespace
{
	void ApplyDpiToControls(Widget *widget, const Scale &scale)
	{
		for (Widget *child : WidgetBackend::Children(widget))
		{
			// Another window keeps its own DPI.
			if (dynamic_cast<Window *>(child) != nullptr) continue;

			HWND	 hwnd = (HWND) child->GetHandle();

			if (hwnd != nullptr)
			{
				SendMessageW(hwnd, WM_SETFONT, (WPARAM) WidgetBackend::DefaultFont(scale.GetDpi()), FALSE);

				// Owner-drawn lists ask for their rows' height only once.
				if (dynamic_cast<ListBox *>(child) != nullptr) SendMessageW(hwnd, LB_SETITEMHEIGHT, 0, scale.ToDevice(listItemHeight));
			}

			ApplyDpiToControls(child, scale);
		}
	}
}

void WidgetBackend::ApplyDpi(Window *window, Int dpi, const RECT *suggested)
{
	HWND	 hwnd = (HWND) window->handle;

	window->dpi = Scale(dpi).GetDpi();

	if (hwnd == nullptr) return;

	Scale	 scale(window->dpi);
	RECT	 now  = {};

	ApplyDpiToControls(window, scale);

	// The size in our units stays; only the device pixels change. The
	// system suggests where the window goes, so that it stays under the
	// pointer when it is dragged across.
	if (suggested == nullptr && GetWindowRect(hwnd, &now)) suggested = &now;

	SetWindowPos(hwnd, nullptr, suggested != nullptr ? suggested->left : 0, suggested != nullptr ? suggested->top : 0,
		     scale.ToDevice(window->size.cx), scale.ToDevice(window->size.cy),
		     SWP_NOZORDER | SWP_NOACTIVATE | (suggested == nullptr ? SWP_NOMOVE : 0));

	for (Widget *child : window->children) Relayout(child);

	RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::vector<Window *> &WidgetBackend::Windows()
{
	static std::vector<Window *> windows;

	return windows;
}

std::vector<Application *> &WidgetBackend::Applications()
{
	static std::vector<Application *> applications;

	return applications;
}

Window *WidgetBackend::WindowFromHandle(HWND hwnd)
{
	// Only our own window class keeps a Window in its user data.
	wchar_t	 name[32] = { 0 };

	if (hwnd == nullptr || GetClassNameW(hwnd, name, 32) == 0 || wcscmp(name, WindowClassName()) != 0) return nullptr;

	return (Window *) GetWindowLongPtrW(hwnd, GWLP_USERDATA);
}

LRESULT CALLBACK WidgetBackend::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
	if (message == WM_NCCREATE)
	{
		Window	*created = (Window *) ((CREATESTRUCTW *) lParam)->lpCreateParams;

		SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR) created);

		if (created != nullptr) created->handle = hwnd;
	}

	Window	*window = WindowFromHandle(hwnd);

	if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

	window->onEvent.Emit(long(message), long(wParam), long(lParam));

	const Scale	 scale(window->dpi);

	switch (message)
	{
		case WM_QUIT:
			// A quit message sent straight to the window procedure would
			// otherwise be lost: it only ends a loop when it is in the queue.
			PostQuitMessage(int(wParam));

			return 0;
		case WM_CLOSE:
			window->Close();

			return 0;
		case WM_ACTIVATE:
			// A handler may have handed activation on (the backdrop passes it to
			// the wizard); giving this window the focus now would take it back.
			if (LOWORD(wParam) != WA_INACTIVE && GetActiveWindow() != hwnd) return 0;

			break;
		case WM_ERASEBKGND:
			// WM_PAINT draws everything, background included.
			return 1;
		case WM_PAINT:
			{
				PAINTSTRUCT	 ps;
				HDC		 dc = BeginPaint(hwnd, &ps);

				window->painting   = true;
				window->paintDC	   = dc;
				window->updateRect = scale.ToLogicalCover(Rect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom));

				FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));

				window->onPaint.Emit();

				if (window->GetFrameWidth() > 0)
				{
					RECT	 outer = ToRECT(scale.ToDevice(Rect(Point(0, 0), window->GetSize())));

					DrawFrame(dc, outer, scale);
				}

				for (Widget *child : window->children) PaintTree(child, dc);

				window->painting = false;
				window->paintDC	 = nullptr;

				EndPaint(hwnd, &ps);
			}

			return 0;
		case WM_NCHITTEST:
			{
				Titlebar	*titlebar = window->titlebar;
				POINT		 p	  = { (short) LOWORD(lParam), (short) HIWORD(lParam) };

				ScreenToClient(hwnd, &p);

				p.x = scale.ToLogical(p.x);
				p.y = scale.ToLogical(p.y);

				if (titlebar != nullptr && titlebar->IsVisible())
				{
					Rect	 bar   = titlebar->GetBarRect();
					Rect	 close = titlebar->GetCloseButtonRect();

					bool	 inBar	 = p.x >= bar.left && p.x < bar.right && p.y >= bar.top && p.y < bar.bottom;
					bool	 inClose = p.x >= close.left && p.x < close.right && p.y >= close.top && p.y < close.bottom;

					// The bar moves the window as a system caption would.
					if (inBar && !inClose) return HTCAPTION;
				}
			}

			return HTCLIENT;
		case WM_LBUTTONDOWN:
		case WM_LBUTTONUP:
			{
				Titlebar	*titlebar = window->titlebar;

				if (titlebar == nullptr || !titlebar->IsVisible()) break;

				Rect	 close = titlebar->GetCloseButtonRect();
				Int	 x     = scale.ToLogical((short) LOWORD(lParam));
				Int	 y     = scale.ToLogical((short) HIWORD(lParam));
				bool	 in    = x >= close.left && x < close.right && y >= close.top && y < close.bottom;

				if (message == WM_LBUTTONDOWN)
				{
					if (!in) break;

					titlebar->closePressed = true;
					SetCapture(hwnd);
					Invalidate(titlebar);

					return 0;
				}

				if (!titlebar->closePressed) break;

				titlebar->closePressed = false;
				ReleaseCapture();
				Invalidate(titlebar);

				// Like a system close button: releasing outside cancels.
				if (in) window->Close();

				return 0;
			}
		case WM_COMMAND:
		case WM_CTLCOLORSTATIC:
		case WM_CTLCOLOREDIT:
		case WM_CTLCOLORBTN:
		case WM_CTLCOLORLISTBOX:
			{
				Widget	*widget = FromHandle((HWND) lParam);
				LRESULT	 result = 0;

				if (widget != nullptr && Notify(widget, message, wParam, lParam, result)) return result;
			}

			break;
		case WM_DRAWITEM:
			{
				Widget	*widget = FromHandle(((DRAWITEMSTRUCT *) lParam)->hwndItem);
				LRESULT	 result = 0;

				if (widget != nullptr && Notify(widget, message, wParam, lParam, result)) return result;
			}

			break;
		case WM_MEASUREITEM:
			{
				MEASUREITEMSTRUCT	*measure = (MEASUREITEMSTRUCT *) lParam;
				Widget			*widget	 = FromHandle(GetDlgItem(hwnd, measure->CtlID));
				LRESULT			 result	 = 0;

				if (widget != nullptr && Notify(widget, message, wParam, lParam, result)) return result;

				// Fixed-height owner-drawn lists ask while they are being
				// created, before they belong to a widget.
				measure->itemHeight = scale.ToDevice(listItemHeight);

				return TRUE;
			}
		case WM_WINDOWPOSCHANGING:
			{
				WINDOWPOS	*pos = (WINDOWPOS *) lParam;

				if (IsBackdrop(window->flags) && !(pos->flags & SWP_NOZORDER)) pos->hwndInsertAfter = HWND_BOTTOM;
			}

			break;
		case WM_WINDOWPOSCHANGED:
			{
				WINDOWPOS	*pos	 = (WINDOWPOS *) lParam;
				bool		 resized = false;

				if (!(pos->flags & SWP_NOMOVE)) window->position = Point(scale.ToLogical(pos->x), scale.ToLogical(pos->y));

				Size		 logical(scale.ToLogical(pos->cx), scale.ToLogical(pos->cy));

				if (!(pos->flags & SWP_NOSIZE) && !(window->size == logical))
				{
					window->size = logical;
					resized	     = true;
				}

				if (resized) for (Widget *child : window->children) Relayout(child);
			}

			return 0;
		case WM_GETDPISCALEDSIZE:
			{
				// Our size in our units at the new DPI, so that the system's
				// suggestion for WM_DPICHANGED is exactly what we would do.
				SIZE	*size = (SIZE *) lParam;
				Scale	 next(LOWORD(wParam));

				size->cx = next.ToDevice(window->size.cx);
				size->cy = next.ToDevice(window->size.cy);
			}

			return TRUE;
		case WM_DPICHANGED:
			ApplyDpi(window, LOWORD(wParam), (const RECT *) lParam);

			return 0;
		case WM_DESTROY:
			window->destroyed = true;

			// Application::Loop waits in GetMessage; make sure it looks again.
			PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);

			break;
		case WM_NCDESTROY:
			window->destroyed = true;
			window->handle	  = nullptr;

			SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);

			break;
	}

	return DefWindowProcW(hwnd, message, wParam, lParam);
}

Window::Window(const String &title, const Point &iPosition, const Size &iSize) : Widget(iPosition, iSize)
{
	text	= title;
	surface	= new Surface(this);

	WidgetBackend::Windows().push_back(this);

	if (!WidgetBackend::EnsureWindowClass()) { destroyed = true; return; }

	// Created at the primary monitor's scale; a window that opens on a
	// monitor of another DPI is moved to that one's right after.
	dpi = WidgetBackend::SystemDpi();

	Scale	 scale(dpi);

	// Popups without a system frame: we draw frame and title bar ourselves, so
	// the window looks the same with or without a window manager.
	CreateWindowExW(WS_EX_APPWINDOW, WidgetBackend::WindowClassName(), title.Wide(), WS_POPUP | WS_CLIPSIBLINGS,
			scale.ToDevice(iPosition.x), scale.ToDevice(iPosition.y), scale.ToDevice(iSize.cx), scale.ToDevice(iSize.cy),
			nullptr, nullptr, WidgetBackend::Module(), this);

	if (handle == nullptr) { destroyed = true; return; }

	Int	 actual = WidgetBackend::WindowDpi((HWND) handle);

	if (actual != dpi) WidgetBackend::ApplyDpi(this, actual, nullptr);
}

Window::~Window()
{
	DestroyNativeWindow();

	for (Application *application : WidgetBackend::Applications())
	{
		std::vector<Widget *>	&windows = WidgetBackend::Children(application);

		windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
	}

	std::vector<Window *>	&windows = WidgetBackend::Windows();

	windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());

	for (Widget *child : children) WidgetBackend::SetContainer(child, nullptr);

	children.clear();
	titlebar = nullptr;

	delete surface;
}

void Window::DestroyNativeWindow()
{
	if (handle == nullptr) return;

	DestroyWindow((HWND) handle);

	// WM_NCDESTROY normally does this; a failed DestroyWindow must not leave a
	// handle that we would use again.
	handle	  = nullptr;
	destroyed = true;
}

Int Window::SetFlags(Int newFlags)
{
	flags = newFlags;

	HWND	 hwnd = (HWND) handle;

	if (hwnd != nullptr)
	{
		// A backdrop has no task-bar button; every other window has one.
		SetWindowLongPtrW(hwnd, GWL_EXSTYLE, IsBackdrop(flags) ? WS_EX_TOOLWINDOW : WS_EX_APPWINDOW);
		SetWindowPos(hwnd, IsBackdrop(flags) ? HWND_BOTTOM : nullptr, 0, 0, 0, 0,
			     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | (IsBackdrop(flags) ? 0 : SWP_NOZORDER));

		UpdateOwnership();
	}

	// The frame width may have changed.
	Relayout();

	return Success();
}

Int Window::GetFlags() const
{
	return flags;
}

Int Window::Show()
{
	HWND	 hwnd = (HWND) handle;

	if (destroyed || hwnd == nullptr) return Error();

	visible = true;

	UpdateOwnership();
	Relayout();

	if (IsBackdrop(flags))
	{
		ShowWindow(hwnd, SW_SHOWNOACTIVATE);
		SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
	}
	else
	{
		ShowWindow(hwnd, SW_SHOW);
	}

	UpdateWindow(hwnd);

	return Success();
}

Int Window::Hide()
{
	visible = false;

	if (handle != nullptr) ShowWindow((HWND) handle, SW_HIDE);

	Relayout();

	return Success();
}

Int Window::Close()
{
	if (destroyed || handle == nullptr) return Success();

	if (doQuit.IsConnected() && !doQuit.Call()) return Error();

	DestroyNativeWindow();

	return Success();
}

Bool Window::IsDestroyed() const
{
	return destroyed;
}

Int Window::SetText(const String &title)
{
	text = title;

	if (handle != nullptr) SetWindowTextW((HWND) handle, title.Wide());

	if (titlebar != nullptr) WidgetBackend::Invalidate(titlebar);

	return Success();
}

Int Window::SetPosition(const Point &newPosition)
{
	position = newPosition;

	if (handle != nullptr) SetWindowPos((HWND) handle, nullptr, Scale(dpi).ToDevice(position.x), Scale(dpi).ToDevice(position.y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

	return Success();
}

Int Window::SetSize(const Size &newSize)
{
	size = newSize;

	if (handle != nullptr) SetWindowPos((HWND) handle, nullptr, 0, 0, Scale(dpi).ToDevice(size.cx), Scale(dpi).ToDevice(size.cy), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

	Relayout();

	return Success();
}

Int Window::Add(Widget *widget)
{
	Titlebar	*bar = dynamic_cast<Titlebar *>(widget);

	// One title bar per window.
	if (bar != nullptr && titlebar != nullptr) return Error();

	if (Widget::Add(widget) != Success()) return Error();

	if (bar != nullptr)
	{
		titlebar = bar;

		// The client area moved down.
		Relayout();
	}

	return Success();
}

Int Window::Remove(Widget *widget)
{
	if (Widget::Remove(widget) != Success()) return Error();

	if (widget == titlebar)
	{
		titlebar = nullptr;

		Relayout();
	}

	return Success();
}

void *Window::GetSystemWindow() const
{
	return handle;
}

Rect Window::GetUpdateRect() const
{
	if (painting) return updateRect;

	return Rect(Point(0, 0), GetSize());
}

Int Window::GetFrameWidth() const
{
	return IsBackdrop(flags) ? 0 : frameWidth;
}

Int Window::GetTitlebarHeight() const
{
	return titlebar != nullptr ? Titlebar::Height : 0;
}

Rect Window::GetClientRect() const
{
	Point	 origin = GetChildOrigin();
	Size	 area	= GetChildArea();

	return Rect(origin, area);
}

Surface *Window::GetDrawSurface() const
{
	return surface;
}

Window *Window::GetContainerWindow() const
{
	return const_cast<Window *>(this);
}

Point Window::GetChildOrigin() const
{
	Int	 frame = GetFrameWidth();

	return Point(frame, frame + GetTitlebarHeight());
}

Size Window::GetChildArea() const
{
	Int	 frame = GetFrameWidth();
	Size	 outer = GetSize();

	return Size(outer.cx - 2 * frame, outer.cy - 2 * frame - GetTitlebarHeight());
}

/* The title bar.
 */
Titlebar::Titlebar(Int iButtonFlags) : buttonFlags(iButtonFlags)
{
}

Titlebar::~Titlebar()
{
}

Int Titlebar::GetButtonFlags() const
{
	return buttonFlags;
}

Rect Titlebar::GetBarRect() const
{
	Window	*window = GetContainerWindow();

	if (window == nullptr) return Rect();

	Int	 frame = window->GetFrameWidth();

	return Rect(frame, frame, window->GetSize().cx - frame, frame + Height);
}

Rect Titlebar::GetCloseButtonRect() const
{
	Window	*window = GetContainerWindow();

	if (window == nullptr || !(buttonFlags & TB_CLOSEBUTTON)) return Rect();

	Int	 frame = window->GetFrameWidth();
	Int	 right = window->GetSize().cx - frame - 3;

	return Rect(right - 16, frame + 4, right, frame + 4 + 14);
}

void Titlebar::Paint(void *dc)
{
	Window	*window = GetContainerWindow();
	HDC	 hdc	= (HDC) dc;

	if (window == nullptr) return;

	const Scale	 scale = WidgetBackend::ScaleOf(window);
	Rect		 bar   = scale.ToDevice(GetBarRect());
	Int	 width = bar.right - bar.left;

	// Dark blue on the left fading to a lighter blue on the right.
	COLORREF	 oldBk = GetBkColor(hdc);

	for (Int i = 0; i < width; i++)
	{
		RECT	 column = { bar.left + i, bar.top, bar.left + i + 1, bar.bottom };

		// An opaque empty text run fills without a brush per column.
		SetBkColor(hdc, RGB(16 * i / width, 132 * i / width, 128 + 80 * i / width));
		ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &column, nullptr, 0, nullptr);
	}

	SetBkColor(hdc, oldBk);

	HFONT	 font = WidgetBackend::MakeFont(Font("Tahoma", Font::DefaultSize, Font::Bold), scale.GetDpi());
	HGDIOBJ	 old  = SelectObject(hdc, font);
	Rect	 close = scale.ToDevice(GetCloseButtonRect());
	RECT	 textRect = { bar.left + scale.ToDevice(5), bar.top, (close.right > close.left ? close.left : bar.right) - scale.ToDevice(4), bar.bottom };

	SetBkMode(hdc, TRANSPARENT);
	SetTextColor(hdc, RGB(255, 255, 255));
	DrawTextW(hdc, window->GetText().Wide(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

	SelectObject(hdc, old);
	::DeleteObject(font);

	if (close.right > close.left)
	{
		RECT	 button = ToRECT(close);

		// The cross is drawn by hand: the system draws its caption glyphs
		// from a symbol font that not every system has.
		DrawFrameControl(hdc, &button, DFC_BUTTON, DFCS_BUTTONPUSH | (closePressed ? DFCS_PUSHED : 0));

		Int	 shift = closePressed ? scale.ToDevice(1) : 0;
		Int	 left  = button.left + scale.ToDevice(4) + shift;
		Int	 top   = button.top + scale.ToDevice(3) + shift;
		Int	 span  = scale.ToDevice(7);
		HPEN	 pen   = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
		HGDIOBJ	 oldPen = SelectObject(hdc, pen);

		// Two pixels thick at 96 DPI, as thick as the bar grew elsewhere.
		for (Int i = 0; i < scale.ToDevice(2); i++)
		{
			MoveToEx(hdc, left + i, top, nullptr);
			LineTo(hdc, left + i + span, top + span);
			MoveToEx(hdc, left + i + span - 1, top, nullptr);
			LineTo(hdc, left + i - 1, top + span);
		}

		SelectObject(hdc, oldPen);
		::DeleteObject(pen);
	}
}
