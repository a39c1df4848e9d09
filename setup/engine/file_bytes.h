// A whole file read into memory, for the small files both programs keep
// beside an installation (scripts, the run's journal, a kept registration).
#pragma once

#include <smooth.h>

#include <string>

namespace Tolvane
{
	// Reads the file at path into bytes. false, with bytes unspecified,
	// when it is missing, unreadable, or larger than maxBytes.
	bool		 ReadFileBytes(const smooth::String &path, std::string &bytes, smooth::Int64 maxBytes);
}
