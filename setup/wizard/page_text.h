// What the pages show that the setup script and its files decide: texts
// with the version filled in, the licence file's text, the component
// entries and their descriptions. Portable, so it is tested natively.
#pragma once

#include "configuration.h"

namespace Tolvane
{
	// text with every "%VERSION%" replaced by version.
	smooth::String	 PageText(const smooth::String &text, const smooth::String &version);

	// The text of the licence file licenseFile as DecodeLicenseText reads
	// it (license_encoding.h): in the encoding a byte-order mark at its start
	// names, else each byte one character of the same code (0 to 255); line
	// ends as stored. Empty when
	// licenseFile is "nolicense" (no file is opened), empty or cannot be
	// opened; a file that shrinks while it is read gives what was there.
	smooth::String	 LoadLicenseText(const smooth::String &licenseFile);

	// The licence as the box shows it: every character 0 (which would end
	// the box's text) becomes a blank; all else is unchanged.
	smooth::String	 ShownLicenseText(const smooth::String &licence);

	// One entry of the components page's list.
	struct ComponentEntry
	{
		smooth::String	 label;		// the name, "%VERSION%" replaced
		bool		 marked;	// required and default components
		bool		 locked;	// required ones: the mark cannot be taken off
	};

	ComponentEntry	 EntryOfComponent(const Component &component, const smooth::String &version);

	// The components page's hint while the mouse is over no entry.
	const char *const DESCRIPTION_HINT = "Move the mouse over a\ncomponent entry to\nshow a description";

	// The description box's text with the mouse over entry hovered: that
	// component's description exactly as written ("%VERSION%" stays), or
	// the hint when hovered is no component's index (-1: over none).
	smooth::String	 ComponentDescription(const Configuration &config, smooth::Int hovered);
}
