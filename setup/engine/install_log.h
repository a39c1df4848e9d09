// The log an administrator asks for with /LOG=FILE: one UTF-8 line per step,
// path and failure, written as it happens, so that a run that ends badly
// still leaves what it did.
#pragma once

#include <smooth.h>

#include <memory>

namespace Tolvane
{
	class InstallLog
	{
		public:
			// Starts a new log at fileName (replacing an old one), or goes on
			// at its end with append. false when it cannot be written; the log
			// then stays closed and Write does nothing.
			bool		 Open(const smooth::String &fileName, bool append = false);
			bool		 IsOpen() const	{ return output != nullptr; }

			// One line, written through at once.
			void		 Write(const smooth::String &line);
		private:
			std::unique_ptr<smooth::IO::OutStream> output;
	};
}
