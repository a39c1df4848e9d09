// Where an installation's own parts live below its target folder, and where
// the product is registered. The installer writes this layout, the
// uninstaller expects it, and the publisher's tool checks and builds
// products for it; every one of them takes the names from here.
//
// Header only and free of the platform layer, so that any program or tool
// can use it. Paths below the target are in archive entry form ('/'); join
// the parts with the system's separator where a system path is needed.
#pragma once

#include <cstddef>

namespace Tolvane
{
	namespace Layout
	{
		// A text joined at compile time, so that each part below is spelt
		// once and the joined forms follow it.
		template <size_t Size> struct Joined
		{
			char	 text[Size];
		};

		template <size_t... Sizes> constexpr Joined<(Sizes + ... + 1) - sizeof...(Sizes)> Concat(const char (&...parts)[Sizes])
		{
			Joined<(Sizes + ... + 1) - sizeof...(Sizes)> joined {};
			size_t	 at = 0;

			auto	 append = [&](const char *part) { while (*part != 0) joined.text[at++] = *part++; };

			(append(parts), ...);

			return joined;
		}

		namespace Parts
		{
			constexpr char	 folder[]	= "uninstall";
			constexpr char	 uninstaller[]	= "uninstall.exe";
			constexpr char	 script[]	= "uninstall.xml";
			constexpr char	 library[]	= "smooth.dll";
			constexpr char	 hive[]		= "HKEY_LOCAL_MACHINE";
			constexpr char	 key[]		= "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

			constexpr auto	 uninstallerEntry = Concat(folder, "/", uninstaller);
			constexpr auto	 scriptEntry	  = Concat(folder, "/", script);
			constexpr auto	 libraryEntry	  = Concat(folder, "/", library);
			constexpr auto	 keyFull	  = Concat(hive, "\\", key);
			constexpr auto	 entryPrefix	  = Concat(hive, "\\", key, "\\");
		}

		// The folder below the target that holds the uninstaller, its script
		// and (for the list of installed programs) a copy of the library.
		constexpr const char *UninstallFolder	= Parts::folder;

		// File names in that folder.
		constexpr const char *UninstallerName	= Parts::uninstaller;
		constexpr const char *ScriptName	= Parts::script;

		// The platform library: at the target's root, and beside the
		// installed uninstaller when the product is registered.
		constexpr const char *LibraryName	= Parts::library;

		// The uninstaller as an archive entry below the target (the publisher
		// ships it so; the installer recognises it by this name).
		constexpr const char *UninstallerEntry	= Parts::uninstallerEntry.text;

		// The uninstall script below the target, entry form.
		constexpr const char *ScriptEntry	= Parts::scriptEntry.text;

		// The library copy beside the installed uninstaller, entry form.
		constexpr const char *UninstallLibraryEntry = Parts::libraryEntry.text;

		// The machine's list of installed programs: the key below
		// HKEY_LOCAL_MACHINE, and the same with the hive's name in front, as
		// an uninstall script records a product's entry.
		constexpr const char *UninstallKey	= Parts::key;
		constexpr const char *UninstallKeyFull	= Parts::keyFull.text;

		// What the full key of a product's entry starts with: UninstallKeyFull
		// and a '\' (the entry's name follows).
		constexpr const char *UninstallEntryPrefix = Parts::entryPrefix.text;
	}
}
