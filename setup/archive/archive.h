// ZBK::Archive and the flat entry points of the archive module.
//
// An archive file is the three bytes "ZBK" followed by chunks; each chunk is a
// table of entries (name, size) and one bzip2 stream holding the files of the
// chunk back to back. Numbers are little-endian; counts and sizes stay below
// 2^31. Names are UTF-8 relative paths; '\' separators read as '/'; a name
// ending with '/' is a folder entry of size 0.
#pragma once

#include "chunk.h"

#include <memory>

namespace ZBK
{
	// Why the last Open or ExtractFile of an archive object failed.
	enum class Status
	{
		Ok,		// the last operation succeeded
		Missing,	// the archive file does not exist
		IsFolder,	// the archive path is a folder
		CannotOpen,	// the file exists but cannot be opened (rights, sharing)
		NotAnArchive,	// the file does not start with the magic (it then opens as an empty archive: Open still returns true)
		Damaged,	// the entry's chunk is damaged: its payload does not decode to its table, or is cut short
		UnsafeName,	// the entry name is not a safe relative name (IsSafeName)
		NotListed,	// no such entry (or queued and not written yet, or the archive was rewritten in place)
		WriteRefused,	// the destination cannot be created or written (rights, a folder in the way, parent missing and not creatable)
		DiskFull,	// the destination or the cache could not be written because the disk (or a file-size limit) is full
		ReadOnly	// a change was asked of a read-only archive
	};

	// A short English text for the cause, lower case, without a full stop
	// ("no such file", "damaged chunk", "disk full", ...); "ok" for Ok and
	// "unknown status" for a value outside the enumeration. Never null.
	const char	*StatusText(Status status);

	// Decides whether an entry name may become a path below a folder: the
	// rule of IsSafePathName (safe_name.h), with one trailing separator
	// allowed for a folder entry. A relative path of non-empty components,
	// none ending with '.' or ' ' and none a device name, without ':', '*',
	// '?', '"', '<', '>', '|' or control characters. The writer, every
	// extracting program, the installer (for the folders a script names)
	// and the bundle use this one rule.
	bool		 IsSafeName(const String &name);

	// The name with every '\' replaced by '/': an entry's identity.
	String		 NormaliseName(const String &name);

	class Archive
	{
		public:
			// A new, empty, writable archive with its own temporary folder, whose
			// name no other archive object of any process uses at the same time.
					 Archive();
			// Closes the stream and deletes the temporary folder with everything
			// in it (only this object's folder).
					~Archive();
			Archive(const Archive &) = delete;
			Archive &operator =(const Archive &) = delete;

			// Opens an archive file. false when it cannot be opened in either mode
			// (the object then stays empty), or when the object has opened a
			// file already (CannotOpen, without a system error). A file opened only for reading makes
			// the object read-only. A file without the magic opens as an empty
			// archive (true). The walk over the chunks stops at the first table
			// that cannot be true (count or size of 2^31 or more, a record past the
			// end of the file); the chunks before it are listed, the rest is not.
			// Two entries with the same normalised name: only the first is listed.
			// A stored name ends at its first zero byte.
			// GetLastStatus() tells why: Missing, IsFolder or CannotOpen (with the
			// system's error) when false, NotAnArchive for a file without the
			// magic (true), Ok otherwise, also when the walk stopped early.
			bool		 Open(const String &fileName);

			// Extracts an entry (name with either separator) to destination, or to
			// the normalised name when destination is empty. false when the name
			// is not listed, was added but not written yet, is not a safe name, its
			// chunk is damaged, the archive was rewritten in place by this object
			// (open it again), or the target cannot be written. GetLastStatus()
			// tells which: NotListed, UnsafeName, Damaged, WriteRefused or
			// DiskFull (the last two with the system's error).
			bool		 ExtractFile(const String &name, const String &destination);

			// Extracts the entry at position n of the index to destination, for
			// a caller that turns entry names into paths itself (an installation
			// records every folder it makes): that caller owns the name's check
			// (IsSafeName) and the folders. The name plays no part here, so it is
			// not checked, and no folder is created: the destination's folder
			// must exist, and a folder entry succeeds when destination is an
			// existing folder, writing nothing. Saves the lookup by name, too.
			// false, with the destination as ExtractFile leaves it, when n is
			// outside the index or a queued addition, the archive was rewritten
			// in place, the chunk is damaged, destination is empty, or the target
			// cannot be written (its folder missing included). GetLastStatus():
			// NotListed, Damaged, WriteRefused (with the system's error, except
			// for a folder entry whose folder is missing) or DiskFull.
			bool		 ExtractEntry(Int n, const String &destination);

			// Whether the file at path holds exactly the bytes of entry n (a
			// file entry), so that writing it would change nothing. false when
			// they differ or cannot be compared (no such file, n outside the
			// index or a queued addition, a folder entry, a damaged chunk, an
			// unreadable file): ExtractEntry then writes the entry, or says why
			// it cannot. Reports progress as an extraction does; leaves
			// GetLastStatus as it is.
			bool		 HoldsEntry(Int n, const String &path);

			// Status of the last Open or ExtractFile call (Ok after a success, and
			// for a new object). Other calls leave it as it is.
			Status		 GetLastStatus() const	{ return lastStatus; }
			// The system's error code behind CannotOpen, WriteRefused or DiskFull
			// of the last Open or ExtractFile (0 when none), for a detailed message.
			Int		 GetLastSystemError() const	{ return lastSystemError; }

			// Queues source to be added under name (source itself when name is
			// empty). A source ending with '\' or '/' is a folder entry, and then
			// the name must end with a separator too (and a file's name must not).
			// Nothing is read until the next Write. false, with nothing queued, when
			// the archive is read-only, the name is unsafe or longer than 65 535
			// UTF-8 bytes, or its normalised form is already listed.
			bool		 AddFile(const String &source, const String &name);

			// Marks a listed entry (either separator) removed; a queued addition is
			// simply cancelled. false when read-only or the name is not listed.
			bool		 RemoveFile(const String &name);

			// Writes the archive to fileName, or onto its own file when fileName is
			// empty. Onto its own file with only additions queued: one chunk is
			// appended (the payload is compressed in the temporary folder first);
			// the added entries can be extracted through this object right away
			// and are not appended again by a later write.
			// Otherwise a complete archive is written under a temporary name beside
			// the target and then put in the target's place in one step; after
			// that, when the target was its own file, the object reads nothing more
			// until opened again. false when read-only, there is no name at all, a
			// source cannot be read whole, a chunk is damaged, an append would go
			// behind foreign or damaged bytes, or a write fails; the
			// target is then exactly as it was before (an append that fails is cut
			// back to the original length).
			bool		 Write(const String &fileName);

			bool		 IsReadOnly() const	{ return readOnly; }

			// The index: positions 0 .. GetNumberOfFiles() - 1, in chunk order
			// then record order, then queued additions. Outside: "" / 0 / -1.
			Int		 GetNumberOfFiles() const;
			String		 GetFileName(Int n) const;
			Int64		 GetFileSize(Int n) const;
			// Chunk number of the entry at position n: 1 for the first chunk of
			// the file, 0 for a queued addition, -1 outside the index.
			Int		 GetChunkNumber(Int n) const;

			// Chunks read from the file, 1 .. GetNumberOfChunks().
			Int		 GetNumberOfChunks() const;
			Chunk		*GetChunk(Int number) const;

			const String	&GetFileName() const	{ return fileName; }
			const String	&GetTempFolder() const	{ return tempFolder; }

			// Progress in thousandths of each extraction or write: 0 first, never
			// falling, never above 1000, 1000 last (a failed one stops short of
			// 1000). Folder entries report nothing. Takes plain functions and
			// any std::function<void(Int)>, which carries its own context (the
			// object whose bar it drives); called on the extracting thread.
			smooth::Signal<Int>	 onProgress;
		private:
			void		 AddChunk(Chunk *chunk);
			void		 Forward(Int value);
			bool		 WriteComplete(const String &target, bool ownFile);
			bool		 Append();
			void		 AdoptAppended(Int64 offset);
			bool		 ReopenStream();
			bool		 Fail(Status status, Int systemError = 0);

			// Decoders of the chunks ahead of the one being extracted (see
			// read_ahead.h). StopReadAhead stops and waits for them: the
			// destructor calls it before any file goes, and a write must call it
			// before it changes the archive file or a chunk's cache.
			std::unique_ptr<Internal::ReadAhead> readAhead;
			void		 StopReadAhead();

			Status		 lastStatus = Status::Ok;
			Int		 lastSystemError = 0;

			String		 fileName;
			smooth::IO::InStream *stream = nullptr;
			String		 tempFolder;
			bool		 tempFolderMade = false;
			bool		 readOnly = false;
			// The file starts with the magic and its chunks end where it ends.
			bool		 intact = false;
			std::vector<Chunk *> chunks;
			bool		 appendOnly = true;

			// The index in listing order. Each entry has a per-object sequence
			// number as its key, so that no two names can share a key; keys only
			// grow, so the list is also sorted by key. keyOf finds the key of a
			// normalised name. Names are held as UTF-8 and only once: an entry
			// read from the file views its chunk's table (which never changes
			// once read), a queued addition its text in queuedNames.
			struct Entry
			{
				std::string_view name;
				Int64		 size;
				Chunk		*owner;
				Int64		 key;
			};

			std::vector<Entry>	 entries;
			std::unordered_map<Int64, std::string> queuedNames;
			Internal::NameIndex	 keyOf;
			Int64		 nextKey = 0;

			// false when the object has handed out every key it can.
			bool		 AddEntry(std::string_view name, Int64 size, Chunk *owner);
			// The entry with the key, or null.
			Entry		*EntryOf(Int64 key);
			const Entry	*EntryOf(Int64 key) const	{ return const_cast<Archive *>(this)->EntryOf(key); }
			// Key of a normalised UTF-8 name, or -1.
			Int64		 KeyOf(std::string_view name) const;

			// While a write runs, each chunk's 0..1000 maps into its share.
			bool		 scaling = false;
			Int		 scaleBase = 0;
			Int		 scaleSpan = 1000;
			Int		 lastForwarded = 0;
	};

	// Flat entry points: wide strings in, one-byte booleans out.

	// Never null; the object lists 0 entries when the file is missing or
	// foreign, and GetLastStatus says why.
	Archive		*OpenArchive(const wchar_t *fileName);
	Archive		*CreateArchive();
	// Destroys the object (null is fine). Always true.
	bool		 CloseArchive(Archive *archive);
	int		 GetNumberOfFiles(Archive *archive);
	// When the name at position n is shorter than size characters: zero-fills
	// the whole buffer, copies the name and returns true (an empty name for a
	// position outside the index). Otherwise false with the buffer untouched.
	bool		 GetFileName(Archive *archive, int n, wchar_t *buffer, int size);
	int		 GetFileSize(Archive *archive, int n);
	// Adds one more callback to the archive's progress; false for null.
	bool		 SetProgressCallback(Archive *archive, void (*callback)(int));
	bool		 ExtractFile(Archive *archive, const wchar_t *name, const wchar_t *destination);
	// Status of the last OpenArchive / ExtractFile on this object; Missing for null.
	Status		 GetLastStatus(Archive *archive);
	bool		 AddFile(Archive *archive, const wchar_t *source, const wchar_t *name);
	bool		 RemoveFile(Archive *archive, const wchar_t *name);
	bool		 WriteArchive(Archive *archive, const wchar_t *fileName);
	bool		 IsReadOnly(Archive *archive);
}
