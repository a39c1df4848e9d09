#include "smooth/file.h"
#include "native.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace smooth
{
	namespace System
	{
		const wchar_t System::PathSeparator = L'\\';
	}
}

namespace
{
	thread_local smooth::Int lastErrorCode = 0;

	// Wide path with forward slashes turned round, so that the wide calls see
	// one kind of separator.
	std::wstring NativePath(const smooth::String &path)
	{
		std::wstring p = path.WideString();

		std::replace(p.begin(), p.end(), L'/', L'\\');

		return p;
	}

	// The path without trailing separators, except a root such as "C:\".
	std::wstring Trimmed(const smooth::String &path)
	{
		std::wstring p = NativePath(path);

		while (p.size() > 1 && p.back() == L'\\' && !(p.size() == 3 && p[1] == L':')) p.pop_back();

		return p;
	}

	smooth::Int Fail()
	{
		lastErrorCode = smooth::Int(GetLastError());

		return smooth::Error();
	}

	DWORD Attributes(const std::wstring &path)
	{
		return GetFileAttributesW(path.c_str());
	}

	bool IsDirectory(const std::wstring &path)
	{
		DWORD attributes = Attributes(path);

		return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
	}

	// Removes everything below path. Junctions and symbolic links (reparse
	// points) are removed as entries, never entered. Keeps going past
	// failures so that as much as possible goes.
	bool EmptyFolder(const std::wstring &path)
	{
		WIN32_FIND_DATAW data;
		HANDLE		 find = FindFirstFileW((path + L"\\*").c_str(), &data);

		if (find == INVALID_HANDLE_VALUE) { Fail(); return false; }

		std::vector<WIN32_FIND_DATAW> entries;

		do
		{
			if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) entries.push_back(data);
		}
		while (FindNextFileW(find, &data));

		FindClose(find);

		bool ok = true;

		for (const WIN32_FIND_DATAW &entry : entries)
		{
			std::wstring child = path + L"\\" + entry.cFileName;

			// Read-only entries would refuse to go.
			if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(child.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);

			if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
			{
				if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !EmptyFolder(child)) ok = false;
				if (!RemoveDirectoryW(child.c_str())) { Fail(); ok = false; }
			}
			else if (!DeleteFileW(child.c_str()))
			{
				Fail();
				ok = false;
			}
		}

		return ok;
	}

	// UTF-8 byte order, the order the header promises on every system.
	bool ByUTF8(const smooth::String &a, const smooth::String &b)
	{
		return a.ToUTF8() < b.ToUTF8();
	}

	std::vector<smooth::String> ListFolder(const smooth::String &folder, bool wantFolders)
	{
		std::vector<smooth::String> names;
		WIN32_FIND_DATAW	    data;
		HANDLE			    find = FindFirstFileW((Trimmed(folder) + L"\\*").c_str(), &data);

		if (find == INVALID_HANDLE_VALUE) { Fail(); return names; }

		do
		{
			if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;

			bool folderEntry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;

			// Linked folders are left out of both lists, so a walk cannot loop.
			if (folderEntry && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;

			if (folderEntry == wantFolders) names.push_back(smooth::String(data.cFileName));
		}
		while (FindNextFileW(find, &data));

		FindClose(find);

		std::sort(names.begin(), names.end(), ByUTF8);

		return names;
	}
}

FILE *smooth::Native::OpenFile(const String &path, const char *mode)
{
	std::wstring wideMode(mode, mode + strlen(mode));
	FILE	    *file = _wfopen(NativePath(path).c_str(), wideMode.c_str());

	if (file == nullptr) { RecordRuntimeError(); return nullptr; }

	return file;
}

smooth::Int smooth::Native::SeekFile(FILE *file, Int64 position)
{
	if (_fseeki64(file, position, SEEK_SET) != 0) { RecordRuntimeError(); return Error(); }

	return Success();
}

smooth::Int64 smooth::Native::GetOpenFileSize(FILE *file)
{
	Int64 size = _filelengthi64(_fileno(file));

	if (size < 0) RecordRuntimeError();

	return size;
}

smooth::Int smooth::Native::SyncFile(FILE *file)
{
	HANDLE	 handle = (HANDLE) _get_osfhandle(_fileno(file));

	if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) { RecordError(Int(GetLastError())); return Error(); }

	return Success();
}

void smooth::Native::RecordRuntimeError()
{
	// The C runtime keeps the system's code of the last failed call too.
	unsigned long code = _doserrno;

	lastErrorCode = code != 0 ? Int(code) : Int(errno);
}

void smooth::Native::RecordError(Int code)
{
	lastErrorCode = code;
}

smooth::Bool smooth::File::Exists() const
{
	DWORD attributes = Attributes(NativePath(full));

	return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

smooth::Int64 smooth::File::GetFileSize() const
{
	WIN32_FILE_ATTRIBUTE_DATA data;

	if (!GetFileAttributesExW(NativePath(full).c_str(), GetFileExInfoStandard, &data)) return -1;
	if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;

	return (Int64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

smooth::Int smooth::File::Move(const File &destination) const
{
	if (!MoveFileExW(NativePath(full).c_str(), NativePath(destination.full).c_str(), MOVEFILE_COPY_ALLOWED)) return Fail();

	return Success();
}

smooth::Int smooth::File::Replace(const File &destination) const
{
	if (!MoveFileExW(NativePath(full).c_str(), NativePath(destination.full).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return Fail();

	return Success();
}

smooth::Int smooth::File::Copy(const File &destination) const
{
	// Copy into a fresh file beside the destination and move it into place,
	// so that a failed copy never leaves a half-written destination.
	static std::atomic<int> counter{0};

	// FromInt rather than std::to_wstring, which goes through the C
	// runtime's wide printf: some 12 KB in the library for this line alone.
	std::wstring to	       = NativePath(destination.full);
	std::wstring temporary = to + L".copy-" + String::FromInt(GetCurrentProcessId()).WideString() + L"-" + String::FromInt(++counter).WideString();

	if (IsDirectory(NativePath(full))) { lastErrorCode = ERROR_ACCESS_DENIED; return Error(); }

	if (!CopyFileW(NativePath(full).c_str(), temporary.c_str(), TRUE)) return Fail();

	if (!MoveFileExW(temporary.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
	{
		Fail();
		DeleteFileW(temporary.c_str());

		return Error();
	}

	return Success();
}

smooth::Int smooth::File::Delete() const
{
	if (!DeleteFileW(NativePath(full).c_str())) return Fail();

	return Success();
}

smooth::Int smooth::File::DeleteAtRestart() const
{
	if (!MoveFileExW(NativePath(full).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return Fail();

	return Success();
}

smooth::Int smooth::File::Truncate(Int64 size) const
{
	if (size < 0) { lastErrorCode = ERROR_INVALID_PARAMETER; return Error(); }

	HANDLE file = CreateFileW(NativePath(full).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

	if (file == INVALID_HANDLE_VALUE) return Fail();

	LARGE_INTEGER position;

	position.QuadPart = size;

	bool done = SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);

	if (!done) Fail();

	CloseHandle(file);

	return done ? Success() : Error();
}

smooth::Bool smooth::Directory::Exists() const
{
	return IsDirectory(Trimmed(full));
}

smooth::Int smooth::Directory::Create() const
{
	std::wstring		  path = Trimmed(full);
	std::vector<std::wstring> missing;

	if (path.empty()) { lastErrorCode = ERROR_PATH_NOT_FOUND; return Error(); }

	// Walk up to the first level that exists, then create downwards.
	for (std::wstring level = path; !level.empty(); )
	{
		DWORD attributes = Attributes(level);

		if (attributes != INVALID_FILE_ATTRIBUTES)
		{
			if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) { lastErrorCode = ERROR_DIRECTORY; return Error(); }

			break;
		}

		missing.push_back(level);

		size_t slash = level.find_last_of(L'\\');

		if (slash == std::wstring::npos) break;

		level.resize(slash);

		// "C:" names the current folder of the drive; its root is what exists.
		if (level.size() == 2 && level[1] == L':') level.push_back(L'\\');
		while (level.size() > 3 && level.back() == L'\\') level.pop_back();
	}

	for (size_t i = missing.size(); i > 0; i--)
	{
		// Someone else may create the same level at the same moment.
		if (!CreateDirectoryW(missing[i - 1].c_str(), nullptr) && !(GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(missing[i - 1]))) return Fail();
	}

	return Success();
}

smooth::Int smooth::Directory::CreateNew() const
{
	if (!CreateDirectoryW(Trimmed(full).c_str(), nullptr)) return Fail();

	return Success();
}

smooth::Int smooth::Directory::Delete() const
{
	if (!RemoveDirectoryW(Trimmed(full).c_str())) return Fail();

	return Success();
}

smooth::Int smooth::Directory::Empty() const
{
	std::wstring path	= Trimmed(full);
	DWORD	     attributes = Attributes(path);

	if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();

	// A linked folder is not a folder to empty.
	if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) { lastErrorCode = ERROR_DIRECTORY; return Error(); }

	return EmptyFolder(path) ? Success() : Error();
}

smooth::String smooth::System::System::GetTempDirectory()
{
	wchar_t buffer[MAX_PATH + 2] = { 0 };
	DWORD	length		     = GetTempPathW(MAX_PATH + 1, buffer);

	std::wstring folder = length > 0 && length <= MAX_PATH + 1 ? std::wstring(buffer, length) : std::wstring(L"C:\\Windows\\Temp\\");

	if (folder.back() != L'\\') folder.push_back(L'\\');

	return String(folder);
}

smooth::UnsignedInt smooth::System::System::GetTickCount()
{
	return UnsignedInt(::GetTickCount());
}

smooth::Int smooth::System::System::GetProcessID()
{
	return Int(GetCurrentProcessId());
}

void smooth::System::System::Sleep(Int milliseconds)
{
	if (milliseconds > 0) ::Sleep(DWORD(milliseconds));
}

smooth::Int smooth::System::System::GetLastErrorCode()
{
	return lastErrorCode;
}

smooth::Bool smooth::System::System::IsDiskFullError(Int code)
{
	// When a write stops short without a system error, the C runtime sets
	// only errno (ENOSPC) and RecordRuntimeError keeps that instead.
	return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || code == ENOSPC;
}

smooth::String smooth::System::System::GetErrorText(Int code)
{
	wchar_t *text	= nullptr;
	DWORD	 length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
					 nullptr, DWORD(code), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);

	if (length == 0 || text == nullptr) return String("error ") + String::FromInt(code);

	std::wstring message(text, length);

	LocalFree(text);

	// The system's texts end with a line break.
	while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) message.pop_back();

	return String(message);
}

std::vector<smooth::String> smooth::Native::List(const String &folder, bool wantFolders)
{
	return ListFolder(folder, wantFolders);
}
