#include "wizard.h"

#include "command_line.h"
#include "files_in_use.h"
#include "startup.h"

#include "layer_components.h"
#include "layer_directory.h"
#include "layer_license.h"
#include "layer_links.h"
#include "layer_reboot.h"
#include "layer_text.h"
#include "page_text.h"

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

Tolvane::Wizard::Wizard() : Application(String())
{
	config.Load();

	flow	      = WizardFlow(PageSet::Enabled(config));
	restartChoice = InitialRestartChoice(flow.GetPages());

	Widgets	&w = widgets;

	w.logoBitmap = new Bitmap(ImageLoader::Load(config.logo));
	w.iconBitmap = new Bitmap(ImageLoader::Load(String("Icon:").Append(String::FromInt(100))));

	if (HasPages()) SetText(WizardTitle(config, flow.GetView()));

	Rect	 monitor = System::MultiMonitor::GetActiveMonitorMetrics();
	Int	 width	 = monitor.right - monitor.left;
	Int	 height	 = monitor.bottom - monitor.top;

	if (config.background) w.backgroundWindow = new Window("Tolvane v0.1", Point(-3, -3), Size(width + 6, height + 6));

	/* A screen smaller than the wizard (a large scaling on a small screen)
	 * keeps its title bar on the screen.
	 */
	w.wizardWindow	= new Window(GetText(), Point(std::max(0, (width - 480) / 2), std::max(0, (height - 400) / 2)), Size(482, 372));
	w.titlebar	= new Titlebar(4);
	w.frameLayer	= new Layer(String());
	w.headerDivider	= new Divider(51, 5);
	w.footerDivider	= new Divider(43, 9);

	SystemInterface	&system = GetSystem();

	w.layerWelcome	  = new LayerText(PageText(config.introText, config.appVersion));
	w.layerLicense	  = new LayerLicense(config);
	w.layerDirectory  = new LayerDirectory(config, system);
	w.layerComponents = new LayerComponents(config);
	w.layerLinks	  = new LayerLinks(config, system);
	w.layerSummary	  = new LayerText(PageText(config.summaryText, config.appVersion));
	w.layerInstall	  = new LayerText(PageText(config.installationText, config.appVersion));
	w.layerBye	  = new LayerText(PageText(config.finishText, config.appVersion));
	w.layerReboot	  = new LayerReboot(config, &restartChoice);

	w.logoImage	  = new Image(*w.logoBitmap, Point(1, 0), Size(0, 0));
	w.currentFileText = new Text("Current file progress:", Point(9, 196));
	w.currentFileBar  = new Progressbar(Point(9, 217), Size(456, 0), OR_HORZ, 2, 0, 100, 0);
	w.totalText	  = new Text("Total installation progress:", Point(9, 245));
	w.totalBar	  = new Progressbar(Point(9, 266), Size(456, 0), OR_HORZ, 2, 0, 100, 0);
	w.iconImage	  = new Image(*w.iconBitmap, Point(12, 63), Size(0, 0));

	w.backButton	= new Button(TEXT_BACK, Bitmap(), Point(9, 31), Size(0, 0));
	w.backButton->onAction.Connect(&Wizard::OnBack, this);
	w.backButton->SetOrientation(OR_LEFT | OR_BOTTOM);

	w.cancelButton	= new Button(TEXT_CANCEL, Bitmap(), Point(179, 31), Size(0, 0));
	w.cancelButton->onAction.Connect(&Wizard::OnCancel, this);
	w.cancelButton->SetOrientation(OR_RIGHT | OR_BOTTOM);

	w.nextButton	= new Button(TEXT_NEXT, Bitmap(), Point(89, 31), Size(0, 0));
	w.nextButton->onAction.Connect(&Wizard::OnNext, this);
	w.nextButton->SetOrientation(OR_RIGHT | OR_BOTTOM);

	/* Handing the windows to the application is what puts them on screen;
	 * without a page there is nothing to put there.
	 */
	if (HasPages())
	{
		if (w.backgroundWindow != nullptr) Add(w.backgroundWindow);

		Add(w.wizardWindow);
	}

	w.wizardWindow->Add(w.titlebar);
	w.wizardWindow->Add(w.frameLayer);
	w.wizardWindow->Add(w.headerDivider);
	w.wizardWindow->Add(w.footerDivider);
	w.wizardWindow->Add(w.layerWelcome);
	w.wizardWindow->Add(w.layerLicense);
	w.wizardWindow->Add(w.layerDirectory);
	w.wizardWindow->Add(w.layerComponents);
	w.wizardWindow->Add(w.layerLinks);
	w.wizardWindow->Add(w.layerSummary);
	w.wizardWindow->Add(w.layerInstall);
	w.wizardWindow->Add(w.layerBye);
	w.wizardWindow->Add(w.layerReboot);

	w.frameLayer->Add(w.logoImage);
	w.frameLayer->Add(w.iconImage);
	w.frameLayer->Add(w.backButton);
	w.frameLayer->Add(w.cancelButton);
	w.frameLayer->Add(w.nextButton);
	w.frameLayer->Add(w.currentFileText);
	w.frameLayer->Add(w.currentFileBar);
	w.frameLayer->Add(w.totalText);
	w.frameLayer->Add(w.totalBar);

	if (w.backgroundWindow != nullptr)
	{
		w.backgroundWindow->onPaint.Connect(&Wizard::PaintBackground, this);
		w.backgroundWindow->onEvent.Connect(&Wizard::ActivateWizard, this);

		w.backgroundWindow->SetFlags(WF_BACKDROP);
		w.wizardWindow->SetFlags(WF_APPTOPMOST);
	}

	w.wizardWindow->doQuit.Connect(&Wizard::QueryExit, this);
	w.wizardWindow->onPaint.Connect(&Wizard::PaintHeaderBox, this);

	/* Everything was built visible: the first view hides what it does not
	 * show.
	 */
	ShowView();
}

Tolvane::Wizard::~Wizard()
{
	Widgets	&w = widgets;

	delete w.logoBitmap;
	delete w.iconBitmap;

	DeleteObject(w.backgroundWindow);
	DeleteObject(w.wizardWindow);
	DeleteObject(w.titlebar);
	DeleteObject(w.frameLayer);
	DeleteObject(w.headerDivider);
	DeleteObject(w.footerDivider);
	DeleteObject(w.backButton);
	DeleteObject(w.cancelButton);
	DeleteObject(w.nextButton);
	DeleteObject(w.logoImage);
	DeleteObject(w.iconImage);
	DeleteObject(w.currentFileText);
	DeleteObject(w.currentFileBar);
	DeleteObject(w.totalText);
	DeleteObject(w.totalBar);

	DeleteObject(w.layerWelcome);
	DeleteObject(w.layerLicense);
	DeleteObject(w.layerDirectory);
	DeleteObject(w.layerComponents);
	DeleteObject(w.layerLinks);
	DeleteObject(w.layerSummary);
	DeleteObject(w.layerInstall);
	DeleteObject(w.layerBye);
	DeleteObject(w.layerReboot);
}

Layer *Tolvane::Wizard::GetPage(Page page) const
{
	switch (page)
	{
		case Page::Intro:	return widgets.layerWelcome;
		case Page::License:	return widgets.layerLicense;
		case Page::Directory:	return widgets.layerDirectory;
		case Page::Components:	return widgets.layerComponents;
		case Page::Links:	return widgets.layerLinks;
		case Page::Summary:	return widgets.layerSummary;
		case Page::Finish:	return widgets.layerBye;
		case Page::Reboot:	return widgets.layerReboot;
		default:		return nullptr;
	}
}

void Tolvane::Wizard::SetTargetFolder(const String &folder)
{
	widgets.layerDirectory->directoryEdit->SetText(folder);
}

namespace
{
	/* Posted to the backdrop by ActivateWizard and seen again there through
	 * the same raw-message signal.
	 */
	const UINT	 WM_ACTIVATEWIZARD = WM_APP + 0x2A1;
}

void Tolvane::Wizard::ActivateWizard(long message, long wParam, long lParam)
{
	Window	*backgroundWindow = widgets.backgroundWindow;
	HWND	 wizard		  = (HWND) widgets.wizardWindow->GetSystemWindow();

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

	// What the list of installed programs says about the product of config.
	Tolvane::Registered ReadRegistration(const Tolvane::Configuration &config)
	{
		Tolvane::RegistrySnapshot	 entry;
		String				 name = Tolvane::InstallRun::GetEntryName(config.appName);

		if (name == 0 || !Tolvane::GetSystem().ReadUninstallEntry(name, entry)) return Tolvane::Registered();

		return Tolvane::ReadRegistered(entry);
	}

	// Files in use before a silent run: every program and file goes to
	// the log; with /CLOSEAPPS the programs are asked to close first. What
	// is still held is replaced or removed at restart.
	std::set<std::wstring> SilentFilesInUse(const Tolvane::Configuration &configuration, const Tolvane::InstallChoices &choices, const Tolvane::Options &options, Tolvane::InstallLog &log)
	{
		Tolvane::SystemInterface	&system = Tolvane::GetSystem();
		std::vector<Tolvane::FileInUse>	 uses	= Tolvane::WithoutUnchanged(system.FindFilesInUse(Tolvane::FilesTheRunChanges(configuration, choices)), configuration, choices);

		for (const Tolvane::FileInUse &use : uses) log.Write(String("in use ").Append(use.path).Append(" by ").Append(use.program != 0 ? use.program : String("an unknown program")));

		if (!uses.empty() && options.closeApps)
		{
			log.Write("asking the programs to close");

			uses = system.ClosePrograms(uses, Tolvane::CLOSE_PROGRAMS_WAIT);

			if (uses.empty()) log.Write("the programs have closed");
		}

		for (const Tolvane::FileInUse &use : uses) log.Write(String("replaced at restart: ").Append(use.path));

		return Tolvane::InUseKeys(uses);
	}

	// The installation with the pages' defaults and no window at all (with
	// passive, the wizard's installation page alone, shown for the run): a
	// run with failures is taken back, and ends with EXIT_FAILED; one that
	// left files in use for the restart ends with EXIT_RESTART.
	Int InstallSilently(const Tolvane::Options &options, Tolvane::InstallLog &log, Tolvane::Wizard *passive)
	{
		XML::Document	 script;

		if (script.LoadFile("setup.xml") != Success())
		{
			log.Write("FAILED setup.xml: no setup script in the working folder");

			return Tolvane::EXIT_NO_SCRIPT;
		}

		Tolvane::Configuration	 configuration;

		configuration.Load();

		Tolvane::Registered	 registered = ReadRegistration(configuration);
		Int			 failed	    = 0;

		if (registered.exists) RecoverFolder(registered.folder, &log, failed);

		/* The registration may have changed with the run taken back. */
		registered = ReadRegistration(configuration);

		Tolvane::SetupStart	 start	 = Tolvane::PlanStart(configuration, registered, options);

		if (start.downgrade && !options.allowDowngrade)
		{
			log.Write(String("FAILED ").Append(Tolvane::DowngradeRefusal(configuration.appName, configuration.appVersion, registered)));

			return Tolvane::EXIT_DOWNGRADE;
		}

		Tolvane::InstallChoices	 choices = Tolvane::DefaultChoices(configuration, Tolvane::GetSystem());

		if (start.folder != 0) choices.targetFolder = start.folder;

		String			 target = Directory(choices.targetFolder, String()).GetPath();

		RecoverFolder(target, &log, failed);

		Tolvane::TargetCheck	 check = Tolvane::CheckTarget(configuration.appName, target, registered);

		if (check.verdict != Tolvane::TargetCheck::Verdict::Go)
		{
			String	 text = check.Text(configuration.appName, target);

			log.Write(String("FAILED ").Append(target).Append(": ").Append(text.Head(text.Find("\n") >= 0 ? text.Find("\n") : text.Length())));

			return check.verdict == Tolvane::TargetCheck::Verdict::OtherProduct ? Tolvane::EXIT_OTHER_PRODUCT : Tolvane::EXIT_ELSEWHERE;
		}

		std::set<std::wstring>	 atRestart = SilentFilesInUse(configuration, choices, options, log);
		NoBar			 noFileBar, noTotalBar;

		if (passive != nullptr) passive->ShowInstallationOnly();

		Tolvane::InstallRun	 run(configuration, choices, Tolvane::GetSystem(), passive != nullptr ? passive->GetFileBar() : noFileBar, passive != nullptr ? passive->GetTotalBar() : noTotalBar);

		run.log		     = &log;
		run.onChange	     = Tolvane::KillHookFromEnvironment();
		run.replaceAtRestart = atRestart;

		/* Passive: the window stays alive while the run goes on its own
		 * thread; nothing there waits for the user. A small product's run
		 * would flash by unseen, so the page stays in sight for a second at
		 * least, its bars full at the end.
		 */
		Threads::Thread	*thread = passive != nullptr ? new Threads::Thread(nullptr) : nullptr;
		UnsignedInt	 shown	= System::System::GetTickCount();

		if (thread != nullptr) thread->threadMain.Connect(std::function<Int(Threads::Thread *)>([&run, shown](Threads::Thread *)
		{
			run.Run();

			UnsignedInt	 elapsed = System::System::GetTickCount() - shown;

			if (elapsed < 1000) System::System::Sleep(Int(1000 - elapsed));

			return Success();
		}));

		if (thread != nullptr && thread->Start() == Success()) PumpMessagesWhileRunning(*thread);
		else						       run.Run();

		if (thread != nullptr) Object::DeleteObject(thread);

		if (run.GetFailures().empty())
		{
			bool	 restart = !run.GetRestartWork().empty();

			log.Write(restart ? String("done; ").Append(String::FromInt(Int64(run.GetRestartWork().size()))).Append(" files in use are replaced or removed when the computer restarts") : String("done"));

			return Tolvane::SilentExitCode(false, restart);
		}

		/* Nobody is there to decide: a broken installation is worse than
		 * the one before it.
		 */
		Int	 stayed = run.TakeBack();

		log.Write(String("done, ").Append(String::FromInt(Int64(run.GetFailures().size()))).Append(" failed; ")
			  .Append(stayed == 0 ? String("everything taken back") : String("taken back, but ").Append(String::FromInt(stayed)).Append(" steps could not be undone")));

		return Tolvane::EXIT_FAILED;
	}
}

bool Tolvane::RecoverFolder(const String &folder, InstallLog *log, Int &failed)
{
	FileSystemUndo	 undo(SystemRegistryRestorer());

	failed = 0;

	if (folder == 0 || RecoverRun(folder, undo, failed) != Recovery::TakenBack) return false;

	if (log != nullptr) log->Write(String("taken back an unfinished run in ").Append(folder).Append(failed != 0 ? String(", ").Append(String::FromInt(failed)).Append(" steps could not be undone") : String()));

	return true;
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

		if (!options.silent && !options.passive) Dialogs::QuickMessage(String(options.refused).Append("\n\n").Append(OptionsHelp(true)), "Setup", MB_OK, 32513).ShowDialog();

		return EXIT_REFUSED;
	}

	if (options.help)
	{
		Dialogs::QuickMessage(OptionsHelp(true), "Setup", MB_OK, 32516).ShowDialog();

		return EXIT_OK;
	}

	if (options.silent) return InstallSilently(options, log, nullptr);

	if (options.passive)
	{
		Wizard	*app  = new Wizard();
		Int	 code = InstallSilently(options, log, app);

		Object::DeleteObject(app);

		return code;
	}

	Wizard	*app = new Wizard();

	if (log.IsOpen()) app->SetLog(&log);

	/* Before the first page: a run killed in the installation's folder is
	 * taken back, and going back to an older version is asked about.
	 */
	const Configuration	&config	    = app->GetConfiguration();
	Registered		 registered = ReadRegistration(config);
	Int			 failed	    = 0;

	if (registered.exists && RecoverFolder(registered.folder, &log, failed))
	{
		WizardMessage	 message = UnfinishedRunMessage(registered.folder, failed);

		Dialogs::QuickMessage(message.text, message.caption, message.buttons, message.icon).ShowDialog();

		registered = ReadRegistration(config);
	}

	SetupStart		 start = PlanStart(config, registered, options);

	if (start.downgrade && !options.allowDowngrade)
	{
		WizardMessage	 question = DowngradeMessage(config, registered);

		if (Dialogs::QuickMessage(question.text, question.caption, question.buttons, question.icon).ShowDialog() != IDYES)
		{
			log.Write(String("FAILED ").Append(DowngradeRefusal(config.appName, config.appVersion, registered)));

			Object::DeleteObject(app);

			return EXIT_DOWNGRADE;
		}
	}

	app->SetRegistered(registered);

	if (start.folder != 0) app->SetTargetFolder(start.folder);

	if (app->HasPages()) app->Loop();

	Object::DeleteObject(app);

	return 0;
}

int Tolvane::RunInstaller(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode)
{
	return RunProgram(instance, previousInstance, commandLine, showMode, &Main);
}
