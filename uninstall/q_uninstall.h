// The uninstaller program: its application object and Main.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	// The removal run's application: its constructor removes what the
	// uninstall script in the working folder lists and reports; it opens no
	// window.
	class qUninstall : public smooth::GUI::Application
	{
		public:
					 qUninstall();
			virtual		~qUninstall();
			qUninstall(const qUninstall &) = delete;
			qUninstall &operator =(const qUninstall &) = delete;
	};

	// With a command line ending in "--temp": the removal (qUninstall); else
	// the first instance in the installation folder, with the options /S,
	// /LOG= and /? (anything else is refused). Returns an exit code of
	// command_line.h: 0 when the removal runs (or the user said No).
	smooth::Int	 Main();

	// The whole program behind wWinMain (the shared start-up glue around Main).
	int		 RunUninstaller(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode);
}
