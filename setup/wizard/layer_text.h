// A page that shows only its text: the welcome, summary, installation and
// finish pages. Also what the pages share of their layout.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerText : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;

			// Shows text as given (the caller fills in the version) where the
			// pages' texts stand, right of the wizard's icon.
					 LayerText(const smooth::String &text);
			virtual		~LayerText();
			LayerText(const LayerText &) = delete;
			LayerText &operator =(const LayerText &) = delete;
	};

	// The size of a check box or option box labelled label: width at least
	// width, wider when the label in the system's font needs more room
	// (the box and its gap included); height 0, the control's own.
	smooth::GUI::Size LabelSize(const smooth::String &label, smooth::Int width);
}
