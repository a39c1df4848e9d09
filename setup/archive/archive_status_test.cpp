// The causes the archive reports for a failed open or extraction, and the
// chunk check that decodes without writing.
#include "archive.h"
#include "archive_test_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ZBKTest;
using smooth::Int;
using smooth::Int64;
using smooth::String;
using ZBK::Status;

TEST(ArchiveStatus, OpenTellsWhyAFileIsNoArchive)
{
	struct Case
	{
		const char	*what;
		std::function<String(const Workspace &)> prepare;	// returns the path to open
		bool		 opens;
		Status		 status;
	};

	const Case cases[] = {
		{ "missing file", [](const Workspace &s) { return s.Path("nope.zbk"); }, false, Status::Missing },
		{ "missing folder on the way", [](const Workspace &s) { return s.Path("no/such/a.zbk"); }, false, Status::Missing },
		{ "a folder", [](const Workspace &s) { smooth::Directory(s.Path("dir")).Create(); return s.Path("dir"); }, false, Status::IsFolder },
		{ "a foreign file", [](const Workspace &s) { return s.Source("f.zip", "PK\x03\x04 not ours"); }, true, Status::NotAnArchive },
		{ "an empty file", [](const Workspace &s) { return s.Source("e.zbk", ""); }, true, Status::NotAnArchive },
		{ "the magic cut short", [](const Workspace &s) { return s.Source("z.zbk", "ZB"); }, true, Status::NotAnArchive },
		{ "the magic alone", [](const Workspace &s) { return s.Source("m.zbk", "ZBK"); }, true, Status::Ok },
		// Open lists what it can; damage shows when an entry is extracted.
		{ "a damaged table", [](const Workspace &s) { return s.Source("d.zbk", "ZBK" + Le32(1000) + "FILES"); }, true, Status::Ok },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Workspace space;
		String path = c.prepare(space);

		{
			ZBK::Archive archive;

			EXPECT_EQ(c.opens, archive.Open(path));
			EXPECT_EQ(c.status, archive.GetLastStatus());
			EXPECT_EQ(0, archive.GetLastSystemError());
			EXPECT_EQ(0, archive.GetNumberOfFiles());
		}

		// The flat entry point still hands out an empty object.
		ZBK::Archive *flat = ZBK::OpenArchive(path.Wide());

		ASSERT_NE(nullptr, flat);
		EXPECT_EQ(c.status, ZBK::GetLastStatus(flat));
		EXPECT_EQ(0, ZBK::GetNumberOfFiles(flat));

		ZBK::CloseArchive(flat);
	}

	EXPECT_EQ(Status::Missing, ZBK::GetLastStatus(nullptr));
}

TEST(ArchiveStatus, ExtractionTellsWhyItFailed)
{
	std::string payload = Compress("helloworld");
	std::string corrupt = payload;

	corrupt[payload.size() / 2] ^= 0x55;

	// Names the writer refuses, so they are written by hand.
	std::string hostile = "ZBK" + ChunkBytes({ { "../outside.txt", 5 }, { "C:/abs.txt", 5 }, { "aux.txt", 0 }, { "d/../../up.txt", 0 } }, payload);
	std::string good = "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "sub/b.txt", 5 } }, payload);

	struct Case
	{
		const char	*what;
		std::string	 archive;
		const wchar_t	*name;
		// Prepares the workspace and returns the destination.
		std::function<String(const Workspace &)> destination;
		Status		 status;
		bool		 systemError;
	};

	auto fresh = [](const Workspace &s) { return s.Path("out.txt"); };

	const Case cases[] = {
		{ "extracted", good, L"sub/b.txt", fresh, Status::Ok, false },
		{ "name not listed", good, L"c.txt", fresh, Status::NotListed, false },
		{ "a folder of the name is not listed", good, L"sub", fresh, Status::NotListed, false },
		{ "parent folder upwards", hostile, L"../outside.txt", fresh, Status::UnsafeName, false },
		{ "drive letter", hostile, L"C:/abs.txt", fresh, Status::UnsafeName, false },
		{ "device name", hostile, L"aux.txt", fresh, Status::UnsafeName, false },
		{ "climbing out below a folder", hostile, L"d/../../up.txt", fresh, Status::UnsafeName, false },
		{ "corrupt payload", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 5 } }, corrupt), L"b.txt", fresh, Status::Damaged, false },
		{ "truncated payload", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 5 } }, payload, payload.size() + 100), L"a.txt", fresh, Status::Damaged, false },
		{ "bytes after the stream", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 5 } }, payload + "tail"), L"a.txt", fresh, Status::Damaged, false },
		{ "sizes disagree with the payload", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 6 } }, payload), L"a.txt", fresh, Status::Damaged, false },
		{ "parent is a regular file", good, L"a.txt", [](const Workspace &s) { s.Source("plain", "x"); return s.Path("plain/out.txt"); }, Status::WriteRefused, true },
		{ "a folder where the file goes", good, L"a.txt", [](const Workspace &s) { smooth::Directory(s.Path("taken")).Create(); return s.Path("taken"); }, Status::WriteRefused, true },
		{ "folder entry below a regular file", "ZBK" + ChunkBytes({ { "f/", 0 } }, Compress("")), L"f/", [](const Workspace &s) { s.Source("plain", "x"); return s.Path("plain/f/"); }, Status::WriteRefused, true },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Workspace space;

		space.folder.Write("in.zbk", c.archive);

		String destination = c.destination(space);
		std::vector<String> before = space.Files();
		ZBK::Archive *archive = ZBK::OpenArchive(space.Path("in.zbk").Wide());

		ASSERT_EQ(Status::Ok, ZBK::GetLastStatus(archive));

		bool extracted = ZBK::ExtractFile(archive, c.name, destination.Wide());

		EXPECT_EQ(c.status == Status::Ok, extracted);
		EXPECT_EQ(c.status, ZBK::GetLastStatus(archive));
		EXPECT_EQ(c.systemError, archive->GetLastSystemError() != 0);

		// A failure leaves no file behind, beside the target or anywhere else.
		if (!extracted) EXPECT_EQ(before, space.Files());
		else		EXPECT_EQ("world", space.Read("out.txt"));

		ZBK::CloseArchive(archive);
	}
}

// Extraction by position for a caller that makes paths of names itself:
// the name is not looked at and no folder is made, so what the caller did
// not prepare fails as a write.
TEST(ArchiveStatus, ExtractEntryLeavesNamesAndFoldersToItsCaller)
{
	std::string payload = Compress("helloworld");
	std::string corrupt = payload;

	corrupt[payload.size() / 2] ^= 0x55;

	std::string archive = "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "../up.txt", 5 }, { "f/", 0 } }, payload);

	struct Case
	{
		const char	*what;
		std::string	 archive;
		Int		 n;
		std::function<String(const Workspace &)> destination;
		Status		 status;
		bool		 systemError;
		const char	*content;	// what the destination holds after a success
	};

	auto fresh  = [](const Workspace &s) { return s.Path("out"); };
	auto folder = [](const Workspace &s) { smooth::Directory(s.Path("made")).Create(); return s.Path("made/"); };

	const Case cases[] = {
		{ "a file", archive, 0, fresh, Status::Ok, false, "hello" },
		{ "a name no caller should take: only the destination counts", archive, 1, fresh, Status::Ok, false, "world" },
		{ "a folder entry onto a folder the caller made", archive, 2, folder, Status::Ok, false, nullptr },
		{ "the destination's folder is missing", archive, 0, [](const Workspace &s) { return s.Path("none/out"); }, Status::WriteRefused, true, nullptr },
		{ "a folder entry whose folder is missing", archive, 2, [](const Workspace &s) { return s.Path("none/"); }, Status::WriteRefused, false, nullptr },
		{ "no destination", archive, 0, [](const Workspace &) { return String(); }, Status::WriteRefused, false, nullptr },
		{ "one past the last entry", archive, 3, fresh, Status::NotListed, false, nullptr },
		{ "a negative position", archive, -1, fresh, Status::NotListed, false, nullptr },
		{ "corrupt payload", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "b.txt", 5 } }, corrupt), 1, fresh, Status::Damaged, false, nullptr },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Workspace space;

		space.folder.Write("in.zbk", c.archive);

		String destination = c.destination(space);
		std::vector<String> before = space.Files();
		std::vector<String> folders = smooth::Directory(space.folder.Root()).GetDirectories();
		ZBK::Archive reader;

		ASSERT_TRUE(reader.Open(space.Path("in.zbk")));

		ProgressLog progress(reader);
		bool extracted = reader.ExtractEntry(c.n, destination);

		EXPECT_EQ(c.status == Status::Ok, extracted);
		EXPECT_EQ(c.status, reader.GetLastStatus());
		EXPECT_EQ(c.systemError, reader.GetLastSystemError() != 0);
		EXPECT_EQ(folders, smooth::Directory(space.folder.Root()).GetDirectories()) << "no folder made";

		if (c.content != nullptr)
		{
			EXPECT_EQ(c.content, space.Read("out"));
			EXPECT_TRUE(progress.IsSound());
		}
		else
		{
			EXPECT_EQ(before, space.Files());

			// A damaged payload is found while the data is written.
			if (c.status != Status::Damaged) EXPECT_TRUE(progress.values.empty()) << "nothing written, nothing reported";
		}
	}
}

// The status is that of the last call: a success after a failure clears it,
// and calls other than Open and ExtractFile leave it alone.
TEST(ArchiveStatus, TheLastCallCounts)
{
	Workspace space;

	space.folder.Write("in.zbk", "ZBK" + ChunkBytes({ { "a.txt", 5 }, { "c.txt", 3 } }, Compress("hellocee")));

	ZBK::Archive archive;

	ASSERT_TRUE(archive.Open(space.Path("in.zbk")));
	ASSERT_TRUE(archive.AddFile(space.Source("new.txt", "new"), "new.txt"));

	EXPECT_FALSE(archive.ExtractFile("new.txt", space.Path("early.txt")));	// queued, not written yet
	EXPECT_EQ(Status::NotListed, archive.GetLastStatus());
	ASSERT_EQ(String("new.txt"), archive.GetFileName(2));
	EXPECT_FALSE(archive.ExtractEntry(2, space.Path("early.txt")));
	EXPECT_EQ(Status::NotListed, archive.GetLastStatus());
	EXPECT_FALSE(archive.AddFile(space.Path("new.txt"), "../bad.txt"));
	EXPECT_EQ(Status::NotListed, archive.GetLastStatus());

	EXPECT_FALSE(archive.ExtractFile("a.txt", space.Path("new.txt/x")));
	EXPECT_EQ(Status::WriteRefused, archive.GetLastStatus());
	EXPECT_NE(0, archive.GetLastSystemError());

	EXPECT_TRUE(archive.ExtractFile("a.txt", space.Path("a.txt")));
	EXPECT_EQ(Status::Ok, archive.GetLastStatus());
	EXPECT_EQ(0, archive.GetLastSystemError());

	// Written onto its own file by a complete rewrite, the object reads no
	// more, though it still lists what it read.
	ASSERT_TRUE(archive.RemoveFile("a.txt"));
	ASSERT_TRUE(archive.Write(String()));
	ASSERT_FALSE(archive.ExtractFile("c.txt", space.Path("c.txt")));
	EXPECT_EQ(Status::NotListed, archive.GetLastStatus());
	Int listed = 0;

	while (listed < archive.GetNumberOfFiles() && archive.GetFileName(listed) != "c.txt") listed++;

	ASSERT_LT(listed, archive.GetNumberOfFiles());
	EXPECT_FALSE(archive.ExtractEntry(listed, space.Path("c.txt")));
	EXPECT_EQ(Status::NotListed, archive.GetLastStatus());
	EXPECT_FALSE(space.Exists("c.txt"));

	// Opening a second file with the same object is refused.
	EXPECT_FALSE(archive.Open(space.Path("in.zbk")));
	EXPECT_EQ(Status::CannotOpen, archive.GetLastStatus());
}

TEST(ArchiveStatus, VerifyDecodesWithoutWriting)
{
	std::string payload = Compress(std::string(300000, 'v') + "end");
	std::string corrupt = payload;

	corrupt[payload.size() / 2] ^= 0x55;

	struct Case
	{
		const char	*what;
		std::string	 chunk;
		Status		 status;
	};

	const Case cases[] = {
		{ "intact", ChunkBytes({ { "v", 300000 }, { "e", 3 } }, payload), Status::Ok },
		{ "corrupt", ChunkBytes({ { "v", 300000 }, { "e", 3 } }, corrupt), Status::Damaged },
		{ "sizes claim less", ChunkBytes({ { "v", 300000 }, { "e", 2 } }, payload), Status::Damaged },
		{ "sizes claim more", ChunkBytes({ { "v", 300000 }, { "e", 4 } }, payload), Status::Damaged },
		{ "bytes after the stream", ChunkBytes({ { "v", 300000 }, { "e", 3 } }, payload + "x"), Status::Damaged },
		{ "truncated", ChunkBytes({ { "v", 300000 }, { "e", 3 } }, payload, payload.size() + 1), Status::Damaged },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Workspace space;

		space.folder.Write("in.zbk", "ZBK" + c.chunk);

		ZBK::Archive archive;

		ASSERT_TRUE(archive.Open(space.Path("in.zbk")));
		ASSERT_EQ(1, archive.GetNumberOfChunks());

		Int64 last = 0;
		bool rising = true;

		EXPECT_EQ(c.status, archive.GetChunk(1)->Verify([&](Int64 done) { rising = rising && done > last; last = done; }));
		EXPECT_TRUE(rising);

		if (c.status == Status::Ok) EXPECT_EQ(300003, last);

		EXPECT_TRUE(smooth::Directory(archive.GetTempFolder()).GetFiles().empty());
	}
}
