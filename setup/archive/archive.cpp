#include "archive.h"
#include "archive_internal.h"

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

	Archive::Archive()
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

	void Archive::AddChunk(Chunk *chunk)
	{
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
		if (!owner->ExtractFile(normalised, destination)) return Fail(owner->GetLastStatus(), owner->GetLastSystemError());

		lastStatus = Status::Ok;
		lastSystemError = 0;

		return true;
	}

	bool Archive::AddFile(const String &source, const String &name)
	{
		if (readOnly) return false;

		String stored = name == 0 ? source : name;
		bool folder = Path::EndsWithSeparator(source);

		if (source == 0 || folder != Path::EndsWithSeparator(stored)) return false;
		if (!IsSafeName(stored) || stored.ToUTF8().size() > 0xFFFF) return false;

		String normalised = NormaliseName(stored);

		std::string entry = normalised.ToUTF8();

		if (KeyOf(entry) >= 0 || nextKey >= Internal::NameIndex::Limit) return false;

		Int64 size = folder ? 0 : File(source).GetFileSize();

		AddEntry(queuedNames[nextKey] = entry, size < 0 ? 0 : size, chunks[0]);

		chunks[0]->addedSources.Add(source);
		chunks[0]->addedNames.Add(stored);

		return true;
	}

	bool Archive::RemoveFile(const String &name)
	{
		if (readOnly) return false;

		String normalised = NormaliseName(name);
		std::string entry = normalised.ToUTF8();
		Int64 key = KeyOf(entry);

		if (key < 0) return false;

		Entry *found = EntryOf(key);
		Chunk *owner = found->owner;

		keyOf.Erase(entry, key);
		entries.erase(entries.begin() + (found - entries.data()));
		queuedNames.erase(key);

		// An addition that was never written is simply taken back.
		if (owner == chunks[0])
		{
			for (Int i = 0; i < owner->addedNames.Length(); i++)
			{
				if (NormaliseName(owner->addedNames.GetNth(i)) != normalised) continue;

				owner->addedNames.RemoveNth(i);
				owner->addedSources.RemoveNth(i);

				break;
			}

			return true;
		}

		appendOnly = false;

		owner->removedNames.push_back(normalised);
		owner->removed.insert(normalised.WideString());

		return true;
	}

	static bool CopyFile(InStream &input, OutStream &output, std::vector<char> &buffer)
	{
		for (;;)
		{
			Int got = input.InputData(buffer.data(), Int(buffer.size()));

			if (got < 0) return false;
			if (got == 0) return true;
			if (output.OutputData(buffer.data(), got) != Success()) return false;
		}
	}

	bool Archive::Append()
	{
		Chunk *added = chunks[0];

		if (added->addedNames.Length() == 0) return true;

		// A chunk behind a damaged table or after foreign bytes could never be
		// found again by a reader.
		if (!intact) return false;

		// The chunk is built completely in the temporary folder first: a source
		// that cannot be read then fails the write before the archive is touched.
		// Without that folder the name would point into the working folder.
		if (!tempFolderMade) return false;

		String staged = Path::Join(tempFolder, String("append").Append(Internal::UniqueSuffix()).Append(".temp"));
		bool good;

		{
			OutStream output(STREAM_FILE, staged, OS_REPLACE);

			good = output.GetLastError() == IO_ERROR_OK && added->Write(output);

			if (output.Close() != Success()) good = false;
		}

		Int64 original = File(fileName).GetFileSize();

		if (good && original >= 0)
		{
			std::vector<char> buffer(131072);
			OutStream output(STREAM_FILE, fileName, OS_APPEND);
			InStream input(STREAM_FILE, staged, IS_READ_ONLY);

			good = output.GetLastError() == IO_ERROR_OK && input.GetLastError() == IO_ERROR_OK && CopyFile(input, output, buffer);

			if (output.Close() != Success()) good = false;

			// A disk that filled up part way: the archive goes back to its length.
			if (!good) Internal::TruncateFile(fileName, original);
		}
		else good = false;

		Internal::Discard(staged);

		if (good) AdoptAppended(original);

		return good;
	}

	void Archive::AdoptAppended(Int64 offset)
	{
		// The added entries now live in the file's last chunk. Reading that
		// chunk back makes them extractable at once, and emptying the added
		// lists keeps a second write from appending them a second time.
		Chunk *added = chunks[0];

		added->addedNames.RemoveAll();
		added->addedSources.RemoveAll();
		added->sizes.clear();

		delete stream;

		stream = nullptr;

		for (size_t c = 1; c < chunks.size(); c++) chunks[c]->stream = nullptr;

		if (!ReopenStream() || stream->Seek(offset) != Success()) return;

		Chunk *chunk = new Chunk(tempFolder);

		if (!chunk->ReadIndex(stream))
		{
			delete chunk;

			return;
		}

		AddChunk(chunk);

		for (Int i = 0; i < chunk->NameCount(); i++)
		{
			Int64 key = KeyOf(chunk->NameOf(i));

			Entry *entry = key < 0 ? nullptr : EntryOf(key);

			if (entry == nullptr || entry->owner != added) continue;

			entry->owner = chunk;
			entry->size = chunk->sizes[i];
			entry->name = chunk->NameOf(i);
			queuedNames.erase(key);
		}
	}

	bool Archive::ReopenStream()
	{
		stream = new InStream(STREAM_FILE, fileName, readOnly ? IS_READ_ONLY : IS_READ);

		if (stream->GetLastError() != IO_ERROR_OK)
		{
			delete stream;

			stream = nullptr;

			return false;
		}

		for (size_t c = 1; c < chunks.size(); c++) chunks[c]->stream = stream;

		return true;
	}

	bool Archive::WriteComplete(const String &target, bool ownFile)
	{
		// Written whole under a name of its own beside the target, the new
		// archive takes the target's place in one step, so a failure at any
		// point leaves the target as it was.
		String temporary = String(target).Append(".").Append(Internal::UniqueSuffix()).Append(".tmp");
		bool good;

		scaling = true;
		lastForwarded = 0;
		onProgress.Emit(0);

		{
			OutStream output(STREAM_FILE, temporary, OS_REPLACE);

			good = tempFolderMade && output.GetLastError() == IO_ERROR_OK && output.OutputData("ZBK", 3) == Success();

			Int count = Int(chunks.size());

			for (Int c = 0; good && c < count; c++)
			{
				scaleBase = Int(1000LL * c / count);
				scaleSpan = Int(1000LL * (c + 1) / count) - scaleBase;

				good = chunks[c]->Write(output);
			}

			if (output.Close() != Success()) good = false;
		}

		scaling = false;

		if (good && ownFile)
		{
			// An open file cannot be replaced everywhere: let go of it first, and
			// take it back should the replacement fail.
			delete stream;

			stream = nullptr;

			for (size_t c = 1; c < chunks.size(); c++) chunks[c]->stream = nullptr;
		}

		if (good && File(temporary).Replace(File(target)) != Success())
		{
			good = false;

			if (ownFile) ReopenStream();
		}

		if (!good)
		{
			Internal::Discard(temporary);

			return false;
		}

		if (lastForwarded < 1000) onProgress.Emit(1000);

		return true;
	}

	bool Archive::Write(const String &name)
	{
		if (readOnly) return false;
		if (name == 0 && fileName == 0) return false;

		String target = name == 0 ? fileName : name;
		bool ownFile = fileName != 0 && target == fileName;

		if (appendOnly && ownFile) return Append();

		return WriteComplete(target, ownFile);
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

	bool AddFile(Archive *archive, const wchar_t *source, const wchar_t *name)
	{
		return archive != nullptr && archive->AddFile(String(source), String(name));
	}

	bool RemoveFile(Archive *archive, const wchar_t *name)
	{
		return archive != nullptr && archive->RemoveFile(String(name));
	}

	bool WriteArchive(Archive *archive, const wchar_t *fileName)
	{
		return archive != nullptr && archive->Write(String(fileName));
	}

	bool IsReadOnly(Archive *archive)
	{
		return archive != nullptr && archive->IsReadOnly();
	}
}
