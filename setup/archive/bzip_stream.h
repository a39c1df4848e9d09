// bzip2 payloads over the platform's file streams.
//
// The library's stdio-style interface takes a narrow path (or a C FILE*),
// which cannot name every temporary folder on Windows; these two classes drive
// the library's stream interface over smooth::IO streams instead. The bytes a
// BzipWriter produces are exactly those of the library's stdio writer opened
// with mode "w" (block size 9, work factor 30).
#pragma once

#include <smooth.h>

#include <bzlib.h>

namespace ZBK
{
	using smooth::Int;
	using smooth::Int64;

	// Compresses into an output stream from its current position on.
	class BzipWriter
	{
		public:
			explicit	 BzipWriter(smooth::IO::OutStream &output);
					~BzipWriter();
			BzipWriter(const BzipWriter &) = delete;
			BzipWriter &operator =(const BzipWriter &) = delete;

			// Compresses bytes bytes. false when the library or the output
			// failed now or before; the writer is then unusable.
			bool		 Write(const void *data, Int bytes);
			// Ends the stream and writes its last bytes. false on any failure so
			// far. Called once; later calls return the same result.
			bool		 Finish();
			// Compressed bytes handed to the output so far.
			Int64		 GetCompressedSize() const	{ return written; }
		private:
			bool		 Drain(int action);

			smooth::IO::OutStream	&output;
			bz_stream	 stream;
			bool		 ok = false;
			bool		 finished = false;
			Int64		 written = 0;
			char		 block[65536];
	};

	// Decompresses one bzip2 stream that lies at offset in an input stream and
	// is exactly length bytes long. The input stream may be shared: the reader
	// seeks to its own position before every read.
	class BzipReader
	{
		public:
					 BzipReader(smooth::IO::InStream &input, Int64 offset, Int64 length);
					~BzipReader();
			BzipReader(const BzipReader &) = delete;
			BzipReader &operator =(const BzipReader &) = delete;

			// Up to bytes decompressed bytes into data. Returns the count, 0 once
			// the stream has ended, or -1 when the payload is damaged, truncated or
			// unreadable (and from then on). Never returns less than bytes before the
			// end unless it fails.
			Int		 Read(void *data, Int bytes);
			// true when the stream ended exactly at the last of its length bytes.
			// Reads ahead to find out: call it only after the data expected.
			bool		 EndsExactly();
		private:
			smooth::IO::InStream	&input;
			bz_stream	 stream;
			bool		 ok = false;
			bool		 ended = false;
			Int64		 position;
			Int64		 remaining;
			char		 block[65536];
	};
}
