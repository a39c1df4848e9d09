#include "layer_bye.h"

#include "configuration.h"
#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerBye::LayerBye() : Layer(String())
{
	pageText = new Text(PageText(config->finishText), Point(59, 63));

	Add(pageText);
}

Tolvane::LayerBye::~LayerBye()
{
	DeleteObject(pageText);
}
