// Folders and files that an end-to-end test prepares and inspects.
#pragma once

#include <string>

namespace e2e
{
	// A fresh, empty folder below the temporary folder, removed with all its
	// contents by the destructor. Path() is empty when it could not be made.
	class TempFolder
	{
	public:
		explicit TempFolder(const std::wstring &prefix);
		~TempFolder();
		TempFolder(const TempFolder &) = delete;
		TempFolder &operator=(const TempFolder &) = delete;

		const std::wstring &Path() const { return path; }

	private:
		std::wstring path;
	};

	// Writes bytes to path, replacing the file. False when it cannot be written.
	bool WriteFile(const std::wstring &path, const std::string &bytes);

	// The whole content of a file; false when it cannot be read.
	bool ReadFile(const std::wstring &path, std::string *bytes);

	bool FileExists(const std::wstring &path);
	bool FolderExists(const std::wstring &path);

	// Copies file (a full path) into folder under the same name.
	bool CopyInto(const std::wstring &file, const std::wstring &folder);

	// Removes a folder with everything in it; true when it is gone afterwards.
	bool RemoveTree(const std::wstring &path);

	// Folder where this test program saves screenshots: e2e-screenshots next
	// to the program's bin folder (build/<preset>/e2e-screenshots).
	std::wstring ScreenshotRoot();

	// A name usable as a folder name: anything but letters, digits, '-' and
	// '_' becomes '_'.
	std::wstring SafeName(const std::wstring &text);

	// UTF-8 to UTF-16 and back.
	std::wstring Widen(const std::string &text);
	std::string Narrow(const std::wstring &text);
}
