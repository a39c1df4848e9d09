// BzipWriter, apart from BzipReader (bzip_stream.cpp) so that a program
// that only reads archives does not carry the compressor.
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
}
