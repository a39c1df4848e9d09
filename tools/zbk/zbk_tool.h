// The command logic of the zbk tool: build, list, test, extract and change
// ZBK archives. main() only turns the command line into Strings and calls Run.
#pragma once

#include <smooth.h>

#include <functional>
#include <string>
#include <vector>

namespace ZBK
{
	namespace Tool
	{
		// Exit codes: success, a failure of the work (missing input, damaged
		// archive, refused name, write error), a wrong command line.
		const int ExitOK	= 0;
		const int ExitFailure	= 1;
		const int ExitUsage	= 2;

		// Where the tool's text goes. Texts are UTF-8.
		struct Console
		{
			std::function<void(const std::string &)> out;	// listings, reports, help
			std::function<void(const std::string &)> err;	// error lines, progress bar
			bool		 progress = false;		// err is a terminal: draw a bar
		};

		struct Settings
		{
			// create starts a new chunk once the current one holds this many
			// bytes of input, so that one extraction never has to decompress
			// more than about this much into the cache.
			smooth::Int64	 chunkBytes = 32 * 1024 * 1024;
			// ... or once it holds this many entries: the archive object that
			// writes a chunk keeps every entry of it in memory.
			smooth::Int64	 chunkEntries = 500;
			// Threads that compress chunks at once when the command line does
			// not say (--jobs); 0: one per processor.
			smooth::Int	 jobs = 0;
		};

		// Where create cuts the entries (sizes in name order, 0 for folders)
		// into chunks: the first entry of each chunk, then sizes.size(). A new
		// chunk starts once the current one holds chunkBytes of input or
		// chunkEntries entries, and before an entry that would carry its total
		// past what the format can hold (ZBK::MaxFormatValue). Depends on
		// nothing else, the number of jobs included. { 0, 0 } for no entries.
		std::vector<size_t> ChunkStarts(const std::vector<smooth::Int64> &sizes, const Settings &settings);

		// Runs one command. arguments excludes the program name. Every
		// failure writes one line "zbk: <file>: <cause>" to err per problem
		// and returns a non-zero exit code; nothing is thrown.
		int		 Run(const std::vector<smooth::String> &arguments, Console &console, const Settings &settings = Settings());

		// A progress bar on the error console, drawn only when console.progress
		// is set; redrawn when the shown percentage changes.
		class ProgressBar
		{
			public:
						 ProgressBar(Console &console, const smooth::String &label, smooth::Int64 total);
						~ProgressBar();

				// done of total units; values outside 0..total are clipped and
				// the bar never moves backwards.
				void		 Update(smooth::Int64 done);
				// Clears the bar's line (only when one was drawn), e.g. before an
				// error line; a later Update draws it again.
				void		 Finish();
			private:
				Console		&console;
				std::string	 label;
				smooth::Int64	 total;
				int		 shown = -1;
				bool		 drawn = false;
		};
	}
}
