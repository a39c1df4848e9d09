#include "gui_test_support.h"

using namespace smooth;
using namespace smooth::GUI;

TEST(MultiMonitor, ActiveMonitorIsTheScreen)
{
	Rect	 active	 = smooth::System::MultiMonitor::GetActiveMonitorMetrics();
	Rect	 primary = smooth::System::MultiMonitor::GetPrimaryMonitorMetrics();

	EXPECT_EQ(active, primary);
	EXPECT_EQ(primary.right - primary.left, GetSystemMetrics(SM_CXSCREEN));
	EXPECT_EQ(primary.bottom - primary.top, GetSystemMetrics(SM_CYSCREEN));
}
