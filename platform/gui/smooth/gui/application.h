// smooth::GUI::Application, the program's message loop and its windows.
#pragma once

#include "window.h"

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
	}
}
