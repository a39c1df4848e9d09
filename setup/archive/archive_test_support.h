// Helpers for the archive module's tests: archive bytes built by hand, an
// independent strict parser of archive files, and a progress recorder.
#pragma once

#include "archive.h"
#include "test_support.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ZBK
{
	// Failed expectations name the status instead of dumping its bytes.
	inline void PrintTo(Status status, std::ostream *out)	{ *out << StatusText(status); }
}

namespace ZBKTest
{
	using smooth::String;

	// A scratch folder with the helpers every test here needs.
	struct Workspace
	{
		smooth_test::ScratchFolder folder;

		// Writes a source file and returns its path.
		String Source(const String &name, const std::string &content) const
		{
			folder.Write(name, content);

			return folder.Path(name);
		}

		String Path(const String &name) const	{ return folder.Path(name); }
		std::string Read(const String &name) const	{ return folder.Read(name); }
		bool Exists(const String &name) const	{ return smooth::File(folder.Path(name)).Exists(); }
		std::vector<String> Files() const	{ return smooth::Directory(folder.Root()).GetFiles(); }
	};

	std::string	 Le16(uint32_t value);
	std::string	 Le32(uint32_t value);

	// The bzip2 stream of data, made by the library's one-shot compressor at
	// block size 9, the settings every payload is written with.
	std::string	 Compress(const std::string &data);

	struct Record
	{
		std::string	 name;		// the stored UTF-8 bytes
		uint32_t	 size;
	};

	// One chunk: count, "FILES", records, "CDATA", P, T, payload. P and T are
	// the payload's length and the sum of the sizes unless given.
	std::string	 ChunkBytes(const std::vector<Record> &records, const std::string &payload, int64_t compressedSize = -1, int64_t totalSize = -1);

	struct ParsedChunk
	{
		std::vector<Record> records;
		uint32_t	 compressedSize = 0;
		uint32_t	 totalSize = 0;
		std::string	 payload;
		std::string	 bytes;		// the whole chunk as stored
	};

	// Splits an archive file into its chunks. false unless the file is the
	// magic and complete chunks with intact markers, ending exactly at its end.
	bool		 Parse(const std::string &file, std::vector<ParsedChunk> &chunks);

	// Decompresses one bzip2 stream; false when it is damaged or has extra bytes.
	bool		 Decompress(const std::string &payload, std::string &data);

	// Every progress value the archive emits, in order.
	class ProgressLog
	{
		public:
			explicit	 ProgressLog(ZBK::Archive &archive);

			std::vector<smooth::Int> values;

			// 0 first, 1000 last, never falling, never above 1000.
			bool		 IsSound() const;
	};
}
