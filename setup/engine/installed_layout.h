// Where an installation's own parts live below its target folder, and where
// the product is registered. The installer writes this layout, the
// uninstaller expects it, and the publisher's tool checks and builds
// products for it; every one of them takes the names from here.
//
// Header only and free of the platform layer, so that any program or tool
// can use it. Paths below the target are in archive entry form ('/'); join
// the parts with the system's separator where a system path is needed.
#pragma once

namespace Tolvane
{
	namespace Layout
	{
		// The folder below the target that holds the uninstaller, its script
		// and (for the list of installed programs) a copy of the library.
		constexpr const char *UninstallFolder	= "uninstall";

		// File names in that folder.
		constexpr const char *UninstallerName	= "uninstall.exe";
		constexpr const char *ScriptName	= "uninstall.xml";

		// The platform library: at the target's root, and beside the
		// installed uninstaller when the product is registered.
		constexpr const char *LibraryName	= "smooth.dll";

		// The uninstaller as an archive entry below the target (the publisher
		// ships it so; the installer recognises it by this name).
		constexpr const char *UninstallerEntry	= "uninstall/uninstall.exe";

		// The uninstall script below the target, entry form.
		constexpr const char *ScriptEntry	= "uninstall/uninstall.xml";

		// The library copy beside the installed uninstaller, entry form.
		constexpr const char *UninstallLibraryEntry = "uninstall/smooth.dll";

		// The machine's list of installed programs: the key below
		// HKEY_LOCAL_MACHINE, and the same with the hive's name in front, as
		// an uninstall script records a product's entry.
		constexpr const char *UninstallKey	= "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
		constexpr const char *UninstallKeyFull	= "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
	}
}
