// The publisher's tool: `tolvane COMMAND ...`. main() only turns the command
// line into Strings and calls RunTool; each command lives in a file of its
// own (check.cpp, ...) and is listed once in tool.cpp's command table.
#pragma once

#include <smooth.h>

#include <functional>
#include <string>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		// Exit codes: success (for check: no errors, warnings allowed), a
		// failure of the work (for check: at least one error), a wrong
		// command line.
		const int ExitOK	= 0;
		const int ExitFailure	= 1;
		const int ExitUsage	= 2;

		// Where the tool's text goes. Texts are UTF-8.
		struct Console
		{
			std::function<void(const std::string &)> out;	// results (diagnostics), help
			std::function<void(const std::string &)> err;	// usage errors
			bool		 progress = false;			// err is a terminal: long work draws a progress bar there
		};

		// A command's entry: arguments are those after the command's name.
		typedef int (*CommandFunction)(const std::vector<smooth::String> &arguments, Console &console);

		// Runs one command line (arguments exclude the program name).
		// No arguments, an unknown command or a command's wrong arguments
		// write one line "tolvane: <problem>" and the usage to err and return
		// ExitUsage; "--help" (alone, or after a command) writes the help to
		// out and returns ExitOK. Otherwise returns the command's exit code.
		// Nothing is thrown.
		int		 RunTool(const std::vector<smooth::String> &arguments, Console &console);

		// Writes "tolvane: <problem>" and the usage to err; returns ExitUsage.
		// For commands that refuse their arguments.
		int		 UsageError(Console &console, const std::string &problem);
	}
}
