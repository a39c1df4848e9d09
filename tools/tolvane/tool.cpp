#include "tool.h"
#include "build.h"
#include "check.h"
#include "manifest.h"
#include "test_command.h"

namespace
{
	using namespace Tolvane::Tool;

	struct Command
	{
		const char	*name;
		const char	*usage;		// arguments, for the usage lines
		const char	*help;		// what it does, indented, for --help
		CommandFunction	 run;
	};

	// A new command is one more line here and a file of its own.
	const Command commands[] = {
		{ "check", "[--entry ARCHIVE=NAME]... DIR",
		  "      Reads DIR/setup.xml as the installer does and reports what it would\n"
		  "      ignore, default or get wrong, one line each as\n"
		  "      setup.xml:LINE:COLUMN: error|warning: message. --entry names an\n"
		  "      entry an archive will carry beyond its files (NAME in ARCHIVE).\n",
		  &RunCheck },
		{ "build", "DIR -o OUT --programs FOLDER [--bundle [--stub FILE]] [--mark-licence] [SIGNING]",
		  "      Checks DIR/setup.xml (errors stop it), then writes OUT/: setup.exe and\n"
		  "      smooth.dll from FOLDER, the script with its logo and licence, and\n"
		  "      every component's archive, packed from the folder named by\n"
		  "      <archive source=\"...\"> or copied from DIR. When the script keeps an\n"
		  "      uninstall log, FOLDER's uninstall.exe goes into the first required\n"
		  "      component's archive as uninstall/uninstall.exe. --bundle also writes\n"
		  "      OUT.exe, one self-extracting program holding all of OUT. The same\n"
		  "      inputs give the same bytes; SOURCE_DATE_EPOCH sets the files' times.\n"
		  "      With SIGNING, the programs are signed before they are packed and\n"
		  "      the bundle after its payload is appended. --mark-licence puts the\n"
		  "      UTF-8 byte-order mark before a licence in UTF-8 that has none, so\n"
		  "      that the licence page shows its letters as written.\n",
		  &RunBuild },
		{ "sign", "FILE SIGNING",
		  "      Signs a program in place with osslsigncode: SHA-256, and a time stamp\n"
		  "      when a server is named. SIGNING is --cert FILE --key FILE\n"
		  "      [--password-file FILE] [--timestamp URL].\n",
		  &RunSign },
		{ "test", "INSTALLER [--from OLDER] [--components default|all] [--report FILE.json] [--programs FOLDER] [--template FOLDER] [--timeout SECONDS]",
		  "      Installs INSTALLER (a bundle or a built folder) silently in a throw-away\n"
		  "      Wine prefix, with --from over OLDER, checks the installed files, links\n"
		  "      and registration, removes it with its quiet uninstall string and\n"
		  "      lists what was left; then does the same walking its wizard with\n"
		  "      FOLDER's tolvane_walk.exe (default: beside tolvane), pressing Next\n"
		  "      with the default choices or every component marked (all). Prints\n"
		  "      one line per finding, writes the JSON report to FILE. Exit 0\n"
		  "      without findings, 1 with findings, 2 when it cannot run (no Wine;\n"
		  "      no walker; a 32-bit installer without wine32).\n",
		  &RunTest },
		{ "manifest", "INSTALLER --id PUBLISHER.PRODUCT --url URL [-o FOLDER] [--license TEXT] [--description TEXT]",
		  "      Writes the Windows package manager's manifest (schema 1.10.0: the\n"
		  "      version, installer and en-US locale files) for the bundle INSTALLER\n"
		  "      under FOLDER/manifests/<letter>/<Publisher>/<Product>/<Version>/.\n"
		  "      Name, version, publisher, registration key, architecture and the\n"
		  "      SHA-256 come from the bundle: sign it first. --license and\n"
		  "      --description default to Proprietary and \"<name> <version>\".\n",
		  &RunManifest },
	};

	std::string Usage()
	{
		std::string text;

		for (const Command &command : commands)
		{
			text += text.empty() ? "usage: " : "       ";
			text += std::string("tolvane ") + command.name + " " + command.usage + "\n";
		}

		return text + "       tolvane --help\n";
	}

	std::string Help()
	{
		std::string text = "tolvane prepares a product for the installer.\n\n";

		for (const Command &command : commands) text += std::string("  ") + command.name + " " + command.usage + "\n" + command.help;

		return text + "\nExit status: 0 success (warnings allowed), 1 errors found, 2 wrong command line.\n";
	}
}

int Tolvane::Tool::UsageError(Console &console, const std::string &problem)
{
	console.err("tolvane: " + problem + "\n" + Usage());

	return ExitUsage;
}

int Tolvane::Tool::RunTool(const std::vector<smooth::String> &arguments, Console &console)
{
	if (arguments.empty()) return UsageError(console, "no command given");

	if (arguments[0] == "--help" || arguments[0] == "-h")
	{
		console.out(Help());

		return ExitOK;
	}

	for (const Command &command : commands)
	{
		if (arguments[0] != command.name) continue;

		std::vector<smooth::String> rest(arguments.begin() + 1, arguments.end());

		for (const smooth::String &argument : rest)
		{
			if (argument == "--help" || argument == "-h")
			{
				console.out(std::string("usage: tolvane ") + command.name + " " + command.usage + "\n" + command.help);

				return ExitOK;
			}
		}

		return command.run(rest, console);
	}

	return UsageError(console, "unknown command " + arguments[0].ToUTF8());
}
