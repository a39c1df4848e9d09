#include "gui_internal.h"

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	// In the 96-DPI pixels that windows are placed in.
	Rect MonitorRect(HMONITOR monitor)
	{
		MONITORINFO	 info = {};

		info.cbSize = sizeof(info);

		if (monitor == nullptr || !GetMonitorInfoW(monitor, &info))
		{
			return Scale(WidgetBackend::SystemDpi()).ToLogicalCover(Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
		}

		// A window placed there takes the monitor's DPI.
		return Scale(WidgetBackend::MonitorDpi(monitor)).ToLogicalCover(Rect(info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom));
	}
}

Rect smooth::System::MultiMonitor::GetActiveMonitorMetrics()
{
	HWND	 active = GetActiveWindow();

	if (active == nullptr) active = GetForegroundWindow();
	if (active == nullptr) return GetPrimaryMonitorMetrics();

	return MonitorRect(MonitorFromWindow(active, MONITOR_DEFAULTTOPRIMARY));
}

Rect smooth::System::MultiMonitor::GetPrimaryMonitorMetrics()
{
	POINT	 origin = { 0, 0 };

	return MonitorRect(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
}
