// The licence page (page 2): the script's text and the licence file in a
// read-only box. Accepting and declining are the navigation's "Yes" and "No".
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerLicense : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::MultiEdit	*licenseEdit;

					 LayerLicense();
			virtual		~LayerLicense();
			LayerLicense(const LayerLicense &) = delete;
			LayerLicense &operator =(const LayerLicense &) = delete;

			// The configuration's licenseFile read byte by byte, each byte one
			// character of the same code (0 to 255), line ends as stored.
			// Empty when licenseFile is "nolicense" (no file is opened), empty
			// or cannot be opened.
			static smooth::String	 LoadLicenseText();

			// The licence as the box shows it: every character 0 (which would
			// end the box's text) becomes a blank; all else is unchanged.
			static smooth::String	 ShownLicenseText(const smooth::String &licence);
	};
}
