#include "gui_test_support.h"

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	HWND	 quitTarget = nullptr;

	void CALLBACK SendQuit(HWND, UINT, UINT_PTR id, DWORD)
	{
		KillTimer(nullptr, id);

		// As the installer's licence page does: synchronously, to the window.
		SendMessageW(quitTarget, WM_QUIT, 7, 0);
	}
}

TEST(ApplicationLoop, EndsWhenTheWizardGoesWhileTheBackdropStays)
{
	Application	 application;
	Window		*backdrop = new Window("Backdrop", Point(-3, -3), Size(300, 200));
	Window		*wizard	  = new Window("Wizard", Point(40, 40), Size(200, 150));

	EXPECT_EQ(application.Add(backdrop), Success());
	EXPECT_EQ(application.Add(wizard), Success());
	EXPECT_EQ(application.Add(wizard), Error());
	EXPECT_EQ(application.Add(nullptr), Error());

	backdrop->SetFlags(WF_BACKDROP);
	wizard->SetFlags(WF_APPTOPMOST);

	bool	 asked = false;

	wizard->doQuit.Connect(std::function<Bool()>([&] { asked = true; return true; }));

	PostMessageW((HWND) wizard->GetSystemWindow(), WM_CLOSE, 0, 0);

	EXPECT_EQ(application.Loop(), 0);
	EXPECT_TRUE(asked);
	EXPECT_TRUE(wizard->IsDestroyed());
	EXPECT_FALSE(backdrop->IsDestroyed());
	EXPECT_TRUE(IsWindowVisible((HWND) backdrop->GetSystemWindow()));

	Object::DeleteObject(wizard);
	Object::DeleteObject(backdrop);
}

TEST(ApplicationLoop, EndsWithTheCodeOfAQuitSentToAWindow)
{
	Application	 application;
	Window		*window = new Window("Main", Point(40, 40), Size(200, 150));

	application.Add(window);

	quitTarget = (HWND) window->GetSystemWindow();
	SetTimer(nullptr, 0, 10, &SendQuit);

	EXPECT_EQ(application.Loop(), 7);
	EXPECT_FALSE(window->IsDestroyed());

	Object::DeleteObject(window);
}

TEST(ApplicationLoop, ReturnsAtOnceWithoutAMainWindow)
{
	Application	 application;
	Window		*backdrop = new Window("Backdrop", Point(0, 0), Size(100, 100));
	Window		*gone	  = new Window("Gone", Point(0, 0), Size(100, 100));

	backdrop->SetFlags(WF_BACKDROP);
	gone->Close();

	application.Add(backdrop);
	application.Add(gone);

	EXPECT_EQ(application.Loop(), 0);

	// A window deleted before the application leaves no trace in it.
	Object::DeleteObject(gone);
	Object::DeleteObject(backdrop);

	EXPECT_EQ(application.Loop(), 0);
}

TEST(ApplicationFolders, EndWithABackslash)
{
	String	 startup = Application::GetStartupDirectory();
	String	 program = Application::GetApplicationDirectory();
	wchar_t	 current[MAX_PATH];
	wchar_t	 module[MAX_PATH];

	GetCurrentDirectoryW(MAX_PATH, current);
	GetModuleFileNameW(nullptr, module, MAX_PATH);

	EXPECT_TRUE(startup.EndsWith("\\"));
	EXPECT_TRUE(program.EndsWith("\\"));
	EXPECT_TRUE(String(current).StartsWith(startup.Head(startup.Length() - 1)));
	EXPECT_TRUE(String(module).StartsWith(program));
	EXPECT_EQ(String(module).SubString(program.Length(), 1000).Find("\\"), -1);
}

TEST(ApplicationLoop, TabMovesTheFocusBetweenControls)
{
	Application	 application;
	Window		*window = new Window("Keys", Point(40, 40), Size(300, 200));
	Button		*first	= new Button("First", Bitmap(), Point(10, 10), Size(0, 0));
	Button		*second	= new Button("Second", Bitmap(), Point(10, 40), Size(0, 0));
	HWND		 focusAtClose = nullptr;

	window->Add(first);
	window->Add(second);
	application.Add(window);

	window->doQuit.Connect(std::function<Bool()>([&] { focusAtClose = GetFocus(); return true; }));

	window->Show();
	SetFocus((HWND) first->GetHandle());

	HWND	 secondHwnd = (HWND) second->GetHandle();

	PostMessageW((HWND) first->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
	PostMessageW((HWND) window->GetSystemWindow(), WM_CLOSE, 0, 0);

	EXPECT_EQ(application.Loop(), 0);
	EXPECT_EQ(focusAtClose, secondHwnd);

	Object::DeleteObject(window);
	Object::DeleteObject(first);
	Object::DeleteObject(second);
}

TEST(PumpMessages, DispatchesOneMessageAPassAndHandsBackTheQuitRequest)
{
	Window	*window = new Window("Pump", Point(40, 40), Size(200, 150));
	HWND	 handle = (HWND) window->GetSystemWindow();
	int	 seen	= 0;
	int	 passes	= 0;

	window->onEvent.Connect(std::function<void(long, long, long)>([&](long message, long, long) { if (message == long(WM_APP + 5)) seen++; }));

	guitest::Pump();

	for (int i = 0; i < 3; i++) PostMessageW(handle, WM_APP + 5, 0, 0);

	EXPECT_FALSE(PumpMessagesUntil([&] { return ++passes == 1; }, 1).taken);
	EXPECT_EQ(seen, 1);

	EXPECT_FALSE(PumpMessagesUntil([&] { return ++passes == 3; }, 1).taken);
	EXPECT_EQ(seen, 3);

	/* The quit request comes after what was posted before it, and does
	 * not end the wait.
	 */
	PostMessageW(handle, WM_APP + 5, 0, 0);
	PostQuitMessage(9);

	passes = 0;

	QuitRequest	 quit = PumpMessagesUntil([&] { return ++passes == 3; }, 1);

	EXPECT_EQ(seen, 4);
	EXPECT_TRUE(quit.taken);
	EXPECT_EQ(quit.code, 9);
	EXPECT_EQ(passes, 3);

	Object::DeleteObject(window);
}

namespace
{
	Int Sleeper(Threads::Thread *)
	{
		Sleep(150);

		return Success();
	}
}

TEST(PumpMessages, WaitsForTheThreadAndNotForOneNeverStarted)
{
	Threads::Thread	 thread;

	thread.threadMain.Connect(&Sleeper);

	ASSERT_EQ(thread.Start(), Success());

	DWORD	 start = GetTickCount();

	EXPECT_FALSE(PumpMessagesWhileRunning(thread).taken);
	EXPECT_EQ(thread.GetStatus(), Threads::THREAD_FINISHED);
	EXPECT_GE(GetTickCount() - start, 100u);

	Threads::Thread	 idle;

	start = GetTickCount();

	EXPECT_FALSE(PumpMessagesWhileRunning(idle).taken);
	EXPECT_LT(GetTickCount() - start, 100u);
}
