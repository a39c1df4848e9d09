#include "archive.h"
#include "archive_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace ZBKTest;
using smooth::Int;
using smooth::String;

namespace
{
	// Decoders for the archive objects made while it lives (read when an
	// object is made). The texts are literals: putenv keeps the pointer.
	class Decoders
	{
		public:
			explicit Decoders(const char *setting)	{ putenv(const_cast<char *>(setting)); }
			~Decoders()				{ putenv(const_cast<char *>("ZBK_READ_AHEAD=")); }
	};

	// Text that bzip2 neither shrinks to nothing nor decodes in no time.
	std::string Text(size_t bytes, uint32_t seed)
	{
		std::string text;

		while (text.size() < bytes)
		{
			seed = seed * 1103515245u + 12345u;
			text += std::to_string(seed >> 20) + (seed & 0x100 ? "\n" : " ");
		}

		text.resize(bytes);

		return text;
	}

	struct File
	{
		std::string	 name;
		std::string	 content;
	};

	std::string Chunk(const std::vector<File> &files, bool corrupt = false)
	{
		std::vector<Record> records;
		std::string data;

		for (const File &file : files)
		{
			records.push_back({ file.name, uint32_t(file.content.size()) });
			data += file.content;
		}

		std::string payload = Compress(data);

		// A flipped byte inside the first block: the table still adds up, only
		// decoding finds the damage.
		if (corrupt) payload[payload.size() / 2] ^= 0x55;

		return ChunkBytes(records, payload);
	}
}

// Every entry of a multi-chunk archive, in index order and backwards, with
// read-ahead off and on: the same files, the same failures for the damaged
// chunk, and every extraction's progress 0 first, rising, 1000 last.
TEST(ReadAhead, SameResultsWithAndWithoutDecoders)
{
	Workspace space;
	std::vector<std::vector<File> > chunks;

	for (uint32_t c = 0; c < 7; c++)
	{
		std::string prefix = "c" + std::to_string(c) + "/";

		chunks.push_back({ { prefix, "" }, { prefix + "big", Text(300000 + c * 1000, c) }, { prefix + "empty", "" }, { prefix + "small", Text(10, c + 100) } });
	}

	const size_t damaged = 4;
	std::string bytes = "ZBK";

	for (size_t c = 0; c < chunks.size(); c++) bytes += Chunk(chunks[c], c == damaged);

	space.folder.Write("multi.zbk", bytes);

	for (const char *setting : { "ZBK_READ_AHEAD=0", "ZBK_READ_AHEAD=1", "ZBK_READ_AHEAD=3" })
	{
		for (bool backwards : { false, true })
		{
			SCOPED_TRACE(std::string(setting) + (backwards ? ", backwards" : ", in order"));

			Decoders decoders(setting);
			ZBK::Archive *archive = ZBK::OpenArchive(space.Path("multi.zbk").Wide());
			ProgressLog progress(*archive);
			String out = String("out").Append(setting + 15).Append(backwards ? "b" : "f");
			Int count = ZBK::GetNumberOfFiles(archive);

			ASSERT_EQ(count, Int(chunks.size() * 4));

			for (Int i = 0; i < count; i++)
			{
				Int n = backwards ? count - 1 - i : i;
				const File &file = chunks[size_t(n) / 4][size_t(n) % 4];
				String target = String(out).Append("/").Append(String::FromUTF8(file.name));
				bool folder = file.name.back() == '/';

				progress.values.clear();

				bool good = archive->ExtractFile(String::FromUTF8(file.name), space.Path(target));

				if (size_t(n) / 4 == damaged && !folder)
				{
					EXPECT_FALSE(good) << file.name;
					EXPECT_EQ(archive->GetLastStatus(), ZBK::Status::Damaged) << file.name;
					EXPECT_FALSE(space.Exists(target)) << file.name;

					continue;
				}

				ASSERT_TRUE(good) << file.name;

				if (folder)
				{
					EXPECT_TRUE(progress.values.empty()) << file.name;
					EXPECT_TRUE(smooth::Directory(space.Path(target)).Exists()) << file.name;
				}
				else
				{
					EXPECT_TRUE(progress.IsSound()) << file.name;
					EXPECT_TRUE(space.Read(target) == file.content) << file.name;
				}
			}

			ZBK::CloseArchive(archive);
		}
	}
}

// Closing an archive while decoders are writing caches stops them and still
// removes the temporary folder with everything in it.
TEST(ReadAhead, CloseDuringReadAheadLeavesNoTemporaryFolder)
{
	Workspace space;
	std::string bytes = "ZBK" + Chunk({ { "d/", "" } });

	for (uint32_t c = 0; c < 3; c++) bytes += Chunk({ { "f" + std::to_string(c), Text(3000000, c) } });

	space.folder.Write("big.zbk", bytes);

	Decoders decoders("ZBK_READ_AHEAD=2");
	ZBK::Archive *archive = ZBK::OpenArchive(space.Path("big.zbk").Wide());
	String folder = archive->GetTempFolder();

	// A folder entry needs no decoding here, so the decoders have the next
	// chunks to themselves; close once one of them is writing.
	ASSERT_TRUE(ZBK::ExtractFile(archive, L"d/", space.Path("d/").Wide()));

	bool writing = false;

	for (int wait = 0; wait < 10000 && !writing; wait++)
	{
		for (const String &file : smooth::Directory(folder).GetFiles()) writing = writing || file.EndsWith(".ahead");

		if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
	}

	EXPECT_TRUE(writing);

	ZBK::CloseArchive(archive);

	EXPECT_FALSE(smooth::Directory(folder).Exists());
}
