#include "gui_test_support.h"

namespace
{
	class PlatformEnvironment : public ::testing::Environment
	{
		public:
			void SetUp() override	 { ASSERT_EQ(smooth::Init(), smooth::Success()); }
			void TearDown() override { smooth::Free(); }
	};

	::testing::Environment *const platform = ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);
}

void guitest::Pump()
{
	MSG	 msg;

	while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
	{
		TranslateMessage(&msg);
		DispatchMessageW(&msg);
	}
}

bool guitest::PumpUntil(const std::function<bool()> &cond, DWORD ms)
{
	DWORD	 start = GetTickCount();

	for (;;)
	{
		Pump();

		if (cond()) return true;
		if (GetTickCount() - start > ms) return false;

		Sleep(5);
	}
}

RECT guitest::ControlRect(HWND control)
{
	RECT	 rect;

	GetWindowRect(control, &rect);
	MapWindowPoints(nullptr, GetAncestor(control, GA_ROOT), (POINT *) &rect, 2);

	return rect;
}

void guitest::WindowTest::SetUp()
{
	using namespace smooth::GUI;

	window	 = new Window("Test window", Point(40, 40), Size(300, 240));
	titlebar = new Titlebar(TB_CLOSEBUTTON);

	window->Add(titlebar);

	ASSERT_EQ(window->Show(), smooth::Success());

	Pump();
}

void guitest::WindowTest::TearDown()
{
	smooth::Object::DeleteObject(window);
	smooth::Object::DeleteObject(titlebar);

	Pump();
}
