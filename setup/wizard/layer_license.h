// The licence page (page 2): the script's text and the licence file in a
// read-only box. Accepting and declining are the navigation's "Yes" and "No".
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"

namespace Tolvane
{
	class LayerLicense : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::MultiEdit	*licenseEdit;

			// Shows the configured licenseText and, read-only, the text of its
			// licenseFile (LoadLicenseText, zeros shown as blanks); a missing
			// file leaves the box empty.
					 LayerLicense(const Configuration &config);
			virtual		~LayerLicense();
			LayerLicense(const LayerLicense &) = delete;
			LayerLicense &operator =(const LayerLicense &) = delete;
	};
}
