#include "gui_internal.h"

#include <shlobj.h>

using namespace smooth;
using namespace smooth::GUI;
using namespace smooth::GUI::Dialogs;

namespace
{
	QuickMessage::Responder	 messageResponder = nullptr;
	DirSelection::Responder	 dirResponder	  = nullptr;

	HWND OwnerOf(Window *parent)
	{
		if (parent != nullptr && parent->GetSystemWindow() != nullptr) return (HWND) parent->GetSystemWindow();

		return GetActiveWindow();
	}

	int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM, LPARAM data)
	{
		const wchar_t	*preset = (const wchar_t *) data;

		if (message == BFFM_INITIALIZED && preset != nullptr && preset[0] != 0) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, (LPARAM) preset);

		return 0;
	}
}

/* Dialog
 */
Dialog::Dialog()
{
}

Dialog::~Dialog()
{
}

Int Dialog::SetCaption(const String &newCaption)
{
	caption = newCaption;

	return Success();
}

const String &Dialog::GetCaption() const
{
	return caption;
}

Int Dialog::SetParentWindow(Window *newParent)
{
	parent = newParent;

	return Success();
}

Window *Dialog::GetParentWindow() const
{
	return parent;
}

/* QuickMessage
 */
QuickMessage::QuickMessage(const String &iText, const String &iCaption, Int iButtons, Int iIcon) : text(iText), buttons(iButtons), icon(iIcon)
{
	caption = iCaption;
}

QuickMessage::~QuickMessage()
{
}

const String &QuickMessage::GetText() const
{
	return text;
}

Int QuickMessage::GetButtons() const
{
	return buttons;
}

Int QuickMessage::GetIcon() const
{
	return icon;
}

UnsignedInt QuickMessage::GetStyle() const
{
	/* The buttons may name the one pressed by Enter (MB_DEFBUTTON2, ...). */
	UnsignedInt	 style = UnsignedInt(buttons) & (MB_TYPEMASK | MB_DEFMASK);

	switch (icon)
	{
		case 32513: style |= MB_ICONHAND;	 break;	// IDI_HAND
		case 32514: style |= MB_ICONQUESTION;	 break;	// IDI_QUESTION
		case 32515: style |= MB_ICONEXCLAMATION; break;	// IDI_EXCLAMATION
		case 32516: style |= MB_ICONASTERISK;	 break;	// IDI_ASTERISK
		default:
			// Already an MB_ICON code (or 0 for none); anything else shows no icon.
			if ((UnsignedInt(icon) & ~UnsignedInt(MB_ICONMASK)) == 0) style |= UnsignedInt(icon);

			break;
	}

	return style;
}

Int QuickMessage::ShowDialog()
{
	if (messageResponder != nullptr) return messageResponder(text, caption, buttons, icon);

	HWND		 owner = OwnerOf(parent);
	UnsignedInt	 style = GetStyle();

	// Without an owner the box is modal for the whole thread instead.
	if (owner == nullptr) style |= MB_TASKMODAL;

	return MessageBoxW(owner, text.Wide(), caption.Wide(), style);
}

void QuickMessage::SetTestResponder(Responder responder)
{
	messageResponder = responder;
}

/* DirSelection
 */
DirSelection::DirSelection()
{
}

DirSelection::~DirSelection()
{
}

Int DirSelection::SetDirName(const String &newDirName)
{
	dirName = newDirName;

	return Success();
}

const String &DirSelection::GetDirName() const
{
	return dirName;
}

Int DirSelection::ShowDialog()
{
	if (dirResponder != nullptr)
	{
		String	 name	= dirName;
		Int	 result	= dirResponder(name);

		if (result == Success()) dirName = name;

		return result;
	}

	wchar_t		 display[MAX_PATH] = { 0 };
	std::wstring	 preset = dirName.WideString();

	// The chooser preselects only folders that exist, spelt without a
	// trailing backslash (except for a drive root).
	if (preset.size() > 3 && preset.back() == L'\\') preset.pop_back();

	BROWSEINFOW	 info = {};

	info.hwndOwner	    = OwnerOf(parent);
	info.pszDisplayName = display;
	info.lpszTitle	    = caption.Wide();
	info.ulFlags	    = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
	info.lpfn	    = &BrowseCallback;
	info.lParam	    = (LPARAM) preset.c_str();

	LPITEMIDLIST	 chosen = SHBrowseForFolderW(&info);

	if (chosen == nullptr) return Error();

	wchar_t		 path[MAX_PATH] = { 0 };
	BOOL		 ok = SHGetPathFromIDListW(chosen, path);

	CoTaskMemFree(chosen);

	// A virtual folder has no path: that is no choice of a target folder.
	if (!ok || path[0] == 0) return Error();

	dirName = String(path);

	return Success();
}

void DirSelection::SetTestResponder(Responder responder)
{
	dirResponder = responder;
}
