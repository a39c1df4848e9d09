#include "wizard.h"

#include "layer_components.h"
#include "layer_directory.h"
#include "layer_links.h"

using namespace smooth;

namespace
{
	// The engine's view of one of the window's progress bars.
	class WindowBar : public Tolvane::ProgressBar
	{
		public:
			explicit WindowBar(GUI::Progressbar *bar) : bar(bar) { }

			void SetValue(Int percent) override { bar->SetValue(percent); }
		private:
			GUI::Progressbar *bar;
	};
}

Tolvane::InstallChoices Tolvane::Wizard::ReadChoices() const
{
	PageChoices	 pages;

	pages.targetFolder = widgets.layerDirectory->GetTargetDirectory().GetPath();

	for (Int i = 0; i < widgets.layerComponents->componentList->Length(); i++) pages.marked.push_back(widgets.layerComponents->IsComponentSelected(i));

	pages.createStartMenu	= widgets.layerLinks->createStartMenu;
	pages.createDesktop	= widgets.layerLinks->createDesktop;
	pages.createQuickLaunch = widgets.layerLinks->createQuickLaunch;

	return ChoicesFromPages(pages, config);
}

Int Tolvane::Wizard::InstallThread(Threads::Thread *thread)
{
	/* The pages are hidden and their buttons gone while we run, so what they
	 * hold now is what the user chose; read it once and leave the widgets
	 * alone from here on.
	 */
	installChoices = ReadChoices();
	fileBar.reset(new WindowBar(widgets.currentFileBar));
	allBar.reset(new WindowBar(widgets.totalBar));
	installRun.reset(new InstallRun(config, installChoices, GetSystem(), *fileBar, *allBar));

	installRun->log		     = installLog;
	installRun->onChange	     = KillHookFromEnvironment();
	installRun->replaceAtRestart = replaceAtRestart;
	installRun->Run();

	installFailures = installRun->GetFailures();

	return Success();
}

void Tolvane::Wizard::ShowInstallationOnly()
{
	flow.ShowInstallationOnly();

	fileBar.reset(new WindowBar(widgets.currentFileBar));
	allBar.reset(new WindowBar(widgets.totalBar));

	ShowView();

	/* Without a page of its own the script's windows were never handed to
	 * the application, and ShowView left the title alone.
	 */
	if (!HasPages())
	{
		if (widgets.backgroundWindow != nullptr) Add(widgets.backgroundWindow);

		Add(widgets.wizardWindow);
	}

	widgets.wizardWindow->SetText(WizardTitle(config, flow.GetView()));

	if (widgets.backgroundWindow != nullptr) widgets.backgroundWindow->Show();

	widgets.wizardWindow->Show();
}
