#include "stub_ui.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

using namespace Tolvane;

// The progress window opens only once unpacking has taken longer than the
// delay, carries the title from the resources, follows the count and is
// gone when closed.
TEST(StubUi, ProgressWindowOnlyAfterTheDelay)
{
	const wchar_t *kClass = L"TolvaneBundleProgress";
	StubUi ui(GetModuleHandleW(nullptr));

	ui.Progress(0, 4000, 1000);
	ui.Progress(100, 4000, 1000);
	EXPECT_EQ(FindWindowW(kClass, nullptr), nullptr) << "shown before the delay";

	Sleep(1100);
	ui.Progress(1000, 4000, 1000);
	const HWND window = FindWindowW(kClass, nullptr);
	ASSERT_NE(window, nullptr);
	EXPECT_TRUE(IsWindowVisible(window));
	wchar_t title[64] = {0};
	GetWindowTextW(window, title, 64);
	EXPECT_EQ(std::wstring(title), L"Setup");
	const HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
	ASSERT_NE(bar, nullptr);
	EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 250);
	ui.Progress(4000, 4000, 1000);
	EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);

	// Closing by the user does not stop the unpacking half-way.
	SendMessageW(window, WM_CLOSE, 0, 0);
	EXPECT_TRUE(IsWindow(window));

	ui.CloseProgress();
	EXPECT_FALSE(IsWindow(window));
}
