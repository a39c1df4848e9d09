// `tolvane check DIR`: reads DIR/setup.xml the way the installer's loader
// reads it and reports everything the loader would silently ignore, default
// or take differently from what the script says, and every file the
// installation would miss.
//
// Severities. An error means the installer would do something other than
// the script says, or would miss a file: the publisher must fix it. A
// warning means the loader ignores something or falls back to a default;
// the installation still does what the rest of the script says.
//
// Errors
//   - setup.xml missing, unreadable or malformed XML (at the parser's
//     position), or without a root element: the installer would run with
//     every default, no page at all;
//   - a boolean that is not exactly "true" or "false": it is read as false;
//   - a dialog without "id", <title> or <text> (the whole dialog, so its
//     page, is dropped), or with an unknown id;
//   - a component without <archive>: it installs nothing and its run fails;
//   - a component's "subdir" that is not a folder below the installation
//     folder (absolute, "..", a drive, a device name);
//   - an archive file that is missing or cannot be read as an archive (with
//     the archive module's cause), a "source" folder that is missing, an
//     archive entry with an unsafe name (the installer skips it);
//   - a logo or licence file that is missing;
//   - a link whose "depends" names no component (the shortcut is then made
//     even when its component is not installed);
//   - a link whose "file" no component installs.
// Warnings
//   - an unknown section, element or attribute where the loader reads known
//     names; an element inside a text (its text is lost); text where the
//     loader reads none;
//   - a position with only one of xpos and ypos, a font with some but not
//     all six of its attributes (the default is used);
//   - a number that is not a plain decimal integer (read as its leading
//     digits, or 0);
//   - a section out of the loader's order; a repeated section or element of
//     which only one counts; a repeated dialog id;
//   - a misspelt "%VERSION%" ("%VERISON%", "%version%", "%VERSION" without
//     its closing percent, ...), or "%VERSION%" where the installer does not
//     replace it (titles, file names, ...);
//   - a setup switch without "value"; a component <file> other than
//     smooth.dll (it has no effect);
//   - "subdir" on a desktop or quick-launch group, or groups that set the
//     one Start-menu folder to different names (the last one counts);
//   - a link without "file" (the shortcut opens the installation folder);
//     a link whose file only optional components install and that does not
//     depend on one of them (the shortcut can point at nothing).
//   - a licence file in UTF-8 without a byte-order mark (license_encoding.h:
//     IsUnmarkedUtf8): the page would show its non-ASCII letters garbled;
//     the message says to save it with the mark or to build with
//     --mark-licence.
#pragma once

#include "tool.h"

#include <smooth.h>

#include <string>
#include <utility>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		struct Diagnostic
		{
			enum Severity { Error, Warning };

			std::string	 file;		// "setup.xml"
			int		 line = 0;	// 1-based; 0 when the problem has no place in the file
			int		 column = 0;	// 1-based, in characters
			Severity	 severity = Error;
			std::string	 message;	// UTF-8
		};

		struct CheckOptions
		{
			// Entries an archive will carry beyond its files, as pairs of the
			// archive's name as <archive> writes it and the entry's name (either
			// separator). Names compare as Windows compares them. The build adds
			// the uninstaller this way, so links to it are not reported.
			std::vector<std::pair<smooth::String, smooth::String> > extraEntries;
		};

		// Checks dir/setup.xml. File names in the script (archives, "source"
		// folders, logo, licence) are looked up below dir, as the installer
		// opens them from its working folder, with Windows' rules: either
		// separator, letters in any case. A component's entries come from its
		// "source" folder (every file below it) when <archive> has the
		// attribute, else from the archive file, plus options.extraEntries.
		// Returns the diagnostics sorted by position (those without one
		// first); empty for a clean script. Never throws; a missing dir is a
		// missing setup.xml.
		std::vector<Diagnostic>	 CheckScript(const smooth::String &dir, const CheckOptions &options);

		// "setup.xml:LINE:COLUMN: error: MESSAGE" (or "warning"), without the
		// position when line is 0. No newline.
		std::string		 FormatDiagnostic(const Diagnostic &diagnostic);

		bool			 HasErrors(const std::vector<Diagnostic> &diagnostics);

		// Finds name (either separator) below dir as the installer would on
		// Windows: a step not there as written is matched in any case. true
		// with the native path of the file (or, with folder set, the folder).
		bool			 LocateName(const smooth::String &dir, const smooth::String &name, bool folder, smooth::String &path);

		// The whole file at path (a licence: at most 2 GiB); false when it
		// cannot be read whole.
		bool			 ReadLicenseBytes(const smooth::String &path, std::string &bytes);

		// Every file below folder, as '/' names relative to it, sorted by
		// their UTF-8 bytes; empty for a missing folder.
		std::vector<smooth::String> FilesBelow(const smooth::String &folder);

		// `check [--entry ARCHIVE=NAME]... DIR`: prints one line per
		// diagnostic to out; ExitFailure when any is an error, else ExitOK;
		// ExitUsage for a wrong command line.
		int			 RunCheck(const std::vector<smooth::String> &arguments, Console &console);
	}
}
