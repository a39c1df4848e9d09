#include "layer_welcome.h"

#include "configuration.h"
#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerWelcome::LayerWelcome() : Layer(String())
{
	pageText = new Text(PageText(config->introText), Point(59, 63));

	Add(pageText);
}

Tolvane::LayerWelcome::~LayerWelcome()
{
	DeleteObject(pageText);
}
