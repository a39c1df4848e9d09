// What the portable files of the platform core need from the operating
// system, implemented once per system (file_posix.cpp, file_win.cpp).
// Not part of the library's interface.
#pragma once

#include "smooth/file.h"

#include <cstdio>
#include <vector>

namespace smooth
{
	namespace Native
	{
		// Opens the file at path (wide path on Windows, UTF-8 elsewhere) with
		// an fopen mode; null on failure, with the error recorded.
		FILE		*OpenFile(const String &path, const char *mode);

		// Absolute seek that works beyond 2 GiB; Error() on failure.
		Int		 SeekFile(FILE *file, Int64 position);
		// The size of an open file, or -1.
		Int64		 GetOpenFileSize(FILE *file);
		// Asks the system to put what was written to the open file on the
		// disk itself before returning; Error() when it cannot.
		Int		 SyncFile(FILE *file);

		// Remembers the error of the C runtime call that just failed (errno),
		// in the system's own error numbering, for System::GetLastErrorCode.
		void		 RecordRuntimeError();
		void		 RecordError(Int code);

		// Names of the entries directly inside folder: real folders when
		// wantFolders, else files (and links to files); links to folders in
		// neither list, so that a walk over the tree cannot loop. Sorted by
		// their UTF-8 bytes.
		std::vector<String> List(const String &folder, bool wantFolders);
	}
}
