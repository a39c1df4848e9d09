// What the zbk commands share: their error lines, opening an archive and
// checking its chunk structure, choosing entries by name, and following an
// archive's progress. Internal to the tool; callers use zbk_tool.h.
#pragma once

#include "zbk_tool.h"

#include <archive.h>

#include <functional>
#include <vector>

namespace ZBK
{
	namespace Tool
	{
		// Writes the one line "zbk: <file>: <cause>" to err; returns
		// ExitFailure so that callers can return it directly.
		int		 Fail(Console &console, const smooth::String &file, const smooth::String &cause);

		// The platform's text for a system error code; "unknown error" for 0.
		smooth::String	 LastCause(smooth::Int code);

		// "cannot write (<LastCause(code)>)", the cause of every failed write.
		smooth::String	 CannotWrite(smooth::Int code);

		// The archive module's text for status, followed by the system's
		// reason in parentheses when systemError is not 0.
		smooth::String	 Cause(ZBK::Status status, smooth::Int systemError);

		// Opens the existing archive at path. false, after writing one error
		// line, when it cannot be opened or read as a ZBK archive, or (with
		// forWriting) when it can only be read. A file without the magic
		// opens as an empty archive, so it is refused here too.
		bool		 OpenArchive(Console &console, const smooth::String &path, ZBK::Archive &archive, bool forWriting);

		// What is wrong with the opened archive's chunk structure, or an empty
		// text: a chunk whose payload cannot match its table, or bytes after
		// the last chunk that could not be read as a chunk (one stray byte is
		// tolerated). path is the archive's file, for its size.
		smooth::String	 StructureProblem(const ZBK::Archive &archive, const smooth::String &path);

		// The entries that wanted names select, in archive order, each once:
		// every name itself (normalised as entry names are) and, for a
		// folder, everything below it. false, after one error line per name
		// that selects nothing, when any does; selected is filled either way.
		bool		 Select(Console &console, const ZBK::Archive &archive, const smooth::String &archivePath, const std::vector<smooth::String> &wanted, std::vector<smooth::Int> &selected);

		// Routes an archive's progress (thousandths of the running step) to
		// whatever sink is set now; nothing while it is empty. Must outlive
		// every step of the archive it is attached to.
		struct ProgressRoute
		{
			std::function<void(smooth::Int)> sink;

			void		 Attach(ZBK::Archive &archive);
		};
	}
}
