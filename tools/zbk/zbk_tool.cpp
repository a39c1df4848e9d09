#include "zbk_tool.h"
#include "command_line.h"

using namespace smooth;

namespace
{
	using namespace ZBK::Tool;

	typedef int (*CommandFunction)(const CommandLine &line, Console &console, const Settings &settings);

	struct Command
	{
		const char			*name;
		const char			*usage;		// arguments, for the usage lines
		const char			*help;		// what it does, indented, for --help
		std::vector<const char *>	 options;	// those it takes, each with a value
		CommandFunction			 run;
	};

	// A new command is one more entry here and a file of its own.
	const Command commands[] = {
		{ "create", "ARCHIVE [-C DIR] [--jobs N] PATH...",
		  "      Writes a new archive (replacing ARCHIVE) of the files and folders\n"
		  "      named, folders with everything below them. PATHs are relative to DIR\n"
		  "      when -C is given; entry names are those relative paths with '/'.\n"
		  "      Entries are stored in sorted order, so the same input always gives\n"
		  "      the same archive. Large inputs are split into several chunks\n"
		  "      (a new one after 32 MiB of files or 500 entries), which N threads\n"
		  "      compress at once (default: one per processor); the archive is the\n"
		  "      same for every N.\n",
		  { "-C", "--jobs" }, &RunCreate },
		{ "list", "ARCHIVE",
		  "      Prints size, chunk number and name of every entry.\n",
		  {}, &RunList },
		{ "test", "ARCHIVE",
		  "      Decompresses every chunk and checks it against its table.\n",
		  {}, &RunTest },
		{ "extract", "ARCHIVE [-C DIR] [NAME...]",
		  "      Extracts every entry, or the NAMEd entries and everything below\n"
		  "      NAMEd folders, into DIR (default: the current folder). Unsafe\n"
		  "      names and symbolic links on the way are refused.\n",
		  { "-C" }, &RunExtract },
		{ "add", "ARCHIVE [--as NAME] PATH",
		  "      Appends one chunk holding PATH (a folder with its contents) under\n"
		  "      NAME, or under PATH itself when it is a relative path.\n",
		  { "--as" }, &RunAdd },
		{ "remove", "ARCHIVE NAME...",
		  "      Removes the NAMEd entries (folders with everything below them) and\n"
		  "      rewrites the archive.\n",
		  {}, &RunRemove },
	};

	std::string Usage()
	{
		std::string text;

		for (const Command &command : commands)
		{
			text += text.empty() ? "usage: " : "       ";
			text += std::string("zbk ") + command.name + " " + command.usage + "\n";
		}

		return text + "       zbk --help\n";
	}

	// The usage, then every command with what it does.
	std::string Help()
	{
		std::string text = Usage() + "\nzbk builds, lists, tests, extracts and changes ZBK package archives.\n\n";

		for (const Command &command : commands) text += std::string("  ") + command.name + " " + command.usage + "\n" + command.help;

		return text + "\nExit status: 0 success, 1 failure, 2 wrong command line.\n";
	}
}

int ZBK::Tool::UsageError(Console &console, const String &problem)
{
	console.err("zbk: " + problem.ToUTF8() + "\n" + Usage());

	return ExitUsage;
}

int ZBK::Tool::Run(const std::vector<String> &arguments, Console &console, const Settings &settings)
{
	if (arguments.empty()) return UsageError(console, "no command given");

	const String &name = arguments[0];

	if (name == "--help" || name == "-h" || name == "help")
	{
		console.out(Help());

		return ExitOK;
	}

	for (const Command &command : commands)
	{
		if (name != command.name) continue;

		CommandLine line;

		line.command = name;

		if (!Parse(arguments, command.options, line, console)) return ExitUsage;

		// "zbk COMMAND --help" shows the same help as "zbk --help".
		if (line.help)
		{
			console.out(Help());

			return ExitOK;
		}

		return command.run(line, console, settings);
	}

	return UsageError(console, String("unknown command ").Append(name));
}
