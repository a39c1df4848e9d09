#include "layer_links.h"

#include "layer_text.h"
#include "page_text.h"

#include "install_run.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerLinks::LayerLinks(const Configuration &config, SystemInterface &system) : Layer(String())
{
	createStartMenu	  = true;
	createDesktop	  = true;
	createQuickLaunch = false;

	pageText	 = new Text(PageText(config.linksText, config.appVersion), Point(59, 63));

	/* The boxes follow the page text, however many lines it has. */
	Int	 y1 = 63 + pageText->GetSize().cy + 12;

	startMenuCheck	 = new CheckBox("Create Start Menu group", Point(59, y1), LabelSize("Create Start Menu group", 150), &createStartMenu);
	desktopCheck	 = new CheckBox("Create Desktop icon", Point(59, y1 + 26), LabelSize("Create Desktop icon", 150), &createDesktop);
	quickLaunchCheck = new CheckBox("Create Quick Launch icon", Point(59, y1 + 52), LabelSize("Create Quick Launch icon", 150), &createQuickLaunch);

	if (!QuickLaunchFolderExists(system))
	{
		createQuickLaunch = false;
		quickLaunchCheck->Deactivate();
	}

	Add(pageText);
	Add(startMenuCheck);
	Add(desktopCheck);
	Add(quickLaunchCheck);
}

Tolvane::LayerLinks::~LayerLinks()
{
	DeleteObject(pageText);
	DeleteObject(startMenuCheck);
	DeleteObject(desktopCheck);
	DeleteObject(quickLaunchCheck);
}

bool Tolvane::LayerLinks::QuickLaunchFolderExists(SystemInterface &system)
{
	String	 path;

	return GetQuickLaunchFolder(system, path) && Directory(path, String()).Exists();
}
