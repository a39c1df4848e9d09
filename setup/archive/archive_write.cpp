// The writing half of Archive: adding, removing and writing entries. It
// lives apart from the reading half (archive.cpp) so that a program that only
// unpacks archives, as setup.exe does, does not carry it, nor the compressor
// behind it.
#include "archive.h"
#include "archive_internal.h"

#include <vector>

namespace ZBK
{
	using namespace smooth;
	using namespace smooth::IO;

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
		// The decoders hold streams of their own on the file, which would
		// keep a rewrite from replacing it where open files cannot be.
		StopReadAhead();

		if (readOnly) return false;
		if (name == 0 && fileName == 0) return false;

		String target = name == 0 ? fileName : name;
		bool ownFile = fileName != 0 && target == fileName;

		if (appendOnly && ownFile) return Append();

		return WriteComplete(target, ownFile);
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
}
