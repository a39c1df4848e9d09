// smooth::GUI::EditBox, a single-line text field.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// A single-line edit field. maxLength limits what the user can type (0:
		// unlimited); text set by the program is not cut. A 0 height becomes 20.
		// GetText returns what the field holds; called off the window's thread it
		// returns the last text the window thread saw (kept on every change), so
		// a worker thread never waits for the window thread.
		class SMOOTH_API EditBox : public Widget
		{
			public:
						 EditBox(const String &text, const Point &position, const Size &size, Int maxLength);
						~EditBox();

				Int		 SetText(const String &text) override;
				String		 GetText() const override;
				Int		 GetMaxLength() const;
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				Bool		 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;

				// The text as the control shows it (line breaks become CR LF).
				virtual String	 ToControlText(const String &text) const;
				void		 ReadBack();

				Int		 maxLength;
				Bool		 settingText = false;
				Bool		 userChanged = false;
		};
	}
}
