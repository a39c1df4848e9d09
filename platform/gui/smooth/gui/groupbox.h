// smooth::GUI::GroupBox, a labelled frame around other widgets.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// An etched frame with its text in the top edge. It only draws: widgets
		// placed over it are added to the same container, not to the group box.
		class SMOOTH_API GroupBox : public Widget
		{
			public:
						 GroupBox(const String &text, const Point &position, const Size &size);
						~GroupBox();
			protected:
				void		*CreateNative(void *parent) override;
				Bool		 ControlMessage(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
		};
	}
}
