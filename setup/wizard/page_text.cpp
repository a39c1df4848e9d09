#include "page_text.h"

#include "configuration.h"

smooth::String Tolvane::PageText(const smooth::String &text)
{
	smooth::String result = text;

	if (config != nullptr) result.Replace("%VERSION%", config->appVersion);

	return result;
}

smooth::GUI::Size Tolvane::LabelSize(const smooth::String &label, smooth::Int width)
{
	/* The widths the pages ask for fit their labels in a small system
	 * font; with a wider one the label would be cut off. The box, its gap
	 * and the focus frame take about 24 pixels beside the text.
	 */
	smooth::Int	 needed = smooth::GUI::Text::MeasureText(label).cx + 24;

	return smooth::GUI::Size(needed > width ? needed : width, 0);
}
