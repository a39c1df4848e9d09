// smooth::GUI::Dialogs: message boxes and the folder chooser.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		class Window;

		namespace Dialogs
		{
			// Base of the modal dialogs. Release them with DeleteObject.
			class SMOOTH_API Dialog : public Object
			{
				public:
							 Dialog();
							~Dialog();

					Int		 SetCaption(const String &caption);
					const String	&GetCaption() const;
					// The dialog's owner; null (default) means the active window.
					Int		 SetParentWindow(Window *parent);
					Window		*GetParentWindow() const;

					virtual Int	 ShowDialog() = 0;
				protected:
					String		 caption;
					Window		*parent = nullptr;
			};

			// A Windows message box. buttons are MB_ button codes (0 OK, 1 OK/Cancel,
			// 4 Yes/No, ...); icon is an IDI_ number (32513 stop, 32514 question,
			// 32515 exclamation, 32516 information), an MB_ICON code, or 0 for none.
			class SMOOTH_API QuickMessage : public Dialog
			{
				public:
							 QuickMessage(const String &text, const String &caption, Int buttons, Int icon);
							~QuickMessage();

					// Shows the box modally (owner: the parent window, else the
					// active window) and returns the button chosen (IDOK 1, IDCANCEL 2,
					// IDYES 6, IDNO 7 ...), or 0 when the box cannot be shown. With a
					// test responder set, returns the responder's answer instead.
					Int		 ShowDialog() override;

					const String	&GetText() const;
					Int		 GetButtons() const;
					Int		 GetIcon() const;
					// The MB_ style the box is shown with.
					UnsignedInt	 GetStyle() const;

					// Test hook: when set, ShowDialog calls responder instead of
					// showing a box. Null restores real boxes. Process-wide.
					typedef Int (*Responder)(const String &text, const String &caption, Int buttons, Int icon);
					static void	 SetTestResponder(Responder responder);
				private:
					String		 text;
					Int		 buttons;
					Int		 icon;
			};

			// The shell's folder chooser (file-system folders only).
			class SMOOTH_API DirSelection : public Dialog
			{
				public:
							 DirSelection();
							~DirSelection();

					// The folder preselected when the dialog opens, and afterwards the
					// folder chosen.
					Int		 SetDirName(const String &dirName);
					const String	&GetDirName() const;

					// Shows the chooser modally; Success() when a folder was chosen
					// (GetDirName then returns it), Error() when the user cancelled or
					// the dialog could not be shown (the name is then unchanged).
					Int		 ShowDialog() override;

					// Test hook: when set, ShowDialog calls responder with the preset
					// name instead of showing the dialog; the responder may change the
					// name and returns Success() or Error(). On Error() the name stays
					// as it was. Null restores the real dialog.
					typedef Int (*Responder)(String &dirName);
					static void	 SetTestResponder(Responder responder);
				private:
					String		 dirName;
			};
		}
	}
}
