// smooth::GUI::OptionBox, a radio button bound to a long and a value.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// Option boxes bound to the same variable form one group: a box is
		// selected while the variable equals its value; choosing it (click,
		// BM_CLICK) stores the value, updates every box of the group and emits
		// onAction. A 0 height becomes 17, a 0 width the text's width plus the
		// button. A null variable is allowed (the box is then never selected).
		class SMOOTH_API OptionBox : public Widget
		{
			public:
						 OptionBox(const String &text, const Point &position, const Size &size, long *variable, long value);
						~OptionBox();

				// Shows whether the variable equals the value. Success().
				Int		 Update();
				Bool		 IsSelected() const;
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				Bool		 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
			private:
				long		*variable;
				long		 value;
		};
	}
}
