#include "archive.h"
#include "archive_internal.h"
#include "read_ahead.h"

#include <algorithm>
#include <cstring>

namespace ZBK
{
	using namespace smooth;
	using namespace smooth::IO;

	const char *StatusText(Status status)
	{
		switch (status)
		{
			case Status::Ok:		return "ok";
			case Status::Missing:		return "no such file";
			case Status::IsFolder:		return "is a folder, not an archive";
			case Status::CannotOpen:	return "cannot open the file";
			case Status::NotAnArchive:	return "not a ZBK archive";
			case Status::Damaged:		return "damaged chunk";
			case Status::UnsafeName:	return "unsafe entry name";
			case Status::NotListed:		return "entry not in the archive";
			case Status::WriteRefused:	return "cannot write the destination";
			case Status::DiskFull:		return "disk full";
			case Status::ReadOnly:		return "the archive is read-only";
		}

		return "unknown status";
	}

	Archive::Archive() : readAhead(new Internal::ReadAhead())
	{
		// Tick count alone repeats within a tick and across processes; the
		// process id and a process-wide counter make the name ours, and
		// CreateNew refuses a folder that someone else made meanwhile.
		String base = System::System::GetTempDirectory();

		for (Int attempt = 0; attempt < 100 && !tempFolderMade; attempt++)
		{
			String candidate = Path::Join(base, "ZBK_").Append(String::FromInt(System::System::GetTickCount())).Append("_").Append(Internal::UniqueSuffix());

			if (Directory(candidate).CreateNew() == Success())
			{
				tempFolder = candidate;
				tempFolderMade = true;
			}
		}

		AddChunk(new Chunk(tempFolder));
	}

	Archive::~Archive()
	{
		// Decoders still at work read the file and write into the temporary
		// folder: they stop and are waited for before anything goes.
		StopReadAhead();

		delete stream;

		for (Chunk *chunk : chunks)
		{
			Internal::Discard(chunk->compressedFile);
			Internal::Discard(chunk->cacheFile);

			delete chunk;
		}

		chunks.clear();

		if (tempFolderMade)
		{
			Directory(tempFolder).Empty();
			Directory(tempFolder).Delete();
		}
	}

	void Archive::StopReadAhead()
	{
		readAhead->Stop();
	}

	void Archive::AddChunk(Chunk *chunk)
	{
		chunk->readAhead = readAhead.get();
		chunk->position = chunks.size();

		chunk->onProgress.Connect(std::function<void(Int)>([this](Int value) { Forward(value); }));

		chunks.push_back(chunk);
	}

	void Archive::Forward(Int value)
	{
		if (!scaling)
		{
			onProgress.Emit(value);

			return;
		}

		Int scaled = scaleBase + Int(Math::Round(double(scaleSpan) * value / 1000.0));

		if (scaled > 1000) scaled = 1000;
		if (scaled <= lastForwarded) return;

		lastForwarded = scaled;
		onProgress.Emit(scaled);
	}

	bool Archive::Fail(Status status, Int systemError)
	{
		lastStatus = status;
		lastSystemError = systemError;

		return false;
	}

	bool Archive::Open(const String &name)
	{
		// An object reads one file for its life.
		if (stream != nullptr || chunks.size() > 1) return Fail(Status::CannotOpen);

		stream = new InStream(STREAM_FILE, name, IS_READ);

		if (stream->GetLastError() != IO_ERROR_OK)
		{
			delete stream;

			stream = new InStream(STREAM_FILE, name, IS_READ_ONLY);

			if (stream->GetLastError() == IO_ERROR_OK) readOnly = true;
		}

		if (stream->GetLastError() != IO_ERROR_OK || stream->Size() < 0)
		{
			// The error of the read-only attempt, before the checks below; a
			// folder or a missing file is told apart by looking, since the
			// systems' codes for them differ and overlap with others.
			Int code = System::System::GetLastErrorCode();

			delete stream;

			stream = nullptr;
			readOnly = false;

			if (Directory(name).Exists()) return Fail(Status::IsFolder);
			if (!File(name).Exists())     return Fail(Status::Missing);

			return Fail(Status::CannotOpen, code);
		}

		fileName = name;
		lastStatus = Status::Ok;
		lastSystemError = 0;

		Int64 size = stream->Size();
		char magic[3] = { 0, 0, 0 };

		if (stream->InputData(magic, 3) != 3 || std::memcmp(magic, "ZBK", 3) != 0)
		{
			lastStatus = Status::NotAnArchive;
		}
		else
		{
			intact = true;

			// The walk stops at the first table that cannot be true, and after a
			// chunk whose payload runs past the end: nothing behind either can
			// be found reliably.
			while (stream->GetPos() < size - 1)
			{
				Chunk *chunk = new Chunk(tempFolder);

				if (!chunk->ReadIndex(stream))
				{
					delete chunk;

					intact = false;

					break;
				}

				AddChunk(chunk);

				if (chunk->payloadOffset + chunk->compressedSize > size)
				{
					intact = false;

					break;
				}
			}

			// A stray byte after the last chunk is read past, but a chunk
			// appended behind it would not be found.
			if (stream->GetPos() != size) intact = false;
		}

		// Sized once: growing by doubling would leave up to half of the
		// largest structures spare.
		size_t total = 0;

		for (size_t c = 1; c < chunks.size(); c++) total += size_t(chunks[c]->NameCount());

		entries.reserve(total);
		keyOf.Reserve(total);

		for (size_t c = 1; c < chunks.size(); c++)
		{
			Chunk *chunk = chunks[c];

			for (Int i = 0; i < chunk->NameCount(); i++)
			{
				std::string_view entry = chunk->NameOf(i);

				if (KeyOf(entry) >= 0) continue;
				if (!AddEntry(entry, chunk->sizes[i], chunk)) break;
			}
		}

		return true;
	}

	bool Archive::ExtractFile(const String &name, const String &destination)
	{
		String normalised = NormaliseName(name);
		Int64 key = KeyOf(normalised.ToUTF8());

		if (key < 0) return Fail(Status::NotListed);

		// A queued addition belongs to the chunk without a stream, which
		// reports it as not listed (yet).
		Chunk *owner = EntryOf(key)->owner;

		if (owner == nullptr) return Fail(Status::NotListed);

		// Readers take the entries in index order, chunk after chunk: while
		// this one is copied out, the next ones decode on the other cores.
		readAhead->Request(chunks, owner->position, fileName);

		if (!owner->ExtractFile(normalised, destination)) return Fail(owner->GetLastStatus(), owner->GetLastSystemError());

		lastStatus = Status::Ok;
		lastSystemError = 0;

		return true;
	}

	bool Archive::ExtractEntry(Int n, const String &destination)
	{
		Chunk *owner = n >= 0 && n < Int(entries.size()) ? entries[n].owner : nullptr;

		// A queued addition belongs to the chunk without a stream, which
		// reports it as not listed (yet).
		if (owner == nullptr) return Fail(Status::NotListed);

		readAhead->Request(chunks, owner->position, fileName);

		// The entry is the first record of its name in its chunk (the index
		// lists no name twice), which is the record the name finds.
		if (!owner->ExtractRecord(owner->FindRecord(entries[n].name), destination)) return Fail(owner->GetLastStatus(), owner->GetLastSystemError());

		lastStatus = Status::Ok;
		lastSystemError = 0;

		return true;
	}

	bool Archive::HoldsEntry(Int n, const String &path)
	{
		Chunk *owner = n >= 0 && n < Int(entries.size()) ? entries[n].owner : nullptr;

		if (owner == nullptr) return false;

		readAhead->Request(chunks, owner->position, fileName);

		return owner->RecordMatches(owner->FindRecord(entries[n].name), path);
	}

	Int64 Archive::KeyOf(std::string_view name) const
	{
		return keyOf.Find(name, [this](Int64 key) { const Entry *entry = EntryOf(key); return entry != nullptr ? entry->name : std::string_view(); });
	}

	bool Archive::AddEntry(std::string_view name, Int64 size, Chunk *owner)
	{
		if (nextKey >= Internal::NameIndex::Limit) return false;

		keyOf.Insert(name, nextKey);
		entries.push_back({ name, size, owner, nextKey });

		nextKey++;

		return true;
	}

	Archive::Entry *Archive::EntryOf(Int64 key)
	{
		auto found = std::lower_bound(entries.begin(), entries.end(), key, [](const Entry &entry, Int64 k) { return entry.key < k; });

		return found != entries.end() && found->key == key ? &*found : nullptr;
	}

	Int Archive::GetNumberOfFiles() const
	{
		return Int(entries.size());
	}

	String Archive::GetFileName(Int n) const
	{
		return n >= 0 && n < Int(entries.size()) ? String::FromUTF8(std::string(entries[n].name)) : String();
	}

	Int64 Archive::GetFileSize(Int n) const
	{
		return n >= 0 && n < Int(entries.size()) ? entries[n].size : 0;
	}

	Int Archive::GetChunkNumber(Int n) const
	{
		Chunk *owner = n >= 0 && n < Int(entries.size()) ? entries[n].owner : nullptr;

		for (size_t c = 0; owner != nullptr && c < chunks.size(); c++)
		{
			if (chunks[c] == owner) return Int(c);
		}

		return -1;
	}

	Int Archive::GetNumberOfChunks() const
	{
		return Int(chunks.size()) - 1;
	}

	Chunk *Archive::GetChunk(Int number) const
	{
		return number >= 1 && size_t(number) < chunks.size() ? chunks[number] : nullptr;
	}

	Archive *OpenArchive(const wchar_t *fileName)
	{
		Archive *archive = new Archive();

		archive->Open(String(fileName));

		return archive;
	}

	Archive *CreateArchive()
	{
		return new Archive();
	}

	bool CloseArchive(Archive *archive)
	{
		delete archive;

		return true;
	}

	int GetNumberOfFiles(Archive *archive)
	{
		return archive == nullptr ? 0 : archive->GetNumberOfFiles();
	}

	bool GetFileName(Archive *archive, int n, wchar_t *buffer, int size)
	{
		if (archive == nullptr || buffer == nullptr || size <= 0) return false;

		String name = archive->GetFileName(n);

		if (name.Length() >= size) return false;

		std::memset(buffer, 0, size_t(size) * sizeof(wchar_t));
		std::memcpy(buffer, name.Wide(), size_t(name.Length()) * sizeof(wchar_t));

		return true;
	}

	int GetFileSize(Archive *archive, int n)
	{
		return archive == nullptr ? 0 : int(archive->GetFileSize(n));
	}

	bool SetProgressCallback(Archive *archive, void (*callback)(int))
	{
		if (archive == nullptr || callback == nullptr) return false;

		archive->onProgress.Connect(callback);

		return true;
	}

	bool ExtractFile(Archive *archive, const wchar_t *name, const wchar_t *destination)
	{
		return archive != nullptr && archive->ExtractFile(String(name), String(destination));
	}

	Status GetLastStatus(Archive *archive)
	{
		return archive == nullptr ? Status::Missing : archive->GetLastStatus();
	}

	bool IsReadOnly(Archive *archive)
	{
		return archive != nullptr && archive->IsReadOnly();
	}
}
