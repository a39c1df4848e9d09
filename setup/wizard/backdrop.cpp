#include "backdrop.h"

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

Int Tolvane::BackdropBlue(Int y, Int h)
{
	if (h <= 0 || y > h) return 0;

	/* Above the top edge the formula climbs past 255; wrapping round there
	 * would paint a dark band into a box that starts above the screen.
	 */
	if (y < 0) return 255;

	double	 step = 255.0 / h;

	return Int((h - y) * step) % 256;
}

Color Tolvane::BackdropColor(Int y, Int h)
{
	return Color(0, 0, BackdropBlue(y, h));
}

bool Tolvane::RectsMeet(const Rect &a, const Rect &b)
{
	return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

std::vector<Tolvane::BackdropText> Tolvane::BackdropTexts(const Configuration &config, Int width, Int height, const Rect &update)
{
	std::vector<BackdropText>	 texts;

	if (!config.background) return texts;

	/* The version alone is never written: it belongs to the name. */
	if (config.displayAppName)
	{
		String	 text = config.appName;

		if (config.displayAppVersion) text.Append(" ").Append(config.appVersion);

		Rect	 box(config.appNamePos.x, config.appNamePos.y, width, config.appNamePos.y + 100);

		if (RectsMeet(box, update)) texts.push_back({ text, box, config.appNameFont });
	}

	if (config.displayCompanyName)
	{
		Rect	 box(config.companyPos.x, height - config.companyPos.y, width, height - config.companyPos.y + 100);

		if (RectsMeet(box, update)) texts.push_back({ config.companyName, box, config.companyFont });
	}

	return texts;
}

Rect Tolvane::HeaderBand(Int windowWidth, Int frameWidth, Int logoWidth)
{
	return Rect(Point(frameWidth + logoWidth + 1, frameWidth + 25), Size(windowWidth - 2 * frameWidth - logoWidth - 2, 50));
}
