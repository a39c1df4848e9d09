#include "tolvane.h"

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

Tolvane::InstallChoices Tolvane::Tolvane::ReadChoices() const
{
	InstallChoices	 choices;

	choices.targetFolder = layerDirectory->GetTargetDirectory().GetPath();

	for (Int i = 0; i < config->components.Length(); i++) choices.selected.push_back(layerComponents->IsComponentSelected(i));

	choices.createStartMenu	  = layerLinks->createStartMenu;
	choices.createDesktop	  = layerLinks->createDesktop;
	choices.createQuickLaunch = layerLinks->createQuickLaunch;

	return choices;
}

Int Tolvane::Tolvane::InstallThread(Threads::Thread *thread)
{
	/* The pages are hidden and their buttons gone while we run, so what they
	 * hold now is what the user chose; read it once and leave the widgets
	 * alone from here on.
	 */
	InstallChoices	 choices = ReadChoices();
	WindowBar	 fileBar(currentFileBar);
	WindowBar	 allBar(totalBar);
	InstallRun	 run(*config, choices, GetSystem(), fileBar, allBar);

	run.log = installLog;
	run.Run();

	installFailures = run.GetFailures();
	installRecorded = run.GetRecorded();

	return Success();
}
