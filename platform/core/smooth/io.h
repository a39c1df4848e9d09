// smooth::IO: file streams with little-endian numbers.
#pragma once

#include "string.h"

namespace smooth
{
	namespace IO
	{
		const Int STREAM_FILE	= 3;

		const Int IS_READ	= 2;	// read; opens the file for writing too, so it fails on a read-only file
		const Int IS_READ_ONLY	= 3;	// read only

		const Int OS_APPEND	= 0;	// write at the end of an existing file (created when missing)
		const Int OS_REPLACE	= 1;	// create or truncate

		const Int IO_ERROR_OK		= 0;
		const Int IO_ERROR_OPEN		= 1;
		const Int IO_ERROR_READ		= 2;
		const Int IO_ERROR_WRITE	= 3;

		// An input stream over a file. A stream that could not be opened reports
		// GetLastError() != IO_ERROR_OK, Size() = -1 and reads nothing.
		// Reading never moves beyond the end of the file.
		class SMOOTH_API InStream
		{
			public:
						 InStream(Int type, const String &fileName, Int mode = IS_READ);
						~InStream();
				InStream(const InStream &) = delete;
				InStream &operator =(const InStream &) = delete;

				Int		 GetLastError() const	{ return lastError; }

				// An unsigned little-endian number of 1 to 8 bytes. When fewer bytes
				// remain than asked for, returns -1 and consumes what was left.
				Int64		 InputNumber(Int bytes);
				// bytes bytes decoded with the current input format (stops at a zero
				// byte inside them; always consumes bytes or what is left).
				String		 InputString(Int bytes);
				// Up to bytes bytes into buffer; returns the count read (0 at the end,
				// -1 on error).
				Int		 InputData(void *buffer, Int bytes);

				// Absolute and relative seeks; a target outside [0, Size()] is refused
				// with Error() and the position stays.
				Int		 Seek(Int64 position);
				Int		 RelSeek(Int64 offset);

				Int64		 Size() const;		// -1 when not open
				Int64		 GetPos() const;	// -1 when not open

				Int		 Close();
			private:
				void		*file = nullptr;
				Int64		 size = -1;
				Int64		 position = 0;
				Int		 lastError = IO_ERROR_OK;
		};

		// An output stream to a file. Writes are buffered; Close (or destruction)
		// flushes. Every failed write sets GetLastError() and makes the write
		// operation return Error(); nothing is thrown.
		class SMOOTH_API OutStream
		{
			public:
						 OutStream(Int type, const String &fileName, Int mode = OS_REPLACE);
						~OutStream();
				OutStream(const OutStream &) = delete;
				OutStream &operator =(const OutStream &) = delete;

				Int		 GetLastError() const	{ return lastError; }

				Int		 OutputNumber(Int64 value, Int bytes);	// little-endian, 1 to 8 bytes
				Int		 OutputString(const String &text);	// current output format, no terminator
				Int		 OutputData(const void *buffer, Int bytes);

				Int64		 Size() const;		// -1 when not open
				Int64		 GetPos() const;	// -1 when not open

				Int		 Flush();
				// Flushes and waits until the system has put the file's data
				// on the disk, so that it survives a power loss; Error() when
				// a write or the system's sync failed.
				Int		 Sync();
				// Flushes and closes; Error() when any write (or the final flush) failed.
				Int		 Close();
			private:
				void		*file = nullptr;
				Int64		 position = 0;
				Int		 lastError = IO_ERROR_OK;
		};
	}
}
