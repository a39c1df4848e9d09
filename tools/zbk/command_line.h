// The command line of one zbk command, and the commands' entries: each
// command lives in a file of its own (create.cpp, list.cpp, ...) and is
// listed once in zbk_tool.cpp's command table.
#pragma once

#include "zbk_tool.h"

#include <vector>

namespace ZBK
{
	namespace Tool
	{
		// The parsed command line of one command.
		struct CommandLine
		{
			smooth::String			 command;
			std::vector<smooth::String>	 positional;
			smooth::String			 folder;		// -C
			bool				 haveFolder = false;
			smooth::String			 as;			// --as
			bool				 haveAs = false;
			smooth::Int			 jobs = 0;		// --jobs; 0 when not given
			bool				 help = false;		// --help or -h anywhere before "--"
		};

		// Reads arguments[1...] (arguments[0] is the command, already in
		// line.command) into line. allowed lists the options the command
		// takes (each with a value: -C, --as, --jobs); "--" ends the options.
		// false, after UsageError, on an option the command does not take,
		// one without its value, or a --jobs that is not a whole number from
		// 1 to 9999.
		bool		 Parse(const std::vector<smooth::String> &arguments, const std::vector<const char *> &allowed, CommandLine &line, Console &console);

		// Writes "zbk: <problem>" and the usage to err; returns ExitUsage.
		// For commands that refuse their arguments.
		int		 UsageError(Console &console, const smooth::String &problem);

		// A path typed on the command line as an entry name: '/' separators
		// (a '\' counts as one), no empty or "." components; "" for "." itself.
		// false when the path leaves the folder it is relative to (absolute,
		// drive letter, a ".." component); name is then unchanged.
		bool		 RelativeName(const smooth::String &path, smooth::String &name);

		// The commands. Each takes its parsed line, writes one line
		// "zbk: <file>: <cause>" per problem, and returns ExitOK, ExitFailure
		// or (for wrong positional arguments, after UsageError) ExitUsage.
		int		 RunCreate(const CommandLine &line, Console &console, const Settings &settings);
		int		 RunList(const CommandLine &line, Console &console, const Settings &settings);
		int		 RunTest(const CommandLine &line, Console &console, const Settings &settings);
		int		 RunExtract(const CommandLine &line, Console &console, const Settings &settings);
		int		 RunAdd(const CommandLine &line, Console &console, const Settings &settings);
		int		 RunRemove(const CommandLine &line, Console &console, const Settings &settings);
	}
}
