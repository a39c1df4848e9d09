#include "layer_license.h"

#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerLicense::LayerLicense(const Configuration &config) : Layer(String())
{
	pageText	= new Text(PageText(config.licenseText, config.appVersion), Point(59, 63));
	licenseEdit	= new MultiEdit(ShownLicenseText(LoadLicenseText(config.licenseFile)), Point(9, 101), Size(456, 185), 0);

	licenseEdit->Deactivate();

	Add(pageText);
	Add(licenseEdit);
}

Tolvane::LayerLicense::~LayerLicense()
{
	DeleteObject(pageText);
	DeleteObject(licenseEdit);
}
