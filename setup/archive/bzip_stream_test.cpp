#include "bzip_stream.h"
#include "archive_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace ZBKTest;

namespace
{
	std::string Sample(size_t size)
	{
		std::string data;
		uint32_t state = 7;

		// Text-like, partly repetitive: neither trivial nor incompressible.
		while (data.size() < size)
		{
			state = state * 1103515245u + 12345u;
			data += "word" + std::to_string((state >> 16) % 500) + ((state & 0x100) ? " " : "\n");
		}

		data.resize(size);

		return data;
	}

	std::string WriteWith(const smooth_test::ScratchFolder &folder, const std::string &data, size_t piece)
	{
		{
			smooth::IO::OutStream out(smooth::IO::STREAM_FILE, folder.Path("w.bz2"), smooth::IO::OS_REPLACE);
			ZBK::BzipWriter writer(out);

			for (size_t at = 0; at < data.size(); at += piece)
			{
				size_t n = std::min(piece, data.size() - at);

				EXPECT_TRUE(writer.Write(data.data() + at, smooth::Int(n)));
			}

			EXPECT_TRUE(writer.Finish());
			EXPECT_EQ(out.Close(), smooth::Success());
		}

		return folder.Read("w.bz2");
	}
}

TEST(Bzip, WriterMakesTheLibrarysOwnBytes)
{
	smooth_test::ScratchFolder folder;

	// Empty, tiny, and more than two 900 000-byte blocks, in various pieces.
	for (size_t size : { size_t(0), size_t(1), size_t(5000), size_t(2000000) })
	{
		std::string data = Sample(size);
		std::string expected = Compress(data);

		for (size_t piece : { size_t(1) << 17, size_t(777) })
		{
			if (size > 100000 && piece < 1000) continue;

			EXPECT_EQ(WriteWith(folder, data, piece), expected) << size << "/" << piece;
		}
	}
}

TEST(Bzip, ReaderEndsOnEveryKindOfDamage)
{
	smooth_test::ScratchFolder folder;
	std::string data = Sample(300000);
	std::string good = Compress(data);
	std::string flipped = good;

	flipped[good.size() / 2] ^= 0x10;

	struct Case
	{
		const char	*what;
		std::string	 bytes;
		bool		 whole;		// all data read and the stream ends exactly
	};

	const Case cases[] = {
		{ "intact", good, true },
		{ "truncated", good.substr(0, good.size() - 20), false },
		{ "cut to the header", good.substr(0, 10), false },
		{ "empty", "", false },
		{ "flipped bit", flipped, false },
		{ "extra bytes", good + "tail", false },
		{ "second stream behind", good + good, false },
		{ "not bzip2", std::string(1000, 'x'), false },
	};

	for (const auto &c : cases)
	{
		folder.Write("r.bz2", "pre" + c.bytes + "post");

		smooth::IO::InStream in(smooth::IO::STREAM_FILE, folder.Path("r.bz2"), smooth::IO::IS_READ_ONLY);
		ZBK::BzipReader reader(in, 3, smooth::Int64(c.bytes.size()));
		std::string out;
		std::vector<char> block(65536);
		int calls = 0;

		for (;; calls++)
		{
			ASSERT_LT(calls, 1000) << c.what << ": the reader does not end";

			smooth::Int got = reader.Read(block.data(), smooth::Int(block.size()));

			ASSERT_GE(got, -1) << c.what;

			if (got <= 0) break;

			out.append(block.data(), size_t(got));
		}

		bool whole = out == data && reader.EndsExactly();

		EXPECT_EQ(whole, c.whole) << c.what;
	}
}
