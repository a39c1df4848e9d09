#include "bundle_format.h"

#include <safe_name.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Tolvane
{
	const char kBundleMagic[8] = {'T', 'o', 'l', 'v', 'B', 'n', 'd', '1'};

	namespace
	{
		uint16_t Get16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
		uint32_t Get32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
		uint64_t Get64(const uint8_t *p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

		void Put32(uint8_t *p, uint32_t v)
		{
			for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
		}

		void Put64(uint8_t *p, uint64_t v)
		{
			for (int i = 0; i < 8; i++) p[i] = uint8_t(v >> (8 * i));
		}

		bool IsSeparator(char c) { return c == '/' || c == '\\'; }

		char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

		// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
		bool IsUtf8(const uint8_t *text, size_t size)
		{
			for (size_t i = 0; i < size;)
			{
				const uint8_t c = text[i];
				size_t	      extra;
				uint32_t      code, minimum;

				if	(c < 0x80)	     { i++; continue; }
				else if ((c & 0xE0) == 0xC0) { extra = 1; code = c & 0x1F; minimum = 0x80; }
				else if ((c & 0xF0) == 0xE0) { extra = 2; code = c & 0x0F; minimum = 0x800; }
				else if ((c & 0xF8) == 0xF0) { extra = 3; code = c & 0x07; minimum = 0x10000; }
				else			     return false;

				if (size - i <= extra) return false;

				for (size_t k = 1; k <= extra; k++)
				{
					if ((text[i + k] & 0xC0) != 0x80) return false;

					code = code << 6 | (text[i + k] & 0x3F);
				}

				if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;

				i += extra + 1;
			}

			return true;
		}

		// The byte names are sorted and compared by: ASCII letters in upper
		// case, both separators as 1, below every byte a safe name may hold,
		// so a name comes right before the names inside it as a folder.
		uint8_t SortByte(char c) { return IsSeparator(c) ? 1 : uint8_t(Upper(c)); }

		// <0, 0, >0 like memcmp, over the sort bytes.
		int CompareNames(const char *a, size_t aSize, const char *b, size_t bSize)
		{
			for (size_t i = 0; i < aSize && i < bSize; i++)
			{
				const uint8_t x = SortByte(a[i]), y = SortByte(b[i]);

				if (x != y) return x < y ? -1 : 1;
			}

			return aSize == bSize ? 0 : (aSize < bSize ? -1 : 1);
		}
	}

	const char *BundleStatusText(BundleStatus status)
	{
		switch (status)
		{
		case BundleStatus::Ok:		 return "ok";
		case BundleStatus::NotABundle:	 return "not a bundle";
		case BundleStatus::Truncated:	 return "truncated";
		case BundleStatus::DamagedTable: return "damaged table of contents";
		case BundleStatus::UnsafeName:	 return "unsafe entry name";
		case BundleStatus::HashMismatch: return "hash mismatch";
		case BundleStatus::Unsupported:	 return "unsupported format version";
		case BundleStatus::ReadError:	 return "read error";
		}

		return "unknown status";
	}

	// ---- the PE image ----------------------------------------------------------

	BundleStatus FindPayloadRegion(const uint8_t *head, size_t headSize, uint64_t fileSize, PayloadRegion *region)
	{
		/* A header that lies past what we were given is a truncated file
		 * when the file ends there, and an image we do not understand when
		 * its headers are just that large.
		 */
		auto missing = [&](uint64_t needed) {
			return needed > headSize ? (headSize >= fileSize ? BundleStatus::Truncated : BundleStatus::NotABundle) : BundleStatus::Ok;
		};

		if (headSize > fileSize) return BundleStatus::NotABundle;
		if (headSize < 2 || head[0] != 'M' || head[1] != 'Z') return BundleStatus::NotABundle;
		if (missing(0x40) != BundleStatus::Ok) return missing(0x40);

		const uint64_t pe = Get32(head + 0x3C), coff = pe + 4;

		if (missing(coff + 20) != BundleStatus::Ok) return missing(coff + 20);
		if (memcmp(head + pe, "PE\0\0", 4) != 0) return BundleStatus::NotABundle;

		const uint32_t sections	      = Get16(head + coff + 2);
		const uint32_t symbolTable    = Get32(head + coff + 8);
		const uint32_t optionalSize   = Get16(head + coff + 16);
		const uint64_t optional	      = coff + 20;
		const uint64_t sectionTable   = optional + optionalSize;

		if (missing(optional + 2) != BundleStatus::Ok) return missing(optional + 2);

		// PE32 and PE32+ differ in where the data directories start.
		const uint16_t magic = Get16(head + optional);
		uint64_t       directories;

		if	(magic == 0x10B) directories = 96;
		else if (magic == 0x20B) directories = 112;
		else			 return BundleStatus::NotABundle;

		if (optionalSize < directories) return BundleStatus::NotABundle;
		if (missing(sectionTable + 40ull * sections) != BundleStatus::Ok) return missing(sectionTable + 40ull * sections);

		const uint32_t directoryCount = Get32(head + optional + directories - 4);
		uint64_t       imageEnd	      = Get32(head + optional + 60);	// SizeOfHeaders

		for (uint32_t i = 0; i < sections; i++)
		{
			const uint8_t *section = head + sectionTable + 40ull * i;
			const uint64_t rawSize = Get32(section + 16), rawStart = Get32(section + 20);

			if (rawSize > 0) imageEnd = std::max(imageEnd, rawStart + rawSize);
		}

		if (imageEnd > fileSize) return BundleStatus::Truncated;

		PayloadRegion found;

		found.begin	 = imageEnd;
		found.end	 = fileSize;
		found.hasSymbols = symbolTable != 0;

		// The security directory is entry 4; its "address" is a file offset.
		if (directoryCount > 4 && optionalSize >= directories + 5 * 8)
		{
			const uint64_t start = Get32(head + optional + directories + 4 * 8), size = Get32(head + optional + directories + 4 * 8 + 4);

			if (size != 0)
			{
				if (start < imageEnd) return BundleStatus::NotABundle;
				if (start + size > fileSize) return BundleStatus::Truncated;

				found.end	     = start;
				found.hasCertificate = true;
			}
		}

		*region = found;

		return BundleStatus::Ok;
	}

	// ---- names -----------------------------------------------------------------

	bool IsSafeBundleName(const char *name, size_t size)
	{
		/* The table holds UTF-8; the rule itself is the archive's, without
		 * folder entries: a bundle lists files only.
		 */
		if (size == 0 || size > kBundleMaxNameBytes) return false;
		if (!IsUtf8(reinterpret_cast<const uint8_t *>(name), size)) return false;

		return ZBK::IsSafePathName(name, size, false);
	}

	// ---- encoding --------------------------------------------------------------

	void EncodeBundleTrailer(const BundleTrailer &trailer, uint8_t out[kBundleTrailerSize])
	{
		Put32(out, trailer.version);
		Put32(out + 4, trailer.entryCount);
		Put64(out + 8, trailer.payloadSize);
		Put64(out + 16, trailer.tableOffset);
		Put64(out + 24, trailer.tableSize);
		memcpy(out + 32, trailer.tableHash, kSha256Size);
		Sha256::Hash(out, 64, out + 64);
		memcpy(out + 96, kBundleMagic, sizeof(kBundleMagic));
	}

	size_t EncodeBundleRecord(const char *name, uint32_t nameSize, uint64_t offset, uint64_t size,
	                          const uint8_t sha256[kSha256Size], uint8_t *out)
	{
		Put32(out, nameSize);
		memcpy(out + 4, name, nameSize);
		Put64(out + 4 + nameSize, offset);
		Put64(out + 12 + nameSize, size);
		memcpy(out + 20 + nameSize, sha256, kSha256Size);

		return kBundleRecordFixed + nameSize;
	}

	// ---- reading ---------------------------------------------------------------

	BundleTable::~BundleTable()
	{
		Clear();
	}

	void BundleTable::Clear()
	{
		free(table);
		free(records);
		table	= nullptr;
		records = nullptr;
		count	= 0;
	}

	BundleStatus BundleTable::Fail(BundleStatus status, const char *what, size_t size)
	{
		// The detail may be an entry name in the table: copied before the
		// table goes, and kept printable.
		size_t length = size ? size : strlen(what);

		if (length > sizeof(detail) - 1) length = sizeof(detail) - 1;

		for (size_t i = 0; i < length; i++) detail[i] = uint8_t(what[i]) < 0x20 || what[i] == 0x7F ? '?' : what[i];

		detail[length] = 0;

		Clear();

		return status;
	}

	BundleEntryInfo BundleTable::Entry(uint32_t index) const
	{
		const uint8_t  *record = table + records[index];
		const uint32_t	nameSize = Get32(record);

		return {reinterpret_cast<const char *>(record + 4), nameSize, payloadBegin + Get64(record + 4 + nameSize),
		        Get64(record + 12 + nameSize), record + 20 + nameSize};
	}

	int32_t BundleTable::Find(const char *name) const
	{
		const size_t size = strlen(name);

		for (uint32_t i = 0; i < count; i++)
		{
			const BundleEntryInfo entry = Entry(i);

			if (CompareNames(entry.name, entry.nameSize, name, size) == 0) return int32_t(i);
		}

		return -1;
	}

	BundleStatus BundleTable::Read(const ByteSource &source, uint64_t begin, uint64_t end)
	{
		Clear();
		detail[0] = 0;

		if (end < begin) return Fail(BundleStatus::DamagedTable, "region");
		if (end == begin) return Fail(BundleStatus::NotABundle, "no payload");

		/* The trailer ends at the region's end, or up to 7 zero bytes
		 * before it when a signing tool padded the file before adding its
		 * certificate table.
		 */
		const uint64_t available = end - begin;
		uint8_t	       tail[kBundleTrailerSize + 7];
		const size_t   tailSize = size_t(std::min<uint64_t>(available, sizeof(tail)));

		if (!source.read(source.context, end - tailSize, tail, tailSize)) return Fail(BundleStatus::ReadError, "trailer");

		size_t padding = 0;

		while (padding < 8 && !(tailSize >= kBundleTrailerSize + padding &&
		                        memcmp(tail + tailSize - padding - sizeof(kBundleMagic), kBundleMagic, sizeof(kBundleMagic)) == 0))
		{
			if (padding >= tailSize || tail[tailSize - 1 - padding] != 0) padding = 8;
			else padding++;
		}

		if (padding == 8) return Fail(BundleStatus::Truncated, "no trailer at the end");

		const uint8_t *trailer = tail + tailSize - padding - kBundleTrailerSize;
		uint8_t	       digest[kSha256Size];

		Sha256::Hash(trailer, 64, digest);

		if (!SameDigest(digest, trailer + 64)) return Fail(BundleStatus::HashMismatch, "trailer");
		if (Get32(trailer) != kBundleVersion) return Fail(BundleStatus::Unsupported, "version");

		const uint64_t trailerEnd  = available - padding;
		const uint32_t entryCount  = Get32(trailer + 4);
		const uint64_t payloadSize = Get64(trailer + 8);
		const uint64_t tableOffset = Get64(trailer + 16);
		const uint64_t tableSize   = Get64(trailer + 24);

		// Bytes missing at the start can only be damage in the middle of
		// the file, but they are missing all the same.
		if (payloadSize > trailerEnd) return Fail(BundleStatus::Truncated, "payload size");
		if (payloadSize < trailerEnd) return Fail(BundleStatus::DamagedTable, "payload size");
		if (entryCount > kBundleMaxEntries) return Fail(BundleStatus::DamagedTable, "entry count");
		if (tableSize > kBundleMaxTableBytes || tableSize < uint64_t(entryCount) * kBundleRecordFixed)
			return Fail(BundleStatus::DamagedTable, "table size");

		const uint64_t beforeTrailer = payloadSize - kBundleTrailerSize;

		if (tableOffset > beforeTrailer || tableSize > beforeTrailer - tableOffset) return Fail(BundleStatus::DamagedTable, "table offset");

		const uint64_t gap = beforeTrailer - tableOffset - tableSize;

		if (gap > 7) return Fail(BundleStatus::DamagedTable, "padding");

		uint8_t zeros[7];

		if (gap > 0 && !source.read(source.context, begin + tableOffset + tableSize, zeros, size_t(gap))) return Fail(BundleStatus::ReadError, "padding");

		for (uint64_t i = 0; i < gap; i++)
			if (zeros[i] != 0) return Fail(BundleStatus::DamagedTable, "padding");

		// The table: read whole (it is bounded above), hashed, then parsed.
		table	= static_cast<uint8_t *>(malloc(size_t(tableSize) + 1));
		records = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * (entryCount + 1)));

		if (!table || !records) return Fail(BundleStatus::ReadError, "out of memory");
		if (tableSize > 0 && !source.read(source.context, begin + tableOffset, table, size_t(tableSize))) return Fail(BundleStatus::ReadError, "table");

		Sha256::Hash(table, size_t(tableSize), digest);

		if (!SameDigest(digest, trailer + 32)) return Fail(BundleStatus::HashMismatch, "table");

		uint64_t at = 0, next = 0;

		for (uint32_t i = 0; i < entryCount; i++)
		{
			if (tableSize - at < kBundleRecordFixed) return Fail(BundleStatus::DamagedTable, "table record");

			const uint32_t nameSize = Get32(table + at);

			if (nameSize > kBundleMaxNameBytes || tableSize - at - kBundleRecordFixed < nameSize)
				return Fail(BundleStatus::DamagedTable, "table record");

			const uint64_t offset = Get64(table + at + 4 + nameSize), size = Get64(table + at + 12 + nameSize);

			// Back to back from the payload's start: no gap, no overlap,
			// nothing past the table's start.
			if (offset != next || size > tableOffset - next) return Fail(BundleStatus::DamagedTable, "entry offset");

			records[i] = uint32_t(at);
			next	  += size;
			at	  += kBundleRecordFixed + nameSize;
		}

		if (at != tableSize) return Fail(BundleStatus::DamagedTable, "table size");
		if (next != tableOffset) return Fail(BundleStatus::DamagedTable, "entry offset");

		count	     = entryCount;
		payloadBegin = begin;

		return CheckNames();
	}

	BundleStatus BundleTable::CheckNames()
	{
		for (uint32_t i = 0; i < count; i++)
		{
			const BundleEntryInfo entry = Entry(i);

			if (!IsSafeBundleName(entry.name, entry.nameSize)) return Fail(BundleStatus::UnsafeName, entry.name, entry.nameSize);
		}

		/* Two names for one file, or a file where another entry needs a
		 * folder: in the sort order a name comes right before the names
		 * inside it, so neighbours tell.
		 */
		uint32_t *order = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * (count + 1)));

		if (!order) return Fail(BundleStatus::ReadError, "out of memory");

		for (uint32_t i = 0; i < count; i++) order[i] = i;

		std::sort(order, order + count, [this](uint32_t a, uint32_t b) {
			const BundleEntryInfo x = Entry(a), y = Entry(b);

			return CompareNames(x.name, x.nameSize, y.name, y.nameSize) < 0;
		});

		for (uint32_t i = 1; i < count; i++)
		{
			const BundleEntryInfo a = Entry(order[i - 1]), b = Entry(order[i]);

			if (CompareNames(a.name, a.nameSize, b.name, std::min(a.nameSize, b.nameSize)) == 0 &&
			    (a.nameSize == b.nameSize || IsSeparator(b.name[a.nameSize])))
			{
				free(order);

				return Fail(BundleStatus::UnsafeName, b.name, b.nameSize);
			}
		}

		free(order);

		return BundleStatus::Ok;
	}

	BundleStatus VerifyBundleEntry(const ByteSource &source, const BundleEntryInfo &entry, uint8_t *buffer, size_t bufferSize,
	                               bool (*sink)(void *context, const uint8_t *data, size_t size), void *context)
	{
		Sha256	 sha;
		uint8_t	 digest[kSha256Size];

		for (uint64_t done = 0; done < entry.size;)
		{
			const size_t piece = size_t(std::min<uint64_t>(bufferSize, entry.size - done));

			if (!source.read(source.context, entry.offset + done, buffer, piece)) return BundleStatus::ReadError;

			sha.Update(buffer, piece);

			if (sink && !sink(context, buffer, piece)) return BundleStatus::ReadError;

			done += piece;
		}

		sha.Final(digest);

		return SameDigest(digest, entry.sha256) ? BundleStatus::Ok : BundleStatus::HashMismatch;
	}
}
