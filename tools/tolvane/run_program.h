// Starts another program and waits for it: the tool's one way to reach
// outside tools (the code signer). CMake picks run_program_posix.cpp or
// run_program_win.cpp.
#pragma once

#include <smooth.h>

#include <string>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		// Runs arguments[0], looked up in PATH when it names no folder, with
		// arguments[1...] passed on unchanged (no shell is involved, so
		// spaces, quotes and the like in them are plain characters), and
		// waits for it to end. Its output goes where ours goes. true with
		// its exit code in *exitCode (a signal's number + 128 when it was
		// killed); false, with the system's reason in *error, when it
		// cannot be started at all.
		bool		 RunProgram(const std::vector<smooth::String> &arguments, int *exitCode, std::string *error);
	}
}
