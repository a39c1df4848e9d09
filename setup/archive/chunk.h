// ZBK::Chunk: one chunk of a ZBK archive, its table, its cache and its writer.
//
// A chunk read from a file knows its table (names and sizes in record order)
// and where its payload lies. Its first extraction decompresses the whole
// payload once into a cache file in the archive's temporary folder; every
// later extraction copies from that cache. The archive's read-ahead may
// fill the caches of the chunks after the one being extracted on other
// threads (read_ahead.h); HasCache and FillCache wait for such a decode of
// their chunk. The chunk at position 0 of an archive collects files to add;
// the others collect names to remove.
#pragma once

#include <smooth.h>

#include "archive_internal.h"

#include <atomic>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ZBK
{
	using smooth::Int;
	using smooth::Int64;
	using smooth::String;

	class Archive;

	namespace Internal
	{
		class ReadAhead;
	}

	// Defined, with its meanings, in archive.h.
	enum class Status;

	// Largest count or size the format allows: numbers are read as signed 32-bit.
	const Int64 MaxFormatValue = 0x7FFFFFFF;

	class Chunk
	{
		friend class Archive;
		friend class Internal::ReadAhead;

		public:
			// Names its files after a process-wide chunk number inside tempFolder
			// (which must exist before the chunk extracts or writes anything; with
			// an empty tempFolder every extraction and write fails).
			explicit	 Chunk(const String &tempFolder);
					~Chunk();
			Chunk(const Chunk &) = delete;
			Chunk &operator =(const Chunk &) = delete;

			// Reads the chunk table at the stream's position and skips the payload.
			// false when the table cannot be what it claims: a count or size of
			// 2^31 or more, or a record running past the end of the file. The
			// chunk is then incomplete and the caller drops it and stops walking.
			// A complete table whose payload runs past the end of the file, or whose
			// total disagrees with its entry sizes, reads true but the chunk is
			// marked damaged: it lists its entries and every extraction fails.
			bool		 ReadIndex(smooth::IO::InStream *stream);

			// Extracts the entry with the normalised name to destination (to the
			// name itself when destination is empty). Folder entries create the
			// folder and report no progress. Files report 0, rising values, 1000.
			// false, leaving no file at destination that was not there before and
			// the earlier file there unchanged, when: the chunk has no stream, the
			// name is not in this chunk or not a safe relative name, the payload
			// is damaged or shorter or longer than its table says, or the target
			// cannot be written. A cache is kept only when the whole chunk decoded
			// to exactly the sizes of its table. GetLastStatus() then tells why:
			// NotListed (no stream, or not in this chunk), UnsafeName, Damaged,
			// WriteRefused or DiskFull (the target, its folder or the cache).
			bool		 ExtractFile(const String &name, const String &destination);

			// Extracts record (0 .. GetNumberOfFiles() - 1) to destination, for a
			// caller that turns entry names into paths itself and has checked
			// the name and made the destination's folder: nothing here looks at
			// the name, and no folder is created. A folder entry writes nothing
			// and succeeds when destination is an existing folder. Files report
			// 0, rising values, 1000. false, with the same guarantees for the
			// destination as ExtractFile, when the chunk has no stream, record is
			// outside the table, the payload is damaged, destination is empty, or
			// the target cannot be written (its folder missing included).
			// GetLastStatus(): NotListed, Damaged, WriteRefused (a missing folder
			// of a folder entry without a system error) or DiskFull.
			bool		 ExtractRecord(Int record, const String &destination);

			// Whether the file at path holds exactly record's bytes (a file
			// entry): its size is compared first, then its contents with the
			// chunk's cache, which is filled when it is not there yet. Reports
			// progress as an extraction does. false when they differ, and also
			// when the file or the cache cannot be read, the payload is
			// damaged or record is a folder entry or outside the table: the
			// caller then writes the record, and that write reports the cause.
			// Changes no file but the cache.
			bool		 RecordMatches(Int record, const String &path);

			// Cause of the last failed ExtractFile, FillCache or Write (Ok after
			// a success), and the system's error behind WriteRefused / DiskFull.
			Status		 GetLastStatus() const	{ return lastStatus; }
			Int		 GetLastSystemError() const	{ return lastSystemError; }

			// Decodes the whole payload straight from the archive and checks it
			// against the table (exactly the total size, the stream ending where
			// the payload does), writing nothing: a full disk cannot pass for
			// damage, and no room for a cache is needed. progress gets the bytes
			// decoded so far. Ok, Damaged, or NotListed when the chunk has no
			// stream (its archive was rewritten in place).
			Status		 Verify(const std::function<void(Int64)> &progress = nullptr) const;

			// Creates the folder that holds path: the text before its last '\' or
			// '/' (nothing when there is none). Success() when it exists afterwards.
			static Int	 CreateParentFolder(const String &path);

			Int		 GetNumberOfFiles() const;
			String		 GetFileName(Int n) const;	// empty outside 0..count-1
			Int64		 GetFileSize(Int n) const;	// 0 outside 0..count-1

			// Writes the chunk at the output's position (see the archive's Write):
			// added files as a new chunk, a table that lost entries recompressed
			// from the cache, an unchanged chunk copied byte for byte, nothing for
			// a chunk without entries left. false when a source cannot be read
			// whole, the payload is damaged or any write fails; the output then
			// holds an unknown part of the chunk and must be thrown away.
			bool		 Write(smooth::IO::OutStream &output);

			// true when name (normalised) is marked removed in this chunk.
			bool		 IsRemoved(const String &name) const;

			// true when the payload cannot match the table (see ReadIndex).
			bool		 IsDamaged() const	{ return damaged; }
			Int64		 GetCompressedSize() const	{ return compressedSize; }
			Int64		 GetTotalSize() const	{ return totalSize; }
			Int64		 GetPayloadOffset() const	{ return payloadOffset; }

			// Progress in thousandths of the current extraction or write.
			smooth::Signal<Int>	 onProgress;

			// Decompresses the whole payload into the cache file (again, when a
			// cache is there already), checking that it decodes to exactly the
			// sizes of the table. Progress rises from 'from' to 'to' over the
			// chunk's total size. Also copies the data of record 'record' into
			// 'target' on the way when target is not null. false on any damage or
			// failed write (GetLastStatus tells which), and then no cache is left
			// behind. A read-ahead decode of this chunk is waited for first.
			bool		 FillCache(Int from, Int to, Int record = -1, smooth::IO::OutStream *target = nullptr);
		private:
			// Decodes the whole payload from input into cache, checking it
			// against the table, and copies record's bytes into target on the
			// way (when target is not null). progress gets the bytes decoded so
			// far. Touches nothing of the chunk but its fixed table, so any
			// thread may run it on its own streams. Ok, Damaged, or WriteRefused
			// / DiskFull with the system's error in systemError. A stop request
			// ends it early with Damaged: the caller tells the two apart.
			Status		 Decode(smooth::IO::InStream &input, smooth::IO::OutStream &cache, Int record, smooth::IO::OutStream *target, const std::function<void(Int64)> &progress, const std::atomic<bool> &stop, Int &systemError) const;
			// A read-ahead decoder's FillCache: the payload from input into the
			// cache, nothing reported or recorded. true when the cache is there
			// complete; otherwise no file of it is left.
			bool		 FillCacheAhead(smooth::IO::InStream &input, const std::atomic<bool> &stop) const;

			Int		 FindRecord(const String &name) const;
			Int		 FindRecord(std::string_view name) const;
			// What both extractions need once the record is known: an intact
			// payload and a folder for the cache. Records the cause when false.
			bool		 CanExtract();
			// Writes record to target, which is not a folder entry.
			bool		 ExtractTo(Int record, const String &target);
			void		 Report(Int value);
			bool		 CopyFromCache(Int record, smooth::IO::OutStream &target);
			bool		 StageAdded(Int64 &payloadSize);
			bool		 StageRecompressed(Int64 &payloadSize, Int64 &newTotal);
			bool		 WriteTable(smooth::IO::OutStream &output, bool added, const std::vector<Int64> &addedSizes);
			bool		 CopyInto(smooth::IO::OutStream &output, smooth::IO::InStream &input, Int64 offset, Int64 bytes, bool report);
			bool		 HasCache() const;
			// Records the cause and returns false.
			bool		 Fail(Status status, Int systemError = 0);
			// Fail with WriteRefused or DiskFull, after the platform's last error.
			bool		 WriteFailed();

			Int		 number;
			smooth::IO::InStream *stream = nullptr;
			Int64		 payloadOffset = 0;
			String		 tempFolder;
			String		 compressedFile;
			String		 cacheFile;
			Int64		 compressedSize = 0;
			Int64		 totalSize = 0;
			bool		 damaged = false;

			// The table in record order: normalised names as UTF-8 (an archive
			// of many small files is mostly names, so they are held once and
			// compactly), sizes and where each record starts in the cache.
			// Names are stored one after another in nameData; record n's ends
			// at nameEnds[n]. The views NameOf hands out stay valid for the
			// chunk's life once its table has been read.
			std::string		 nameData;
			std::vector<uint32_t>	 nameEnds;
			std::vector<Int64>	 sizes;
			std::vector<Int64>	 cacheOffsets;
			// First record of each normalised name.
			Internal::NameIndex	 recordOf;

			Int		 NameCount() const	{ return Int(nameEnds.size()); }
			std::string_view NameOf(Int64 n) const
			{
				size_t begin = n == 0 ? 0 : nameEnds[size_t(n) - 1];

				return std::string_view(nameData).substr(begin, nameEnds[size_t(n)] - begin);
			}
			String		 NameAt(Int n) const	{ std::string_view name = NameOf(n); return String::FromUTF8(std::string(name)); }

			smooth::Array<String>	 addedSources;
			smooth::Array<String>	 addedNames;
			std::vector<String>	 removedNames;
			std::unordered_set<std::wstring> removed;

			// Read-ahead: the archive's decoders (null outside an archive), this
			// chunk's place in the archive's list, and where its background
			// decode stands (guarded by the read-ahead's lock). Tried: a
			// decode failed or is not possible; the chunk is left to the
			// archive's thread, which reports why.
			enum class Ahead { Idle, Queued, Decoding, Done, Tried };

			Internal::ReadAhead *readAhead = nullptr;
			size_t		 position = 0;
			mutable Ahead	 ahead = Ahead::Idle;

			Int		 lastReported = 0;
			Status		 lastStatus;
			Int		 lastSystemError = 0;
	};
}
