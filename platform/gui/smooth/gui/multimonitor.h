// smooth::System::MultiMonitor: the rectangles of the screen's monitors.
#pragma once

#include <smooth.h>

namespace smooth
{
	namespace System
	{
		class SMOOTH_API MultiMonitor
		{
			public:
				// The monitor showing the active window (the primary monitor when
				// no window is active), in virtual-screen coordinates, in the same
				// 96-DPI pixels that Window positions and sizes are given in.
				static GUI::Rect GetActiveMonitorMetrics();
				static GUI::Rect GetPrimaryMonitorMetrics();
		};
	}
}
