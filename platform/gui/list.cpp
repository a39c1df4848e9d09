#include "gui_internal.h"

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	// In 96-DPI pixels, like every other measure of ours.
	const Int checkSize  = 13;

	Int Device(const Widget *widget, Int value)
	{
		return WidgetBackend::ScaleOf(widget).ToDevice(value);
	}
}

/* ListEntry
 */
ListEntry::ListEntry(List *iList, const String &iText) : list(iList)
{
	text = iText;
}

ListEntry::~ListEntry()
{
	if (list == nullptr) return;

	std::vector<ListEntry *>	&entries = list->entries;
	auto				 it	 = std::find(entries.begin(), entries.end(), this);

	if (it == entries.end()) return;

	list->OnEntryRemoved(Int(it - entries.begin()));

	entries.erase(it);
}

Int ListEntry::SetMark(bool mark)
{
	marked = mark;

	if (list != nullptr) list->OnEntryChanged(this);

	return Success();
}

Bool ListEntry::IsMarked() const
{
	return marked;
}

Int ListEntry::Activate()
{
	active = true;

	if (list != nullptr) list->OnEntryChanged(this);

	return Success();
}

Int ListEntry::Deactivate()
{
	active = false;

	if (list != nullptr) list->OnEntryChanged(this);

	return Success();
}

Int ListEntry::SetText(const String &newText)
{
	text = newText;

	if (list != nullptr) list->OnEntryChanged(this);

	return Success();
}

Bool ListEntry::IsMouseOver() const
{
	return mouseOver;
}

Int ListEntry::GetItemData() const
{
	return (marked ? 1 : 0) | (active ? 0 : 2);
}

List *ListEntry::GetList() const
{
	return list;
}

/* List
 */
List::List()
{
}

List::~List()
{
	// The entries must not call back into a list that is going away.
	std::vector<ListEntry *>	 doomed;

	doomed.swap(entries);

	for (ListEntry *entry : doomed)
	{
		entry->list = nullptr;

		delete entry;
	}
}

ListEntry *List::AddEntry(const String &text)
{
	ListEntry	*entry = new ListEntry(this, text);

	entries.push_back(entry);

	OnEntryAdded(entry);

	return entry;
}

Int List::Length() const
{
	return Int(entries.size());
}

ListEntry *List::GetNthEntry(Int n) const
{
	if (n < 0 || n >= Int(entries.size())) return nullptr;

	return entries[n];
}

Int List::RemoveAllEntries()
{
	while (!entries.empty()) delete entries.back();

	return Success();
}

void List::OnEntryAdded(ListEntry *)
{
}

void List::OnEntryChanged(ListEntry *)
{
}

void List::OnEntryRemoved(Int)
{
}

/* ListBox
 */
ListBox::ListBox(const Point &iPosition, const Size &iSize) : Widget(iPosition, iSize)
{
}

ListBox::~ListBox()
{
	// The native list goes first, so that it asks nothing of entries that the
	// List part is about to delete.
	if (handle != nullptr)
	{
		HWND	 hwnd = (HWND) handle;

		handle = nullptr;
		DestroyWindow(hwnd);
	}

	mouseOverIndex = -1;
}

Int ListBox::SetFlags(Int newFlags)
{
	flags = newFlags;

	Invalidate();

	return Success();
}

Int ListBox::GetFlags() const
{
	return flags;
}

ListEntry *ListBox::GetMouseOverEntry() const
{
	return GetNthEntry(mouseOverIndex);
}

void ListBox::AddNativeEntry(ListEntry *entry)
{
	LRESULT	 index = SendMessageW((HWND) handle, LB_ADDSTRING, 0, (LPARAM) entry->GetText().Wide());

	if (index >= 0) SendMessageW((HWND) handle, LB_SETITEMDATA, index, entry->GetItemData());
}

void *ListBox::CreateNative(void *parent)
{
	HWND	 hwnd = WidgetBackend::CreateControl(this, parent, L"LISTBOX",
						     LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
						     WS_EX_CLIENTEDGE, String());

	if (hwnd == nullptr) return nullptr;

	SendMessageW(hwnd, LB_SETITEMHEIGHT, 0, Device(this, listItemHeight));

	handle = hwnd;

	for (ListEntry *entry : entries) AddNativeEntry(entry);

	return hwnd;
}

void ListBox::SyncNative()
{
	if (handle != nullptr) EnableWindow((HWND) handle, active);
}

void ListBox::OnEntryAdded(ListEntry *entry)
{
	if (handle != nullptr) AddNativeEntry(entry);
}

void ListBox::OnEntryChanged(ListEntry *entry)
{
	auto	 it = std::find(entries.begin(), entries.end(), entry);

	if (handle == nullptr || it == entries.end()) return;

	HWND		 hwnd  = (HWND) handle;
	Int		 index = Int(it - entries.begin());
	LRESULT		 length = SendMessageW(hwnd, LB_GETTEXTLEN, index, 0);
	std::wstring	 shown(length > 0 ? length + 1 : 1, L'\0');

	if (length >= 0) shown.resize(std::max<LRESULT>(0, SendMessageW(hwnd, LB_GETTEXT, index, (LPARAM) &shown[0])));

	if (String(shown) != entry->GetText())
	{
		LRESULT	 selection = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);

		SendMessageW(hwnd, LB_DELETESTRING, index, 0);
		SendMessageW(hwnd, LB_INSERTSTRING, index, (LPARAM) entry->GetText().Wide());

		if (selection == index) SendMessageW(hwnd, LB_SETCURSEL, index, 0);
	}

	SendMessageW(hwnd, LB_SETITEMDATA, index, entry->GetItemData());

	RECT	 item;

	if (SendMessageW(hwnd, LB_GETITEMRECT, index, (LPARAM) &item) != LB_ERR) InvalidateRect(hwnd, &item, TRUE);
}

void ListBox::OnEntryRemoved(Int index)
{
	if (index == mouseOverIndex) mouseOverIndex = -1;
	else if (index < mouseOverIndex) mouseOverIndex--;

	if (handle != nullptr) SendMessageW((HWND) handle, LB_DELETESTRING, index, 0);
}

void ListBox::ToggleEntry(Int index)
{
	ListEntry	*entry = GetNthEntry(index);

	if (!(flags & LF_MULTICHECKBOX) || entry == nullptr || !active || !entry->IsActive()) return;

	entry->SetMark(!entry->IsMarked());

	entry->onAction.Emit();
	onAction.Emit();
}

void ListBox::SetMouseOver(Int index)
{
	if (GetNthEntry(index) == nullptr) index = -1;

	if (index == mouseOverIndex) return;

	ListEntry	*left	 = GetNthEntry(mouseOverIndex);
	ListEntry	*entered = GetNthEntry(index);

	// Both states are settled before anyone hears of either change, so a
	// handler that scans the entries sees exactly one (or none) under the pointer.
	mouseOverIndex = index;

	if (left != nullptr)	left->mouseOver	   = false;
	if (entered != nullptr)	entered->mouseOver = true;

	if (left != nullptr)	left->onMouseOut.Emit();
	if (entered != nullptr)	entered->onMouseOver.Emit();
}

Bool ListBox::Notify(UnsignedInt message, std::uintptr_t, std::intptr_t lParam, std::intptr_t &result)
{
	if (message == WM_MEASUREITEM)
	{
		((MEASUREITEMSTRUCT *) lParam)->itemHeight = Device(this, listItemHeight);

		result = TRUE;

		return true;
	}

	if (message != WM_DRAWITEM) return false;

	DRAWITEMSTRUCT	*item  = (DRAWITEMSTRUCT *) lParam;
	ListEntry	*entry = GetNthEntry(Int(item->itemID));
	HDC		 dc    = item->hDC;
	RECT		 rect  = item->rcItem;
	bool		 selected = (item->itemState & ODS_SELECTED) != 0;

	result = TRUE;

	if (entry == nullptr)
	{
		if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);

		return true;
	}

	FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

	RECT	 textRect = rect;

	textRect.left += Device(this, 3);

	if (flags & LF_MULTICHECKBOX)
	{
		RECT	 box = { rect.left + Device(this, 2), rect.top + (rect.bottom - rect.top - Device(this, checkSize)) / 2, 0, 0 };

		box.right  = box.left + Device(this, checkSize);
		box.bottom = box.top + Device(this, checkSize);

		UINT	 state = DFCS_BUTTONCHECK | (entry->IsMarked() ? DFCS_CHECKED : 0) | (entry->IsActive() ? 0 : DFCS_INACTIVE);

		DrawFrameControl(dc, &box, DFC_BUTTON, state);

		textRect.left = box.right + Device(this, 4);
	}

	HGDIOBJ	 old = SelectObject(dc, WidgetBackend::DefaultFont(WidgetBackend::ScaleOf(this).GetDpi()));

	SetBkMode(dc, TRANSPARENT);
	SetTextColor(dc, GetSysColor(!entry->IsActive() ? COLOR_GRAYTEXT : (selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
	DrawTextW(dc, entry->GetText().Wide(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

	SelectObject(dc, old);

	if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);

	return true;
}

Bool ListBox::ControlMessage(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result)
{
	HWND	 hwnd = (HWND) handle;

	switch (message)
	{
		case WM_LBUTTONDOWN:
		case WM_LBUTTONDBLCLK:
			{
				LRESULT	 hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lParam);

				// The high word is set when the point lies below the last entry.
				if (HIWORD(hit) == 0) ToggleEntry(LOWORD(hit));
			}

			// The list still selects the entry as usual.
			return false;
		case WM_KEYDOWN:
			if (wParam != VK_SPACE) return false;

			ToggleEntry(Int(SendMessageW(hwnd, LB_GETCURSEL, 0, 0)));

			result = 0;

			return true;
		case WM_CHAR:
			// The space already toggled; the list would search for it.
			if (wParam != L' ') return false;

			result = 0;

			return true;
		case WM_MOUSEMOVE:
			{
				LRESULT	 hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lParam);

				SetMouseOver(HIWORD(hit) == 0 ? Int(LOWORD(hit)) : -1);
			}

			return false;
		case WM_MOUSELEAVE:
			SetMouseOver(-1);

			return false;
	}

	return false;
}
