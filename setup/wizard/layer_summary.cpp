#include "layer_summary.h"

#include "configuration.h"
#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerSummary::LayerSummary() : Layer(String())
{
	pageText = new Text(PageText(config->summaryText), Point(59, 63));

	Add(pageText);
}

Tolvane::LayerSummary::~LayerSummary()
{
	DeleteObject(pageText);
}
