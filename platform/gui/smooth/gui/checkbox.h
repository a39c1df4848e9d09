// smooth::GUI::CheckBox, a check box bound to a bool.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// Shows the bound bool as its tick and stores every user change (click,
		// BM_CLICK, space) into it, then emits onAction. The tick is read from
		// the variable on creation, Show, Activate, Deactivate and Update, so a
		// program that sets the variable directly calls one of those. A null
		// variable is allowed: the box then keeps its own state. A 0 height
		// becomes 17, a 0 width the text's width plus the box.
		class SMOOTH_API CheckBox : public Widget
		{
			public:
						 CheckBox(const String &text, const Point &position, const Size &size, bool *variable);
						~CheckBox();

				// Shows the variable's current value. Success().
				Int		 Update();
				Bool		 IsChecked() const;
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				Bool		 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
			private:
				bool		*variable;
				bool		 state = false;
		};
	}
}
