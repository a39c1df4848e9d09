#include "bundle_format.h"
#include "bundle_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace Tolvane;
using namespace BundleTest;

namespace
{
	std::string Sha(const std::string &bytes)
	{
		uint8_t digest[kSha256Size];
		Sha256::Hash(bytes.data(), bytes.size(), digest);
		return std::string(reinterpret_cast<char *>(digest), kSha256Size);
	}

	BundleStatus Region(const std::string &file, PayloadRegion *region)
	{
		const size_t head = std::min(file.size(), kPeHeadBytes);
		return FindPayloadRegion(reinterpret_cast<const uint8_t *>(file.data()), head, file.size(), region);
	}

	// ---- payloads built by hand ---------------------------------------------------

	struct Record
	{
		std::string name;
		uint64_t offset, size;
		std::string sha;
	};

	// A payload that may say anything about itself; its hashes are right
	// unless a test changes bytes afterwards.
	struct Payload
	{
		std::string data;
		std::vector<Record> records;
		size_t padding = 0;
		std::function<void(BundleTrailer &)> tweak;

		std::string Table() const
		{
			std::string table;
			for (const Record &r : records)
			{
				std::string record(kBundleRecordFixed + r.name.size(), '\0');
				EncodeBundleRecord(r.name.data(), uint32_t(r.name.size()), r.offset, r.size,
				                   reinterpret_cast<const uint8_t *>(r.sha.data()), reinterpret_cast<uint8_t *>(&record[0]));
				table += record;
			}
			return table;
		}

		std::string Bytes() const
		{
			const std::string table = Table();
			BundleTrailer trailer;
			trailer.entryCount = uint32_t(records.size());
			trailer.tableOffset = data.size();
			trailer.tableSize = table.size();
			trailer.payloadSize = data.size() + table.size() + padding + kBundleTrailerSize;
			memcpy(trailer.tableHash, Sha(table).data(), kSha256Size);
			if (tweak) tweak(trailer);
			std::string end(kBundleTrailerSize, '\0');
			EncodeBundleTrailer(trailer, reinterpret_cast<uint8_t *>(&end[0]));
			return data + table + std::string(padding, '\0') + end;
		}
	};

	// Files back to back, as the writer lays them out.
	Payload Honest(const std::vector<std::pair<std::string, std::string>> &files)
	{
		Payload payload;
		for (const auto &file : files)
		{
			payload.records.push_back({file.first, payload.data.size(), file.second.size(), Sha(file.second)});
			payload.data += file.second;
		}
		return payload;
	}

	const std::vector<std::pair<std::string, std::string>> kFiles = {
		{"setup.exe", std::string(3000, 'x')}, {"data/a.bin", "alpha"}, {"empty.txt", ""}, {"data/sub/b.bin", std::string(70000, 'b')}};

	bool ReadString(void *context, uint64_t offset, void *buffer, size_t size)
	{
		const std::string *bytes = static_cast<const std::string *>(context);
		if (offset > bytes->size() || size > bytes->size() - offset) return false;
		memcpy(buffer, bytes->data() + offset, size);
		return true;
	}

	// Reads the payload of file from begin to its end.
	BundleStatus ReadTable(const std::string &file, uint64_t begin, BundleTable *table, uint64_t end = ~0ull)
	{
		const ByteSource source{ReadString, const_cast<std::string *>(&file)};
		return table->Read(source, begin, end == ~0ull ? file.size() : end);
	}

	// Every entry's bytes through VerifyBundleEntry; the first failure.
	BundleStatus VerifyAll(const std::string &file, const BundleTable &table, std::vector<std::string> *contents = nullptr)
	{
		const ByteSource source{ReadString, const_cast<std::string *>(&file)};
		uint8_t buffer[1000];
		for (uint32_t i = 0; i < table.Count(); i++)
		{
			std::string content;
			const BundleStatus status = VerifyBundleEntry(source, table.Entry(i), buffer, sizeof(buffer),
				[](void *context, const uint8_t *data, size_t size) {
					static_cast<std::string *>(context)->append(reinterpret_cast<const char *>(data), size);
					return true;
				}, &content);
			if (status != BundleStatus::Ok) return status;
			if (contents) contents->push_back(content);
		}
		return BundleStatus::Ok;
	}
}

TEST(BundleFormat, ReadsWhatWasLaidOut)
{
	const std::string stub = MakePe({});
	const std::string file = stub + Honest(kFiles).Bytes();
	PayloadRegion region;
	ASSERT_EQ(Region(file, &region), BundleStatus::Ok);
	EXPECT_EQ(region.begin, stub.size());
	EXPECT_EQ(region.end, file.size());

	BundleTable table;
	ASSERT_EQ(ReadTable(file, region.begin, &table), BundleStatus::Ok) << table.Detail();
	ASSERT_EQ(table.Count(), kFiles.size());
	std::vector<std::string> contents;
	ASSERT_EQ(VerifyAll(file, table, &contents), BundleStatus::Ok);
	for (uint32_t i = 0; i < table.Count(); i++)
	{
		EXPECT_EQ(std::string(table.Entry(i).name, table.Entry(i).nameSize), kFiles[i].first);
		EXPECT_EQ(contents[i], kFiles[i].second);
	}
	EXPECT_EQ(table.Find("SETUP.EXE"), 0);
	EXPECT_EQ(table.Find("data\\SUB\\b.bin"), 3);
	EXPECT_EQ(table.Find("data"), -1);
}

namespace
{
	struct Damage
	{
		const char *name;
		std::function<std::string(std::string file, size_t begin)> change;  // the whole file, changed
		BundleStatus expected;
		bool entries = false;  // found only when the entries' bytes are read
	};

	std::string Flip(std::string file, size_t at)
	{
		file[at] = char(file[at] ^ 0x20);
		return file;
	}

	std::string Rebuilt(const std::string &file, size_t begin, const Payload &payload) { return file.substr(0, begin) + payload.Bytes(); }
}

// Every way a payload can be cut, flipped or made to lie ends with its own
// reason, and never with a read outside the file.
TEST(BundleFormat, DamageIsFoundAndNamed)
{
	const size_t trailer = kBundleTrailerSize;
	const size_t tableSize = Honest(kFiles).Table().size();
	const Damage rows[] = {
		{"no payload", [](std::string f, size_t b) { return f.substr(0, b); }, BundleStatus::NotABundle},
		{"cut in the trailer", [](std::string f, size_t) { return f.substr(0, f.size() - 1); }, BundleStatus::Truncated},
		{"cut before the trailer", [=](std::string f, size_t) { return f.substr(0, f.size() - trailer); }, BundleStatus::Truncated},
		{"cut in the table", [=](std::string f, size_t) { return f.substr(0, f.size() - trailer - tableSize / 2); }, BundleStatus::Truncated},
		{"cut in the data", [](std::string f, size_t b) { return f.substr(0, b + 100); }, BundleStatus::Truncated},
		{"cut to a few bytes", [](std::string f, size_t b) { return f.substr(0, b + 3); }, BundleStatus::Truncated},
		{"magic flipped", [](std::string f, size_t) { return Flip(f, f.size() - 3); }, BundleStatus::Truncated},
		{"version flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer); }, BundleStatus::HashMismatch},
		{"entry count flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer + 4); }, BundleStatus::HashMismatch},
		{"payload size flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer + 15); }, BundleStatus::HashMismatch},
		{"table offset flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer + 16); }, BundleStatus::HashMismatch},
		{"table hash flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer + 40); }, BundleStatus::HashMismatch},
		{"trailer hash flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer + 70); }, BundleStatus::HashMismatch},
		{"table name flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer - tableSize + 5); }, BundleStatus::HashMismatch},
		{"entry hash in the table flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer - 30); }, BundleStatus::HashMismatch},
		{"first data byte flipped", [](std::string f, size_t b) { return Flip(f, b); }, BundleStatus::HashMismatch, true},
		{"last data byte flipped", [=](std::string f, size_t) { return Flip(f, f.size() - trailer - tableSize - 1); }, BundleStatus::HashMismatch, true},
		{"a byte more at the start", [](std::string f, size_t b) { return f.insert(b, 1, 'x'); }, BundleStatus::DamagedTable},
		{"a byte less in the data", [](std::string f, size_t b) { return f.erase(b + 10, 1); }, BundleStatus::Truncated},
		{"a byte after the trailer", [](std::string f, size_t) { return f + "x"; }, BundleStatus::Truncated},
		{"version 2", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.version = 2; }; return Rebuilt(f, b, p); },
		 BundleStatus::Unsupported},
		{"padding not zero", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.padding = 3; std::string r = Rebuilt(f, b, p); r[r.size() - 105] = 1; return r; },
		 BundleStatus::DamagedTable},
		{"padding of 8", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.padding = 8; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"too many entries", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.entryCount = kBundleMaxEntries + 1; }; return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"one entry more than recorded", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.entryCount++; }; return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"one entry less than recorded", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.entryCount--; }; return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"table past the trailer", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.tableOffset += 200; }; return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"table size wraps around", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.tableSize = ~0ull - 8; }; return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"payload larger than the file", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.tweak = [](BundleTrailer &t) { t.payloadSize = ~0ull; }; return Rebuilt(f, b, p); },
		 BundleStatus::Truncated},
		{"entries overlap", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[1].offset -= 1; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"gap between entries", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[2].offset += 1; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"entry past the table", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[3].size += 1; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"entry size wraps around", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[1].size = ~0ull - 2; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"entries end before the table", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[3].size -= 1; return Rebuilt(f, b, p); }, BundleStatus::DamagedTable},
		{"name longer than the table", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[0].name = std::string(kBundleMaxNameBytes + 1, 'n'); return Rebuilt(f, b, p); },
		 BundleStatus::DamagedTable},
		{"unsafe name", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[1].name = "data/../../a.bin"; return Rebuilt(f, b, p); }, BundleStatus::UnsafeName},
		{"same name twice", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[2].name = "Data\\A.bin"; return Rebuilt(f, b, p); }, BundleStatus::UnsafeName},
		{"file where a folder is needed", [](std::string f, size_t b) { Payload p = Honest(kFiles); p.records[2].name = "data/sub"; return Rebuilt(f, b, p); },
		 BundleStatus::UnsafeName},
	};
	const std::string stub = MakePe({});
	const std::string good = stub + Honest(kFiles).Bytes();
	for (const Damage &row : rows)
	{
		SCOPED_TRACE(row.name);
		const std::string file = row.change(good, stub.size());
		PayloadRegion region;
		ASSERT_EQ(Region(file, &region), BundleStatus::Ok);
		BundleTable table;
		const BundleStatus status = ReadTable(file, region.begin, &table, region.end);
		if (row.entries)
		{
			ASSERT_EQ(status, BundleStatus::Ok) << table.Detail();
			EXPECT_EQ(VerifyAll(file, table), row.expected);
		}
		else
		{
			EXPECT_EQ(status, row.expected) << BundleStatusText(status) << ": " << table.Detail();
			EXPECT_EQ(table.Count(), 0u);
			EXPECT_NE(std::string(table.Detail()), "");
			if (row.expected == BundleStatus::UnsafeName && std::string(row.name) == "unsafe name") EXPECT_STREQ(table.Detail(), "data/../../a.bin");
		}
	}
}

// The rule itself is the archive's and is tested with it; here what the
// bundle adds (UTF-8, its length limit, files only) and that it applies.
TEST(BundleFormat, NamesMustStayInsideTheFolder)
{
	const std::string safe[] = {"setup.exe", "data/a.bin", "data\\b.bin", "\xC3\xBCnic\xC3\xB6" "de/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt",
	                            "x\xF0\x9F\x98\x80", "n", std::string(kBundleMaxNameBytes, 'n')};
	for (const std::string &name : safe) EXPECT_TRUE(IsSafeBundleName(name.data(), name.size())) << name;

	const std::string unsafe[] = {"", std::string(kBundleMaxNameBytes + 1, 'n'), "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xC3", "\x80",
	                              "a/", "a\\", "../x", "C:x", "con", "COM\xC2\xB9", "a.", "x?y", "a\x01" "b", std::string("a\0b", 3)};
	for (const std::string &name : unsafe) EXPECT_FALSE(IsSafeBundleName(name.data(), name.size())) << name;
}

namespace
{
	struct PeRow
	{
		const char *name;
		std::function<std::string()> file;
		BundleStatus expected;
		uint64_t begin = 0, end = 0;  // on Ok; end 0: the file's size
		bool certificate = false, symbols = false;
	};
}

// The payload's region from the PE headers: the end of the image, and the
// certificate table's start when the file is signed.
TEST(BundleFormat, PayloadRegionFromThePeHeaders)
{
	const std::string payload(1000, 'p');
	const PeRow rows[] = {
		{"PE32", [&] { return MakePe({}) + payload; }, BundleStatus::Ok, 0x1600},
		{"PE32+", [&] { Image i; i.plus = true; return MakePe(i) + payload; }, BundleStatus::Ok, 0x1600},
		{"no payload", [] { return MakePe({}); }, BundleStatus::Ok, 0x1600, 0x1600},
		{"headers past the sections", [&] { Image i; i.headers = 0x2000; return MakePe(i) + payload; }, BundleStatus::Ok, 0x2000},
		{"empty section ignored", [&] { Image i; i.sections.push_back({0x9000, 0}); return MakePe(i) + payload; }, BundleStatus::Ok, 0x1600},
		{"signed", [&] { Image i; i.certStart = 0x1600 + 1000; i.certSize = 24; return MakePe(i) + payload + std::string(24, 'c'); },
		 BundleStatus::Ok, 0x1600, 0x1600 + 1000, true},
		{"signed plus", [&] { Image i; i.plus = true; i.certStart = 0x1600 + 1000; i.certSize = 8; return MakePe(i) + payload + std::string(8, 'c'); },
		 BundleStatus::Ok, 0x1600, 0x1600 + 1000, true},
		{"no security directory", [&] { Image i; i.directories = 4; i.certStart = 0x1600; i.certSize = 8; return MakePe(i) + payload; },
		 BundleStatus::Ok, 0x1600},
		{"symbol table", [&] { Image i; i.symbols = 0x1600; return MakePe(i) + payload; }, BundleStatus::Ok, 0x1600, 0, false, true},
		{"certificate inside the image", [&] { Image i; i.certStart = 0x800; i.certSize = 8; return MakePe(i) + payload; }, BundleStatus::NotABundle},
		{"certificate past the end", [&] { Image i; i.certStart = 0x1600 + 1000; i.certSize = 64; return MakePe(i) + payload + std::string(8, 'c'); },
		 BundleStatus::Truncated},
		{"certificate size wraps", [&] { Image i; i.certStart = 0x1600; i.certSize = 0xFFFFFFFF; return MakePe(i) + payload; }, BundleStatus::Truncated},
		{"sections cut short", [] { return MakePe({}).substr(0, 0x1000); }, BundleStatus::Truncated},
		{"headers cut short", [] { return MakePe({}).substr(0, 0x90); }, BundleStatus::Truncated},
		{"empty file", [] { return std::string(); }, BundleStatus::NotABundle},
		{"no MZ", [&] { std::string f = MakePe({}) + payload; f[0] = 'X'; return f; }, BundleStatus::NotABundle},
		{"no PE signature", [&] { std::string f = MakePe({}) + payload; f[0x81] = 'X'; return f; }, BundleStatus::NotABundle},
		{"unknown optional header", [&] { std::string f = MakePe({}) + payload; f[0x98] = 7; return f; }, BundleStatus::NotABundle},
		{"optional header too small", [&] { std::string f = MakePe({}) + payload; Put(f, 0x80 + 20, 8, 2); return f; }, BundleStatus::NotABundle},
		{"PE offset far away", [&] { std::string f = MakePe({}) + std::string(kPeHeadBytes, 'p'); Put(f, 0x3C, 0xFFFFFFF0u, 4); return f; },
		 BundleStatus::NotABundle},
		{"section table past the head", [&] { std::string f = MakePe({}) + std::string(kPeHeadBytes, 'p'); Put(f, 0x86, 0xFFFF, 2); return f; },
		 BundleStatus::NotABundle},
		{"huge section", [&] { std::string f = MakePe({}) + payload; Put(f, 0x80 + 24 + 96 + 128 + 40 + 16, 0xFFFFFFFFu, 4); return f; },
		 BundleStatus::Truncated},
	};
	for (const PeRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const std::string file = row.file();
		PayloadRegion region;
		ASSERT_EQ(Region(file, &region), row.expected) << BundleStatusText(Region(file, &region));
		if (row.expected != BundleStatus::Ok) continue;
		EXPECT_EQ(region.begin, row.begin);
		EXPECT_EQ(region.end, row.end ? row.end : file.size());
		EXPECT_EQ(region.hasCertificate, row.certificate);
		EXPECT_EQ(region.hasSymbols, row.symbols);
	}
}

// A signing tool may pad the file with up to 7 zero bytes before its
// certificate table; the trailer is found before them, and only zeros may
// stand there.
TEST(BundleFormat, SignedBundleReadsThroughPadding)
{
	const std::string stub = MakePe({});
	for (size_t padding = 0; padding <= 8; padding++)
	{
		for (char fill : {'\0', '\1'})
		{
			if (padding == 0 && fill) continue;
			SCOPED_TRACE(std::to_string(padding) + " bytes of " + std::to_string(int(fill)));
			std::string file = stub + Honest(kFiles).Bytes() + std::string(padding, fill);
			const std::string certificate(16, 'c');
			Put(file, 0x80 + 24 + 96 + 32, file.size(), 4);
			Put(file, 0x80 + 24 + 96 + 36, certificate.size(), 4);
			file += certificate;
			PayloadRegion region;
			ASSERT_EQ(Region(file, &region), BundleStatus::Ok);
			BundleTable table;
			const BundleStatus expected = padding < 8 && !fill ? BundleStatus::Ok : BundleStatus::Truncated;
			EXPECT_EQ(ReadTable(file, region.begin, &table, region.end), expected) << table.Detail();
			if (expected == BundleStatus::Ok) EXPECT_EQ(VerifyAll(file, table), BundleStatus::Ok);
		}
	}
}
