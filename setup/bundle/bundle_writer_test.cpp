#include "bundle_writer.h"
#include "bundle_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace Tolvane;
using namespace BundleTest;
using smooth::String;

namespace
{
	class BundleWriter : public ::testing::Test
	{
	protected:
		smooth_test::ScratchFolder scratch;

		std::string PathOf(const char *name) const { return scratch.Path(name).ToUTF8(); }

		// A made-up stub whose image ends at end.
		std::string Stub(const char *name, uint32_t end = 0x1600)
		{
			Image image;
			image.sections = {{0x400, end - 0x400}};
			const std::string bytes = MakePe(image);
			scratch.Write(name, bytes);
			return bytes;
		}

		// The names in the scratch folder.
		std::vector<smooth::String> Listing() const { return smooth::Directory(scratch.Root()).GetFiles(); }
	};
}

// What goes in comes out: names with '/', the bytes of files and of memory,
// the stub in front, a length that is a multiple of 8, whatever the stub's.
TEST_F(BundleWriter, RoundTripForEveryStubLength)
{
	scratch.Write("manual.txt", "The manual\r\n");
	scratch.Write("big.bin", std::string(3 << 20, 'q'));
	const std::vector<BundleEntry> entries = {BundleEntry::FromBytes("setup.exe", "MZ setup"), BundleEntry::FromFile("docs\\manual.txt", PathOf("manual.txt")),
	                                          BundleEntry::FromBytes("empty", ""), BundleEntry::FromFile("data/sub/big.bin", PathOf("big.bin"))};
	for (uint32_t end = 0x1600; end < 0x1608; end++)
	{
		SCOPED_TRACE(end);
		const std::string stub = Stub("stub.exe", end);
		std::string error;
		ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), entries, PathOf("out.exe"), &error)) << error;
		const std::string file = scratch.Read("out.exe");
		EXPECT_EQ(file.size() % 8, 0u);
		EXPECT_EQ(file.substr(0, stub.size()), stub);

		std::vector<BundleEntry> read;
		std::string detail;
		ASSERT_EQ(ReadBundleFile(PathOf("out.exe"), &read, true, &detail), BundleStatus::Ok) << detail;
		ASSERT_EQ(read.size(), entries.size());
		EXPECT_EQ(read[0].name, "setup.exe");
		EXPECT_EQ(read[1].name, "docs/manual.txt");
		EXPECT_EQ(read[1].bytes, "The manual\r\n");
		EXPECT_EQ(read[2].bytes, "");
		EXPECT_EQ(read[3].bytes, std::string(3 << 20, 'q'));
	}
	// Nothing but the inputs and the bundle stays in the folder.
	EXPECT_EQ(Listing().size(), 4u);
}

// The same inputs give the same bytes, whenever and wherever they are
// written; another order gives another bundle.
TEST_F(BundleWriter, SameInputsGiveTheSameBytes)
{
	Stub("stub.exe");
	scratch.Write("a.txt", "alpha");
	std::vector<BundleEntry> entries = {BundleEntry::FromBytes("setup.exe", "MZ"), BundleEntry::FromFile("a.txt", PathOf("a.txt"))};
	std::string error;
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), entries, PathOf("first.exe"), &error)) << error;
	scratch.Write("a.txt", "alpha");  // written again: a newer time, the same bytes
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), entries, PathOf("second.exe"), &error)) << error;
	EXPECT_EQ(scratch.Read("first.exe"), scratch.Read("second.exe"));

	std::swap(entries[0], entries[1]);
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), entries, PathOf("third.exe"), &error)) << error;
	EXPECT_NE(scratch.Read("first.exe"), scratch.Read("third.exe"));
}

// Written over the stub itself, the bundle replaces it whole.
TEST_F(BundleWriter, OutputMayReplaceTheStub)
{
	const std::string stub = Stub("stub.exe");
	std::string error;
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), {BundleEntry::FromBytes("setup.exe", "MZ")}, PathOf("stub.exe"), &error)) << error;
	const std::string file = scratch.Read("stub.exe");
	EXPECT_EQ(file.substr(0, stub.size()), stub);
	EXPECT_EQ(ReadBundleFile(PathOf("stub.exe"), nullptr, false, nullptr), BundleStatus::Ok);
}

namespace
{
	struct Refusal
	{
		const char *name;
		std::function<void(smooth_test::ScratchFolder &)> prepare;  // writes stub.exe (a good one is there before)
		std::vector<BundleEntry> entries;
		const char *cause;  // part of the error line
	};
}

// Every refusal names its cause and leaves the earlier bundle and no
// temporary file behind.
TEST_F(BundleWriter, RefusalsKeepTheOldFile)
{
	const std::vector<BundleEntry> good = {BundleEntry::FromBytes("setup.exe", "MZ")};
	auto with = [&](std::vector<BundleEntry> more) { more.insert(more.begin(), good[0]); return more; };
	const Refusal rows[] = {
		{"stub missing", [](smooth_test::ScratchFolder &s) { smooth::File(s.Path("stub.exe")).Delete(); }, good, "cannot be read"},
		{"stub not a PE image", [](smooth_test::ScratchFolder &s) { s.Write("stub.exe", "#!/bin/sh\n"); }, good, "not a usable stub"},
		{"stub signed", [](smooth_test::ScratchFolder &s) { Image i; i.certStart = 0x1600; i.certSize = 8; s.Write("stub.exe", MakePe(i) + "12345678"); },
		 good, "sign the bundle, not the stub"},
		{"stub not stripped", [](smooth_test::ScratchFolder &s) { Image i; i.symbols = 0x1600; s.Write("stub.exe", MakePe(i) + "symbols!"); }, good, "strip it"},
		{"stub with data after it", [](smooth_test::ScratchFolder &s) { s.Write("stub.exe", MakePe({}) + "overlay"); }, good, "data after its image"},
		{"unsafe name", nullptr, with({BundleEntry::FromBytes("../evil.dll", "x")}), "unsafe entry name \"../evil.dll\""},
		{"name with a drive", nullptr, with({BundleEntry::FromBytes("C:\\evil.dll", "x")}), "unsafe entry name"},
		{"same file twice", nullptr, with({BundleEntry::FromBytes("a/b.txt", "1"), BundleEntry::FromBytes("A\\B.TXT", "2")}), "same file"},
		{"file where a folder is needed", nullptr, with({BundleEntry::FromBytes("a", "1"), BundleEntry::FromBytes("a/b.txt", "2")}), "folder"},
		{"folder where a file is wanted", nullptr, with({BundleEntry::FromBytes("a/b.txt", "1"), BundleEntry::FromBytes("A", "2")}), "folder"},
		{"source missing", nullptr, with({BundleEntry::FromFile("x.bin", "/nonexistent/x.bin")}), "x.bin: cannot be read"},
	};
	for (const Refusal &row : rows)
	{
		SCOPED_TRACE(row.name);
		Stub("stub.exe");
		std::string error;
		ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), good, PathOf("out.exe"), &error)) << error;
		const std::string before = scratch.Read("out.exe");
		if (row.prepare) row.prepare(scratch);
		EXPECT_FALSE(WriteBundle(PathOf("stub.exe"), row.entries, PathOf("out.exe"), &error));
		EXPECT_NE(error.find(row.cause), std::string::npos) << error;
		EXPECT_EQ(scratch.Read("out.exe"), before);
		for (const String &name : Listing()) EXPECT_TRUE(name == "stub.exe" || name == "out.exe") << name.ToUTF8();
	}
}

// A stub already made into a bundle is not a stub.
TEST_F(BundleWriter, RefusesABundleAsStub)
{
	Stub("stub.exe");
	std::string error;
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), {BundleEntry::FromBytes("setup.exe", "MZ")}, PathOf("out.exe"), &error)) << error;
	EXPECT_FALSE(WriteBundle(PathOf("out.exe"), {BundleEntry::FromBytes("setup.exe", "MZ")}, PathOf("again.exe"), &error));
	EXPECT_NE(error.find("is it a bundle already?"), std::string::npos) << error;
}

#ifndef _WIN32
// A disk that fills up part way: false with the cause, the old bundle kept,
// no partial file left.
TEST_F(BundleWriter, FullDiskKeepsTheOldFile)
{
	Stub("stub.exe");
	std::string error;
	ASSERT_TRUE(WriteBundle(PathOf("stub.exe"), {BundleEntry::FromBytes("setup.exe", "MZ")}, PathOf("out.exe"), &error)) << error;
	const std::string before = scratch.Read("out.exe");
	{
		smooth_test::FileSizeLimit limit(64 * 1024);
		EXPECT_FALSE(WriteBundle(PathOf("stub.exe"), {BundleEntry::FromBytes("setup.exe", std::string(200000, 's'))}, PathOf("out.exe"), &error));
	}
	EXPECT_NE(error.find("out.exe: write failed"), std::string::npos) << error;
	EXPECT_EQ(scratch.Read("out.exe"), before);
	EXPECT_EQ(Listing().size(), 2u);
}
#endif
