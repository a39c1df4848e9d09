// The bundle stub: the program a bundle starts as. It unpacks the payload
// it carries into a fresh folder, runs setup.exe from there with its own
// command line's tail, waits, removes the folder again and ends with
// setup.exe's exit code.
//
// Before it loads anything it restricts the DLL search to the system
// folder, and it imports only kernel32 (and the C runtime, msvcrt) itself;
// user32, gdi32 and comctl32 are loaded from the system folder when a
// window or a message is shown. It refuses to run when a DLL redirection
// (<its own file name>.local, a file or a folder) lies beside it.
//
// Windows only.
#pragma once

#include <windows.h>

namespace Tolvane
{
	// Exit codes of the stub's own failures. Without one of them the stub
	// ends with setup.exe's exit code, all 32 bits of it (setup.exe's own
	// are 0 to 3). Each failure shows a message box, except with /S.
	const DWORD STUB_EXIT_DAMAGED	    = 101;	// the payload is missing, truncated or damaged (table, names, hashes), or has no setup.exe
	const DWORD STUB_EXIT_UNPACK_FAILED = 102;	// the folder or a file could not be made or written, or the stub could not read itself
	const DWORD STUB_EXIT_START_FAILED  = 103;	// setup.exe could not be started or waited for
	const DWORD STUB_EXIT_REFUSED	    = 104;	// a .local DLL redirection lies beside the stub
	const DWORD STUB_EXIT_BAD_OPTION    = 105;	// /extractdir= without a folder, or with one that does not exist

	// The whole run; returns the exit code. instance holds the stub's
	// resources (strings, icon).
	DWORD	 RunStub(HINSTANCE instance);
}
