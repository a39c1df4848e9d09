#include "smooth/graphics.h"

namespace smooth
{
	namespace GUI
	{
		// Out-of-class definitions so that the constants may be bound to
		// references (std::max and the like) from outside the library.
		const Int	 Font::Normal;
		const Int	 Font::Bold;
		const Int	 Font::Italic;
		const Int	 Font::Underline;
		const Int	 Font::StrikeOut;
		const Int	 Font::DefaultSize;

		const String	 Font::Default = "Tahoma";
	}
}

smooth::GUI::Font::Font(const String &iFace, Int iSize, Int iWeight, Int iStyle, const Color &iColor)
	: face(iFace), size(iSize), weight(iWeight), style(iStyle), color(iColor)
{
}
