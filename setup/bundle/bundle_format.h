// The bundle format: one downloadable file that carries an installer.
//
// A bundle is the stub program's own PE image followed by a payload:
//
//   [stub image][entry bytes, back to back][table][0-7 zero bytes][trailer]
//
// Numbers are little-endian. Offsets inside the payload count from its
// first byte (the first byte after the stub's image).
//
// Table: one record per entry, in the order the writer was given them:
//   u32 name size, name (UTF-8, '/' separators), u64 offset, u64 size,
//   SHA-256 of the entry's bytes (32).
// The entries' bytes lie back to back from offset 0 up to the table.
//
// Trailer (kBundleTrailerSize bytes):
//   0  u32 format version (kBundleVersion)
//   4  u32 entry count
//   8  u64 payload size (first payload byte up to the end of the trailer)
//   16 u64 table offset
//   24 u64 table size
//   32 SHA-256 of the table (32)
//   64 SHA-256 of trailer bytes 0-63 (32)
//   96 magic "TolvBnd1" (8)
//
// The zero bytes before the trailer make the whole file's length a multiple
// of 8, where a code-signing tool appends its certificate table. The
// payload ends where that table starts (the PE security directory), or at
// the end of the file when the bundle is not signed.
//
// Every byte of the payload is covered: entries by their hashes, the table
// by its hash, the trailer by its own, the padding by being zero.
//
// Nothing here allocates through the C++ library or throws: the stub links
// this code and must stay small.
#pragma once

#include "sha256.h"

#include <cstddef>
#include <cstdint>

namespace Tolvane
{
	constexpr uint32_t kBundleVersion	= 1;
	constexpr size_t   kBundleTrailerSize	= 104;
	constexpr size_t   kBundleRecordFixed	= 4 + 8 + 8 + kSha256Size;	// a table record without its name
	constexpr uint32_t kBundleMaxEntries	= 65536;
	constexpr uint32_t kBundleMaxNameBytes	= 1024;
	constexpr uint64_t kBundleMaxTableBytes = 16u << 20;
	extern const char  kBundleMagic[8];

	// Why a bundle (or a stub's PE image) was refused.
	enum class BundleStatus
	{
		Ok,
		NotABundle,	// not a PE image we understand, or an image with no payload after it
		Truncated,	// the file ends before what its headers or trailer describe
		DamagedTable,	// the trailer or table contradicts itself or the file (sizes, offsets, counts, padding)
		UnsafeName,	// an entry name is not a safe relative path, or two names would be the same file
		HashMismatch,	// the trailer, the table or an entry's bytes do not match their SHA-256
		Unsupported,	// a format version this code does not know
		ReadError	// the file could not be read
	};

	// A short English text for the status ("truncated", ...); never null.
	const char *BundleStatusText(BundleStatus status);

	// Reads exactly size bytes at offset into buffer; false when it cannot
	// (past the end, or a read failure).
	struct ByteSource
	{
		bool (*read)(void *context, uint64_t offset, void *buffer, size_t size);
		void *context;
	};

	// ---- the stub's PE image ----------------------------------------------

	// How many bytes from the start of the file FindPayloadRegion needs at
	// most (less when the file is shorter).
	constexpr size_t kPeHeadBytes = 65536;

	struct PayloadRegion
	{
		uint64_t begin = 0;	// end of the image: the end of its headers and of its last section's raw data
		uint64_t end = 0;	// start of the certificate table when signed, else the file's size
		bool	 hasCertificate = false;
		bool	 hasSymbols = false;	// a COFF symbol table follows the sections (an unstripped image)
	};

	// Finds where a payload would lie in a PE file of fileSize bytes whose
	// first headSize bytes are head (headSize = min(fileSize, kPeHeadBytes)).
	// NotABundle when head is not a PE32/PE32+ image (no MZ or PE
	// signature, headers that do not fit, a certificate table that starts
	// inside the image); Truncated when the file is shorter than its
	// headers, its sections or its certificate table say. Fills *region
	// only on Ok. begin == end means the image carries no payload.
	BundleStatus FindPayloadRegion(const uint8_t *head, size_t headSize, uint64_t fileSize, PayloadRegion *region);

	// ---- names --------------------------------------------------------------

	// Whether an entry name may become a path below the folder the stub
	// unpacks into: valid UTF-8 of 1 to kBundleMaxNameBytes bytes that
	// passes the archive's rule for names (ZBK::IsSafePathName in
	// setup/archive/safe_name.h) with no trailing separator, as a bundle
	// lists files only.
	bool IsSafeBundleName(const char *name, size_t size);

	// ---- the table and the trailer -----------------------------------------

	struct BundleTrailer
	{
		uint32_t version = kBundleVersion;
		uint32_t entryCount = 0;
		uint64_t payloadSize = 0;
		uint64_t tableOffset = 0;
		uint64_t tableSize = 0;
		uint8_t	 tableHash[kSha256Size] = {};
	};

	// The trailer's bytes, its own hash and the magic included.
	void EncodeBundleTrailer(const BundleTrailer &trailer, uint8_t out[kBundleTrailerSize]);

	// One table record into out (kBundleRecordFixed + nameSize bytes);
	// returns the count written.
	size_t EncodeBundleRecord(const char *name, uint32_t nameSize, uint64_t offset, uint64_t size,
	                          const uint8_t sha256[kSha256Size], uint8_t *out);

	// One entry as the table lists it. name points into the table held by
	// the BundleTable (not terminated); offset is a position in the file.
	struct BundleEntryInfo
	{
		const char	*name;
		uint32_t	 nameSize;
		uint64_t	 offset;
		uint64_t	 size;
		const uint8_t	*sha256;
	};

	// The checked table of contents of one bundle.
	class BundleTable
	{
	public:
		BundleTable() = default;
		~BundleTable();
		BundleTable(const BundleTable &) = delete;
		BundleTable &operator=(const BundleTable &) = delete;

		// Reads and checks the payload in [begin, end) of source: the
		// trailer (found at end, or up to 7 zero bytes before it), its hash
		// and version, every size and offset against the region, the
		// padding, the table's hash, every record (entries back to back
		// from the payload's start up to the table, the table used up
		// exactly, at most kBundleMaxEntries) and every name (IsSafeBundleName,
		// no two naming the same file, ASCII letters compared without case,
		// and no file where another entry needs a folder).
		// An empty region is NotABundle; a region that does not end with a
		// trailer is Truncated. The entries' own bytes are not read here:
		// VerifyBundleEntry checks them. On failure the table is empty and
		// Detail() says more.
		BundleStatus	 Read(const ByteSource &source, uint64_t begin, uint64_t end);

		uint32_t	 Count() const	{ return count; }
		BundleEntryInfo	 Entry(uint32_t index) const;	// index < Count()

		// Index of the entry whose name equals name (ASCII letters without
		// case, '/' and '\' alike), or -1.
		int32_t		 Find(const char *name) const;

		// What the last Read found, for messages: "table", an entry's name,
		// ...; empty after success.
		const char	*Detail() const	{ return detail; }

	private:
		void		 Clear();
		BundleStatus	 Fail(BundleStatus status, const char *what, size_t size = 0);
		BundleStatus	 CheckNames();

		uint8_t		*table = nullptr;
		uint32_t	*records = nullptr;	// offset of each record in table
		uint32_t	 count = 0;
		uint64_t	 payloadBegin = 0;
		char		 detail[160] = {};
	};

	// Reads entry's bytes from source in pieces of bufferSize through
	// buffer, hands each piece to sink (when not null; false from it stops
	// with ReadError) and compares the SHA-256 at the end: Ok, HashMismatch,
	// or ReadError when source or sink fails.
	BundleStatus VerifyBundleEntry(const ByteSource &source, const BundleEntryInfo &entry, uint8_t *buffer, size_t bufferSize,
	                               bool (*sink)(void *context, const uint8_t *data, size_t size) = nullptr, void *context = nullptr);
}
