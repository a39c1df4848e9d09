// Helpers shared by the archive's own sources (not part of its interface).
#pragma once

#include <smooth.h>

namespace ZBK
{
	namespace Internal
	{
		// "<process id>_<n>" with n from a process-wide counter: unique among
		// the names this process makes, and no other process makes the same.
		smooth::String	 UniqueSuffix();

		// Cuts the file at path back to size bytes. false when that failed.
		bool		 TruncateFile(const smooth::String &path, smooth::Int64 size);

		// true when the text ends with '/' or '\'.
		bool		 EndsWithSeparator(const smooth::String &text);
	}
}
