// Opens arbitrary bytes as a whole bundle file (stub image, payload,
// trailer, perhaps a certificate table), as the stub does, and reads every
// entry it accepts. Beyond the sanitizers' findings it traps when an
// accepted table lists an entry outside the payload, out of order, with an
// unsafe name, under a name another entry has too, or as a file where
// another entry needs a folder, and when a verified entry delivered another
// number of bytes than listed.
//
// The hashes stand between mutated bytes and the table's parser, so each
// input is read twice: as it is, and with the trailer's and the table's
// hashes made to fit what the trailer says.
#include <bundle_reader.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Tolvane;

namespace
{
	struct Memory
	{
		const uint8_t	*data;
		size_t		 size;
	};

	bool ReadMemory(void *context, uint64_t offset, void *buffer, size_t size)
	{
		const Memory *memory = static_cast<const Memory *>(context);

		if (offset > memory->size || size > memory->size - offset) return false;

		if (size > 0) memcpy(buffer, memory->data + offset, size);

		return true;
	}

	bool Counted(void *context, const uint8_t *, size_t size)
	{
		*static_cast<uint64_t *>(context) += size;

		return true;
	}

	uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 'a' + 'A') : c; }

	// Whether folder names a folder on the way to name (ASCII letters
	// without case, '/' and '\' alike).
	bool IsFolderOf(const BundleEntryInfo &folder, const BundleEntryInfo &name)
	{
		if (name.nameSize <= folder.nameSize) return false;

		for (uint32_t i = 0; i < folder.nameSize; i++)
		{
			uint8_t a = Upper(uint8_t(folder.name[i])), b = Upper(uint8_t(name.name[i]));

			if (a == '\\') a = '/';
			if (b == '\\') b = '/';
			if (a != b) return false;
		}

		return name.name[folder.nameSize] == '/' || name.name[folder.nameSize] == '\\';
	}

	void Check(const uint8_t *data, size_t size)
	{
		Memory		 memory = {data, size};
		const ByteSource source = {ReadMemory, &memory};
		BundleTable	 table;
		PayloadRegion	 region;

		if (ReadBundle(source, size, table, &region) != BundleStatus::Ok) return;

		if (region.begin > region.end || region.end > size) __builtin_trap();

		uint64_t next = region.begin;
		uint8_t	 buffer[64];

		for (uint32_t i = 0; i < table.Count(); i++)
		{
			const BundleEntryInfo entry = table.Entry(i);

			if (entry.offset != next || entry.size > region.end - entry.offset) __builtin_trap();
			if (!IsSafeBundleName(entry.name, entry.nameSize)) __builtin_trap();
			if (table.Find(std::string(entry.name, entry.nameSize).c_str()) != int32_t(i)) __builtin_trap();

			for (uint32_t j = 0; j < table.Count(); j++)
				if (IsFolderOf(table.Entry(j), entry)) __builtin_trap();

			next = entry.offset + entry.size;

			uint64_t delivered = 0;

			if (VerifyBundleEntry(source, entry, buffer, sizeof(buffer), Counted, &delivered) == BundleStatus::Ok && delivered != entry.size) __builtin_trap();
		}
	}

	// The input with the hashes of its trailer and table made right, or
	// nothing when it has no trailer where the stub would look.
	bool Rehashed(const uint8_t *data, size_t size, std::vector<uint8_t> &out)
	{
		PayloadRegion region;

		if (FindPayloadRegion(data, size < kPeHeadBytes ? size : kPeHeadBytes, size, &region) != BundleStatus::Ok) return false;

		for (size_t padding = 0; padding < 8; padding++)
		{
			if (region.end - region.begin < kBundleTrailerSize + padding) return false;

			const size_t trailer = size_t(region.end - padding - kBundleTrailerSize);

			if (memcmp(data + trailer + 96, kBundleMagic, sizeof(kBundleMagic)) != 0) continue;

			out.assign(data, data + size);

			uint64_t offset = 0, length = 0;

			for (int k = 7; k >= 0; k--) offset = offset << 8 | out[trailer + 16 + k];
			for (int k = 7; k >= 0; k--) length = length << 8 | out[trailer + 24 + k];

			const uint64_t room = trailer - region.begin;

			if (offset <= room && length <= room - offset) Sha256::Hash(&out[size_t(region.begin + offset)], size_t(length), &out[trailer + 32]);

			Sha256::Hash(&out[trailer], 64, &out[trailer + 64]);

			return true;
		}

		return false;
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	Check(data, size);

	std::vector<uint8_t> rehashed;

	if (Rehashed(data, size, rehashed)) Check(rehashed.data(), rehashed.size());

	return 0;
}
