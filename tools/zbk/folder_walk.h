// The files and folders that create and add put into an archive: gathered
// from the paths on the command line (folders with everything below them),
// sorted, checked, and added to an archive object.
#pragma once

#include "zbk_tool.h"

#include <archive.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ZBK
{
	namespace Tool
	{
		// One file or folder to add. Large trees have many thousands of these,
		// so only the UTF-8 name is kept; the source path is rebuilt from the
		// command-line path it came from (see Inputs::SourceOf).
		struct Input
		{
			std::string		 name;		// '/' separators, folders end with '/'; also the sort key
			smooth::Int64		 size = 0;	// -1 when it could not be read
			uint32_t		 root = 0;	// index into Inputs::roots
			bool			 folder = false;
		};

		struct Inputs
		{
			// A command-line path: where it is and the name it has (empty for
			// "." standing for a folder's contents).
			struct Root
			{
				smooth::String	 base;
				std::string	 stem;
			};

			std::vector<Root>	 roots;
			std::vector<Input>	 list;

			// Where input is on disk.
			smooth::String	 SourceOf(const Input &input) const;

			// The sizes of list[first] to list[last - 1].
			smooth::Int64	 SumSizes(size_t first, size_t last) const;
		};

		// Adds the file or folder at source (a folder with everything below
		// it, links to folders skipped) to inputs under name; an empty name
		// takes only a folder's contents, at the top. false, after one error
		// line, when source is neither, or is a file named with a trailing
		// separator or without a name.
		bool		 Gather(Console &console, const smooth::String &source, const smooth::String &name, Inputs &inputs);

		// Sorts inputs.list by name bytes and drops repeats (a file named twice
		// on the command line, or inside a folder that is named too). false,
		// after one error line per entry, when any name is unsafe or longer
		// than 65535 bytes, a file's size is unknown or larger than an entry
		// can be; the list is sorted and free of repeats either way.
		bool		 Prepare(Console &console, Inputs &inputs);

		// Adds inputs.list[first] to [last - 1] to archive under their names.
		// false at the first one the archive refuses, with failed set to its
		// index; report it with FailToAdd.
		bool		 AddInputs(ZBK::Archive &archive, const Inputs &inputs, size_t first, size_t last, size_t &failed);

		// "zbk: <source>: cannot add "<name>"" for inputs.list[index]; returns
		// ExitFailure.
		int		 FailToAdd(Console &console, const Inputs &inputs, size_t index);

		// After a failed write of the archive at archivePath from
		// inputs.list[first] to [last - 1]: one error line naming the first
		// source that cannot be read or has changed size since it was
		// gathered, or else the archive with the platform's reason for code.
		// Returns ExitFailure.
		int		 ExplainWriteFailure(Console &console, const smooth::String &archivePath, const Inputs &inputs, size_t first, size_t last, smooth::Int code);
	}
}
