#include <smooth.h>

#include "test_support.h"

#include <gtest/gtest.h>

using smooth::String;
using namespace smooth::IO;

TEST(Streams, NumbersAreLittleEndianAtEveryWidth)
{
	smooth_test::ScratchFolder folder;

	struct { smooth::Int64 value; smooth::Int width; std::string bytes; } cases[] = {
		{ 0xAB,			1, "\xAB" },
		{ 0x1234,		2, "\x34\x12" },
		{ 0x89ABCDEF,		4, "\xEF\xCD\xAB\x89" },
		{ 0x0102030405060708LL,	8, "\x08\x07\x06\x05\x04\x03\x02\x01" },
		{ 0x010203,		3, "\x03\x02\x01" },
	};

	for (const auto &c : cases)
	{
		{
			OutStream out(STREAM_FILE, folder.Path("n.bin"), OS_REPLACE);

			ASSERT_EQ(out.OutputNumber(c.value, c.width), smooth::Success());
			EXPECT_EQ(out.GetPos(), c.width);
			ASSERT_EQ(out.Close(), smooth::Success());
		}

		EXPECT_EQ(folder.Read("n.bin"), c.bytes) << c.width;

		InStream in(STREAM_FILE, folder.Path("n.bin"), IS_READ_ONLY);

		EXPECT_EQ(in.Size(), c.width);
		EXPECT_EQ(in.InputNumber(c.width), c.value) << c.width;
		EXPECT_EQ(in.GetPos(), c.width);
	}
}

TEST(Streams, ReadingPastTheEndNeverCrashes)
{
	smooth_test::ScratchFolder folder;

	folder.Write("short.bin", "\x01\x02\x03");

	InStream in(STREAM_FILE, folder.Path("short.bin"), IS_READ_ONLY);

	EXPECT_EQ(in.InputNumber(2), 0x0201);
	EXPECT_EQ(in.InputNumber(4), -1);		// only one byte left
	EXPECT_EQ(in.InputNumber(1), -1);		// and now nothing
	EXPECT_EQ(in.GetPos(), 3);

	char buffer[16];

	EXPECT_EQ(in.InputData(buffer, 16), 0);
	EXPECT_EQ(in.InputString(5), "");

	// Seeks outside the file are refused and leave the position.
	EXPECT_EQ(in.Seek(4), smooth::Error());
	EXPECT_EQ(in.Seek(-1), smooth::Error());
	EXPECT_EQ(in.GetPos(), 3);
	EXPECT_EQ(in.Seek(1), smooth::Success());
	EXPECT_EQ(in.RelSeek(1), smooth::Success());
	EXPECT_EQ(in.InputNumber(1), 3);
	EXPECT_EQ(in.RelSeek(-3), smooth::Success());
	EXPECT_EQ(in.InputData(buffer, 16), 3);
	EXPECT_EQ(std::string(buffer, 3), "\x01\x02\x03");
}

TEST(Streams, UnopenableFilesReportErrors)
{
	smooth_test::ScratchFolder folder;

	InStream missing(STREAM_FILE, folder.Path("missing.bin"), IS_READ_ONLY);

	EXPECT_NE(missing.GetLastError(), IO_ERROR_OK);
	EXPECT_EQ(missing.Size(), -1);
	EXPECT_EQ(missing.GetPos(), -1);
	EXPECT_EQ(missing.InputNumber(4), -1);

	char buffer[4];

	EXPECT_EQ(missing.InputData(buffer, 4), -1);

	OutStream nowhere(STREAM_FILE, folder.Path("no-such-folder/out.bin"), OS_REPLACE);

	EXPECT_NE(nowhere.GetLastError(), IO_ERROR_OK);
	EXPECT_EQ(nowhere.Size(), -1);
	EXPECT_EQ(nowhere.OutputNumber(1, 1), smooth::Error());
}

TEST(Streams, ModesStringsAndData)
{
	smooth_test::ScratchFolder folder;

	{
		OutStream out(STREAM_FILE, folder.Path("s.txt"), OS_REPLACE);

		out.OutputString(L"Gr\u00FC\u00DFe");
		out.OutputData("!", 1);
		EXPECT_EQ(out.Size(), 8);	// UTF-8: ü and ß take two bytes each
	}
	{
		OutStream append(STREAM_FILE, folder.Path("s.txt"), OS_APPEND);

		EXPECT_EQ(append.GetPos(), 8);
		append.OutputString("?");
	}

	EXPECT_EQ(folder.Read("s.txt"), "Gr\xC3\xBC\xC3\x9F" "e!?");

	{
		InStream in(STREAM_FILE, folder.Path("s.txt"), IS_READ_ONLY);

		EXPECT_EQ(in.InputString(7), L"Gr\u00FC\u00DFe");
	}
	{
		// Replace truncates what was there.
		OutStream out(STREAM_FILE, folder.Path("s.txt"), OS_REPLACE);

		out.OutputNumber(0x4241, 2);
	}

	EXPECT_EQ(folder.Read("s.txt"), "AB");
}

TEST(Files, MoveReplaceCopyAndFolders)
{
	smooth_test::ScratchFolder folder;

	folder.Write("a.txt", "alpha");
	folder.Write("b.txt", "beta");

	smooth::File a(folder.Path("a.txt")), b(folder.Path("b.txt")), c("c.txt", folder.Root());

	EXPECT_EQ(a.GetFileName(), "a.txt");
	EXPECT_EQ(a.GetFilePath(), folder.Root());
	EXPECT_EQ(a.GetFileSize(), 5);
	EXPECT_EQ(c.GetFileSize(), -1);

	EXPECT_EQ(a.Move(b), smooth::Error());		// never overwrites
	EXPECT_EQ(folder.Read("b.txt"), "beta");
	EXPECT_EQ(a.Copy(c), smooth::Success());
	EXPECT_EQ(folder.Read("c.txt"), "alpha");
	EXPECT_EQ(a.Replace(b), smooth::Success());	// replaces in one step
	EXPECT_FALSE(a.Exists());
	EXPECT_EQ(folder.Read("b.txt"), "alpha");

	smooth::Directory deep(folder.Path("x/y/z"));

	EXPECT_FALSE(deep.Exists());
	EXPECT_EQ(deep.Create(), smooth::Success());
	EXPECT_EQ(deep.Create(), smooth::Success());	// existing is fine
	EXPECT_EQ(deep.CreateNew(), smooth::Error());	// but not for CreateNew
	EXPECT_TRUE(deep.Exists());

	folder.Write("x/y/\xC3\xA9t\xC3\xA9.txt", "summer");
	folder.Write("x/y/b.txt", "");

	smooth::Directory y(folder.Path("x/y"));
	std::vector<String> files = y.GetFiles();

	ASSERT_EQ(files.size(), 2u);
	EXPECT_EQ(files[0], "b.txt");
	EXPECT_EQ(files[1], L"\u00E9t\u00E9.txt");
	ASSERT_EQ(y.GetDirectories().size(), 1u);
	EXPECT_EQ(y.GetDirectories()[0], "z");

	EXPECT_EQ(smooth::Directory(folder.Path("x")).Delete(), smooth::Error());	// not empty
	EXPECT_EQ(smooth::Directory(folder.Path("x")).Empty(), smooth::Success());
	EXPECT_TRUE(smooth::Directory(folder.Path("x")).GetFiles().empty());
	EXPECT_TRUE(smooth::Directory(folder.Path("x")).GetDirectories().empty());
	EXPECT_EQ(smooth::Directory(folder.Path("x")).Delete(), smooth::Success());
}

TEST(Files, TruncateCutsOrExtendsInPlace)
{
	smooth_test::ScratchFolder folder;

	folder.Write("a.bin", "abcdefgh");

	smooth::File a(folder.Path("a.bin"));

	EXPECT_EQ(a.Truncate(3), smooth::Success());
	EXPECT_EQ(folder.Read("a.bin"), "abc");
	EXPECT_EQ(a.Truncate(5), smooth::Success());
	EXPECT_EQ(folder.Read("a.bin"), std::string("abc\0\0", 5));
	EXPECT_EQ(a.Truncate(-1), smooth::Error());
	EXPECT_EQ(a.GetFileSize(), 5);
	EXPECT_EQ(smooth::File(folder.Path("missing.bin")).Truncate(0), smooth::Error());
	EXPECT_FALSE(smooth::File(folder.Path("missing.bin")).Exists());
}
