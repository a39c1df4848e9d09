// Texts shown on the pages.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	// text with every "%VERSION%" replaced by the configuration's appVersion
	// (text unchanged when no configuration is loaded).
	smooth::String PageText(const smooth::String &text);
}

namespace Tolvane
{
	// The size of a check box or option box labelled label: width at least
	// width, wider when the label in the system's font needs more room
	// (the box and its gap included); height 0, the control's own.
	smooth::GUI::Size LabelSize(const smooth::String &label, smooth::Int width);
}
