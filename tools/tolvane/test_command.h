// `tolvane test`: proves on linux, under Wine, that a built installer
// installs silently without a window, installs what its script says,
// registers itself correctly and is removed again without leftovers.
//
// The run, in a throw-away Wine prefix copied from a cached template (made
// once with wineboot; Wine's own libraries are linked, not copied, so a copy
// takes about a second) with its own Xvfb when there is no display:
//   1. snapshot of drive C: (without Wine's windows folder and the temporary
//      folders) and of the registry below Software (Wine's hive files);
//   2. with --from, the older installer installs silently first;
//   3. the installer installs silently (/S) while the X screen is watched:
//      any window that appears is a finding, and the run is stopped;
//   4. checks: the exit code; every entry of every archive the silent run
//      installs (required and default components) byte for byte under the
//      target; nothing else in the target but the installation's own parts
//      and the script's data files (after --from: files of the older
//      version left behind); the registration: DisplayName, DisplayVersion equal
//      to the script's, Publisher, InstallLocation equal to the target, and
//      both uninstall strings naming an existing program; the installed
//      uninstaller and uninstall script; each link read as the shell reads
//      it (shell_link.h), leading to the installed file the script names
//      and starting in an existing folder;
//   5. the registered QuietUninstallString runs (watched the same way); then
//      every file, folder, link and registry key that is there and was not
//      before is a leftover;
//   6. when that found nothing, the same again in a second prefix from the
//      template, the installer's wizard walked instead of /S: the walker
//      (tolvane_walk.exe, built with the Windows programs) presses Next
//      through every page with the default choices, or marks every
//      component first with --components all. A walk that stops (a page
//      that does not change, a message box, no wizard, the timeout) is one
//      finding naming the page's title and what it shows; the checks of 4
//      and 5 then follow, for the components the walk chose.
#pragma once

#include "tool.h"

#include <smooth.h>

#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		// `test INSTALLER [--from OLDER] [--components default|all] [--report
		// FILE] [--programs FOLDER] [--template FOLDER] [--timeout SECONDS]`:
		// INSTALLER is a bundle or a built folder; FOLDER of --programs holds
		// the walker (default: this tool's own folder), whose absence is a
		// wrong command line. --timeout bounds each program run and each
		// page of the walk. Prints the summary; writes the JSON report to
		// FILE.
		// ExitOK without findings, ExitFailure with findings, ExitUsage for a
		// wrong command line and when the test cannot run (no Wine, no Xvfb,
		// a 32-bit installer or walker where Wine runs only 64-bit programs, an
		// unreadable installer): one line saying why and what to install.
		// The template defaults to $XDG_CACHE_HOME/tolvane/wine-template (or
		// ~/.cache/...); one this tool made (Wine's version in FOLDER.version)
		// is made anew when Wine's version changes. Everything the run starts
		// or makes is gone after it.
		int		 RunTest(const std::vector<smooth::String> &arguments, Console &console);
	}
}
