#include "chunk.h"
#include "archive.h"
#include "archive_internal.h"
#include "bzip_stream.h"
#include "read_ahead.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace ZBK
{
	using namespace smooth;
	using namespace smooth::IO;

	// Chunk numbers only name temporary files, but several threads may make
	// archives, so the counter is atomic.
	static std::atomic<Int> chunkCounter(0);

	using Internal::Buffer;
	using Internal::bufferSize;

	char *Internal::Buffer()
	{
		static thread_local std::vector<char> buffer(bufferSize);

		return buffer.data();
	}

	Chunk::Chunk(const String &tempFolder) : number(chunkCounter++), tempFolder(tempFolder), lastStatus(Status::Ok)
	{
		// Without a folder of its own the chunk has no file names at all: a
		// name joined to nothing would point into the working folder, where
		// the archive's clean-up would then delete a stranger's file.
		if (tempFolder == 0) return;

		String stem = String("chunk").Append(String::FromInt(number)).Append(".temp");

		compressedFile = Path::Join(tempFolder, String(stem).Append(".bz2"));
		cacheFile = Path::Join(tempFolder, stem);
	}

	Chunk::~Chunk()
	{
	}

	bool Chunk::ReadIndex(InStream *input)
	{
		if (input == nullptr || input->Size() < 0) return false;

		Int64 fileSize = input->Size();
		Int64 count = input->InputNumber(4);

		// A record needs at least six bytes, so a count the file cannot hold
		// fails on the first record that runs past its end; memory thus grows
		// with the file, never with what a header claims.
		if (count < 0 || count > MaxFormatValue || input->GetPos() + 5 > fileSize) return false;

		input->RelSeek(5);

		std::string bytes;
		Int64 sum = 0;

		for (Int64 i = 0; i < count; i++)
		{
			if (input->GetPos() + 2 > fileSize) return false;

			Int64 length = input->InputNumber(2);

			if (length < 0 || input->GetPos() + length + 4 > fileSize) return false;

			bytes.resize(size_t(length));

			if (length > 0 && input->InputData(&bytes[0], Int(length)) != length) return false;

			// A name ends at its first zero byte, as text read from a stream
			// always does; whatever follows could never be asked for by name.
			String name = NormaliseName(String::FromUTF8(bytes.substr(0, bytes.find('\0'))));
			Int64 size = input->InputNumber(4);

			if (size < 0 || size > MaxFormatValue) return false;

			Int record = NameCount();
			std::string stored = name.ToUTF8();

			// Positions in nameData are 32-bit; a table holding more than
			// 4 GiB of names is not one we can hold anyway.
			if (nameData.size() + stored.size() > 0xFFFFFFFF) return false;

			if (recordOf.Find(stored, [this](Int64 r) { return NameOf(r); }) < 0) recordOf.Insert(stored, record);

			nameData.append(stored);
			nameEnds.push_back(uint32_t(nameData.size()));
			sizes.push_back(size);
			cacheOffsets.push_back(sum);

			sum += size;
		}

		// The table is read whole and never changes: give back what growing
		// it left spare.
		nameData.shrink_to_fit();
		nameEnds.shrink_to_fit();
		sizes.shrink_to_fit();
		cacheOffsets.shrink_to_fit();

		if (input->GetPos() + 13 > fileSize) return false;

		input->RelSeek(5);

		compressedSize = input->InputNumber(4);
		totalSize = input->InputNumber(4);

		if (compressedSize < 0 || compressedSize > MaxFormatValue || totalSize < 0 || totalSize > MaxFormatValue) return false;

		stream = input;
		payloadOffset = input->GetPos();

		// A payload past the end of the file or a total that is not the sum of
		// the sizes cannot decode to this table: list the entries, extract none.
		if (sum != totalSize) damaged = true;
		if (input->RelSeek(compressedSize) != Success())
		{
			damaged = true;
			input->Seek(fileSize);
		}

		return true;
	}

	Int Chunk::FindRecord(const String &name) const
	{
		return FindRecord(name.ToUTF8());
	}

	Int Chunk::FindRecord(std::string_view name) const
	{
		return Int(recordOf.Find(name, [this](Int64 r) { return NameOf(r); }));
	}

	Int Chunk::GetNumberOfFiles() const
	{
		return NameCount();
	}

	String Chunk::GetFileName(Int n) const
	{
		return n >= 0 && n < NameCount() ? NameAt(n) : String();
	}

	Int64 Chunk::GetFileSize(Int n) const
	{
		return n >= 0 && n < Int(sizes.size()) ? sizes[n] : 0;
	}

	bool Chunk::IsRemoved(const String &name) const
	{
		return removed.count(NormaliseName(name).WideString()) != 0;
	}

	void Chunk::Report(Int value)
	{
		if (value > 1000) value = 1000;
		if (value <= lastReported) return;

		lastReported = value;
		onProgress.Emit(value);
	}

	Int Chunk::CreateParentFolder(const String &path)
	{
		Int last = Path::LastSeparator(path);

		if (last <= 0) return Success();

		return Directory(path.Head(last)).Create();
	}

	bool Chunk::Fail(Status status, Int systemError)
	{
		lastStatus = status;
		lastSystemError = systemError;

		return false;
	}

	bool Chunk::WriteFailed()
	{
		// Read at once: a clean-up after the failure may record its own error.
		Int code = System::System::GetLastErrorCode();

		return Fail(System::System::IsDiskFullError(code) ? Status::DiskFull : Status::WriteRefused, code);
	}

	bool Chunk::HasCache() const
	{
		// A decoder of the archive may be writing this cache right now: the
		// answer, and whatever the caller does with the cache next, waits
		// until it is done.
		if (readAhead != nullptr) readAhead->Settle(this);

		// The cache only ever appears under its name once complete.
		return File(cacheFile).GetFileSize() == totalSize;
	}

	static Status WriteError(Int &systemError)
	{
		systemError = System::System::GetLastErrorCode();

		return System::System::IsDiskFullError(systemError) ? Status::DiskFull : Status::WriteRefused;
	}

	Status Chunk::Decode(InStream &input, OutStream &cache, Int record, OutStream *target, const std::function<void(Int64)> &progress, const std::atomic<bool> &stop, Int &systemError) const
	{
		BzipReader reader(input, payloadOffset, compressedSize);
		Int64 done = 0;
		char *buffer = Buffer();

		for (Int i = 0; i < NameCount(); i++)
		{
			Int64 remaining = sizes[i];

			while (remaining > 0)
			{
				// Checked once a buffer: a few milliseconds of decoding.
				if (stop.load(std::memory_order_relaxed)) return Status::Damaged;

				Int wanted = remaining < bufferSize ? Int(remaining) : bufferSize;
				Int got = reader.Read(buffer, wanted);

				// A decoding failure is damage; a failed write says why itself.
				if (got != wanted) return Status::Damaged;

				if (cache.OutputData(buffer, got) != Success()) return WriteError(systemError);
				if (i == record && target != nullptr && target->OutputData(buffer, got) != Success()) return WriteError(systemError);

				done += got;
				remaining -= got;

				if (progress) progress(done);
			}
		}

		return reader.EndsExactly() ? Status::Ok : Status::Damaged;
	}

	bool Chunk::FillCache(Int from, Int to, Int record, OutStream *target)
	{
		if (stream == nullptr)	return Fail(Status::NotListed);
		if (damaged)		return Fail(Status::Damaged);
		if (tempFolder == 0)	return Fail(Status::WriteRefused);

		// Two writers of one cache would spoil it.
		if (readAhead != nullptr) readAhead->Settle(this);

		static const std::atomic<bool> never(false);

		String part = String(cacheFile).Append(".part");
		OutStream cache(STREAM_FILE, part, OS_REPLACE);
		bool good = cache.GetLastError() == IO_ERROR_OK || WriteFailed();

		if (good)
		{
			Int code = 0;
			Status status = Decode(*stream, cache, record, target, [&](Int64 done) { Report(Int(Math::Round(from + double(to - from) * double(done) / double(totalSize)))); }, never, code);

			if (status != Status::Ok) good = Fail(status, code);
		}

		if (cache.Close() != Success() && good) good = WriteFailed();

		if (good && File(part).Replace(File(cacheFile)) != Success()) good = WriteFailed();

		if (!good) Internal::Discard(part);

		return good;
	}

	bool Chunk::FillCacheAhead(InStream &input, const std::atomic<bool> &stop) const
	{
		// A name of its own: the archive's thread never writes the same one.
		String part = String(cacheFile).Append(".ahead");
		bool good;

		{
			OutStream cache(STREAM_FILE, part, OS_REPLACE);
			Int code = 0;

			good = cache.GetLastError() == IO_ERROR_OK && Decode(input, cache, -1, nullptr, nullptr, stop, code) == Status::Ok;

			if (cache.Close() != Success()) good = false;
		}

		if (good && File(part).Replace(File(cacheFile)) != Success()) good = false;
		if (!good) Internal::Discard(part);

		return good;
	}

	bool Chunk::CopyFromCache(Int record, OutStream &target)
	{
		InStream cache(STREAM_FILE, cacheFile, IS_READ_ONLY);

		if (cache.GetLastError() != IO_ERROR_OK) return WriteFailed();

		return CopyInto(target, cache, cacheOffsets[record], sizes[record], true);
	}

	Status Chunk::Verify(const std::function<void(Int64)> &progress) const
	{
		if (stream == nullptr)	return Status::NotListed;
		if (damaged)		return Status::Damaged;

		BzipReader reader(*stream, payloadOffset, compressedSize);
		Int64 done = 0;

		while (done < totalSize)
		{
			Int wanted = Int(std::min<Int64>(bufferSize, totalSize - done));

			if (reader.Read(Buffer(), wanted) != wanted) return Status::Damaged;

			done += wanted;

			if (progress) progress(done);
		}

		return reader.EndsExactly() ? Status::Ok : Status::Damaged;
	}

	bool Chunk::CanExtract()
	{
		if (damaged) return Fail(Status::Damaged);

		// Without its private folder the chunk has no cache to decode into.
		if (tempFolder == 0) return Fail(Status::WriteRefused);

		return true;
	}

	bool Chunk::ExtractFile(const String &name, const String &destination)
	{
		lastStatus = Status::Ok;
		lastSystemError = 0;

		// A chunk whose archive was rewritten in place has no stream: what it
		// lists is no longer in any file this object reads.
		if (stream == nullptr) return Fail(Status::NotListed);

		Int record = FindRecord(name);

		if (record < 0)		return Fail(Status::NotListed);
		if (!IsSafeName(name))	return Fail(Status::UnsafeName);
		if (!CanExtract())	return false;

		String target = destination == 0 ? name : destination;

		if (Path::EndsWithSeparator(name) || Path::EndsWithSeparator(target))
		{
			String folder = Path::EndsWithSeparator(target) ? target.Head(target.Length() - 1) : target;

			return folder == 0 || Directory(folder).Create() == Success() || WriteFailed();
		}

		if (CreateParentFolder(target) != Success()) return WriteFailed();

		return ExtractTo(record, target);
	}

	bool Chunk::ExtractRecord(Int record, const String &destination)
	{
		lastStatus = Status::Ok;
		lastSystemError = 0;

		if (stream == nullptr || record < 0 || record >= NameCount()) return Fail(Status::NotListed);
		if (!CanExtract())					      return false;
		if (destination == 0)					      return Fail(Status::WriteRefused);

		// The caller made the folder, as it makes every folder; this only
		// confirms it is there.
		std::string_view name = NameOf(record);

		if ((!name.empty() && name.back() == '/') || Path::EndsWithSeparator(destination))
		{
			String folder = Path::EndsWithSeparator(destination) ? destination.Head(destination.Length() - 1) : destination;

			return Directory(folder).Exists() || Fail(Status::WriteRefused);
		}

		return ExtractTo(record, destination);
	}

	bool Chunk::ExtractTo(Int record, const String &target)
	{
		// The data goes to a name of its own beside the target and takes the
		// target's place only when every byte has been checked, so a damaged
		// payload never leaves a half file or spoils an earlier one. The name
		// is short and does not grow with the target's: a target whose name
		// is as long as the file system allows must still be writable.
		// A drive-relative "X:name" keeps its drive.
		Int cut = Path::LastNativeSeparator(target) + 1;

		if (cut == 0 && target.Length() > 2 && target[1] == ':') cut = 2;

		String part = target.Head(cut).Append(".zbk_").Append(Internal::UniqueSuffix()).Append(".part");
		bool good;

		{
			OutStream output(STREAM_FILE, part, OS_REPLACE);

			good = output.GetLastError() == IO_ERROR_OK || WriteFailed();

			// Progress starts with the write: a destination that cannot even be
			// opened (its folder missing, say) reports nothing.
			if (good)
			{
				lastReported = 0;
				onProgress.Emit(0);

				if (HasCache()) good = CopyFromCache(record, output);
				else		good = FillCache(0, 1000, record, &output);
			}

			if (output.Close() != Success() && good) good = WriteFailed();
		}

		if (good && File(part).Replace(File(target)) != Success()) good = WriteFailed();

		if (!good)
		{
			Internal::Discard(part);

			return false;
		}

		onProgress.Emit(1000);

		return true;
	}

	bool Chunk::RecordMatches(Int record, const String &path)
	{
		if (stream == nullptr || damaged || tempFolder == 0 || record < 0 || record >= NameCount()) return false;

		std::string_view name = NameOf(record);

		if ((!name.empty() && name.back() == '/') || Path::EndsWithSeparator(path)) return false;

		// Most files of an earlier version that differ differ in size too,
		// which costs no read at all.
		Int64 bytes = sizes[size_t(record)];

		if (File(path).GetFileSize() != bytes) return false;

		InStream file(STREAM_FILE, path, IS_READ_ONLY);

		if (file.GetLastError() != IO_ERROR_OK) return false;

		lastReported = 0;
		onProgress.Emit(0);

		// The first entry of a chunk decodes it whole, as an extraction would.
		if (!HasCache() && !FillCache(0, 1000)) return false;

		InStream cache(STREAM_FILE, cacheFile, IS_READ_ONLY);

		if (cache.GetLastError() != IO_ERROR_OK || cache.Seek(cacheOffsets[size_t(record)]) != Success()) return false;

		static thread_local std::vector<char> theirs(bufferSize);
		Int64 done = 0;

		while (done < bytes)
		{
			Int wanted = bytes - done < bufferSize ? Int(bytes - done) : bufferSize;

			if (cache.InputData(Buffer(), wanted) != wanted)     return false;
			if (file.InputData(theirs.data(), wanted) != wanted) return false;
			if (memcmp(Buffer(), theirs.data(), size_t(wanted)) != 0) return false;

			done += wanted;

			Report(Int(Math::Round(1000.0 * double(done) / double(bytes))));
		}

		onProgress.Emit(1000);

		return true;
	}

	bool Chunk::CopyInto(OutStream &output, InStream &input, Int64 offset, Int64 bytes, bool report)
	{
		// The input is the chunk's own cache or a payload already checked
		// against the file's size, so a failure on either side is the
		// system's, and its error says why.
		if (input.Seek(offset) != Success()) return WriteFailed();

		Int64 done = 0;

		while (done < bytes)
		{
			Int wanted = bytes - done < bufferSize ? Int(bytes - done) : bufferSize;

			if (input.InputData(Buffer(), wanted) != wanted) return WriteFailed();
			if (output.OutputData(Buffer(), wanted) != Success()) return WriteFailed();

			done += wanted;

			if (report) Report(Int(Math::Round(1000.0 * double(done) / double(bytes))));
		}

		return true;
	}
}
