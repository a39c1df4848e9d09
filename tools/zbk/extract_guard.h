// Keeping extraction inside its folder when the folder already holds
// symbolic links: an entry "a/b" must not be written through a link "a" that
// points elsewhere.
#pragma once

#include <smooth.h>

namespace ZBK
{
	namespace Tool
	{
		// true, with link set to the offending path, when folder/name or any
		// of the folders between folder and it (folder itself excluded) is a
		// symbolic link. false when none is, or when the path does not exist
		// yet. name uses '/' separators; a trailing '/' is ignored.
		bool		 FindLinkOnPath(const smooth::String &folder, const smooth::String &name, smooth::String &link);
	}
}
