// The bundle stub's command line. Everything after the program's own name
// goes on to setup.exe unchanged, except the stub's own option:
//
//   /extractdir=FOLDER   unpack below FOLDER instead of the temporary folder
//                        (quoted as a whole or after the '=' when it holds
//                        blanks: "/extractdir=C:\a b" or /extractdir="C:\a b")
//
// The stub also looks for /S (setup.exe's silent switch): then it shows no
// window and no message box of its own.
//
// Options are blank-separated tokens (a quoted part may hold blanks); their
// names are not case-sensitive. A token elsewhere, also inside an unquoted
// /D= folder of setup.exe, is never taken apart.
//
// Portable string handling, no allocation: the stub is a small program.
#pragma once

#include <cstddef>

namespace Tolvane
{
	struct StubOptions
	{
		bool silent	   = false;	// /S was given
		bool hasExtractDir = false;	// /extractdir= was given (the last one counts)
		bool emptyExtractDir = false;	// ... without a folder
	};

	// The text after the program's name and the blanks behind it, by the
	// rules Windows programs split their command line by: a quoted name runs
	// to the next '"', an unquoted one to the first blank.
	const wchar_t *CommandLineTail(const wchar_t *commandLine);

	// Reads tail (from CommandLineTail). tail goes to passOn without the
	// /extractdir= tokens and the blanks that separated them, otherwise
	// unchanged; the last /extractdir= folder, quotes removed, goes to
	// extractDir. Both buffers must hold wcslen(tail) + 1 characters; both
	// end with a zero.
	StubOptions ParseStubTail(const wchar_t *tail, wchar_t *passOn, wchar_t *extractDir);
}
