#include "bzip_stream.h"

#include <cstring>

namespace ZBK
{
	BzipReader::BzipReader(smooth::IO::InStream &input, Int64 offset, Int64 length) : input(input), position(offset), remaining(length)
	{
		std::memset(&stream, 0, sizeof(stream));
		ok = offset >= 0 && length >= 0 && offset + length <= input.Size() && BZ2_bzDecompressInit(&stream, 0, 0) == BZ_OK;
	}

	BzipReader::~BzipReader()
	{
		BZ2_bzDecompressEnd(&stream);
	}

	Int BzipReader::Read(void *data, Int bytes)
	{
		if (!ok) return -1;
		if (ended || bytes <= 0) return 0;

		stream.next_out = (char *) data;
		stream.avail_out = unsigned(bytes);

		while (stream.avail_out > 0)
		{
			if (stream.avail_in == 0)
			{
				// A stream that wants more input than its length holds is truncated.
				if (remaining == 0) { ok = false; return -1; }

				Int wanted = remaining < Int64(sizeof(block)) ? Int(remaining) : Int(sizeof(block));

				if (input.Seek(position) != smooth::Success()) { ok = false; return -1; }

				Int got = input.InputData(block, wanted);

				if (got <= 0) { ok = false; return -1; }

				position += got;
				remaining -= got;

				stream.next_in = block;
				stream.avail_in = unsigned(got);
			}

			int result = BZ2_bzDecompress(&stream);

			if (result == BZ_STREAM_END) { ended = true; break; }
			if (result != BZ_OK) { ok = false; return -1; }
		}

		return bytes - Int(stream.avail_out);
	}

	bool BzipReader::EndsExactly()
	{
		char probe;

		while (ok && !ended)
		{
			Int got = Read(&probe, 1);

			if (got != 0) return false;
		}

		return ok && ended && remaining == 0 && stream.avail_in == 0;
	}
}
