// The installer's wizard on Windows: the application, its two windows, the
// widgets shared by all pages and the nine pages. What the window shows and
// what each button does is the WizardFlow's (wizard_model.h); this class
// forwards the buttons and the close request to it, shows its view, asks
// its questions and runs the installation on its own thread.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"
#include "install_run.h"
#include "wizard_model.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Tolvane
{
	class LayerText;
	class LayerLicense;
	class LayerDirectory;
	class LayerComponents;
	class LayerLinks;
	class LayerReboot;

	// Asks the system to end the session (flags and reason as ExitWindowsEx
	// takes them); returns non-zero when the request was accepted. Finish with
	// a restart calls it through this pointer, which normally points at the
	// system call; tests point it elsewhere so that nothing restarts.
	typedef int (*ExitWindowsFunction)(unsigned int flags, unsigned long reason);
	extern ExitWindowsFunction exitWindowsEx;

	class Wizard : public smooth::GUI::Application
	{
		public:
			// The wizard's windows and widgets, all owned by the wizard: what
			// Main and the in-process tests reach.
			struct Widgets
			{
				smooth::GUI::Bitmap		*logoBitmap	  = nullptr;
				smooth::GUI::Bitmap		*iconBitmap	  = nullptr;

				smooth::GUI::Window		*backgroundWindow = nullptr;	// only with the background
				smooth::GUI::Window		*wizardWindow	  = nullptr;
				smooth::GUI::Titlebar		*titlebar	  = nullptr;
				smooth::GUI::Layer		*frameLayer	  = nullptr;
				smooth::GUI::Divider		*headerDivider	  = nullptr;
				smooth::GUI::Divider		*footerDivider	  = nullptr;

				smooth::GUI::Button		*backButton	  = nullptr;
				smooth::GUI::Button		*cancelButton	  = nullptr;
				smooth::GUI::Button		*nextButton	  = nullptr;

				smooth::GUI::Image		*logoImage	  = nullptr;
				smooth::GUI::Image		*iconImage	  = nullptr;

				LayerText			*layerWelcome	  = nullptr;
				LayerLicense			*layerLicense	  = nullptr;
				LayerDirectory			*layerDirectory	  = nullptr;
				LayerComponents			*layerComponents  = nullptr;
				LayerLinks			*layerLinks	  = nullptr;
				LayerText			*layerSummary	  = nullptr;
				LayerText			*layerInstall	  = nullptr;
				LayerText			*layerBye	  = nullptr;
				LayerReboot			*layerReboot	  = nullptr;

				smooth::GUI::Text		*currentFileText  = nullptr;
				smooth::GUI::Progressbar	*currentFileBar	  = nullptr;
				smooth::GUI::Text		*totalText	  = nullptr;
				smooth::GUI::Progressbar	*totalBar	  = nullptr;
			};

			// Reads setup.xml from the current folder into the wizard's own
			// configuration record, builds the windows and pages and shows the
			// flow's first view. Nothing fails here: a missing script, logo or
			// licence leaves defaults and empty images. When the script enables
			// no page at all there is nothing to show: the windows are built
			// but not handed to the application, and HasPages() reports false
			// so that Main ends without a loop.
						 Wizard();
			virtual			~Wizard();
			Wizard(const Wizard &) = delete;
			Wizard &operator =(const Wizard &) = delete;

			// False when the setup script enables no page (nothing to show).
			bool			 HasPages() const		{ return flow.HasPages(); }

			const WizardFlow	&GetFlow() const		{ return flow; }
			const Configuration	&GetConfiguration() const	{ return config; }
			const Widgets		&GetWidgets() const		{ return widgets; }
			// The page object of a numbered page; null for Page::None.
			smooth::GUI::Layer	*GetPage(Page page) const;
			// The restart page's choice (RESTART_NOW or RESTART_LATER).
			long			 GetRestartChoice() const	{ return restartChoice; }

			// Where the run writes its steps (/LOG=); none when null (not owned).
			void			 SetLog(InstallLog *log)	{ installLog = log; }
			// Puts folder into the directory page's edit box (/D=, or the
			// registered installation's folder).
			void			 SetTargetFolder(const smooth::String &folder);
			// The passive mode: shows the wizard window (and the backdrop when
			// the script has one) with the installation page alone, whatever
			// pages the script enables, and no button; a close request is
			// refused. The bars are then the run's, through GetFileBar and
			// GetTotalBar; the program ends by deleting the wizard.
			void			 ShowInstallationOnly();
			ProgressBar		&GetFileBar()			{ return *fileBar; }
			ProgressBar		&GetTotalBar()			{ return *allBar; }

			// What the list of installed programs says about the product: the
			// folder on the directory page is checked against it.
			void			 SetRegistered(const Registered &entry)	{ registered = entry; }
		private:
			// The buttons and the close request of the wizard window, as the
			// flow's Next, Back, Cancel and CloseRequested say. Next runs the
			// installation, when the flow says so, on its own thread while the
			// window's messages are pumped; a quit request taken meanwhile is
			// handed back to the loop. Finish closes the window or asks the
			// system to restart through exitWindowsEx (a refusal changes
			// nothing). The licence page's message, when answered OK, and
			// taking back a failed run end the message loop at once.
			void			 OnNext();
			void			 OnBack();
			void			 OnCancel();
			smooth::Bool		 QueryExit();

			// Brings the widgets, pages and title to the flow's view, touching
			// only what differs.
			void			 ShowView();
			// Shows message and returns the answer.
			smooth::Int		 Ask(const WizardMessage &message);
			// Ends the message loop at once, without the exit question.
			void			 EndMessageLoop();
			// The installation step of Next, up to the page after the run.
			void			 RunInstallation();
			// Before Next leaves the directory page: an unfinished run in the
			// folder is taken back (and the user told), and a folder that may
			// not be installed into is refused with a message. False keeps the
			// wizard on the page.
			bool			 TargetAccepted();
			// Before Next starts the run: the files it would replace or remove
			// that running programs hold are asked about (Retry looks again)
			// until none is left, or Ignore has them replaced at restart
			// (replaceAtRestart); false when the user cancels, which keeps the
			// wizard on the page with nothing changed.
			bool			 FilesInUseSettled();

			// Body of the installation thread: the run with what the pages hold,
			// its failures kept in installFailures. Always Success().
			smooth::Int		 InstallThread(smooth::Threads::Thread *thread);
			// The pages' state as the installation run needs it.
			InstallChoices		 ReadChoices() const;

			// Paint handlers of the backdrop and of the wizard window.
			void			 PaintBackground();
			void			 PaintHeaderBox();
			// Raw messages of the backdrop: activating it activates the wizard.
			void			 ActivateWizard(long message, long wParam, long lParam);

			Configuration		 config;
			WizardFlow		 flow { PageSet() };
			long			 restartChoice = RESTART_LATER;
			Widgets			 widgets;

			smooth::Threads::Thread	*installThread = nullptr;
			// The run outlives its thread: after failures it waits for the
			// user's answer, to be taken back or kept. Its choices and bars
			// live as long.
			std::unique_ptr<InstallRun> installRun;
			InstallChoices		 installChoices;
			std::unique_ptr<ProgressBar> fileBar;
			std::unique_ptr<ProgressBar> allBar;
			// What failed in the run, in order.
			std::vector<InstallFailure> installFailures;
			InstallLog		*installLog = nullptr;
			Registered		 registered;
			// The files in use the run leaves for the restart (PathKey keys).
			std::set<std::wstring>	 replaceAtRestart;
	};

	// Takes back an installation run that was killed in folder, before
	// anything else looks at the folder, and writes so to log (when not
	// null); true when there was one. failed counts the steps that could
	// not be undone.
	bool RecoverFolder(const smooth::String &folder, InstallLog *log, smooth::Int &failed);

	// Runs the installer: creates the wizard, runs the message loop while
	// there is a page to show, releases the wizard. Returns 0.
	smooth::Int Main();

	// The whole program behind wWinMain: stores the start-up values, initialises
	// the platform, checks its version, runs Main and frees the platform.
	// Returns -1 when the user stops at the version warning, else Main's result.
	int RunInstaller(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode);
}
