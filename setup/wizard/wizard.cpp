#include "tolvane.h"

#include "layer_welcome.h"
#include "layer_license.h"
#include "layer_directory.h"
#include "layer_components.h"
#include "layer_links.h"
#include "layer_summary.h"
#include "layer_install.h"
#include "layer_bye.h"
#include "layer_reboot.h"

#include <windows.h>

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	int SystemExitWindows(unsigned int flags, unsigned long reason)
	{
		return ExitWindowsEx(flags, reason);
	}
}

Tolvane::ExitWindowsFunction	 Tolvane::exitWindowsEx = &SystemExitWindows;

Tolvane::Tolvane::Tolvane() : Application(String())
{
	config = new Configuration();
	config->Load();

	rebootChoice = 1;

	/* A script that enables no page leaves nothing to show; page 0 marks
	 * that state so that every handler and Main can tell.
	 */
	currentPage = 0;
	lastPage    = 0;

	for (long page = PAGE_INTRO;  page <= PAGE_REBOOT; page++) if (config->IsPageEnabled(page)) { currentPage = page; break; }
	for (long page = PAGE_REBOOT; page >= PAGE_INTRO;  page--) if (config->IsPageEnabled(page)) { lastPage	  = page; break; }

	firstPage   = currentPage;
	installPage = config->showFinish ? PAGE_FINISH : (config->showReboot ? PAGE_REBOOT : -1);

	if (!config->showReboot) rebootChoice = 2;

	logoBitmap = new Bitmap(ImageLoader::Load(config->logo));
	iconBitmap = new Bitmap(ImageLoader::Load(String("Icon:").Append(String::FromInt(100))));

	if (currentPage >= PAGE_INTRO && currentPage <= PAGE_REBOOT) SetText(config->GetPageTitle(currentPage));

	Rect	 monitor = System::MultiMonitor::GetActiveMonitorMetrics();
	Int	 width	 = monitor.right - monitor.left;
	Int	 height	 = monitor.bottom - monitor.top;

	backgroundWindow = nullptr;

	if (config->background) backgroundWindow = new Window("Tolvane v0.1", Point(-3, -3), Size(width + 6, height + 6));

	/* A screen smaller than the wizard (a large scaling on a small screen)
	 * keeps its title bar on the screen.
	 */
	wizardWindow	= new Window(GetText(), Point(std::max(0, (width - 480) / 2), std::max(0, (height - 400) / 2)), Size(482, 372));
	titlebar	= new Titlebar(4);
	frameLayer	= new Layer(String());
	headerDivider	= new Divider(51, 5);
	footerDivider	= new Divider(43, 9);

	layerWelcome	= new LayerWelcome();
	layerLicense	= new LayerLicense();
	layerDirectory	= new LayerDirectory();
	layerComponents	= new LayerComponents();
	layerLinks	= new LayerLinks();
	layerSummary	= new LayerSummary();
	layerInstall	= new LayerInstall();
	layerBye	= new LayerBye();
	layerReboot	= new LayerReboot(&rebootChoice);

	config->mainWindow = wizardWindow;

	logoImage	= new Image(*logoBitmap, Point(1, 0), Size(0, 0));
	currentFileText	= new Text("Current file progress:", Point(9, 196));
	currentFileBar	= new Progressbar(Point(9, 217), Size(456, 0), OR_HORZ, 2, 0, 100, 0);
	totalText	= new Text("Total installation progress:", Point(9, 245));
	totalBar	= new Progressbar(Point(9, 266), Size(456, 0), OR_HORZ, 2, 0, 100, 0);
	iconImage	= new Image(*iconBitmap, Point(12, 63), Size(0, 0));

	backButton	= new Button("<- Back", Bitmap(), Point(9, 31), Size(0, 0));
	backButton->onAction.Connect(&Tolvane::OnBack, this);
	backButton->SetOrientation(OR_LEFT | OR_BOTTOM);

	cancelButton	= new Button("Cancel", Bitmap(), Point(179, 31), Size(0, 0));
	cancelButton->onAction.Connect(&Tolvane::OnCancel, this);
	cancelButton->SetOrientation(OR_RIGHT | OR_BOTTOM);

	nextButton	= new Button("Next ->", Bitmap(), Point(89, 31), Size(0, 0));
	nextButton->onAction.Connect(&Tolvane::OnNext, this);
	nextButton->SetOrientation(OR_RIGHT | OR_BOTTOM);

	/* Handing the windows to the application is what puts them on screen;
	 * without a page there is nothing to put there.
	 */
	if (HasPages())
	{
		if (backgroundWindow != nullptr) Add(backgroundWindow);

		Add(wizardWindow);
	}

	wizardWindow->Add(titlebar);
	wizardWindow->Add(frameLayer);
	wizardWindow->Add(headerDivider);
	wizardWindow->Add(footerDivider);
	wizardWindow->Add(layerWelcome);
	wizardWindow->Add(layerLicense);
	wizardWindow->Add(layerDirectory);
	wizardWindow->Add(layerComponents);
	wizardWindow->Add(layerLinks);
	wizardWindow->Add(layerSummary);
	wizardWindow->Add(layerInstall);
	wizardWindow->Add(layerBye);
	wizardWindow->Add(layerReboot);

	frameLayer->Add(logoImage);
	frameLayer->Add(iconImage);
	frameLayer->Add(backButton);
	frameLayer->Add(cancelButton);
	frameLayer->Add(nextButton);
	frameLayer->Add(currentFileText);
	frameLayer->Add(currentFileBar);
	frameLayer->Add(totalText);
	frameLayer->Add(totalBar);

	if (config->background)
	{
		backgroundWindow->onPaint.Connect(&Tolvane::PaintBackground, this);
		backgroundWindow->onEvent.Connect(&Tolvane::ActivateWizard, this);

		backgroundWindow->SetFlags(65);
		wizardWindow->SetFlags(1);
	}

	wizardWindow->doQuit.Connect(&Tolvane::QueryExit, this);
	wizardWindow->onPaint.Connect(&Tolvane::PaintHeaderBox, this);

	backButton->Hide();
	currentFileText->Hide();
	currentFileBar->Hide();
	totalText->Hide();
	totalBar->Hide();

	for (long page = PAGE_INTRO; page <= PAGE_REBOOT; page++) if (page != currentPage) GetPage(page)->Hide();

	layerInstall->Hide();

	if (currentPage == PAGE_REBOOT) iconImage->Hide();
}

Tolvane::Tolvane::~Tolvane()
{
	if (logoBitmap != nullptr) delete logoBitmap;
	if (iconBitmap != nullptr) delete iconBitmap;

	if (config != nullptr && config->background) DeleteObject(backgroundWindow);

	DeleteObject(wizardWindow);
	DeleteObject(titlebar);
	DeleteObject(frameLayer);
	DeleteObject(headerDivider);
	DeleteObject(footerDivider);
	DeleteObject(backButton);
	DeleteObject(cancelButton);
	DeleteObject(nextButton);
	DeleteObject(logoImage);
	DeleteObject(iconImage);
	DeleteObject(currentFileText);
	DeleteObject(currentFileBar);
	DeleteObject(totalText);
	DeleteObject(totalBar);

	DeleteObject(layerWelcome);
	DeleteObject(layerLicense);
	DeleteObject(layerDirectory);
	DeleteObject(layerComponents);
	DeleteObject(layerLinks);
	DeleteObject(layerSummary);
	DeleteObject(layerInstall);
	DeleteObject(layerBye);
	DeleteObject(layerReboot);

	if (config != nullptr)
	{
		delete config;

		config = nullptr;
	}
}

Layer *Tolvane::Tolvane::GetPage(long page) const
{
	switch (page)
	{
		case PAGE_INTRO:	return layerWelcome;
		case PAGE_LICENSE:	return layerLicense;
		case PAGE_DIRECTORY:	return layerDirectory;
		case PAGE_COMPONENTS:	return layerComponents;
		case PAGE_LINKS:	return layerLinks;
		case PAGE_SUMMARY:	return layerSummary;
		case PAGE_FINISH:	return layerBye;
		case PAGE_REBOOT:	return layerReboot;
		default:		return nullptr;
	}
}

namespace
{
	/* Posted to the backdrop by ActivateWizard and seen again there through
	 * the same raw-message signal.
	 */
	const UINT	 WM_ACTIVATEWIZARD = WM_APP + 0x2A1;
}

void Tolvane::Tolvane::ActivateWizard(long message, long wParam, long lParam)
{
	HWND	 wizard = (HWND) wizardWindow->GetSystemWindow();

	if (wizard == nullptr) return;

	/* Deactivation arrives with the same message; making the wizard active
	 * again then is harmless and keeps the backdrop from ever holding the focus.
	 */
	if (message == WM_ACTIVATE)
	{
		SetActiveWindow(wizard);

		/* We are inside the backdrop's own activation, which may still
		 * finish by making the backdrop active after we return; ask once
		 * more when it is over.
		 */
		if (backgroundWindow != nullptr && backgroundWindow->GetSystemWindow() != nullptr) PostMessageW((HWND) backgroundWindow->GetSystemWindow(), WM_ACTIVATEWIZARD, 0, 0);
	}
	else if (message == long(WM_ACTIVATEWIZARD))
	{
		/* Only a change sends a new activation message, so this ends. */
		if (GetActiveWindow() != wizard) SetActiveWindow(wizard);
	}
}

namespace
{
	// A bar nobody sees.
	class NoBar : public Tolvane::ProgressBar
	{
		public:
			void SetValue(Int) override { }
	};

	// The installation with the pages' defaults and no window at all.
	Int InstallSilently(const Tolvane::Options &options, Tolvane::InstallLog &log)
	{
		XML::Document	 script;

		if (script.LoadFile("setup.xml") != Success())
		{
			log.Write("FAILED setup.xml: no setup script in the working folder");

			return Tolvane::EXIT_NO_SCRIPT;
		}

		Tolvane::Configuration	 configuration;

		configuration.Load();

		Tolvane::InstallChoices	 choices = Tolvane::DefaultChoices(configuration, Tolvane::GetSystem());

		if (options.hasTarget) choices.targetFolder = options.target;

		NoBar			 fileBar, totalBar;
		Tolvane::InstallRun	 run(configuration, choices, Tolvane::GetSystem(), fileBar, totalBar);

		run.log = &log;
		run.Run();

		log.Write(run.GetFailures().empty() ? "done" : String("done, ").Append(String::FromInt(Int64(run.GetFailures().size()))).Append(" failed"));

		return run.GetFailures().empty() ? Tolvane::EXIT_OK : Tolvane::EXIT_FAILED;
	}
}

Int Tolvane::Main()
{
	/* Without options the wizard is all there is, as it always was. */
	Options		 options = ParseOptions(szCmdLine, true);
	InstallLog	 log;

	if (options.logFile != 0) log.Open(options.logFile);

	if (options.refused != 0)
	{
		log.Write(String("FAILED ").Append(options.refused));

		if (!options.silent) Dialogs::QuickMessage(String(options.refused).Append("\n\n").Append(OptionsHelp(true)), "Setup", MB_OK, 32513).ShowDialog();

		return EXIT_REFUSED;
	}

	if (options.help)
	{
		Dialogs::QuickMessage(OptionsHelp(true), "Setup", MB_OK, 32516).ShowDialog();

		return EXIT_OK;
	}

	if (options.silent) return InstallSilently(options, log);

	Tolvane	*app = new Tolvane();

	if (log.IsOpen()) app->installLog = &log;
	if (options.hasTarget) app->layerDirectory->directoryEdit->SetText(options.target);

	if (app->HasPages()) app->Loop();

	Object::DeleteObject(app);

	return 0;
}

int Tolvane::RunInstaller(void *instance, void *previousInstance, const char *commandLine, int showMode)
{
	return RunProgram(instance, previousInstance, commandLine, showMode, &Main);
}
