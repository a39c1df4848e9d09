// Reads a Windows shell link (.lnk) file, the format the installer's
// shortcuts are saved in, so that `tolvane test` can say where a shortcut
// leads and where its program starts without asking Windows. Portable: the
// file is plain bytes, little-endian throughout.
//
// What a link names comes from, in this order:
//   - its link information's local path (the UTF-16 one when the file has
//     it, else the ANSI one followed by the common path suffix);
//   - its item list (drive, then one item per folder and the file), when
//     there is no link information or its ANSI path could not hold the
//     name (a byte past ASCII, or the '?' the system puts for a character
//     its code page lacks): each item's UTF-16 long name where the item
//     carries one, else its ANSI short name.
// ANSI text is read as Windows-1252 (what Wine and western Windows write).
#pragma once

#include <string>

namespace Tolvane
{
	namespace Tool
	{
		struct ShellLink
		{
			std::string	 target;		// UTF-8 ("C:\Program Files\...\x.exe"); empty when the link names no file system path
			std::string	 workingFolder;		// UTF-8; empty when the link sets none
			std::string	 arguments;		// UTF-8; empty when none
		};

		enum class ShellLinkStatus
		{
			Ok,
			NotALink,	// no shell link header (other size or class id)
			Truncated	// a part the header announces ends past the file's end, or a size inside it points outside its part
		};

		// Reads bytes (a whole .lnk file) into *link. On any status but Ok,
		// *link is left empty. Never reads outside bytes, whatever they hold.
		ShellLinkStatus	 ReadShellLink(const std::string &bytes, ShellLink *link);

		// One English phrase for a status ("a truncated shell link").
		const char	*ShellLinkStatusText(ShellLinkStatus status);
	}
}
