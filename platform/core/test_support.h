// Helpers for the tests of the platform core: a private scratch folder that
// is removed again when the test ends.
#pragma once

#include <smooth.h>

#include <string>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

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

#ifndef _WIN32
	// Limits the size of every file this process writes while it lives: a
	// full disk on demand. Writes past the limit fail with EFBIG instead of
	// ending the process.
	class FileSizeLimit
	{
		public:
			explicit FileSizeLimit(rlim_t bytes)
			{
				signal(SIGXFSZ, SIG_IGN);
				getrlimit(RLIMIT_FSIZE, &previous);

				rlimit limit = previous;

				limit.rlim_cur = bytes;
				setrlimit(RLIMIT_FSIZE, &limit);
			}

			~FileSizeLimit()	{ setrlimit(RLIMIT_FSIZE, &previous); }
			FileSizeLimit(const FileSizeLimit &) = delete;
			FileSizeLimit &operator =(const FileSizeLimit &) = delete;
		private:
			rlimit	 previous;
	};
#endif
}
