// Files that running programs hold, found before a run changes anything, so
// that the user decides once (close the programs and retry, replace the
// files when the system restarts, or cancel) and never in the middle of a
// run.
//
// What a run or a removal will replace or delete is known from the setup
// script, the choices and the uninstall scripts; which of those files a
// program holds, and which program, only the system can say
// (FindFilesInUseOnSystem, behind SystemInterface and UninstallSystem). The
// rest is plain data, tested natively.
#pragma once

#include <smooth.h>

#include "uninstall_script.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace Tolvane
{
	class Configuration;
	struct InstallChoices;

	// A file that a running program holds.
	struct FileInUse
	{
		smooth::String		 path;
		smooth::String		 program;	// the program's own name; empty when unknown
		smooth::UnsignedInt	 processId = 0;	// 0 when unknown
	};

	// The existing files a run with choices would write or remove: the
	// entries of every marked component's archive, the platform library
	// copy, and what the earlier installation's script lists below the
	// target (an upgrade removes what the new version has not), except the
	// setup script's kept data files and the installed uninstaller with its
	// library and script, which the run replaces by a copy and never
	// moves. Each path once, in that order; files that do not exist are
	// left out, and an archive that cannot be read adds nothing. (Part of
	// the engine's library; the rest of this header is shared with the
	// uninstaller.)
	std::vector<smooth::String> FilesTheRunChanges(const Configuration &config, const InstallChoices &choices);

	// uses without the files that a marked component's archive holds byte
	// for byte already: the run compares such a file and leaves it as it
	// is, so a program holding it is no reason to ask. Only the archives
	// are read (their index, and the chunks of the files in uses); a file
	// that cannot be compared stays in. (Part of the engine's library.)
	std::vector<FileInUse>	 WithoutUnchanged(const std::vector<FileInUse> &uses, const Configuration &config, const InstallChoices &choices);

	// The files of candidates that exist, each once (paths compare as
	// PathKey does), in their order, leaving out those of skipped: what a
	// run or a removal would replace or delete of what is there now.
	std::vector<smooth::String> ExistingFilesOnce(const std::vector<smooth::String> &candidates, const std::vector<smooth::String> &skipped);

	// The paths of uses, as a set of PathKey keys (what
	// InstallRun::replaceAtRestart takes).
	std::set<std::wstring>	 InUseKeys(const std::vector<FileInUse> &uses);

	// One line per program, in the order they were first met: the program's
	// name (or "Unknown program" when the system could not tell) and the
	// files it holds, at most shown of them. Empty text for no uses.
	smooth::String		 DescribeFilesInUse(const std::vector<FileInUse> &uses, smooth::Int shown = 3);

	// The question before a run (removal false) or a removal (true) when
	// programs hold files of it: the programs and their files, and what
	// Retry, Ignore and Abort do.
	smooth::String		 FilesInUseQuestion(const std::vector<FileInUse> &uses, bool removal);

	// Where the new version of a file in use is written, beside the old
	// one, until the system replaces it at restart: path followed by
	// ".new", or ".new2", ".new3" and so on when that is taken (exists
	// returns whether a path exists).
	smooth::String		 BesideName(const smooth::String &path, const std::function<bool(const smooth::String &)> &exists);

	// A silent run's exit code: EXIT_FAILED when anything failed,
	// EXIT_RESTART when the run left work for the restart, else EXIT_OK.
	smooth::Int		 SilentExitCode(bool failed, bool restartNeeded);

	// The system's answers behind SystemInterface (Windows builds only): a
	// file is in use when it cannot be opened for writing and deleting,
	// sharing everything (a running program's own files, a file opened
	// without delete sharing); its programs come from the Restart Manager
	// when the system has one that answers, else from the processes that
	// loaded it; a file held by an unknown program has an empty name.
	// CloseProgramsOnSystem asks the programs to close (the Restart
	// Manager's shutdown, and a close message to each program's windows) and
	// polls the files until all are free or waitMs has passed.
	std::vector<FileInUse>	 FindFilesInUseOnSystem(const std::vector<smooth::String> &paths);
	std::vector<FileInUse>	 CloseProgramsOnSystem(const std::vector<FileInUse> &uses, smooth::Int waitMs);

	// How long a silent /CLOSEAPPS run waits for programs to close, in
	// milliseconds, before it falls back to replacing at restart.
	const smooth::Int	 CLOSE_PROGRAMS_WAIT = 30000;
}
