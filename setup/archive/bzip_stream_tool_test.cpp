// Payloads against the bzip2 command line tool (linux only): what it makes
// we read, and what we make it reads, byte for byte the same as its own.
#include "archive.h"
#include "archive_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ZBKTest;
using smooth::String;

namespace
{
	std::string Text(size_t size, unsigned seed)
	{
		std::string data;

		while (data.size() < size)
		{
			seed = seed * 1103515245u + 12345u;
			data += std::to_string(seed >> 20) + ((seed & 3) ? " " : "\n");
		}

		data.resize(size);

		return data;
	}

	bool RunCommand(const std::string &command)
	{
		return std::system(command.c_str()) == 0;
	}
}

TEST(BzipTool, ItsPayloadsAreReadAndOursDecodeToTheSameBytes)
{
	ASSERT_TRUE(RunCommand("bzip2 --help >/dev/null 2>&1")) << "the bzip2 tool is missing";

	smooth_test::ScratchFolder folder;

	for (size_t size : { size_t(0), size_t(3), size_t(70000), size_t(1500000) })
	{
		std::string a = Text(size, 1), b = Text(size / 3, 2);
		std::string root = folder.Root().ToUTF8();

		// The tool's payload inside a hand-built chunk is read.
		folder.Write("plain", a + b);
		ASSERT_TRUE(RunCommand("bzip2 -9 -c '" + root + "/plain' > '" + root + "/plain.bz2'"));

		std::string theirs = folder.Read("plain.bz2");

		folder.Write("theirs.zbk", "ZBK" + ChunkBytes({ { "a", uint32_t(a.size()) }, { "b", uint32_t(b.size()) } }, theirs));

		ZBK::Archive *archive = ZBK::OpenArchive(folder.Path("theirs.zbk").Wide());

		EXPECT_TRUE(ZBK::ExtractFile(archive, L"b", folder.Path("b.out").Wide())) << size;
		EXPECT_TRUE(ZBK::ExtractFile(archive, L"a", folder.Path("a.out").Wide())) << size;
		EXPECT_EQ(folder.Read("a.out"), a) << size;
		EXPECT_EQ(folder.Read("b.out"), b) << size;

		ZBK::CloseArchive(archive);

		// Our payload is the tool's own stream, and the tool decodes it.
		archive = ZBK::CreateArchive();
		folder.Write("a", a);
		folder.Write("b", b);
		ASSERT_TRUE(ZBK::AddFile(archive, folder.Path("a").Wide(), L"a"));
		ASSERT_TRUE(ZBK::AddFile(archive, folder.Path("b").Wide(), L"b"));
		ASSERT_TRUE(ZBK::WriteArchive(archive, folder.Path("ours.zbk").Wide()));
		ZBK::CloseArchive(archive);

		std::vector<ParsedChunk> chunks;

		ASSERT_TRUE(Parse(folder.Read("ours.zbk"), chunks));
		ASSERT_EQ(chunks.size(), 1u);
		EXPECT_EQ(chunks[0].payload, theirs) << size;

		folder.Write("ours.bz2", chunks[0].payload);
		ASSERT_TRUE(RunCommand("bzip2 -d -c '" + root + "/ours.bz2' > '" + root + "/ours.out'")) << size;
		EXPECT_EQ(folder.Read("ours.out"), a + b) << size;
	}
}
