#include "gui_internal.h"

#include <objidl.h>
#include <gdiplus.h>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	std::shared_ptr<void> Own(HBITMAP bitmap)
	{
		return std::shared_ptr<void>(bitmap, [](void *b) { ::DeleteObject((HBITMAP) b); });
	}

	// A top-down 32-bit DIB section; bits receives its pixels.
	HBITMAP CreateDIB(const Size &size, void **bits)
	{
		BITMAPINFO	 info = {};

		info.bmiHeader.biSize	     = sizeof(info.bmiHeader);
		info.bmiHeader.biWidth	     = size.cx;
		info.bmiHeader.biHeight	     = -size.cy;
		info.bmiHeader.biPlanes	     = 1;
		info.bmiHeader.biBitCount    = 32;
		info.bmiHeader.biCompression = BI_RGB;

		return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
	}

	Bitmap LoadIconResource(Int id)
	{
		HINSTANCE	 program = smooth::hInstance != nullptr ? (HINSTANCE) smooth::hInstance : GetModuleHandleW(nullptr);
		HICON		 icon	 = (HICON) LoadImageW(program, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0);

		if (icon == nullptr) return Bitmap();

		// Transparent parts of the icon take the window background colour.
		COLORREF	 face	= GetSysColor(COLOR_BTNFACE);
		Bitmap		 result(Size(32, 32), Color(GetRValue(face), GetGValue(face), GetBValue(face)));

		if (!result.IsEmpty())
		{
			HDC	 dc  = CreateCompatibleDC(nullptr);
			HGDIOBJ	 old = SelectObject(dc, (HBITMAP) result.GetSystemBitmap());

			DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);

			SelectObject(dc, old);
			DeleteDC(dc);
		}

		DestroyIcon(icon);

		return result;
	}

	Bitmap LoadImageFile(const String &name)
	{
		namespace GP = Gdiplus::DllExports;

		Gdiplus::GpBitmap	*image = nullptr;

		// Fails cleanly (also when GDI+ was never started) for missing or
		// undecodable files.
		if (GP::GdipCreateBitmapFromFile(name.Wide(), &image) != Gdiplus::Ok || image == nullptr) return Bitmap();

		COLORREF	 face	= GetSysColor(COLOR_BTNFACE);
		Gdiplus::ARGB	 back	= 0xff000000u | (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
		HBITMAP		 bitmap	= nullptr;
		Gdiplus::Status	 status	= GP::GdipCreateHBITMAPFromBitmap(image, &bitmap, back);

		GP::GdipDisposeImage(image);

		if (status != Gdiplus::Ok || bitmap == nullptr) return Bitmap();

		return Bitmap((void *) bitmap);
	}
}

Bitmap::Bitmap()
{
}

Bitmap::Bitmap(const Size &iSize, const Color &color)
{
	if (iSize.cx <= 0 || iSize.cy <= 0) return;

	void	*bits	= nullptr;
	HBITMAP	 bitmap	= CreateDIB(iSize, &bits);

	if (bitmap == nullptr || bits == nullptr) return;

	UINT32	 pixel	= (UINT32(color.GetRed()) << 16) | (UINT32(color.GetGreen()) << 8) | UINT32(color.GetBlue());
	UINT32	*p	= (UINT32 *) bits;

	for (Int64 i = 0; i < Int64(iSize.cx) * iSize.cy; i++) p[i] = pixel;

	data = Own(bitmap);
	size = iSize;
}

Bitmap::Bitmap(void *systemBitmap)
{
	if (systemBitmap == nullptr) return;

	BITMAP	 info;

	if (GetObjectW((HBITMAP) systemBitmap, sizeof(info), &info) == 0)
	{
		::DeleteObject((HBITMAP) systemBitmap);

		return;
	}

	data = Own((HBITMAP) systemBitmap);
	size = Size(info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
}

Bitmap::~Bitmap()
{
}

Bool Bitmap::IsEmpty() const
{
	return data == nullptr;
}

Size Bitmap::GetSize() const
{
	return size;
}

void *Bitmap::GetSystemBitmap() const
{
	return data.get();
}

Color Bitmap::GetPixel(const Point &p) const
{
	if (data == nullptr || p.x < 0 || p.y < 0 || p.x >= size.cx || p.y >= size.cy) return Color();

	HDC	 dc	= CreateCompatibleDC(nullptr);
	HGDIOBJ	 old	= SelectObject(dc, (HBITMAP) data.get());
	COLORREF pixel	= ::GetPixel(dc, p.x, p.y);

	SelectObject(dc, old);
	DeleteDC(dc);

	if (pixel == CLR_INVALID) return Color();

	return Color(GetRValue(pixel), GetGValue(pixel), GetBValue(pixel));
}

Bitmap ImageLoader::Load(const String &name)
{
	const String	 prefix = "Icon:";

	if (name.StartsWith(prefix))
	{
		String	 number = name.SubString(prefix.Length(), name.Length() - prefix.Length());

		// Only a plain decimal resource number is accepted.
		if (number.Length() == 0 || number.Length() > 5) return Bitmap();

		for (Int i = 0; i < number.Length(); i++) if (number[i] < L'0' || number[i] > L'9') return Bitmap();

		Int64	 id = number.ToInt();

		if (id <= 0 || id > 0xffff) return Bitmap();

		return LoadIconResource(Int(id));
	}

	if (name.Length() == 0) return Bitmap();

	return LoadImageFile(name);
}

Bool WidgetBackend::DrawScaled(HDC dc, const Bitmap &bitmap, const Rect &rect)
{
	namespace GP = Gdiplus::DllExports;

	if (bitmap.IsEmpty() || rect.right <= rect.left || rect.bottom <= rect.top) return false;

	Gdiplus::GpBitmap		*image	    = nullptr;
	Gdiplus::GpGraphics		*graphics   = nullptr;
	Gdiplus::GpImageAttributes	*attributes = nullptr;
	Size				 source	    = bitmap.GetSize();
	Bool				 drawn	    = false;

	if (GP::GdipCreateBitmapFromHBITMAP((HBITMAP) bitmap.GetSystemBitmap(), nullptr, &image) == Gdiplus::Ok &&
	    GP::GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok &&
	    GP::GdipCreateImageAttributes(&attributes) == Gdiplus::Ok)
	{
		GP::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
		GP::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);

		// The filter reads beyond the edge; mirrored pixels keep the border
		// from fading into whatever lies outside the image.
		GP::GdipSetImageAttributesWrapMode(attributes, Gdiplus::WrapModeTileFlipXY, 0, FALSE);

		drawn = GP::GdipDrawImageRectRectI(graphics, image, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
						   0, 0, source.cx, source.cy, Gdiplus::UnitPixel, attributes, nullptr, nullptr) == Gdiplus::Ok;
	}

	if (attributes != nullptr) GP::GdipDisposeImageAttributes(attributes);
	if (graphics != nullptr)   GP::GdipDeleteGraphics(graphics);
	if (image != nullptr)	   GP::GdipDisposeImage(image);

	return drawn;
}
