// The writer: appended chunks, full rewrites, recompression from the cache,
// and what a failed write leaves behind.
#include "archive.h"
#include "archive_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace ZBKTest;
using smooth::Int;
using smooth::String;

namespace
{

	// Opens path, extracts every listed entry and returns name -> content
	// ("<folder>" for folder entries, "<failed>" when the extraction failed).
	std::map<std::wstring, std::string> ExtractAll(const Workspace &space, const String &path)
	{
		static int calls = 0;

		std::map<std::wstring, std::string> result;
		ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

		calls++;

		for (Int i = 0; i < archive->GetNumberOfFiles(); i++)
		{
			String name = archive->GetFileName(i);
			bool folder = name[name.Length() - 1] == '/';
			String out = String("x").Append(String::FromInt(calls)).Append("_").Append(String::FromInt(i));

			if (!archive->ExtractFile(name, space.Path(out).Append(folder ? "/" : "")))	result[name.WideString()] = "<failed>";
			else if (folder)								result[name.WideString()] = "<folder>";
			else										result[name.WideString()] = space.Read(out);
		}

		ZBK::CloseArchive(archive);

		return result;
	}

	// A source for name: a file holding content, or a folder path for a
	// name that ends with '/'.
	String SourceFor(const Workspace &space, const String &name, const std::string &content)
	{
		if (name[name.Length() - 1] == '/') return space.Path(String("dir_").Append(name));

		return space.Source(String("src_").Append(name), content);
	}

	// Writes a new archive of the given files, one chunk.
	void Create(const Workspace &space, const String &path, const std::vector<std::pair<String, std::string> > &files)
	{
		ZBK::Archive *archive = ZBK::CreateArchive();

		for (const auto &file : files) ASSERT_TRUE(archive->AddFile(SourceFor(space, file.first, file.second), file.first));

		ASSERT_TRUE(archive->Write(path));

		ZBK::CloseArchive(archive);
	}

	// Opens path, adds the files and writes onto the same file (an append).
	void Append(const Workspace &space, const String &path, const std::vector<std::pair<String, std::string> > &files)
	{
		ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

		for (const auto &file : files) ASSERT_TRUE(archive->AddFile(SourceFor(space, file.first, file.second), file.first));

		ASSERT_TRUE(archive->Write(String()));

		ZBK::CloseArchive(archive);
	}
}

TEST(ArchiveWriter, AppendsAddOneChunkAndKeepEveryEarlierByte)
{
	Workspace space;
	String path = space.Path("a.zbk");

	Create(space, path, { { "A", "alpha" }, { "B", "beta" } });

	std::string before = space.Read("a.zbk");

	Append(space, path, { { "C", "gamma" } });
	Append(space, path, { { "D", "delta" }, { "E/", "" } });

	std::string after = space.Read("a.zbk");
	std::vector<ParsedChunk> chunks;

	EXPECT_EQ(after.substr(0, before.size()), before);
	ASSERT_TRUE(Parse(after, chunks));
	ASSERT_EQ(chunks.size(), 3u);
	EXPECT_EQ(chunks[1].records.size(), 1u);
	EXPECT_EQ(chunks[2].records.size(), 2u);

	std::map<std::wstring, std::string> expected = { { L"A", "alpha" }, { L"B", "beta" }, { L"C", "gamma" }, { L"D", "delta" }, { L"E/", "<folder>" } };

	EXPECT_EQ(ExtractAll(space, path), expected);

	ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

	EXPECT_EQ(archive->GetChunkNumber(0), 1);
	EXPECT_EQ(archive->GetChunkNumber(2), 2);
	EXPECT_EQ(archive->GetChunkNumber(4), 3);

	ZBK::CloseArchive(archive);
}

TEST(ArchiveWriter, AppendedEntriesAreReadableAtOnceAndNotAppendedTwice)
{
	Workspace space;
	String path = space.Path("a.zbk");

	Create(space, path, { { "A", "alpha" } });

	ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

	ASSERT_TRUE(archive->AddFile(space.Source("src_new", "fresh"), "new"));
	EXPECT_FALSE(archive->ExtractFile("new", space.Path("early")));	// not written yet
	ASSERT_TRUE(archive->Write(String()));

	std::string once = space.Read("a.zbk");

	EXPECT_TRUE(archive->ExtractFile("new", space.Path("out")));
	EXPECT_EQ(space.Read("out"), "fresh");
	EXPECT_TRUE(archive->Write(String()));
	EXPECT_EQ(space.Read("a.zbk"), once);
	EXPECT_EQ(archive->GetNumberOfFiles(), 2);
	EXPECT_EQ(archive->GetFileSize(1), 5);

	ZBK::CloseArchive(archive);
}

TEST(ArchiveWriter, RemovalsRecompressOnlyTheChunksThatLostEntries)
{
	Workspace space;
	String path = space.Path("r.zbk");

	Create(space, path, { { "A", "alpha" }, { "B", "beta" }, { "dir/", "" } });
	Append(space, path, { { "C", "gamma" } });
	Append(space, path, { { "D", "delta" }, { "E", "epsilon" } });

	std::vector<ParsedChunk> original;

	ASSERT_TRUE(Parse(space.Read("r.zbk"), original));

	struct Case
	{
		const char			*what;
		std::vector<const wchar_t *>	 remove;
		bool				 extractFirst;	// a cache exists before the write
		std::map<std::wstring, std::string> expected;
		std::vector<int>		 unchanged;	// original chunks copied as they were
	};

	const Case cases[] = {
		{ "one entry of the first chunk", { L"B" }, false,
		  { { L"A", "alpha" }, { L"dir/", "<folder>" }, { L"C", "gamma" }, { L"D", "delta" }, { L"E", "epsilon" } }, { 1, 2 } },
		{ "the same from the cache", { L"B" }, true,
		  { { L"A", "alpha" }, { L"dir/", "<folder>" }, { L"C", "gamma" }, { L"D", "delta" }, { L"E", "epsilon" } }, { 1, 2 } },
		{ "a whole chunk drops it", { L"D", L"E" }, false,
		  { { L"A", "alpha" }, { L"B", "beta" }, { L"dir/", "<folder>" }, { L"C", "gamma" } }, { 0, 1 } },
		{ "names with either separator", { L"dir\\" }, false,
		  { { L"A", "alpha" }, { L"B", "beta" }, { L"C", "gamma" }, { L"D", "delta" }, { L"E", "epsilon" } }, { 1, 2 } },
	};

	for (const auto &c : cases)
	{
		String copy = space.Path("copy.zbk");

		ASSERT_EQ(smooth::File(path).Copy(smooth::File(copy)), smooth::Success());

		ZBK::Archive *archive = ZBK::OpenArchive(copy.Wide());

		if (c.extractFirst) ASSERT_TRUE(archive->ExtractFile("A", space.Path("warm")));

		for (auto name : c.remove) ASSERT_TRUE(ZBK::RemoveFile(archive, name)) << c.what;

		ASSERT_TRUE(archive->Write(String())) << c.what;

		// Rewritten in place: this object reads nothing more until reopened.
		EXPECT_FALSE(archive->ExtractFile("C", space.Path("late"))) << c.what;

		ZBK::CloseArchive(archive);

		std::vector<ParsedChunk> chunks;

		ASSERT_TRUE(Parse(space.Read("copy.zbk"), chunks)) << c.what;
		EXPECT_EQ(ExtractAll(space, copy), c.expected) << c.what;

		std::set<std::string> stored;

		for (const auto &chunk : chunks) stored.insert(chunk.bytes);
		for (int n : c.unchanged) EXPECT_EQ(stored.count(original[n].bytes), 1u) << c.what << " chunk " << n;

		EXPECT_EQ(chunks.size(), c.unchanged.size() + (c.remove.size() == 1 ? 1 : 0)) << c.what;

		// Nothing is left beside the archive.
		for (const auto &file : space.Files()) EXPECT_EQ(file.Find(".tmp"), -1) << file.ToUTF8();
	}
}

TEST(ArchiveWriter, RewritesPutAddedFilesFirstAndStoreNormalisedNames)
{
	Workspace space;
	String path = space.Path("n.zbk");

	space.folder.Write("n.zbk", "ZBK" + ChunkBytes({ { "x\\a", 1 }, { "x\\b", 1 } }, Compress("ab")));

	ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

	ASSERT_TRUE(archive->RemoveFile("x/b"));
	ASSERT_TRUE(archive->AddFile(space.Source("s", "new"), "y\\c"));
	EXPECT_FALSE(archive->AddFile(space.Path("s"), "x/a"));	// the same name as "x\a"
	ASSERT_TRUE(archive->Write(space.Path("out.zbk")));

	ZBK::CloseArchive(archive);

	std::vector<ParsedChunk> chunks;

	ASSERT_TRUE(Parse(space.Read("out.zbk"), chunks));
	ASSERT_EQ(chunks.size(), 2u);
	EXPECT_EQ(chunks[0].records[0].name, "y\\c");
	EXPECT_EQ(chunks[1].records[0].name, "x/a");
	EXPECT_EQ(chunks[1].records.size(), 1u);
}

TEST(ArchiveWriter, AdditionsAndRemovalsFollowTheRules)
{
	Workspace space;
	String path = space.Path("rules.zbk");

	Create(space, path, { { "keep", "k" }, { "old", "o" } });

	ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());
	String source = space.Source("src", "payload");

	struct Step
	{
		const char	*what;
		bool		 add;		// else remove
		const char	*name;
		bool		 result;
	};

	const Step steps[] = {
		{ "a listed name", true, "keep", false },
		{ "a listed name with '\\'", true, "keep\\", false },
		{ "an unsafe name", true, "../evil", false },
		{ "an absolute name", true, "/etc/x", false },
		{ "a file named as a folder", true, "folder/", false },
		{ "a name not listed", false, "nothing", false },
		{ "a queued addition", true, "queued", true },
		{ "taking it back", false, "queued", true },
		{ "a listed entry", false, "old", true },
		{ "its name again", true, "old", true },
		{ "removing it twice", false, "gone", false },
	};

	for (const auto &step : steps)
	{
		bool result = step.add ? archive->AddFile(source, step.name) : archive->RemoveFile(step.name);

		EXPECT_EQ(result, step.result) << step.what;
	}

	// Positions of names and sizes stay in step after the changes.
	ASSERT_EQ(archive->GetNumberOfFiles(), 2);
	EXPECT_EQ(archive->GetFileName(1), "old");
	EXPECT_EQ(archive->GetFileSize(1), 7);

	ASSERT_TRUE(archive->Write(space.Path("out.zbk")));
	ZBK::CloseArchive(archive);

	std::map<std::wstring, std::string> expected = { { L"old", "payload" }, { L"keep", "k" } };

	EXPECT_EQ(ExtractAll(space, space.Path("out.zbk")), expected);

	archive = ZBK::CreateArchive();
	EXPECT_FALSE(archive->Write(String()));		// no name at all
	EXPECT_FALSE(archive->AddFile(source, String()));	// an absolute source is no name
	ZBK::CloseArchive(archive);
}

TEST(ArchiveWriter, FailedWritesLeaveEveryTargetAsItWas)
{
	struct Case
	{
		const char	*what;
		bool		 open;		// open the archive (else create a new one)
		const char	*remove;
		bool		 missingSource;
		const char	*target;	// null: onto the archive itself
		std::string	 archiveBytes;	// empty: a good archive
	};

	const Case cases[] = {
		{ "new file, unreadable source", false, nullptr, true, "new.zbk", "" },
		{ "over another file, unreadable source", false, nullptr, true, "other.bin", "" },
		{ "append, unreadable source", true, nullptr, true, nullptr, "" },
		{ "in-place rewrite, unreadable source", true, "A", true, nullptr, "" },
		{ "append to a foreign file", true, nullptr, false, nullptr, "PK\x03\x04 not ours" },
		{ "append behind a damaged table", true, nullptr, false, nullptr, "ZBK" + ChunkBytes({ { "A", 1 } }, Compress("a")) + Le32(0xFFFFFFFF) },
		{ "append behind a stray byte", true, nullptr, false, nullptr, "ZBK" + ChunkBytes({ { "A", 1 } }, Compress("a")) + "!" },
		{ "recompression of a damaged payload", true, "C", false, nullptr, "ZBK" + ChunkBytes({ { "A", 1 }, { "C", 1 } }, "garbage") + ChunkBytes({ { "B", 1 } }, Compress("b")) },
	};

	for (const auto &c : cases)
	{
		Workspace space;
		String path = space.Path("a.zbk");

		if (c.archiveBytes.empty())	Create(space, path, { { "A", "alpha" }, { "B", "beta" } });
		else				space.folder.Write("a.zbk", c.archiveBytes);

		space.folder.Write("other.bin", "other");

		std::string before = space.Read("a.zbk");
		std::vector<String> filesBefore = space.Files();
		ZBK::Archive *archive = c.open ? ZBK::OpenArchive(path.Wide()) : ZBK::CreateArchive();

		if (c.remove != nullptr) ASSERT_TRUE(archive->RemoveFile(c.remove)) << c.what;

		ASSERT_TRUE(archive->AddFile(c.missingSource ? space.Path("missing") : space.Source("src", "data"), "added")) << c.what;

		if (!c.missingSource) filesBefore = space.Files();

		EXPECT_FALSE(archive->Write(c.target == nullptr ? String() : space.Path(c.target))) << c.what;

		// The archive object still reads what it read before.
		if (c.open && c.archiveBytes.empty()) EXPECT_TRUE(archive->ExtractFile("B", space.Path("b.out"))) << c.what;

		ZBK::CloseArchive(archive);

		EXPECT_EQ(space.Read("a.zbk"), before) << c.what;
		EXPECT_EQ(space.Read("other.bin"), "other") << c.what;

		std::vector<String> filesAfter = space.Files();

		if (c.open && c.archiveBytes.empty()) filesAfter.erase(std::find(filesAfter.begin(), filesAfter.end(), String("b.out")));

		EXPECT_EQ(filesAfter, filesBefore) << c.what;
	}
}
