#include "gui_internal.h"

#include <commctrl.h>

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	// Extra width of check and option boxes beside their label: the box and a gap.
	const Int boxSpace = 20;

	// Every option box, so that choosing one can update the others bound to
	// the same variable, wherever they are.
	std::vector<OptionBox *> &OptionBoxes()
	{
		static std::vector<OptionBox *> boxes;

		return boxes;
	}

	bool Clicked(UnsignedInt message, std::uintptr_t wParam)
	{
		return message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED;
	}
}

/* Layer
 */
Layer::Layer(const String &name)
{
	text = name;
}

Layer::~Layer()
{
}

Int Layer::Show()
{
	return Widget::Show();
}

Int Layer::Hide()
{
	return Widget::Hide();
}

Size Layer::GetSize() const
{
	if ((size.cx == 0 || size.cy == 0) && container != nullptr)
	{
		Size	 area = WidgetBackend::ChildArea(container);

		return Size(size.cx != 0 ? size.cx : area.cx, size.cy != 0 ? size.cy : area.cy);
	}

	return size;
}

Size Layer::GetChildArea() const
{
	return GetSize();
}

/* Text
 */
Text::Text(const String &iText, const Point &iPosition) : Widget(iPosition, Size())
{
	text = iText;
}

Text::~Text()
{
}

Size Text::MeasureText(const String &text)
{
	// Fonts do not grow exactly in proportion to the DPI, so the text is
	// measured at every monitor's and at the common scalings' (for a
	// monitor attached later), and the size returned holds it on any
	// monitor the window may be moved to.
	ScreenDC		 dc;
	Size			 extent;
	std::vector<Int>	 dpis = WidgetBackend::MonitorDpis();

	for (Int common : { 96, 120, 144, 192 }) if (std::find(dpis.begin(), dpis.end(), common) == dpis.end()) dpis.push_back(common);

	for (Int dpi : dpis)
	{
		HGDIOBJ		 old = SelectObject(dc, WidgetBackend::DefaultFont(dpi));
		Size		 measured;

		if (text.Length() == 0)
		{
			// An empty text still occupies one line, so texts placed below
			// it keep their distance.
			TEXTMETRICW	 metrics;

			if (GetTextMetricsW(dc, &metrics)) measured = Size(0, metrics.tmHeight);
		}
		else
		{
			RECT	 rect = { 0, 0, 0, 0 };

			DrawTextW(dc, text.Wide(), -1, &rect, DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);

			measured = Size(rect.right - rect.left, rect.bottom - rect.top);
		}

		SelectObject(dc, old);

		measured = Scale(dpi).ToLogicalUp(measured);
		extent	 = Size(std::max(extent.cx, measured.cx), std::max(extent.cy, measured.cy));
	}

	return extent;
}

Int Text::SetText(const String &newText)
{
	// The old extent may be larger than the new one.
	Invalidate();

	return Widget::SetText(newText);
}

Int Text::SetSize(const Size &)
{
	return Error();
}

void *Text::CreateNative(void *parent)
{
	// No word wrap: the control is exactly the text's natural size, and line
	// breaks still start new lines.
	return WidgetBackend::CreateControl(this, parent, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, text);
}

Size Text::GetDefaultSize() const
{
	return MeasureText(text);
}

/* Button
 */
Button::Button(const String &iText, const Bitmap &iBitmap, const Point &iPosition, const Size &iSize) : Widget(iPosition, iSize), bitmap(iBitmap)
{
	text = iText;
}

Button::~Button()
{
}

Size Button::GetDefaultSize() const
{
	Size	 extent = Text::MeasureText(text);
	Int	 width	= extent.cx + 16;

	if (!bitmap.IsEmpty()) width += bitmap.GetSize().cx + 4;

	return Size(std::max(80, width), 22);
}

void *Button::CreateNative(void *parent)
{
	DWORD	 style = BS_PUSHBUTTON | WS_TABSTOP;

	// With an image and no text, show only the image; with both, the common
	// controls put the image beside the text.
	if (!bitmap.IsEmpty() && text.Length() == 0) style |= BS_BITMAP;

	HWND	 hwnd = WidgetBackend::CreateControl(this, parent, L"BUTTON", style, 0, text);

	if (hwnd != nullptr && !bitmap.IsEmpty()) SendMessageW(hwnd, BM_SETIMAGE, IMAGE_BITMAP, (LPARAM) bitmap.GetSystemBitmap());

	return hwnd;
}

Bool Button::Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t, std::intptr_t &result)
{
	if (!Clicked(message, wParam)) return false;

	// A click may still arrive by message while the button is deactivated.
	if (active) onAction.Emit();

	result = 0;

	return true;
}

/* CheckBox
 */
CheckBox::CheckBox(const String &iText, const Point &iPosition, const Size &iSize, bool *iVariable) : Widget(iPosition, iSize), variable(iVariable)
{
	text = iText;

	if (variable != nullptr) state = *variable;
}

CheckBox::~CheckBox()
{
}

Int CheckBox::Update()
{
	SyncNative();

	return Success();
}

Bool CheckBox::IsChecked() const
{
	return state;
}

Size CheckBox::GetDefaultSize() const
{
	return Size(Text::MeasureText(text).cx + boxSpace, 17);
}

void *CheckBox::CreateNative(void *parent)
{
	return WidgetBackend::CreateControl(this, parent, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, text);
}

void CheckBox::SyncNative()
{
	if (variable != nullptr) state = *variable;

	if (handle == nullptr) return;

	SendMessageW((HWND) handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
	EnableWindow((HWND) handle, active);
}

Bool CheckBox::Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t, std::intptr_t &result)
{
	if (!Clicked(message, wParam)) return false;

	result = 0;

	// The control ticks itself before telling us; a deactivated box (reached
	// by a message, not by the user) must keep the variable as it is.
	if (!active)
	{
		SyncNative();

		return true;
	}

	state = SendMessageW((HWND) handle, BM_GETCHECK, 0, 0) == BST_CHECKED;

	if (variable != nullptr) *variable = state;

	onAction.Emit();

	return true;
}

/* OptionBox
 */
OptionBox::OptionBox(const String &iText, const Point &iPosition, const Size &iSize, long *iVariable, long iValue) : Widget(iPosition, iSize), variable(iVariable), value(iValue)
{
	text = iText;

	OptionBoxes().push_back(this);
}

OptionBox::~OptionBox()
{
	std::vector<OptionBox *>	&boxes = OptionBoxes();

	boxes.erase(std::remove(boxes.begin(), boxes.end(), this), boxes.end());
}

Int OptionBox::Update()
{
	SyncNative();

	return Success();
}

Bool OptionBox::IsSelected() const
{
	return variable != nullptr && *variable == value;
}

Size OptionBox::GetDefaultSize() const
{
	return Size(Text::MeasureText(text).cx + boxSpace, 17);
}

void *OptionBox::CreateNative(void *parent)
{
	// Not an automatic radio button: those uncheck every other radio button
	// of the window's control group, also ones bound to other variables.
	return WidgetBackend::CreateControl(this, parent, L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, 0, text);
}

void OptionBox::SyncNative()
{
	if (handle == nullptr) return;

	SendMessageW((HWND) handle, BM_SETCHECK, IsSelected() ? BST_CHECKED : BST_UNCHECKED, 0);
	EnableWindow((HWND) handle, active);
}

Bool OptionBox::Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t, std::intptr_t &result)
{
	if (!Clicked(message, wParam)) return false;

	result = 0;

	if (!active || variable == nullptr) return true;

	*variable = value;

	for (OptionBox *box : OptionBoxes())
	{
		if (box->variable == variable) box->Update();
	}

	onAction.Emit();

	return true;
}

/* EditBox
 */
EditBox::EditBox(const String &iText, const Point &iPosition, const Size &iSize, Int iMaxLength) : Widget(iPosition, iSize), maxLength(iMaxLength)
{
	text = iText;
}

EditBox::~EditBox()
{
}

Int EditBox::SetText(const String &newText)
{
	text	    = newText;
	userChanged = false;

	if (handle != nullptr)
	{
		settingText = true;
		SetWindowTextW((HWND) handle, ToControlText(newText).Wide());
		settingText = false;
	}

	return Success();
}

String EditBox::GetText() const
{
	// Off the window thread we must not wait for it: the copy kept on every
	// change is what the window thread last saw.
	if (handle != nullptr && WidgetBackend::OnWindowThread((HWND) handle)) const_cast<EditBox *>(this)->ReadBack();

	return text;
}

Int EditBox::GetMaxLength() const
{
	return maxLength;
}

Size EditBox::GetDefaultSize() const
{
	return Size(100, 20);
}

void *EditBox::CreateNative(void *parent)
{
	HWND	 hwnd = WidgetBackend::CreateControl(this, parent, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, ToControlText(text));

	// 0 lifts the limit to the control's maximum.
	if (hwnd != nullptr) SendMessageW(hwnd, EM_LIMITTEXT, maxLength > 0 ? maxLength : 0, 0);

	return hwnd;
}

void EditBox::SyncNative()
{
	if (handle != nullptr) EnableWindow((HWND) handle, active);
}

Bool EditBox::Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t, std::intptr_t &result)
{
	if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE) return false;

	if (!settingText) ReadBack();

	result = 0;

	return true;
}

String EditBox::ToControlText(const String &value) const
{
	return value;
}

void EditBox::ReadBack()
{
	HWND	 hwnd = (HWND) handle;

	if (hwnd == nullptr) return;

	Int		 length = GetWindowTextLengthW(hwnd);
	std::wstring	 buffer(length + 1, L'\0');

	buffer.resize(GetWindowTextW(hwnd, &buffer[0], length + 1));

	// Text set by the program stays as given (line breaks included) as long
	// as the control still shows exactly that.
	if (String(buffer) == ToControlText(text)) return;

	text	    = String(buffer);
	userChanged = true;
}

/* MultiEdit
 */
MultiEdit::MultiEdit(const String &iText, const Point &iPosition, const Size &iSize, Int iMaxLength) : EditBox(iText, iPosition, iSize, iMaxLength)
{
}

MultiEdit::~MultiEdit()
{
}

Size MultiEdit::GetDefaultSize() const
{
	return Size(200, 100);
}

void *MultiEdit::CreateNative(void *parent)
{
	HWND	 hwnd = WidgetBackend::CreateControl(this, parent, L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
						     WS_EX_CLIENTEDGE, ToControlText(text));

	if (hwnd != nullptr) SendMessageW(hwnd, EM_LIMITTEXT, maxLength > 0 ? maxLength : 0, 0);

	return hwnd;
}

void MultiEdit::SyncNative()
{
	if (handle == nullptr) return;

	// Deactivated means read-only, not disabled: the text can still be
	// scrolled and selected.
	EnableWindow((HWND) handle, TRUE);
	SendMessageW((HWND) handle, EM_SETREADONLY, !active, 0);
}

String MultiEdit::ToControlText(const String &value) const
{
	const std::wstring	&in = value.WideString();
	std::wstring		 out;

	out.reserve(in.size() + in.size() / 16);

	for (size_t i = 0; i < in.size(); i++)
	{
		wchar_t	 c = in[i];

		if (c == L'\r')
		{
			out += L"\r\n";

			if (i + 1 < in.size() && in[i + 1] == L'\n') i++;
		}
		else if (c == L'\n')
		{
			out += L"\r\n";
		}
		else
		{
			out += c;
		}
	}

	return String(out);
}

/* GroupBox
 */
GroupBox::GroupBox(const String &iText, const Point &iPosition, const Size &iSize) : Widget(iPosition, iSize)
{
	text = iText;
}

GroupBox::~GroupBox()
{
}

void *GroupBox::CreateNative(void *parent)
{
	return WidgetBackend::CreateControl(this, parent, L"BUTTON", BS_GROUPBOX, 0, text);
}

Bool GroupBox::ControlMessage(UnsignedInt message, std::uintptr_t, std::intptr_t, std::intptr_t &result)
{
	// The frame lies over other controls: let the pointer through to them.
	if (message != WM_NCHITTEST) return false;

	result = HTTRANSPARENT;

	return true;
}

/* Progressbar
 */
Progressbar::Progressbar(const Point &iPosition, const Size &iSize, Int iOrientation, Int iTextFlag, Int iMin, Int iMax, Int iValue)
	: Widget(iPosition, iSize), direction(iOrientation), textFlag(iTextFlag), minimum(std::min(iMin, iMax)), maximum(std::max(iMin, iMax)),
	  value(std::min(std::max(iValue, std::min(iMin, iMax)), std::max(iMin, iMax))), updatePending(false), nativeBar(nullptr)
{
}

Progressbar::~Progressbar()
{
	// No thread may post to the bar from now on.
	nativeBar = nullptr;
}

Int Progressbar::SetValue(Int newValue)
{
	value = std::min(std::max(newValue, minimum), maximum);

	HWND	 bar = (HWND) nativeBar.load();

	if (bar == nullptr) return Success();

	if (WidgetBackend::OnWindowThread(bar))
	{
		SendMessageW(bar, PBM_SETPOS, value.load(), 0);
	}
	else if (!updatePending.exchange(true))
	{
		// One queued update carries whatever value is current when it runs.
		if (!PostMessageW(bar, WM_SMOOTH_PROGRESS, 0, 0)) updatePending = false;
	}

	return Success();
}

Int Progressbar::GetValue() const
{
	return value;
}

Int Progressbar::GetMin() const
{
	return minimum;
}

Int Progressbar::GetMax() const
{
	return maximum;
}

Int Progressbar::GetTextFlag() const
{
	return textFlag;
}

Size Progressbar::GetDefaultSize() const
{
	return (direction & OR_VERT) ? Size(19, 100) : Size(100, 19);
}

void *Progressbar::CreateNative(void *parent)
{
	HWND	 hwnd = WidgetBackend::CreateControl(this, parent, PROGRESS_CLASSW, (direction & OR_VERT) ? PBS_VERTICAL : 0, 0, String());

	if (hwnd == nullptr) return nullptr;

	SendMessageW(hwnd, PBM_SETRANGE32, minimum, maximum);
	SendMessageW(hwnd, PBM_SETPOS, value.load(), 0);

	nativeBar = hwnd;

	return hwnd;
}

void Progressbar::SyncNative()
{
	if (handle == nullptr) return;

	SendMessageW((HWND) handle, PBM_SETPOS, value.load(), 0);
	EnableWindow((HWND) handle, active);
}

Bool Progressbar::ControlMessage(UnsignedInt message, std::uintptr_t, std::intptr_t, std::intptr_t &result)
{
	if (message == WM_NCDESTROY)
	{
		nativeBar = nullptr;

		return false;
	}

	if (message != WM_SMOOTH_PROGRESS) return false;

	updatePending = false;

	SendMessageW((HWND) handle, PBM_SETPOS, value.load(), 0);

	result = 0;

	return true;
}

/* Divider
 */
Divider::Divider(Int iPos, Int iFlags) : pos(iPos), flags(iFlags)
{
}

Divider::~Divider()
{
}

Int Divider::GetPos() const
{
	return pos;
}

Int Divider::GetFlags() const
{
	return flags;
}

Rect Divider::GetLineRect() const
{
	if (container == nullptr || GetContainerWindow() == nullptr) return Rect();

	Point	 origin = WidgetBackend::ChildOrigin(container);
	Size	 area	= WidgetBackend::ChildArea(container);
	bool	 fromFarEdge = (flags & (OR_BOTTOM | OR_RIGHT)) != 0;

	if (flags & OR_VERT)
	{
		Int	 x = fromFarEdge ? origin.x + area.cx - pos : origin.x + pos;

		return Rect(x, origin.y, x + 2, origin.y + area.cy);
	}

	Int	 y = fromFarEdge ? origin.y + area.cy - pos : origin.y + pos;

	return Rect(origin.x, y, origin.x + area.cx, y + 2);
}

void Divider::Paint(void *dc)
{
	Rect	 line = WidgetBackend::ScaleOf(this).ToDevice(GetLineRect());

	if (line.right <= line.left || line.bottom <= line.top) return;

	// Etched: a shadow line with a highlight line beside it, each half of
	// the line's width.
	RECT	 dark  = ToRECT(line);
	RECT	 light = ToRECT(line);

	if (flags & OR_VERT) { dark.right = dark.left + (line.right - line.left) / 2;  light.left = dark.right; }
	else		     { dark.bottom = dark.top + (line.bottom - line.top) / 2;  light.top = dark.bottom; }

	FillRect((HDC) dc, &dark, GetSysColorBrush(COLOR_BTNSHADOW));
	FillRect((HDC) dc, &light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
}

/* Image
 */
Image::Image(const Bitmap &iBitmap, const Point &iPosition, const Size &iSize) : Widget(iPosition, iSize), bitmap(iBitmap)
{
}

Image::~Image()
{
}

Int Image::SetBitmap(const Bitmap &newBitmap)
{
	Invalidate();

	bitmap = newBitmap;

	Relayout();

	return Success();
}

const Bitmap &Image::GetBitmap() const
{
	return bitmap;
}

Size Image::GetDefaultSize() const
{
	return bitmap.GetSize();
}

void Image::Paint(void *dc)
{
	if (bitmap.IsEmpty()) return;

	Rect	 rect	= WidgetBackend::ScaleOf(this).ToDevice(GetRealRect());
	Size	 source	= bitmap.GetSize();

	// Enlarged for a higher DPI: a smooth filter, not repeated pixels.
	if (!(Size(rect.right - rect.left, rect.bottom - rect.top) == source) && WidgetBackend::DrawScaled((HDC) dc, bitmap, rect)) return;

	HDC	 memory	= CreateCompatibleDC((HDC) dc);

	if (memory == nullptr) return;

	HGDIOBJ	 old = SelectObject(memory, (HBITMAP) bitmap.GetSystemBitmap());

	SetStretchBltMode((HDC) dc, COLORONCOLOR);
	StretchBlt((HDC) dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory, 0, 0, source.cx, source.cy, SRCCOPY);

	SelectObject(memory, old);
	DeleteDC(memory);
}
