// smooth::File and smooth::Directory: names of files and folders and what can be done to them.
#pragma once

#include "string.h"

#include <vector>

namespace smooth
{
	// A file named by a path, or by a file name and a folder. Operations work
	// on the native path (wide calls on Windows, UTF-8 elsewhere).
	class SMOOTH_API File
	{
		public:
					 File(const String &fileName, const String &path = String());

			String		 GetFileName() const;	// last component
			String		 GetFilePath() const;	// folder part, without trailing separator
			const String	&GetPath() const	{ return full; }	// whole path as given/joined
			operator	 const String &() const	{ return full; }

			Bool		 Exists() const;
			Int64		 GetFileSize() const;	// -1 when missing

			// Moves (renames) onto destination; fails when destination exists.
			Int		 Move(const File &destination) const;
			// Moves onto destination, replacing it in one step when it exists.
			Int		 Replace(const File &destination) const;
			// Copies onto destination (replaced in one step when it exists),
			// bytes and last-write time.
			Int		 Copy(const File &destination) const;
			Int		 Delete() const;
			// Asks the system to delete the file when it next starts (a file
			// a running program holds cannot go before). Error() where the
			// system cannot (on systems other than Windows, always).
			Int		 DeleteAtRestart() const;
			// Sets the file's length to size bytes: what lies beyond goes, a
			// longer size extends it with zero bytes. Error() when size is
			// negative or the file is missing or cannot be written.
			Int		 Truncate(Int64 size) const;
		private:
			String		 full;
	};

	// A folder named by a path, or a name and a parent path.
	class SMOOTH_API Directory
	{
		public:
					 Directory(const String &name, const String &path = String());

			const String	&GetPath() const	{ return full; }
			operator	 const String &() const	{ return full; }

			Bool		 Exists() const;
			// Creates the folder and every missing parent; Success() also when it exists.
			Int		 Create() const;
			// Creates the folder only when it does not exist yet (its parent must
			// exist); Error() when it exists or cannot be made.
			Int		 CreateNew() const;
			// Removes the folder, which must be empty.
			Int		 Delete() const;
			// Removes everything inside the folder (recursively), keeping the folder.
			// Symbolic links are removed, never followed.
			Int		 Empty() const;

			// Names (not paths) of the files / subfolders directly inside, sorted
			// by their UTF-8 bytes.
			std::vector<String> GetFiles() const;
			std::vector<String> GetDirectories() const;
		private:
			String		 full;
	};

	namespace System
	{
		class SMOOTH_API System
		{
			public:
				static String	 GetAPIVersion();	// "0.8.70.0"
				// The user's temporary folder, ending with the path separator.
				static String	 GetTempDirectory();
				static UnsignedInt GetTickCount();	// milliseconds since start-up
				static Int	 GetProcessID();
				static void	 Sleep(Int milliseconds);
				static Int	 GetLastErrorCode();	// errno / GetLastError of the last failed call
				static String	 GetErrorText(Int code);	// readable text of an error code
				// true when code (from GetLastErrorCode) says a write failed for
				// want of room: the disk is full, or a file-size limit was reached.
				static Bool	 IsDiskFullError(Int code);
				static const wchar_t PathSeparator;	// '\\' on Windows, '/' elsewhere
		};
	}
}
