// Helpers of the GUI tests: the platform started once per test program,
// message pumping and a shown test window.
#pragma once

#include <smooth/gui.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

namespace guitest
{
	// Dispatches every message waiting for this thread.
	void Pump();

	// Pumps until cond holds or ms have passed; returns cond's last result.
	bool PumpUntil(const std::function<bool()> &cond, DWORD ms = 2000);

	// The position of a control relative to its top-level window.
	RECT ControlRect(HWND control);

	// A shown 300 by 240 window with a title bar at (40, 40).
	class WindowTest : public ::testing::Test
	{
		protected:
			void SetUp() override;
			void TearDown() override;

			smooth::GUI::Window	*window	  = nullptr;
			smooth::GUI::Titlebar	*titlebar = nullptr;
	};
}
