// smooth::GUI::MultiEdit, a multi-line text box with a vertical scroll bar.
#pragma once

#include "editbox.h"

namespace smooth
{
	namespace GUI
	{
		// A multi-line edit box. A deactivated MultiEdit is read-only (grey
		// background) but can still be scrolled and selected. Lone LF and lone CR
		// line breaks in the text are shown as line breaks; GetText returns the
		// text as set until the user edits it.
		class SMOOTH_API MultiEdit : public EditBox
		{
			public:
						 MultiEdit(const String &text, const Point &position, const Size &size, Int maxLength);
						~MultiEdit();
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				String		 ToControlText(const String &text) const override;
		};
	}
}
