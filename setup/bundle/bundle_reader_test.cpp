#include "bundle_reader.h"
#include "bundle_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Tolvane;
using namespace BundleTest;

namespace
{
	// A payload of one entry "setup.exe" holding text, trailer included.
	std::string OneEntryPayload(const std::string &text)
	{
		uint8_t digest[kSha256Size];
		std::string record(kBundleRecordFixed + 9, '\0');
		Sha256::Hash(text.data(), text.size(), digest);
		EncodeBundleRecord("setup.exe", 9, 0, text.size(), digest, reinterpret_cast<uint8_t *>(&record[0]));
		const size_t padding = (8 - (text.size() + record.size()) % 8) % 8;
		BundleTrailer trailer;
		trailer.entryCount = 1;
		trailer.tableOffset = text.size();
		trailer.tableSize = record.size();
		trailer.payloadSize = text.size() + record.size() + padding + kBundleTrailerSize;
		Sha256::Hash(record.data(), record.size(), trailer.tableHash);
		std::string end(kBundleTrailerSize, '\0');
		EncodeBundleTrailer(trailer, reinterpret_cast<uint8_t *>(&end[0]));
		return text + record + std::string(padding, '\0') + end;
	}

	struct Source
	{
		std::string bytes;
		uint64_t failAt = ~0ull;  // reads reaching this offset fail
	};

	bool ReadSource(void *context, uint64_t offset, void *buffer, size_t size)
	{
		const Source *source = static_cast<const Source *>(context);
		if (offset > source->bytes.size() || size > source->bytes.size() - offset || offset + size > source->failAt) return false;
		memcpy(buffer, source->bytes.data() + offset, size);
		return true;
	}
}

// The whole file as the stub opens it: the image's head, the region behind
// it (up to a certificate table when signed), the table in the region.
TEST(BundleReader, OpensWholeFilesAsTheStubDoes)
{
	const std::string stub = MakePe({});
	const std::string payload = OneEntryPayload("hello");
	Image signedImage;
	signedImage.certStart = uint32_t(stub.size() + payload.size());
	signedImage.certSize = 16;
	const std::string signedFile = MakePe(signedImage) + payload + std::string(16, 'c');

	struct Row
	{
		const char *name;
		Source source;
		BundleStatus expected;
		uint64_t regionEnd;
	} rows[] = {
		{"unsigned", {stub + payload}, BundleStatus::Ok, stub.size() + payload.size()},
		{"signed: the payload ends at the certificate table", {signedFile}, BundleStatus::Ok, stub.size() + payload.size()},
		{"empty file", {""}, BundleStatus::NotABundle, 0},
		{"the image alone", {stub}, BundleStatus::NotABundle, 0},
		{"cut inside the image", {stub.substr(0, stub.size() - 1)}, BundleStatus::Truncated, 0},
		{"the head cannot be read", {stub + payload, 10}, BundleStatus::ReadError, 0},
		{"the table cannot be read", {stub + payload, stub.size() + 5}, BundleStatus::ReadError, 0},
	};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(row.name);
		const ByteSource source{ReadSource, const_cast<Source *>(&row.source)};
		BundleTable table;
		PayloadRegion region;
		ASSERT_EQ(ReadBundle(source, row.source.bytes.size(), table, &region), row.expected) << table.Detail();
		EXPECT_EQ(table.Count(), row.expected == BundleStatus::Ok ? 1u : 0u);
		if (row.expected != BundleStatus::Ok) continue;
		EXPECT_EQ(region.begin, stub.size());
		EXPECT_EQ(region.end, row.regionEnd);
		EXPECT_EQ(table.Entry(0).offset, stub.size());
		EXPECT_EQ(table.Find("setup.exe"), 0);
	}
}
