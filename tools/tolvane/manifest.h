// `tolvane manifest`: the Windows package manager's multi-file manifest
// (schema 1.10.0: a version, an installer and a default-locale file) for a
// built bundle. Whatever the bundle holds (name, version, publisher, the
// registration's key name, the programs' architecture, the SHA-256 of its
// bytes) is read from it; the command line gives only what it cannot hold:
// the package's identifier and the address it is downloaded from.
#pragma once

#include "tool.h"

#include <smooth.h>

#include <string>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		// What a manifest states about one built bundle.
		struct InstallerFacts
		{
			std::string	 name;		// <application><name>, UTF-8
			std::string	 version;	// <application><version>
			std::string	 publisher;	// <application><company>
			std::string	 productCode;	// the key name the installer registers under
			std::string	 architecture;	// "x86" or "x64", from setup.exe's PE header
			std::string	 sha256;	// of the bundle file, 64 upper-case hex digits
			bool		 hasLicence = false;
		};

		// Reads facts from the bundle file at installer: every entry's
		// SHA-256 is checked on the way (a damaged or unsigned-after-edit
		// bundle is refused), setup.xml is read as the installer reads it.
		// false with one line in *error when the file is no readable bundle,
		// holds no setup.xml or setup.exe, or the script names no application
		// or version (the manifest would have nothing to say).
		bool		 ReadInstallerFacts(const smooth::String &installer, InstallerFacts *facts, std::string *error);

		struct ManifestFile
		{
			std::string	 path;	// relative, '/' separated: manifests/<l>/<Part>/.../<Version>/<Id>....yaml
			std::string	 text;	// YAML, UTF-8, LF line ends
		};

		// What the manifest says beyond the installer.
		struct ManifestLine
		{
			std::string	 id;		// Publisher.Product (2 to 8 parts)
			std::string	 url;		// where the bundle is downloaded from
			std::string	 licence;	// empty: "Proprietary"
			std::string	 description;	// empty: "<name> <version>"
		};

		// The three files for facts and line. Every documented exit code of
		// the bundle and its setup.exe is listed in ExpectedReturnCodes; 0 is
		// success and not listed. Strings are written double-quoted, so any
		// text (colons, quotes, leading digits) stays a string.
		std::vector<ManifestFile> ManifestFiles(const InstallerFacts &facts, const ManifestLine &line);

		// Whether id is a valid package identifier: 2 to 8 parts of 1 to 32
		// characters separated by '.', none of them blank, '\', '/', ':', '*',
		// '?', '"', '<', '>', '|' or control characters; at most 128 in all.
		bool		 IsPackageIdentifier(const std::string &id);

		// `manifest INSTALLER --id ID --url URL [-o FOLDER] [--license TEXT]
		// [--description TEXT]`: writes the three files below FOLDER (default
		// "."), replacing earlier ones of the same version, and prints their
		// paths. ExitFailure (one line to err) when the installer cannot be
		// read or a file cannot be written; ExitUsage for a wrong command
		// line, an invalid identifier or a URL that is not http(s).
		int		 RunManifest(const std::vector<smooth::String> &arguments, Console &console);
	}
}
