#include "layer_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerText::LayerText(const String &text) : Layer(String())
{
	pageText = new Text(text, Point(59, 63));

	Add(pageText);
}

Tolvane::LayerText::~LayerText()
{
	DeleteObject(pageText);
}

Size Tolvane::LabelSize(const String &label, Int width)
{
	/* The widths the pages ask for fit their labels in a small system
	 * font; with a wider one the label would be cut off. The box, its gap
	 * and the focus frame take about 24 pixels beside the text.
	 */
	Int	 needed = Text::MeasureText(label).cx + 24;

	return Size(needed > width ? needed : width, 0);
}
