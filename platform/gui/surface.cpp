#include "gui_internal.h"

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	// The DC a Surface draws into: the paint's inside onPaint, else the
	// window's own, released again at the end of the operation.
	class SurfaceDC
	{
		public:
			explicit SurfaceDC(Window *window)
			{
				hwnd = window != nullptr ? (HWND) window->GetSystemWindow() : nullptr;

				if (hwnd == nullptr) return;

				dc = (HDC) WidgetBackend::PaintDC(window);

				if (dc == nullptr) { dc = GetDC(hwnd); release = true; }
			}

			~SurfaceDC() { if (release && dc != nullptr) ReleaseDC(hwnd, dc); }

			SurfaceDC(const SurfaceDC &) = delete;
			SurfaceDC &operator =(const SurfaceDC &) = delete;

			operator HDC() const { return dc; }
		private:
			HWND	 hwnd	 = nullptr;
			HDC	 dc	 = nullptr;
			bool	 release = false;
	};

	void FillSolid(HDC dc, const RECT &rect, COLORREF color)
	{
		// Cheaper than a brush per call and exact: an opaque blank text run.
		COLORREF old = SetBkColor(dc, color);

		ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
		SetBkColor(dc, old);
	}

	Int Blend(Int first, Int second, Int i, Int n)
	{
		return first + (second - first) * i / n;
	}

	// Callers give 96-DPI pixels; the DC takes device pixels.
	Int Device(const Window *window, Int value)
	{
		return WidgetBackend::ScaleOf(window).ToDevice(value);
	}

	RECT DeviceRECT(const Window *window, const Rect &rect)
	{
		return ToRECT(WidgetBackend::ScaleOf(window).ToDevice(rect));
	}
}

Surface::Surface(Window *iWindow) : window(iWindow)
{
}

Surface::~Surface()
{
}

Int Surface::Box(const Rect &rect, const Color &color, Int style, const Size &size)
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Error();

	if (rect.right <= rect.left || rect.bottom <= rect.top) return Success();

	RECT	 r = DeviceRECT(window, rect);

	if (size.cx == 0 && size.cy == 0)
	{
		if (style == Rect::Filled)
		{
			FillSolid(dc, r, ToColorRef(color));
		}
		else
		{
			HBRUSH	 brush = CreateSolidBrush(ToColorRef(color));

			FrameRect(dc, &r, brush);
			::DeleteObject(brush);
		}

		return Success();
	}

	HPEN	 pen	  = CreatePen(PS_SOLID, Device(window, 1), ToColorRef(color));
	HBRUSH	 brush	  = style == Rect::Filled ? CreateSolidBrush(ToColorRef(color)) : (HBRUSH) GetStockObject(NULL_BRUSH);
	HGDIOBJ	 oldPen	  = SelectObject(dc, pen);
	HGDIOBJ	 oldBrush = SelectObject(dc, brush);

	RoundRect(dc, r.left, r.top, r.right, r.bottom, Device(window, size.cx), Device(window, size.cy));

	SelectObject(dc, oldPen);
	SelectObject(dc, oldBrush);
	::DeleteObject(pen);

	if (style == Rect::Filled) ::DeleteObject(brush);

	return Success();
}

Int Surface::Gradient(const Rect &rect, const Color &first, const Color &second, Int direction)
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Error();

	if (rect.right <= rect.left || rect.bottom <= rect.top) return Success();

	// Row by device row, so a larger scale gives a finer, not a coarser, ramp.
	RECT	 area	  = DeviceRECT(window, rect);
	bool	 vertical = direction == OR_VERT;
	Int	 steps	  = vertical ? area.bottom - area.top : area.right - area.left;

	for (Int i = 0; i < steps; i++)
	{
		COLORREF color = RGB(Blend(first.GetRed(), second.GetRed(), i, steps),
				     Blend(first.GetGreen(), second.GetGreen(), i, steps),
				     Blend(first.GetBlue(), second.GetBlue(), i, steps));
		RECT	 line  = vertical ? RECT { area.left, area.top + i, area.right, area.top + i + 1 }
					  : RECT { area.left + i, area.top, area.left + i + 1, area.bottom };

		FillSolid(dc, line, color);
	}

	return Success();
}

Int Surface::SetText(const String &text, const Rect &rect, const Font &font, Bool shadow)
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Error();

	HFONT	 gdiFont = WidgetBackend::MakeFont(font, WidgetBackend::ScaleOf(window).GetDpi());
	HGDIOBJ	 old	 = SelectObject(dc, gdiFont != nullptr ? (HGDIOBJ) gdiFont : (HGDIOBJ) WidgetBackend::DefaultFont(WidgetBackend::ScaleOf(window).GetDpi()));
	UINT	 format	 = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
	int	 oldMode = SetBkMode(dc, TRANSPARENT);

	if (shadow)
	{
		RECT	 offset = DeviceRECT(window, rect);

		OffsetRect(&offset, Device(window, 2), Device(window, 2));
		SetTextColor(dc, RGB(64, 64, 64));
		DrawTextW(dc, text.Wide(), -1, &offset, format);
	}

	RECT	 box = DeviceRECT(window, rect);

	SetTextColor(dc, ToColorRef(font.GetColor()));
	DrawTextW(dc, text.Wide(), -1, &box, format);

	SetBkMode(dc, oldMode);
	SelectObject(dc, old);

	if (gdiFont != nullptr) ::DeleteObject(gdiFont);

	return Success();
}

Int Surface::Line(const Point &from, const Point &to, const Color &color)
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Error();

	HPEN	 pen = CreatePen(PS_SOLID, Device(window, 1), ToColorRef(color));
	HGDIOBJ	 old = SelectObject(dc, pen);

	MoveToEx(dc, Device(window, from.x), Device(window, from.y), nullptr);
	LineTo(dc, Device(window, to.x), Device(window, to.y));

	SelectObject(dc, old);
	::DeleteObject(pen);

	return Success();
}

Int Surface::SetPixel(const Point &p, const Color &color)
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Error();

	// One of our pixels covers a square of device pixels.
	RECT	 square = DeviceRECT(window, Rect(p, Size(1, 1)));

	if (square.right - square.left == 1 && square.bottom - square.top == 1) ::SetPixel(dc, square.left, square.top, ToColorRef(color));
	else									 FillSolid(dc, square, ToColorRef(color));

	return Success();
}

Color Surface::GetPixel(const Point &p) const
{
	SurfaceDC	 dc(window);

	if (dc == nullptr) return Color();

	COLORREF	 pixel = ::GetPixel(dc, Device(window, p.x), Device(window, p.y));

	if (pixel == CLR_INVALID) return Color();

	return Color(GetRValue(pixel), GetGValue(pixel), GetBValue(pixel));
}

Int Surface::GetWidth() const
{
	return window != nullptr ? window->GetSize().cx : 0;
}

Int Surface::GetHeight() const
{
	return window != nullptr ? window->GetSize().cy : 0;
}

Size Surface::GetSize() const
{
	return window != nullptr ? window->GetSize() : Size();
}
