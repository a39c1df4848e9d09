// The command-line options of setup.exe and uninstall.exe, for
// administrators who install without a person at the screen.
//
//   /S            silent: no window, no question; the pages' defaults
//   /D=FOLDER     the target folder (setup.exe only). Unquoted as the last
//                 option it takes the rest of the line, spaces and all;
//                 elsewhere a folder with spaces is quoted: /D="C:\My Apps\X"
//   /LOG=FILE     a UTF-8 log of every step, path and failure
//   /ALLOWDOWNGRADE  install over a newer registered version (setup.exe only)
//   /P            passive: only the installation page and its bars (the
//                 uninstaller: its progress), no question, no click;
//                 otherwise as /S
//   /CLOSEAPPS    with /S or /P (setup.exe only): ask the programs that hold files of the run to
//                 close, before replacing what is still held at restart
//   /?            what the options are
//
// Option names are not case-sensitive. A value may be quoted as a whole
// token ("/LOG=C:\a b.log") or after the '=' (/LOG="C:\a b.log").
#pragma once

#include <smooth.h>

namespace Tolvane
{
	// Exit codes of both programs.
	const smooth::Int EXIT_OK		= 0;	// done (or the wizard ended as it always has)
	const smooth::Int EXIT_FAILED		= 1;	// something failed during the run
	const smooth::Int EXIT_REFUSED		= 2;	// an option was refused (unknown, or without a value)
	const smooth::Int EXIT_NO_SCRIPT	= 3;	// no setup script (setup.exe) / uninstall script (uninstall.exe)
	const smooth::Int EXIT_OTHER_PRODUCT	= 4;	// the target folder holds another product's installation (setup.exe)
	const smooth::Int EXIT_DOWNGRADE	= 5;	// a newer version is installed (setup.exe, without /ALLOWDOWNGRADE)
	const smooth::Int EXIT_ELSEWHERE	= 6;	// the product is installed in another folder (setup.exe)
	const smooth::Int EXIT_RESTART		= 3010;	// done, but files in use are replaced or removed when the system restarts

	struct Options
	{
		bool		 silent	   = false;
		bool		 help	   = false;
		bool		 hasTarget = false;
		bool		 allowDowngrade = false;
		bool		 closeApps = false;
		bool		 passive   = false;
		smooth::String	 target;
		smooth::String	 logFile;
		// Why the command line was refused; empty when it was not.
		smooth::String	 refused;
	};

	// Parses a command line (without the program's name). allowTarget says
	// whether /D=, /ALLOWDOWNGRADE and /CLOSEAPPS are known (setup.exe) or refused
	// (uninstall.exe).
	Options		 ParseOptions(const smooth::String &commandLine, bool allowTarget);

	// The text of the /? message of a program.
	smooth::String	 OptionsHelp(bool setup);
}
