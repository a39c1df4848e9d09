#include "bzip_stream.h"

#include <cstring>

namespace ZBK
{
	// The stdio writer's defaults for mode "w": 900 000-byte blocks, quiet,
	// work factor 30. Same settings, same bytes.
	static const int blockSize100k	= 9;
	static const int workFactor	= 30;

	BzipWriter::BzipWriter(smooth::IO::OutStream &output) : output(output)
	{
		std::memset(&stream, 0, sizeof(stream));
		ok = BZ2_bzCompressInit(&stream, blockSize100k, 0, workFactor) == BZ_OK && output.GetLastError() == smooth::IO::IO_ERROR_OK;
	}

	BzipWriter::~BzipWriter()
	{
		BZ2_bzCompressEnd(&stream);
	}

	bool BzipWriter::Drain(int action)
	{
		for (;;)
		{
			stream.next_out = block;
			stream.avail_out = sizeof(block);

			int result = BZ2_bzCompress(&stream, action);

			if (result < 0) return ok = false;

			unsigned int produced = sizeof(block) - stream.avail_out;

			if (produced > 0)
			{
				if (output.OutputData(block, Int(produced)) != smooth::Success()) return ok = false;

				written += produced;
			}

			if (action == BZ_RUN && stream.avail_in == 0) return true;
			if (action == BZ_FINISH && result == BZ_STREAM_END) return true;
		}
	}

	bool BzipWriter::Write(const void *data, Int bytes)
	{
		if (!ok || finished || bytes < 0) return ok = false;
		if (bytes == 0) return true;

		stream.next_in = (char *) data;
		stream.avail_in = unsigned(bytes);

		return Drain(BZ_RUN);
	}

	bool BzipWriter::Finish()
	{
		if (finished || !ok) return ok;

		finished = true;

		return Drain(BZ_FINISH);
	}

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
