#include "layer_install.h"

#include "configuration.h"
#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerInstall::LayerInstall() : Layer(String())
{
	pageText = new Text(PageText(config->installationText), Point(59, 63));

	Add(pageText);
}

Tolvane::LayerInstall::~LayerInstall()
{
	DeleteObject(pageText);
}
