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

		// How StartProgram starts a program: in workingFolder (ours when
		// empty), with its output and errors appended to output (ours when
		// empty; the file is created when missing).
		struct ProgramOptions
		{
			smooth::String	 workingFolder;
			smooth::String	 output;
		};

		// Starts arguments[0] as RunProgram does without waiting for it. true
		// with its id in *process; false with the reason in *error. Where the
		// system cannot start programs this way (Windows: `tolvane test` runs
		// on linux only) always false.
		bool		 StartProgram(const std::vector<smooth::String> &arguments, const ProgramOptions &options, long *process, std::string *error);

		// Waits up to milliseconds (negative: as long as it takes) for a
		// started program. true with its exit code once it ended (it is then
		// gone: wait for it only once); false while it still runs.
		bool		 WaitProgram(long process, int milliseconds, int *exitCode);

		// Sets a variable of our environment, which programs started later
		// inherit.
		void		 SetEnvironment(const std::string &name, const std::string &value);

		// Ends a started program (a signal it cannot refuse) and waits for it.
		void		 StopProgram(long process);
	}
}
