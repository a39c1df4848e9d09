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
	InstallChoices	 choices = ReadChoices();
	WindowBar	 fileBar(widgets.currentFileBar);
	WindowBar	 allBar(widgets.totalBar);
	InstallRun	 run(config, choices, GetSystem(), fileBar, allBar);

	run.log = installLog;
	run.Run();

	installFailures = run.GetFailures();
	installRecorded = run.GetRecorded();

	return Success();
}
