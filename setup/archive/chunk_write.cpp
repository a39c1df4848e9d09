// The writing half of Chunk: staging its entries compressed and writing
// the chunk into a new archive file. Apart from the reading half (chunk.cpp)
// for the same reason as archive_write.cpp.
#include "chunk.h"
#include "archive.h"
#include "archive_internal.h"
#include "bzip_stream.h"

#include <string>

namespace ZBK
{
	using namespace smooth;
	using namespace smooth::IO;

	using Internal::Buffer;
	using Internal::bufferSize;

	static bool WriteRecord(OutStream &output, const String &name, Int64 size)
	{
		std::string bytes = name.ToUTF8();

		if (bytes.size() > 0xFFFF || size < 0 || size > MaxFormatValue) return false;

		return output.OutputNumber(Int64(bytes.size()), 2) == Success()
		    && (bytes.empty() || output.OutputData(bytes.data(), Int(bytes.size())) == Success())
		    && output.OutputNumber(size, 4) == Success();
	}

	// Compresses every added source into the compressed file. Every source
	// must be read whole: the table written afterwards lists exactly what
	// the payload holds, or the write fails.
	bool Chunk::StageAdded(Int64 &payloadSize)
	{
		Int count = addedNames.Length();
		bool good;

		{
			OutStream compressed(STREAM_FILE, compressedFile, OS_REPLACE);
			BzipWriter writer(compressed);

			good = compressed.GetLastError() == IO_ERROR_OK;
			totalSize = 0;

			sizes.clear();

			for (Int i = 0; good && i < count; i++)
			{
				String source = addedSources.GetNth(i);

				if (Path::EndsWithSeparator(source))
				{
					sizes.push_back(0);
					Report(Int(Math::Round(1000.0 / count * (i + 1))));

					continue;
				}

				InStream input(STREAM_FILE, source, IS_READ_ONLY);
				Int64 size = input.Size();

				if (input.GetLastError() != IO_ERROR_OK || size < 0 || size > MaxFormatValue || totalSize + size > MaxFormatValue) { good = false; break; }

				Int64 done = 0;

				while (good && done < size)
				{
					Int wanted = size - done < bufferSize ? Int(size - done) : bufferSize;

					if (input.InputData(Buffer(), wanted) != wanted || !writer.Write(Buffer(), wanted)) good = false;

					done += wanted;

					Report(Int(Math::Round(1000.0 / (double(size) * count) * done + 1000.0 / count * i)));
				}

				if (size == 0) Report(Int(Math::Round(1000.0 / count * (i + 1))));

				sizes.push_back(size);
				totalSize += size;
			}

			if (good) good = writer.Finish();
			if (compressed.Close() != Success()) good = false;

			payloadSize = writer.GetCompressedSize();
		}

		if (payloadSize > MaxFormatValue) good = false;
		if (!good) Internal::Discard(compressedFile);

		return good;
	}

	// Recompresses the records that are not removed from the cache, which is
	// made first when no extraction made it yet. Decompression takes the
	// first half of the progress scale, recompression the second.
	bool Chunk::StageRecompressed(Int64 &payloadSize, Int64 &newTotal)
	{
		if (!HasCache() && !FillCache(0, 500)) return false;

		bool good;

		{
			InStream cache(STREAM_FILE, cacheFile, IS_READ_ONLY);
			OutStream compressed(STREAM_FILE, compressedFile, OS_REPLACE);
			BzipWriter writer(compressed);

			good = cache.GetLastError() == IO_ERROR_OK && compressed.GetLastError() == IO_ERROR_OK;
			newTotal = 0;

			for (Int i = 0; i < NameCount(); i++)
			{
				if (!IsRemoved(NameAt(i))) newTotal += sizes[i];
			}

			Int64 done = 0;

			for (Int i = 0; good && i < NameCount(); i++)
			{
				Int64 size = sizes[i];

				if (IsRemoved(NameAt(i)))
				{
					if (cache.RelSeek(size) != Success()) good = false;

					continue;
				}

				Int64 copied = 0;

				while (good && copied < size)
				{
					Int wanted = size - copied < bufferSize ? Int(size - copied) : bufferSize;

					if (cache.InputData(Buffer(), wanted) != wanted || !writer.Write(Buffer(), wanted)) good = false;

					copied += wanted;
					done += wanted;

					Report(Int(Math::Round(500.0 + 500.0 * double(done) / double(newTotal))));
				}
			}

			if (good) good = writer.Finish();
			if (compressed.Close() != Success()) good = false;

			payloadSize = writer.GetCompressedSize();
		}

		if (payloadSize > MaxFormatValue) good = false;
		if (!good) Internal::Discard(compressedFile);

		return good;
	}

	bool Chunk::Write(OutStream &output)
	{
		if (tempFolder == 0) return false;

		lastReported = 0;
		onProgress.Emit(0);

		bool good = true;
		Int count = NameCount();

		if (addedNames.Length() > 0)
		{
			Int64 payloadSize = 0;

			good = StageAdded(payloadSize);

			if (good)
			{
				good = output.OutputNumber(addedNames.Length(), 4) == Success() && output.OutputData("FILES", 5) == Success();

				for (Int i = 0; good && i < addedNames.Length(); i++) good = WriteRecord(output, addedNames.GetNth(i), sizes[i]);

				good = good && output.OutputData("CDATA", 5) == Success() && output.OutputNumber(payloadSize, 4) == Success() && output.OutputNumber(totalSize, 4) == Success();

				InStream compressed(STREAM_FILE, compressedFile, IS_READ_ONLY);

				good = good && compressed.Size() == payloadSize && CopyInto(output, compressed, 0, payloadSize, false);
			}

			Internal::Discard(compressedFile);
		}
		else if (!removed.empty())
		{
			Int left = 0;

			for (Int i = 0; i < count; i++) if (!IsRemoved(NameAt(i))) left++;

			if (left > 0)
			{
				if (stream == nullptr || damaged) return false;

				Int64 payloadSize = 0;
				Int64 newTotal = 0;

				good = StageRecompressed(payloadSize, newTotal);

				if (good)
				{
					good = output.OutputNumber(left, 4) == Success() && output.OutputData("FILES", 5) == Success();

					for (Int i = 0; good && i < count; i++)
					{
						if (!IsRemoved(NameAt(i))) good = WriteRecord(output, NameAt(i), sizes[i]);
					}

					good = good && output.OutputData("CDATA", 5) == Success() && output.OutputNumber(payloadSize, 4) == Success() && output.OutputNumber(newTotal, 4) == Success();

					InStream compressed(STREAM_FILE, compressedFile, IS_READ_ONLY);

					good = good && compressed.Size() == payloadSize && CopyInto(output, compressed, 0, payloadSize, false);
				}

				Internal::Discard(compressedFile);
			}
		}
		else if (count > 0)
		{
			// Unchanged: the payload is copied as it is, never decompressed.
			if (stream == nullptr || damaged) return false;

			good = output.OutputNumber(count, 4) == Success() && output.OutputData("FILES", 5) == Success();

			for (Int i = 0; good && i < count; i++) good = WriteRecord(output, NameAt(i), sizes[i]);

			good = good && output.OutputData("CDATA", 5) == Success() && output.OutputNumber(compressedSize, 4) == Success() && output.OutputNumber(totalSize, 4) == Success();
			good = good && CopyInto(output, *stream, payloadOffset, compressedSize, true);
		}

		if (!good) return false;

		lastReported = 1000;
		onProgress.Emit(1000);

		return true;
	}
}
