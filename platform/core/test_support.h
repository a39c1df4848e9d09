// Helpers for the tests of the platform core: a private scratch folder that
// is removed again when the test ends.
#pragma once

#include <smooth.h>

#include <string>

namespace smooth_test
{
	class ScratchFolder
	{
		public:
			ScratchFolder();
			~ScratchFolder();

			// Path of name inside the folder.
			smooth::String	 Path(const smooth::String &name) const;
			const smooth::String &Root() const	{ return root; }

			// Writes bytes to the file name inside the folder.
			void		 Write(const smooth::String &name, const std::string &bytes) const;
			std::string	 Read(const smooth::String &name) const;
		private:
			smooth::String	 root;
	};
}
