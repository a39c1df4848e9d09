#include "smooth/io.h"
#include "native.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
	// Our own buffer in front of an unbuffered FILE: the archive reads
	// single bytes millions of times and whole 128 KiB blocks, and both
	// should cost no more than a memcpy.
	const size_t bufferSize = 1 << 16;

	struct InFile
	{
		FILE			   *fp = nullptr;
		smooth::Int64		    physical = 0;	// where fp stands
		std::vector<unsigned char>  buffer;
		smooth::Int64		    bufferStart = 0;	// file offset of buffer[0]
		size_t			    bufferLength = 0;
	};

	struct OutFile
	{
		FILE			   *fp = nullptr;
		std::vector<unsigned char>  buffer;
		size_t			    used = 0;
		bool			    failed = false;
	};

	// Reads n bytes at position, which the caller has checked to lie within
	// the file; returns the count read (short only on a read error or a file
	// that shrank under us).
	size_t ReadAt(InFile *in, smooth::Int64 position, unsigned char *target, size_t n)
	{
		size_t done = 0;

		while (done < n)
		{
			if (position >= in->bufferStart && position < in->bufferStart + smooth::Int64(in->bufferLength))
			{
				size_t offset = size_t(position - in->bufferStart);
				size_t count  = std::min(n - done, in->bufferLength - offset);

				memcpy(target + done, in->buffer.data() + offset, count);

				done	 += count;
				position += count;

				continue;
			}

			if (in->physical != position)
			{
				if (smooth::Native::SeekFile(in->fp, position) != smooth::Success()) break;

				in->physical = position;
			}

			// Large reads go straight to the caller's memory.
			bool	       direct = n - done >= bufferSize;
			unsigned char *into   = direct ? target + done : in->buffer.data();
			size_t	       want   = direct ? n - done : bufferSize;
			size_t	       got    = fread(into, 1, want, in->fp);

			in->physical += got;

			if (direct)
			{
				done	 += got;
				position += got;
			}
			else
			{
				in->bufferStart	 = position;
				in->bufferLength = got;
			}

			if (got == 0) break;
		}

		return done;
	}
}

smooth::IO::InStream::InStream(Int type, const String &fileName, Int mode)
{
	const char *openMode = mode == IS_READ ? "r+b" : (mode == IS_READ_ONLY ? "rb" : nullptr);

	if (type != STREAM_FILE || openMode == nullptr) { lastError = IO_ERROR_OPEN; return; }

	FILE *fp = Native::OpenFile(fileName, openMode);

	if (fp == nullptr) { lastError = IO_ERROR_OPEN; return; }

	Int64 fileSize = Native::GetOpenFileSize(fp);

	if (fileSize < 0) { fclose(fp); lastError = IO_ERROR_OPEN; return; }

	setvbuf(fp, nullptr, _IONBF, 0);

	InFile *in = new InFile;

	in->fp = fp;
	in->buffer.resize(bufferSize);

	file = in;
	size = fileSize;
}

smooth::IO::InStream::~InStream()
{
	Close();
}

smooth::Int64 smooth::IO::InStream::InputNumber(Int bytes)
{
	if (file == nullptr || bytes < 1 || bytes > 8) return -1;

	InFile	     *in     = static_cast<InFile *>(file);
	unsigned char raw[8];
	Int64	      offset = position - in->bufferStart;
	const unsigned char *from;

	// The common case: all bytes already in the buffer.
	if (offset >= 0 && offset + bytes <= Int64(in->bufferLength) && position + bytes <= size)
	{
		from	  = in->buffer.data() + offset;
		position += bytes;
	}
	else
	{
		size_t want = size_t(std::min<Int64>(bytes, size - position));
		size_t got  = ReadAt(in, position, raw, want);

		position += got;

		if (got < want) lastError = IO_ERROR_READ;
		if (got < size_t(bytes)) return -1;

		from = raw;
	}

	uint64_t value = 0;

	for (Int i = bytes - 1; i >= 0; i--) value = (value << 8) | from[i];

	return Int64(value);
}

smooth::String smooth::IO::InStream::InputString(Int bytes)
{
	if (file == nullptr || bytes <= 0) return String();

	std::string raw(size_t(std::min<Int64>(bytes, size - position)), '\0');
	size_t	    got = ReadAt(static_cast<InFile *>(file), position, reinterpret_cast<unsigned char *>(&raw[0]), raw.size());

	position += got;

	if (got < raw.size()) lastError = IO_ERROR_READ;

	raw.resize(std::min(got, raw.find('\0')));

	return String::Decode(raw, String::GetInputFormat());
}

smooth::Int smooth::IO::InStream::InputData(void *buffer, Int bytes)
{
	if (file == nullptr || bytes < 0 || (buffer == nullptr && bytes > 0)) return -1;

	size_t want = size_t(std::min<Int64>(bytes, size - position));
	size_t got  = ReadAt(static_cast<InFile *>(file), position, static_cast<unsigned char *>(buffer), want);

	position += got;

	if (got < want)
	{
		lastError = IO_ERROR_READ;

		if (got == 0) return -1;
	}

	return Int(got);
}

smooth::Int smooth::IO::InStream::Seek(Int64 target)
{
	if (file == nullptr || target < 0 || target > size) return Error();

	position = target;

	return Success();
}

smooth::Int smooth::IO::InStream::RelSeek(Int64 offset)
{
	if (file == nullptr) return Error();

	// Compare without forming position + offset, which could overflow.
	if (offset < 0 ? -(offset + 1) >= position : offset > size - position) return Error();

	position += offset;

	return Success();
}

smooth::Int64 smooth::IO::InStream::Size() const
{
	return file == nullptr ? -1 : size;
}

smooth::Int64 smooth::IO::InStream::GetPos() const
{
	return file == nullptr ? -1 : position;
}

smooth::Int smooth::IO::InStream::Close()
{
	if (file == nullptr) return Error();

	InFile *in = static_cast<InFile *>(file);

	fclose(in->fp);
	delete in;

	file = nullptr;
	size = -1;

	return Success();
}

namespace
{
	bool WriteOut(OutFile *out, const void *data, size_t n)
	{
		if (n == 0) return true;

		if (fwrite(data, 1, n, out->fp) == n) return true;

		smooth::Native::RecordRuntimeError();
		out->failed = true;

		return false;
	}

	bool FlushBuffer(OutFile *out)
	{
		size_t used = out->used;

		out->used = 0;

		return WriteOut(out, out->buffer.data(), used);
	}
}

smooth::IO::OutStream::OutStream(Int type, const String &fileName, Int mode)
{
	const char *openMode = mode == OS_REPLACE ? "wb" : (mode == OS_APPEND ? "ab" : nullptr);

	if (type != STREAM_FILE || openMode == nullptr) { lastError = IO_ERROR_OPEN; return; }

	FILE *fp = Native::OpenFile(fileName, openMode);

	if (fp == nullptr) { lastError = IO_ERROR_OPEN; return; }

	Int64 fileSize = Native::GetOpenFileSize(fp);

	if (fileSize < 0) { fclose(fp); lastError = IO_ERROR_OPEN; return; }

	setvbuf(fp, nullptr, _IONBF, 0);

	OutFile *out = new OutFile;

	out->fp = fp;
	out->buffer.resize(bufferSize);

	file	 = out;
	position = fileSize;
}

smooth::IO::OutStream::~OutStream()
{
	if (file != nullptr) Close();
}

smooth::Int smooth::IO::OutStream::OutputNumber(Int64 value, Int bytes)
{
	if (file == nullptr || bytes < 1 || bytes > 8) return Error();

	unsigned char raw[8];

	for (Int i = 0; i < bytes; i++) raw[i] = (unsigned char) (uint64_t(value) >> (8 * i));

	return OutputData(raw, bytes);
}

smooth::Int smooth::IO::OutStream::OutputString(const String &text)
{
	std::string bytes = text.Narrow();

	if (bytes.size() > size_t(0x7FFFFFFF)) return Error();

	return OutputData(bytes.data(), Int(bytes.size()));
}

smooth::Int smooth::IO::OutStream::OutputData(const void *data, Int bytes)
{
	if (file == nullptr || bytes < 0 || (data == nullptr && bytes > 0)) return Error();

	OutFile *out = static_cast<OutFile *>(file);
	size_t	 n   = size_t(bytes);
	bool	 ok  = true;

	if (out->used + n > bufferSize) ok = FlushBuffer(out);

	if (n >= bufferSize)
	{
		ok = WriteOut(out, data, n) && ok;
	}
	else
	{
		memcpy(out->buffer.data() + out->used, data, n);
		out->used += n;
	}

	position += bytes;

	if (!ok) { lastError = IO_ERROR_WRITE; return Error(); }

	return Success();
}

smooth::Int64 smooth::IO::OutStream::Size() const
{
	// Every write goes to the end, so the size is where we stand.
	return file == nullptr ? -1 : position;
}

smooth::Int64 smooth::IO::OutStream::GetPos() const
{
	return file == nullptr ? -1 : position;
}

smooth::Int smooth::IO::OutStream::Flush()
{
	if (file == nullptr) return Error();

	OutFile *out = static_cast<OutFile *>(file);
	bool	 ok  = FlushBuffer(out);

	if (ok && fflush(out->fp) != 0) { Native::RecordRuntimeError(); out->failed = true; ok = false; }
	if (!ok) { lastError = IO_ERROR_WRITE; return Error(); }

	return Success();
}

smooth::Int smooth::IO::OutStream::Sync()
{
	if (Flush() != Success()) return Error();

	if (Native::SyncFile(static_cast<OutFile *>(file)->fp) != Success())
	{
		static_cast<OutFile *>(file)->failed = true;
		lastError = IO_ERROR_WRITE;

		return Error();
	}

	return Success();
}

smooth::Int smooth::IO::OutStream::Close()
{
	if (file == nullptr) return Error();

	OutFile *out = static_cast<OutFile *>(file);

	Flush();

	// The data reaches the disk only now on some systems; a failing close
	// is a failed write.
	if (fclose(out->fp) != 0) { Native::RecordRuntimeError(); out->failed = true; lastError = IO_ERROR_WRITE; }

	bool failed = out->failed;

	delete out;
	file = nullptr;

	return failed ? Error() : Success();
}
