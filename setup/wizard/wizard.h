// The installer's main object: the application, its two windows, the widgets
// shared by all pages, the nine pages, navigation, painting and the
// installation run's entry.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"
#include "command_line.h"
#include "install_run.h"
#include "startup.h"

#include <vector>

namespace Tolvane
{
	class LayerWelcome;
	class LayerLicense;
	class LayerDirectory;
	class LayerComponents;
	class LayerLinks;
	class LayerSummary;
	class LayerInstall;
	class LayerBye;
	class LayerReboot;

	// Asks the system to end the session (flags and reason as ExitWindowsEx
	// takes them); returns non-zero when the request was accepted. Finish with
	// a restart calls it through this pointer, which normally points at the
	// system call; tests point it elsewhere so that nothing restarts.
	typedef int (*ExitWindowsFunction)(unsigned int flags, unsigned long reason);
	extern ExitWindowsFunction exitWindowsEx;

	// The pixel row colour of the backdrop: blue value of row y for a backdrop
	// of height h, 255 at the top row and 0 at the bottom edge and below it.
	// Rows above the top (negative y) stay at 255 instead of wrapping round,
	// and a backdrop without height (h <= 0) is black.
	smooth::Int BackdropBlue(smooth::Int y, smooth::Int h);

	class Tolvane : public smooth::GUI::Application
	{
		public:
			long				 currentPage;
			long				 firstPage;
			long				 lastPage;
			long				 installPage;
			long				 rebootChoice;

			smooth::GUI::Bitmap		*logoBitmap;
			smooth::GUI::Bitmap		*iconBitmap;

			smooth::GUI::Window		*backgroundWindow;
			smooth::GUI::Window		*wizardWindow;
			smooth::GUI::Titlebar		*titlebar;
			smooth::GUI::Layer		*frameLayer;
			smooth::GUI::Divider		*headerDivider;
			smooth::GUI::Divider		*footerDivider;

			smooth::GUI::Button		*backButton;
			smooth::GUI::Button		*cancelButton;
			smooth::GUI::Button		*nextButton;

			smooth::GUI::Image		*logoImage;
			smooth::GUI::Image		*iconImage;

			LayerWelcome			*layerWelcome;
			LayerLicense			*layerLicense;
			LayerDirectory			*layerDirectory;
			LayerComponents			*layerComponents;
			LayerLinks			*layerLinks;
			LayerSummary			*layerSummary;
			LayerInstall			*layerInstall;
			LayerBye			*layerBye;
			LayerReboot			*layerReboot;

			smooth::GUI::Text		*currentFileText;
			smooth::GUI::Progressbar	*currentFileBar;
			smooth::GUI::Text		*totalText;
			smooth::GUI::Progressbar	*totalBar;

			smooth::Threads::Thread		*installThread;

			// Reads setup.xml from the current folder into a new configuration
			// record (published in config), builds the windows and pages and
			// leaves the first enabled page visible. Nothing fails here: a
			// missing script, logo or licence leaves defaults and empty images.
			// When the script enables no page at all there is nothing to show:
			// the windows are built but not handed to the application, and
			// HasPages() reports false so that Main ends without a loop.
						 Tolvane();
			virtual			~Tolvane();
			Tolvane(const Tolvane &) = delete;
			Tolvane &operator =(const Tolvane &) = delete;

			// False when the setup script enables no page (nothing to show).
			bool			 HasPages() const	{ return currentPage >= 1; }
			// True while the installation run is going (the pump in OnNext).
			bool			 IsInstalling() const	{ return installing; }

			// Next: on the last page closes the wizard (rebootChoice 2) or asks
			// the system to restart through exitWindowsEx (its refusal leaves
			// the wizard as it is); elsewhere goes to the next enabled page,
			// running the installation first when that page is installPage.
			// The run pumps the window's messages until InstallThread returns;
			// a quit request taken meanwhile is handed back to the loop.
			void			 OnNext();
			// Back: to the nearest enabled page below (pages 2 to 6), or from
			// the restart page to the finish page; anywhere else, and when there
			// is no such page, nothing changes.
			void			 OnBack();
			// Cancel: on the licence page the "Info" message, whose OK ends the
			// message loop at once; elsewhere a close request (QueryExit).
			void			 OnCancel();
			// Close query of the wizard window: refused while the installation
			// runs (its widgets are in use); granted without a question on the
			// last page; else the exit question, whose Yes also closes the
			// backdrop.
			smooth::Bool		 QueryExit();
			// All four do nothing while the installation runs or when there is
			// no page.

			// Paint handlers of the backdrop and of the wizard window.
			void			 PaintBackground();
			void			 PaintHeaderBox();

			// Raw messages of the backdrop: activating it activates the wizard.
			void			 ActivateWizard(long message, long wParam, long lParam);

			// Body of the installation thread: the installation run with what
			// the pages hold, its failures kept in installFailures. Always
			// Success().
			smooth::Int		 InstallThread(smooth::Threads::Thread *thread);

			// The pages' state as the installation run needs it.
			InstallChoices		 ReadChoices() const;

			// What failed in the installation run, in order; the wizard reports
			// it in one message box before the page after the run.
			std::vector<InstallFailure> installFailures;

			// What the run recorded, for taking it back after a failure.
			RemovalList		 installRecorded;

			// Where the run writes its steps (/LOG=); none when null.
			InstallLog		*installLog = nullptr;

			// The page object of a page number 1 to 8, else null.
			smooth::GUI::Layer	*GetPage(long page) const;
		private:
			// The common tail of OnNext and OnBack once currentPage has changed;
			// finishRule sets "Finish" on the last page.
			void			 ShowCurrentPage(bool finishRule);
			// Ends the message loop at once, without the exit question.
			void			 EndMessageLoop();

			bool			 installing = false;
	};

	// Runs the installer: creates the main object, runs the message loop while
	// there is a page to show, releases the object. Returns 0.
	smooth::Int Main();

	// The whole program behind WinMain: stores the start-up values, initialises
	// the platform, checks its version, runs Main and frees the platform.
	// Returns -1 when the user stops at the version warning, else Main's result.
	int RunInstaller(void *instance, void *previousInstance, const char *commandLine, int showMode);
}
