#include "archive.h"
#include "archive_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace ZBKTest;
using smooth::Int;
using smooth::String;

namespace
{

	struct Entry
	{
		String		 name;
		std::string	 content;
	};

	// Builds an archive of one chunk with the entries (a name ending with a
	// separator is a folder) and returns its bytes.
	std::string BuildArchive(const Workspace &space, const String &archiveName, const std::vector<Entry> &entries)
	{
		ZBK::Archive *archive = ZBK::CreateArchive();

		for (size_t i = 0; i < entries.size(); i++)
		{
			const String &name = entries[i].name;
			bool folder = name[name.Length() - 1] == '/' || name[name.Length() - 1] == '\\';
			String source = folder ? space.Path(String("dir").Append(String::FromInt(i))).Append("/") : space.Source(String("src").Append(String::FromInt(i)), entries[i].content);

			EXPECT_TRUE(ZBK::AddFile(archive, source.Wide(), name.Wide())) << name.ToUTF8();
		}

		EXPECT_TRUE(ZBK::WriteArchive(archive, space.Path(archiveName).Wide()));
		ZBK::CloseArchive(archive);

		return space.Read(archiveName);
	}

	std::vector<std::pair<std::wstring, int> > Listing(ZBK::Archive *archive)
	{
		std::vector<std::pair<std::wstring, int> > entries;
		wchar_t name[2048];

		for (int i = 0; i < ZBK::GetNumberOfFiles(archive); i++)
		{
			EXPECT_TRUE(ZBK::GetFileName(archive, i, name, 2048));
			entries.emplace_back(name, ZBK::GetFileSize(archive, i));
		}

		return entries;
	}
}

TEST(ArchiveLayout, OneFileGivesTheWorkedLayoutByteForByte)
{
	Workspace space;

	std::string file = BuildArchive(space, "one.zbk", { { "0123456789", "hello" } });
	std::string payload = Compress("hello");

	ASSERT_FALSE(payload.empty());

	std::string expected = std::string("ZBK") + Le32(1) + "FILES" + Le16(10) + "0123456789" + Le32(5) + "CDATA" + Le32(uint32_t(payload.size())) + Le32(5) + payload;

	EXPECT_EQ(file, expected);
	EXPECT_EQ(file.size(), 41 + payload.size());
}

TEST(ArchiveLayout, WrittenTablesAndPayloads)
{
	struct Case
	{
		const char		*what;
		std::vector<Entry>	 entries;
		std::vector<Record>	 records;
	};

	const Case cases[] = {
		{ "two files and a folder", { { "a.txt", "abc" }, { "docs\\", "" }, { "b.txt", "defg" } },
		  { { "a.txt", 3 }, { "docs\\", 0 }, { "b.txt", 4 } } },
		{ "a name added with '\\' keeps it", { { "dir\\x.txt", "x" } }, { { "dir\\x.txt", 1 } } },
		{ "non-ASCII name counts UTF-8 bytes", { { L"\u00e9\u00e8", "zz" } }, { { "\xc3\xa9\xc3\xa8", 2 } } },
		{ "empty file", { { "empty", "" }, { "one", "1" } }, { { "empty", 0 }, { "one", 1 } } },
	};

	for (const auto &c : cases)
	{
		Workspace space;
		std::vector<ParsedChunk> chunks;

		ASSERT_TRUE(Parse(BuildArchive(space, "t.zbk", c.entries), chunks)) << c.what;
		ASSERT_EQ(chunks.size(), 1u) << c.what;

		std::string concatenated;

		for (const auto &entry : c.entries) concatenated += entry.content;

		const ParsedChunk &chunk = chunks[0];

		ASSERT_EQ(chunk.records.size(), c.records.size()) << c.what;

		for (size_t i = 0; i < c.records.size(); i++)
		{
			EXPECT_EQ(chunk.records[i].name, c.records[i].name) << c.what;
			EXPECT_EQ(chunk.records[i].size, c.records[i].size) << c.what;
		}

		EXPECT_EQ(chunk.totalSize, concatenated.size()) << c.what;
		EXPECT_EQ(chunk.compressedSize, chunk.payload.size()) << c.what;
		// The same bytes the library itself makes at block size 9.
		EXPECT_EQ(chunk.payload, Compress(concatenated)) << c.what;
	}
}

TEST(ArchiveLayout, EmptyArchiveIsTheMagicAlone)
{
	Workspace space;

	EXPECT_EQ(BuildArchive(space, "empty.zbk", {}), "ZBK");
}

TEST(ArchiveReading, HandBuiltArchivesListAndExtract)
{
	std::string chunkA = ChunkBytes({ { "a", 2 }, { "f/", 0 }, { "b", 3 } }, Compress("xxyyy"));
	std::string marked = chunkA;

	marked.replace(marked.find("FILES"), 5, "XXXXX");
	marked.replace(marked.find("CDATA"), 5, "YYYYY");

	struct Case
	{
		const char		*what;
		std::string		 bytes;
		std::vector<std::pair<std::wstring, int> > listing;
		std::map<std::wstring, std::string> contents;
	};

	const Case cases[] = {
		{ "no magic", "ZIP" + chunkA, {}, {} },
		{ "empty file", "", {}, {} },
		{ "magic alone", "ZBK", {}, {} },
		{ "folder between files shifts nothing", "ZBK" + chunkA, { { L"a", 2 }, { L"f/", 0 }, { L"b", 3 } }, { { L"a", "xx" }, { L"b", "yyy" } } },
		{ "markers are skipped by length", "ZBK" + marked, { { L"a", 2 }, { L"f/", 0 }, { L"b", 3 } }, { { L"b", "yyy" } } },
		{ "stray byte after the last chunk", "ZBK" + chunkA + "!", { { L"a", 2 }, { L"f/", 0 }, { L"b", 3 } }, { { L"a", "xx" } } },
		{ "backslashes read as slashes", "ZBK" + ChunkBytes({ { "d\\e\\g.txt", 3 } }, Compress("abc")), { { L"d/e/g.txt", 3 } }, { { L"d/e/g.txt", "abc" }, { L"d\\e\\g.txt", "abc" } } },
		{ "non-ASCII name", "ZBK" + ChunkBytes({ { "\xc3\xa9\xc3\xa8", 2 } }, Compress("ok")), { { L"\u00e9\u00e8", 2 } }, { { L"\u00e9\u00e8", "ok" } } },
		{ "two chunks", "ZBK" + chunkA + ChunkBytes({ { "c", 1 } }, Compress("z")), { { L"a", 2 }, { L"f/", 0 }, { L"b", 3 }, { L"c", 1 } }, { { L"c", "z" }, { L"b", "yyy" } } },
		{ "a repeated name: the first one met wins", "ZBK" + ChunkBytes({ { "a", 1 }, { "a", 2 }, { "b", 1 } }, Compress("1222")) + ChunkBytes({ { "a", 3 } }, Compress("333")),
		  { { L"a", 1 }, { L"b", 1 } }, { { L"a", "1" }, { L"b", "2" } } },
		// Found by fuzzing: a name holding a zero byte was listed whole but
		// could only be asked for up to that byte, which named another entry.
		{ "a name ends at a zero byte", "ZBK" + ChunkBytes({ { "d/", 0 }, { "n", 1 } }, Compress("n")) + ChunkBytes({ { std::string("d/\0x", 4), 0 }, { std::string("m\0", 2), 1 } }, Compress("m")),
		  { { L"d/", 0 }, { L"n", 1 }, { L"m", 1 } }, { { L"n", "n" }, { L"m", "m" } } },
	};

	for (const auto &c : cases)
	{
		Workspace space;

		space.folder.Write("in.zbk", c.bytes);

		ZBK::Archive *archive = ZBK::OpenArchive(space.Path("in.zbk").Wide());

		EXPECT_EQ(Listing(archive), c.listing) << c.what;

		for (const auto &content : c.contents)
		{
			String target = space.Path("out");

			EXPECT_TRUE(ZBK::ExtractFile(archive, content.first.c_str(), target.Wide())) << c.what;
			EXPECT_EQ(space.Read("out"), content.second) << c.what;
		}

		ZBK::CloseArchive(archive);
	}
}

TEST(ArchiveReading, DamagedArchivesListWhatTheyCanAndExtractNothingWrong)
{
	std::string payload = Compress("helloworld!");
	std::vector<Record> records = { { "a.txt", 5 }, { "b.txt", 6 } };
	std::string good = ChunkBytes(records, payload);
	std::string corrupt = payload;

	corrupt[payload.size() / 2] ^= 0x55;

	struct Case
	{
		const char	*what;
		std::string	 bytes;
		int		 listed;
	};

	const Case cases[] = {
		{ "count of 0xFFFFFFFF in a tiny file", "ZBK" + Le32(0xFFFFFFFF) + "FILES" + Le16(1) + "a" + Le32(1), 0 },
		{ "count of 2^31", "ZBK" + Le32(0x80000000) + "FILES" + Le16(1) + "a" + Le32(1), 0 },
		{ "count larger than the records", "ZBK" + Le32(1000) + "FILES" + Le16(1) + "a" + Le32(1) + "CDATA" + Le32(0) + Le32(1), 0 },
		{ "name running past the end", "ZBK" + Le32(1) + "FILES" + Le16(100) + "ab", 0 },
		{ "size of 2^31", "ZBK" + ChunkBytes({ { "a", 0x80000000u } }, payload), 0 },
		{ "compressed size of 2^31", "ZBK" + ChunkBytes(records, payload, 0x80000000LL), 0 },
		{ "payload past the end of the file", "ZBK" + ChunkBytes(records, payload, payload.size() + 100), 2 },
		{ "truncated payload", "ZBK" + ChunkBytes(records, payload.substr(0, payload.size() - 8)), 2 },
		{ "corrupt payload", "ZBK" + ChunkBytes(records, corrupt), 2 },
		{ "total disagrees with the sizes", "ZBK" + ChunkBytes(records, payload, -1, 10), 2 },
		{ "sizes claim less than the payload holds", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 5 } }, payload, -1, 10), 2 },
		{ "sizes claim more than the payload holds", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 7 } }, payload), 2 },
		{ "bytes after the stream inside the payload", "ZBK" + ChunkBytes(records, payload + "garbage"), 2 },
		{ "not a bzip2 stream", "ZBK" + ChunkBytes(records, "BZh9 not really a stream at all"), 2 },
	};

	for (const auto &c : cases)
	{
		Workspace space;

		space.folder.Write("bad.zbk", c.bytes);
		space.folder.Write("a.txt", "keep me");

		ZBK::Archive *archive = ZBK::OpenArchive(space.Path("bad.zbk").Wide());

		ASSERT_EQ(ZBK::GetNumberOfFiles(archive), c.listed) << c.what;

		ProgressLog progress(*archive);

		for (int attempt = 0; attempt < 2; attempt++)
		{
			// Neither a fresh target nor an existing one is touched, and the
			// second attempt does not find a cache left by the first.
			EXPECT_FALSE(ZBK::ExtractFile(archive, L"b.txt", space.Path("b.txt").Wide())) << c.what;
			EXPECT_FALSE(ZBK::ExtractFile(archive, L"a.txt", space.Path("a.txt").Wide())) << c.what;
			EXPECT_FALSE(space.Exists("b.txt")) << c.what;
			EXPECT_EQ(space.Read("a.txt"), "keep me") << c.what;
			EXPECT_EQ(space.Files().size(), 2u) << c.what;
			EXPECT_TRUE(smooth::Directory(archive->GetTempFolder()).GetFiles().empty()) << c.what;
		}

		for (Int value : progress.values) EXPECT_TRUE(value >= 0 && value <= 1000) << c.what;

		ZBK::CloseArchive(archive);
	}
}

TEST(ArchiveReading, GoodChunksBeforeADamagedOneStillExtract)
{
	Workspace space;
	std::string first = ChunkBytes({ { "ok.txt", 2 } }, Compress("ok"));

	space.folder.Write("mixed.zbk", "ZBK" + first + ChunkBytes({ { "bad", 3 } }, Compress("bad"), -1, 99) + Le32(0xFFFFFFFF) + "FILES");

	ZBK::Archive *archive = ZBK::OpenArchive(space.Path("mixed.zbk").Wide());

	EXPECT_EQ(ZBK::GetNumberOfFiles(archive), 2);
	EXPECT_TRUE(ZBK::ExtractFile(archive, L"ok.txt", space.Path("ok.txt").Wide()));
	EXPECT_EQ(space.Read("ok.txt"), "ok");
	EXPECT_FALSE(ZBK::ExtractFile(archive, L"bad", space.Path("bad").Wide()));

	ZBK::CloseArchive(archive);
}

TEST(ArchiveReading, HoldsEntryOnlyWhenTheFileHasExactlyItsBytes)
{
	Workspace space;
	std::string block(131072, 'r');	// exactly one copy buffer
	std::string big = block + "q";	// one byte past it

	space.folder.Write("in.zbk", "ZBK" + ChunkBytes({ { "a", 2 }, { "f/", 0 }, { "big", uint32_t(big.size()) }, { "block", uint32_t(block.size()) }, { "empty", 0 } }, Compress("xx" + big + block)) +
				     ChunkBytes({ { "bad", 3 } }, Compress("bad"), -1, 99) + Le32(0xFFFFFFFF) + "FILES");

	auto changed = [](std::string bytes, size_t at) { bytes[at] ^= 1; return bytes; };

	struct Case
	{
		const char	*what;
		Int		 entry;
		const char	*file;		// nullptr: no such file
		std::string	 bytes;
		bool		 holds;
	};

	const Case cases[] = {
		{ "the same bytes", 0, "a", "xx", true },
		{ "the same size, the last byte differs", 0, "a", "xy", false },
		{ "one byte longer", 0, "a", "xxx", false },
		{ "one byte shorter", 0, "a", "x", false },
		{ "no file", 0, nullptr, "", false },
		{ "a folder entry", 1, "f", "", false },
		{ "one byte past a buffer, equal", 2, "big", big, true },
		{ "one byte past a buffer, the last differs", 2, "big", changed(big, big.size() - 1), false },
		{ "one byte past a buffer, the first differs", 2, "big", changed(big, 0), false },
		{ "exactly a buffer, equal", 3, "block", block, true },
		{ "exactly a buffer, the last differs", 3, "block", changed(block, block.size() - 1), false },
		{ "an empty entry and an empty file", 4, "empty", "", true },
		{ "a damaged chunk", 5, "bad", "bad", false },
		{ "before the index", -1, "a", "xx", false },
		{ "past the index", 6, "a", "xx", false },
	};

	ZBK::Archive archive;

	archive.Open(space.Path("in.zbk"));
	ASSERT_EQ(6, archive.GetNumberOfFiles());

	for (const Case &c : cases)
	{
		Workspace out;
		String path = out.Path(c.file != nullptr ? c.file : "missing");

		if (c.entry == 1) ASSERT_EQ(smooth::Success(), smooth::Directory(path).Create());
		else if (c.file != nullptr) out.folder.Write(c.file, c.bytes);

		EXPECT_EQ(c.holds, archive.HoldsEntry(c.entry, path)) << c.what;

		if (c.file != nullptr && c.entry != 1) EXPECT_EQ(c.bytes, out.Read(c.file)) << c.what << ": the file must stay as it was";
	}

	// Comparing leaves the archive's status to the calls that report it.
	EXPECT_EQ(ZBK::Status::Ok, archive.GetLastStatus());
	EXPECT_TRUE(archive.ExtractEntry(0, space.Path("a")));
	EXPECT_EQ("xx", space.Read("a"));
}

TEST(ArchiveProgress, ExtractionsRiseFromZeroToAThousandAndReuseTheCache)
{
	Workspace space;
	std::string big;

	// Several buffer blocks, so progress has steps in between.
	for (int i = 0; big.size() < 400000; i++) big += std::to_string(i * 7919 % 100003) + ",";

	BuildArchive(space, "p.zbk", { { "big", big }, { "small", "s" }, { "empty", "" }, { "dir/", "" } });

	ZBK::Archive *archive = ZBK::OpenArchive(space.Path("p.zbk").Wide());
	ProgressLog progress(*archive);

	struct Step
	{
		const wchar_t		*name;
		const char		*target;
		std::vector<Int>	 exactly;	// empty: any sound sequence of more than 3 values
		size_t			 atMost;
	};

	const Step steps[] = {
		{ L"small", "s1", {}, 10000 },		// decompresses the whole chunk first
		{ L"big", "b1", {}, 10 },		// from the cache: a few 131 072-byte blocks
		{ L"small", "s2", { 0, 1000, 1000 }, 3 },
		{ L"empty", "e1", { 0, 1000 }, 2 },
		{ L"dir/", "d1/", {}, 0 },
	};

	for (const auto &step : steps)
	{
		progress.values.clear();

		ASSERT_TRUE(ZBK::ExtractFile(archive, step.name, space.Path(step.target).Wide()));

		if (!step.exactly.empty()) EXPECT_EQ(progress.values, step.exactly);
		else if (step.atMost == 0) EXPECT_TRUE(progress.values.empty());
		else
		{
			EXPECT_TRUE(progress.IsSound());
			EXPECT_GT(progress.values.size(), 3u);
			EXPECT_LE(progress.values.size(), step.atMost);
		}
	}

	EXPECT_EQ(space.Read("b1"), big);
	EXPECT_EQ(space.Read("s2"), "s");
	EXPECT_TRUE(space.Exists("e1"));
	EXPECT_TRUE(smooth::Directory(space.Path("d1")).Exists());

	// One cache file of the chunk's whole decompressed size.
	std::vector<String> cached = smooth::Directory(archive->GetTempFolder()).GetFiles();

	ASSERT_EQ(cached.size(), 1u);
	EXPECT_EQ(smooth::File(cached[0], archive->GetTempFolder()).GetFileSize(), smooth::Int64(big.size() + 1));

	ZBK::CloseArchive(archive);
}

TEST(ArchiveProgress, WritesStayWithinTheScale)
{
	Workspace space;
	std::string data(300000, 'q');

	for (size_t i = 0; i < data.size(); i += 97) data[i] = char('a' + i % 26);

	BuildArchive(space, "w.zbk", { { "one", data }, { "two", data.substr(1000) }, { "three", "3" } });

	struct Case
	{
		const char	*what;
		const wchar_t	*remove;
		bool		 add;
		const char	*target;
	};

	// Append, rewrite with a recompressed chunk (with and without a cache
	// made by an extraction first), rewrite with additions to another file.
	const Case cases[] = {
		{ "append", nullptr, true, nullptr },
		{ "recompress", L"two", false, "copy.zbk" },
		{ "recompress and add", L"three", true, "copy2.zbk" },
	};

	for (const auto &c : cases)
	{
		for (int warm = 0; warm < 2; warm++)
		{
			ZBK::Archive *archive = ZBK::OpenArchive(space.Path("w.zbk").Wide());
			ProgressLog progress(*archive);

			if (warm) ASSERT_TRUE(ZBK::ExtractFile(archive, L"one", space.Path("x").Wide()));
			if (c.remove != nullptr) ASSERT_TRUE(ZBK::RemoveFile(archive, c.remove));
			if (c.add) ASSERT_TRUE(ZBK::AddFile(archive, space.Source("added", data).Wide(), String("added").Append(String::FromInt(warm)).Append(c.what).Wide()));

			progress.values.clear();

			EXPECT_TRUE(ZBK::WriteArchive(archive, c.target == nullptr ? nullptr : space.Path(c.target).Wide())) << c.what;
			EXPECT_TRUE(progress.IsSound()) << c.what << " " << warm;

			ZBK::CloseArchive(archive);
		}
	}
}

TEST(FlatEntries, GetFileNameBufferEdges)
{
	Workspace space;

	BuildArchive(space, "n.zbk", { { "abcd", "x" } });

	ZBK::Archive *archive = ZBK::OpenArchive(space.Path("n.zbk").Wide());

	struct Case
	{
		int		 position;
		int		 size;
		bool		 result;
		std::wstring	 expected;	// the whole buffer afterwards
	};

	const Case cases[] = {
		{ 0, 4, false, L"####" },			// exactly as long as the name: untouched
		{ 0, 5, true, std::wstring(L"abcd") + L'\0' },	// one longer: name and a zero
		{ 0, 8, true, std::wstring(L"abcd") + std::wstring(4, L'\0') },
		{ 0, 2, false, L"##" },
		{ 1, 3, true, std::wstring(3, L'\0') },		// outside the index: an empty name
		{ -1, 3, true, std::wstring(3, L'\0') },
	};

	for (const auto &c : cases)
	{
		std::wstring buffer(c.size, L'#');

		EXPECT_EQ(ZBK::GetFileName(archive, c.position, &buffer[0], c.size), c.result) << c.position << "/" << c.size;
		EXPECT_EQ(buffer, c.expected) << c.position << "/" << c.size;
	}

	EXPECT_EQ(ZBK::GetFileSize(archive, 0), 1);
	EXPECT_EQ(ZBK::GetFileSize(archive, 1), 0);
	EXPECT_FALSE(ZBK::IsReadOnly(archive));

	ZBK::CloseArchive(archive);

	EXPECT_TRUE(ZBK::CloseArchive(nullptr));
	EXPECT_EQ(ZBK::GetNumberOfFiles(nullptr), 0);
	EXPECT_FALSE(ZBK::ExtractFile(nullptr, L"a", L"b"));
}

TEST(FlatEntries, MissingFileOpensEmptyAndEveryCallbackIsCalled)
{
	Workspace space;
	ZBK::Archive *missing = ZBK::OpenArchive(space.Path("nope.zbk").Wide());

	ASSERT_NE(missing, nullptr);
	EXPECT_EQ(ZBK::GetNumberOfFiles(missing), 0);
	EXPECT_FALSE(ZBK::ExtractFile(missing, L"a", space.Path("a").Wide()));
	EXPECT_FALSE(ZBK::WriteArchive(missing, nullptr));
	ZBK::CloseArchive(missing);

	BuildArchive(space, "c.zbk", { { "f", "data" } });

	static std::vector<int> first, second;

	first.clear();
	second.clear();

	ZBK::Archive *archive = ZBK::OpenArchive(space.Path("c.zbk").Wide());

	EXPECT_TRUE(ZBK::SetProgressCallback(archive, [](int value) { first.push_back(value); }));
	EXPECT_TRUE(ZBK::SetProgressCallback(archive, [](int value) { second.push_back(value); }));
	EXPECT_TRUE(ZBK::ExtractFile(archive, L"f", space.Path("f").Wide()));
	EXPECT_EQ(first, second);
	EXPECT_EQ(first.back(), 1000);

	ZBK::CloseArchive(archive);
}

TEST(ArchiveIndex, NamesWithTheSameChecksumAreBothListedAndExtracted)
{
	// A well-known pair of CRC-32 twins.
	ASSERT_EQ(String("plumless").ComputeCRC32(), String("buckeroo").ComputeCRC32());

	struct Case
	{
		const char	*what;
		bool		 written;	// by our writer, else built by hand
	};

	for (const Case &c : { Case { "written", true }, Case { "hand-built", false } })
	{
		Workspace space;

		if (c.written)	BuildArchive(space, "twins.zbk", { { "plumless", "first" }, { "buckeroo", "second!" }, { "after", "third" } });
		else		space.folder.Write("twins.zbk", "ZBK" + ChunkBytes({ { "plumless", 5 }, { "buckeroo", 7 }, { "after", 5 } }, Compress("firstsecond!third")));

		ZBK::Archive *archive = ZBK::OpenArchive(space.Path("twins.zbk").Wide());

		std::vector<std::pair<std::wstring, int> > expected = { { L"plumless", 5 }, { L"buckeroo", 7 }, { L"after", 5 } };

		EXPECT_EQ(Listing(archive), expected) << c.what;

		for (const auto &pair : std::vector<std::pair<const wchar_t *, std::string> > { { L"buckeroo", "second!" }, { L"plumless", "first" }, { L"after", "third" } })
		{
			EXPECT_TRUE(ZBK::ExtractFile(archive, pair.first, space.Path("out").Wide())) << c.what;
			EXPECT_EQ(space.Read("out"), pair.second) << c.what;
		}

		// Only the very same name is a duplicate.
		EXPECT_FALSE(ZBK::AddFile(archive, space.Source("s", "x").Wide(), L"buckeroo")) << c.what;

		ZBK::CloseArchive(archive);
	}
}

TEST(ArchiveIndex, TwoHundredThousandNamesAreAllListedAndExtracted)
{
	Workspace space;
	const int count = 200000;
	std::vector<String> names;
	std::set<std::wstring> distinct;
	uint64_t state = 12345;

	// Random-looking names: unlike numbered ones, whose checksums differ by
	// construction, these are sure to share some.
	while (int(names.size()) < count)
	{
		std::wstring name;

		for (int j = 0; j < 12; j++)
		{
			state = state * 6364136223846793005ULL + 1442695040888963407ULL;
			name.push_back(L"abcdefghijklmnopqrstuvwxyz0123456789"[(state >> 33) % 36]);
		}

		// Mostly folder entries, which cost one folder each to extract; every
		// eighth is an empty file, which takes the whole data path.
		if (names.size() % 8 != 0) name.push_back(L'/');

		if (distinct.insert(name).second) names.push_back(String(name));
	}

	std::map<smooth::UnsignedInt, int> seen;
	std::set<int> twins;

	for (int i = 0; i < count; i++)
	{
		auto found = seen.emplace(names[i].ComputeCRC32(), i);

		if (!found.second) twins.insert({ found.first->second, i });
	}

	ASSERT_FALSE(twins.empty()) << "no two names share a checksum: the test proves nothing";

	String empty = space.Source("empty", "");
	String folder = space.Path("folder").Append("/");
	ZBK::Archive *archive = ZBK::CreateArchive();

	for (const auto &name : names) ASSERT_TRUE(archive->AddFile(name[name.Length() - 1] == '/' ? folder : empty, name));

	ASSERT_TRUE(archive->Write(space.Path("many.zbk")));
	ZBK::CloseArchive(archive);

	archive = ZBK::OpenArchive(space.Path("many.zbk").Wide());

	ASSERT_EQ(ZBK::GetNumberOfFiles(archive), count);

	for (int i = 0; i < count; i++) ASSERT_EQ(archive->GetFileName(i), names[i]) << i;

	// Every entry is extracted; those that share a checksum with another go
	// to targets of their own and are looked for afterwards. The others
	// share one target each for files and folders, as creating 200 000
	// files would measure only the file system.
	for (int i = 0; i < count; i++)
	{
		bool folder = names[i][names[i].Length() - 1] == '/';
		String target = twins.count(i) ? space.Path(String("twin").Append(String::FromInt(i))).Append(folder ? "/" : "")
					       : space.Path(folder ? "folder.out/" : "file.out");

		ASSERT_TRUE(ZBK::ExtractFile(archive, names[i].Wide(), target.Wide())) << i;
	}

	size_t extracted = 0;

	for (int i : twins)
	{
		String target = space.Path(String("twin").Append(String::FromInt(i)));

		if (smooth::File(target).Exists() || smooth::Directory(target).Exists()) extracted++;
	}

	EXPECT_EQ(extracted, twins.size());
	EXPECT_EQ(smooth::File(space.Path("file.out")).GetFileSize(), 0);
	EXPECT_TRUE(smooth::Directory(space.Path("folder.out")).Exists());

	ZBK::CloseArchive(archive);
}

TEST(ArchiveTemporaryFolders, NeverSharedAndOnlyTheirOwnRemoved)
{
	Workspace space;

	BuildArchive(space, "t.zbk", { { "f", "content" } });

	// Made as fast as possible: many of them within the same tick.
	std::vector<ZBK::Archive *> archives;
	std::set<std::wstring> folders;

	for (int i = 0; i < 64; i++)
	{
		archives.push_back(ZBK::OpenArchive(space.Path("t.zbk").Wide()));
		folders.insert(archives.back()->GetTempFolder().WideString());

		EXPECT_TRUE(smooth::Directory(archives.back()->GetTempFolder()).Exists());
	}

	EXPECT_EQ(folders.size(), archives.size());

	for (auto archive : archives) ASSERT_TRUE(ZBK::ExtractFile(archive, L"f", space.Path("f").Wide()));

	// Closing every other one leaves the rest and their caches alone.
	for (size_t i = 0; i < archives.size(); i += 2)
	{
		String folder = archives[i]->GetTempFolder();

		ZBK::CloseArchive(archives[i]);
		EXPECT_FALSE(smooth::Directory(folder).Exists());
	}

	for (size_t i = 1; i < archives.size(); i += 2)
	{
		EXPECT_EQ(smooth::Directory(archives[i]->GetTempFolder()).GetFiles().size(), 1u);
		EXPECT_TRUE(ZBK::ExtractFile(archives[i], L"f", space.Path("g").Wide()));
		EXPECT_EQ(space.Read("g"), "content");

		ZBK::CloseArchive(archives[i]);
	}
}

TEST(ArchivePaths, NonAsciiArchiveSourceAndTargetPaths)
{
	Workspace space;
	String folder = space.Path(L"\u00e9\u4e2d");

	ASSERT_EQ(smooth::Directory(folder).Create(), smooth::Success());

	String source = smooth::File(L"\u00fc.txt", folder).GetPath();
	String path = smooth::File(L"\u00e4.zbk", folder).GetPath();

	{
		smooth::IO::OutStream out(smooth::IO::STREAM_FILE, source, smooth::IO::OS_REPLACE);

		ASSERT_EQ(out.OutputData("umlaut", 6), smooth::Success());
	}

	ZBK::Archive *archive = ZBK::CreateArchive();

	ASSERT_TRUE(ZBK::AddFile(archive, source.Wide(), L"\u00f6/\u00fc.txt"));
	ASSERT_TRUE(ZBK::WriteArchive(archive, path.Wide()));
	ZBK::CloseArchive(archive);

	archive = ZBK::OpenArchive(path.Wide());

	String target = smooth::File(L"\u00f6\u00fc", folder).GetPath();

	ASSERT_EQ(ZBK::GetNumberOfFiles(archive), 1);
	EXPECT_TRUE(ZBK::ExtractFile(archive, L"\u00f6/\u00fc.txt", target.Wide()));
	EXPECT_EQ(smooth::File(target).GetFileSize(), 6);

	ZBK::CloseArchive(archive);
}

// The data is written beside the target under a short name of its own, so a
// file name as long as file systems allow (255 characters) extracts, and one
// character more fails as the system refuses it, leaving nothing behind.
TEST(ArchivePaths, TheLongestFileNameTheSystemAllows)
{
	Workspace space;

	BuildArchive(space, "in.zbk", { { "a.txt", "long" } });

	ZBK::Archive archive;

	ASSERT_TRUE(archive.Open(space.Path("in.zbk")));

	for (size_t length : { size_t(255), size_t(256) })
	{
		for (bool byName : { true, false })
		{
			SCOPED_TRACE(std::to_string(length) + (byName ? " by name" : " by position"));

			String name = String(std::string(length, byName ? 'n' : 'p').c_str());
			bool extracted = byName ? archive.ExtractFile("a.txt", space.Path(name)) : archive.ExtractEntry(0, space.Path(name));

			EXPECT_EQ(length == 255, extracted);

			if (extracted) EXPECT_EQ("long", space.Read(name));
			else	       EXPECT_EQ(ZBK::Status::WriteRefused, archive.GetLastStatus());
		}
	}

	EXPECT_EQ(4u, space.Files().size()) << "the archive, its source and the two files, nothing else";
}
