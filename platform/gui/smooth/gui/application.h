// smooth::GUI::Application, the program's message loop and its windows.
#pragma once

#include "window.h"

#include <functional>

namespace smooth
{
	namespace GUI
	{
		// The base of a program's main object. Windows are added to it; Loop
		// shows them and runs the message loop.
		class SMOOTH_API Application : public Widget
		{
			public:
						 Application(const String &name = String());
						~Application();

				// Adds a Window (Error() for anything else or a null pointer).
				Int		 Add(Widget *window) override;

				// Shows every added window whose visible flag is set (in order of
				// addition), then dispatches messages until WM_QUIT arrives (posted,
				// or sent to one of our windows) or until no added window that is not
				// a backdrop remains undestroyed. Returns the WM_QUIT exit code, else 0.
				// Returns at once when there is no such window.
				Int		 Loop();

				// The current folder at the call / the program file's folder; both
				// end with a backslash. Empty on failure.
				static String	 GetStartupDirectory();
				static String	 GetApplicationDirectory();
		};

		// A quit request (WM_QUIT) that a wait took out of the queue. It
		// belongs to the message loop, so the wait does not end on it but
		// hands it back for the caller to post again once it can end.
		struct SMOOTH_API QuitRequest
		{
			Bool	 taken = false;
			Int	 code  = 0;	// the exit code it carried
		};

		// Keeps this thread's windows working while it waits for something
		// else (their own message loop is not running): in each pass takes at
		// most one message of this thread, translates and dispatches it, then
		// sleeps pause milliseconds; after each pass asks done, and returns
		// when it says true (so there is at least one pass). Tab and the
		// arrow keys do not move the focus here, as only Loop does that. A
		// quit request taken on the way is returned (the last one, when there
		// were several); none when taken is false.
		SMOOTH_API QuitRequest	 PumpMessagesUntil(const std::function<Bool()> &done, Int pause = 10);

		// The same while thread runs: returns after the first pass in which
		// the thread is no longer running (finished, or never started).
		SMOOTH_API QuitRequest	 PumpMessagesWhileRunning(const Threads::Thread &thread, Int pause = 10);
	}
}
