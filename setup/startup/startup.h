// The start-up glue both programs share: keep the start-up values, bring up
// the platform, check its version, run the program's Main, free the platform.
#pragma once

#include <smooth.h>

namespace Tolvane
{
	// The start-up check of the platform library's version: when version is
	// not exactly "0.8.70.0", asks the user whether to continue. Returns false
	// only when the answer is No.
	bool		 CheckLibraryVersion(const smooth::String &version);

	// The whole program behind wWinMain: stores the start-up values (the
	// command line without the program name, as wWinMain has it: wide, so
	// that no character the user typed is lost), initialises
	// the platform, checks its version, runs main and frees the platform.
	// Returns -1 when the user stops at the version warning, else main's
	// result.
	int		 RunProgram(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode, smooth::Int (*main)());
}
