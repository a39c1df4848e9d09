#include "smooth/file.h"
#include "native.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace smooth
{
	namespace System
	{
		const wchar_t System::PathSeparator = L'/';
	}
}

namespace
{
	thread_local smooth::Int lastErrorCode = 0;

	// File names here are UTF-8 bytes, whatever the text formats are set to.
	std::string NativePath(const smooth::String &path)
	{
		return path.ToUTF8();
	}

	// The path without trailing separators (but "/" stays "/").
	std::string Trimmed(const smooth::String &path)
	{
		std::string p = NativePath(path);

		while (p.size() > 1 && p.back() == '/') p.pop_back();

		return p;
	}

	smooth::Int Fail()
	{
		smooth::Native::RecordRuntimeError();

		return smooth::Error();
	}

	bool IsDirectory(const std::string &path)
	{
		struct stat st;

		return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
	}

	// Removes everything below path, never following a symbolic link; keeps
	// going past failures so that as much as possible goes.
	bool EmptyFolder(const std::string &path)
	{
		DIR *dir = opendir(path.c_str());

		if (dir == nullptr) { smooth::Native::RecordRuntimeError(); return false; }

		std::vector<std::string> names;

		while (dirent *entry = readdir(dir))
		{
			if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
		}

		closedir(dir);

		bool ok = true;

		for (const std::string &name : names)
		{
			std::string child = path + "/" + name;
			struct stat st;

			if (lstat(child.c_str(), &st) != 0) continue;

			if (S_ISDIR(st.st_mode))
			{
				if (!EmptyFolder(child)) ok = false;
				if (rmdir(child.c_str()) != 0) { smooth::Native::RecordRuntimeError(); ok = false; }
			}
			else if (unlink(child.c_str()) != 0)
			{
				smooth::Native::RecordRuntimeError();
				ok = false;
			}
		}

		return ok;
	}

	// Entries of a folder: wantFolders selects real folders, otherwise
	// regular files and links to regular files. Links to folders are left
	// out of both, so a walk over the tree cannot loop.
	std::vector<smooth::String> ListFolder(const smooth::String &folder, bool wantFolders)
	{
		std::vector<std::string> names;
		std::string		 path = Trimmed(folder);
		DIR			*dir  = opendir(path.c_str());

		if (dir == nullptr) { smooth::Native::RecordRuntimeError(); return {}; }

		while (dirent *entry = readdir(dir))
		{
			if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;

			std::string child = path + "/" + entry->d_name;
			struct stat st;

			if (lstat(child.c_str(), &st) != 0) continue;

			bool folderEntry = S_ISDIR(st.st_mode);
			bool fileEntry	 = S_ISREG(st.st_mode);

			if (S_ISLNK(st.st_mode)) fileEntry = stat(child.c_str(), &st) == 0 && S_ISREG(st.st_mode);

			if (wantFolders ? folderEntry : fileEntry) names.push_back(entry->d_name);
		}

		closedir(dir);

		std::sort(names.begin(), names.end());

		std::vector<smooth::String> result;

		for (const std::string &name : names) result.push_back(smooth::String::FromUTF8(name));

		return result;
	}
}

FILE *smooth::Native::OpenFile(const String &path, const char *mode)
{
	FILE *file = fopen(NativePath(path).c_str(), mode);

	if (file == nullptr) { RecordRuntimeError(); return nullptr; }

	// fopen opens folders for reading here; no stream should read a folder.
	struct stat st;

	if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode))
	{
		fclose(file);
		RecordError(EISDIR);

		return nullptr;
	}

	return file;
}

smooth::Int smooth::Native::SeekFile(FILE *file, Int64 position)
{
	if (fseeko(file, off_t(position), SEEK_SET) != 0) return Fail();

	return Success();
}

smooth::Int64 smooth::Native::GetOpenFileSize(FILE *file)
{
	struct stat st;

	if (fstat(fileno(file), &st) != 0) { RecordRuntimeError(); return -1; }

	return Int64(st.st_size);
}

smooth::Int smooth::Native::SyncFile(FILE *file)
{
	if (fsync(fileno(file)) != 0) return Fail();

	return Success();
}

void smooth::Native::RecordRuntimeError()
{
	lastErrorCode = errno;
}

void smooth::Native::RecordError(Int code)
{
	lastErrorCode = code;
}

smooth::Bool smooth::File::Exists() const
{
	struct stat st;

	return stat(NativePath(full).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

smooth::Int64 smooth::File::GetFileSize() const
{
	struct stat st;

	if (stat(NativePath(full).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;

	return Int64(st.st_size);
}

smooth::Int smooth::File::Move(const File &destination) const
{
	std::string from = NativePath(full);
	std::string to	 = NativePath(destination.full);

	if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Success();

	// Filesystems without the no-replace rename: check, then rename. The
	// window between the two is as small as we can make it here.
	if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return Fail();

	struct stat st;

	if (lstat(to.c_str(), &st) == 0) { errno = EEXIST; return Fail(); }
	if (rename(from.c_str(), to.c_str()) != 0) return Fail();

	return Success();
}

smooth::Int smooth::File::Replace(const File &destination) const
{
	if (rename(NativePath(full).c_str(), NativePath(destination.full).c_str()) != 0) return Fail();

	return Success();
}

smooth::Int smooth::File::Copy(const File &destination) const
{
	// Copy into a fresh file beside the destination and rename it into
	// place, so that a failed copy never leaves a half-written destination.
	std::string from = NativePath(full);
	std::string to	 = NativePath(destination.full);
	int	    in	 = open(from.c_str(), O_RDONLY | O_CLOEXEC);
	struct stat st;

	if (in < 0) return Fail();
	if (fstat(in, &st) != 0)  { Fail(); close(in); return Error(); }
	if (S_ISDIR(st.st_mode)) { errno = EISDIR; Fail(); close(in); return Error(); }

	static std::atomic<int> counter{0};
	std::string temporary;
	int	    out = -1;

	for (int attempt = 0; attempt < 100 && out < 0; attempt++)
	{
		temporary = to + ".copy-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
		out	  = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);

		if (out < 0 && errno != EEXIST) break;
	}

	if (out < 0) { Fail(); close(in); return Error(); }

	std::vector<char> buffer(1 << 17);
	bool		  ok = true;

	while (ok)
	{
		ssize_t got = read(in, buffer.data(), buffer.size());

		if (got == 0) break;
		if (got < 0) { if (errno == EINTR) continue; ok = false; break; }

		for (ssize_t done = 0; done < got; )
		{
			ssize_t put = write(out, buffer.data() + done, size_t(got - done));

			if (put < 0) { if (errno == EINTR) continue; ok = false; break; }

			done += put;
		}
	}

	if (!ok) Native::RecordRuntimeError();

	close(in);

	// The copy keeps the file's times, as the Windows copy does: a file
	// kept aside and put back must be the file that was there.
	struct timespec times[2] = { st.st_atim, st.st_mtim };

	if (ok && futimens(out, times) != 0) { Native::RecordRuntimeError(); ok = false; }
	if (close(out) != 0 && ok) { Native::RecordRuntimeError(); ok = false; }
	if (ok && rename(temporary.c_str(), to.c_str()) != 0) { Native::RecordRuntimeError(); ok = false; }

	if (!ok) { unlink(temporary.c_str()); return Error(); }

	return Success();
}

smooth::Int smooth::File::Delete() const
{
	if (unlink(NativePath(full).c_str()) != 0) return Fail();

	return Success();
}

smooth::Int smooth::File::DeleteAtRestart() const
{
	// Nothing here deletes files at start-up for us.
	errno = ENOTSUP;

	return Fail();
}

smooth::Int smooth::File::Truncate(Int64 size) const
{
	if (size < 0) { errno = EINVAL; return Fail(); }

	if (truncate(NativePath(full).c_str(), off_t(size)) != 0) return Fail();

	return Success();
}

smooth::Bool smooth::Directory::Exists() const
{
	return IsDirectory(Trimmed(full));
}

smooth::Int smooth::Directory::Create() const
{
	std::string		 path = Trimmed(full);
	std::vector<std::string> missing;

	if (path.empty()) { errno = ENOENT; return Fail(); }

	// Walk up to the first level that exists, then create downwards.
	for (std::string level = path; !level.empty(); )
	{
		struct stat st;

		if (stat(level.c_str(), &st) == 0)
		{
			if (!S_ISDIR(st.st_mode)) { errno = ENOTDIR; return Fail(); }

			break;
		}

		missing.push_back(level);

		size_t slash = level.find_last_of('/');

		if (slash == std::string::npos) break;

		level.resize(slash);

		while (level.size() > 1 && level.back() == '/') level.pop_back();
	}

	for (size_t i = missing.size(); i > 0; i--)
	{
		// Someone else may create the same level at the same moment.
		if (mkdir(missing[i - 1].c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(missing[i - 1]))) return Fail();
	}

	return Success();
}

smooth::Int smooth::Directory::CreateNew() const
{
	if (mkdir(Trimmed(full).c_str(), 0777) != 0) return Fail();

	return Success();
}

smooth::Int smooth::Directory::Delete() const
{
	if (rmdir(Trimmed(full).c_str()) != 0) return Fail();

	return Success();
}

smooth::Int smooth::Directory::Empty() const
{
	std::string path = Trimmed(full);
	struct stat st;

	// A link to a folder is not a folder to empty.
	if (lstat(path.c_str(), &st) != 0) return Fail();
	if (!S_ISDIR(st.st_mode)) { errno = ENOTDIR; return Fail(); }

	return EmptyFolder(path) ? Success() : Error();
}

smooth::String smooth::System::System::GetTempDirectory()
{
	const char *variable = getenv("TMPDIR");
	std::string folder   = variable != nullptr && variable[0] != 0 ? variable : "/tmp";

	if (folder.back() != '/') folder.push_back('/');

	return String::FromUTF8(folder);
}

smooth::UnsignedInt smooth::System::System::GetTickCount()
{
	timespec now;

	clock_gettime(CLOCK_MONOTONIC, &now);

	// Wraps like the Windows counter it stands in for.
	return UnsignedInt(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
}

smooth::Int smooth::System::System::GetProcessID()
{
	return Int(getpid());
}

void smooth::System::System::Sleep(Int milliseconds)
{
	if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

smooth::Int smooth::System::System::GetLastErrorCode()
{
	return lastErrorCode;
}

smooth::Bool smooth::System::System::IsDiskFullError(Int code)
{
	// EFBIG is what a process's file-size limit gives and EDQUOT a user's
	// quota; to the writer both are a full disk: no more room for the file.
	return code == ENOSPC || code == EFBIG || code == EDQUOT;
}

namespace
{
	// strerror_r comes in two shapes; take whichever the C library has.
	[[maybe_unused]] const char *ErrorText(int result, const char *buffer)	 { return result == 0 ? buffer : nullptr; }
	[[maybe_unused]] const char *ErrorText(const char *result, const char *) { return result; }
}

smooth::String smooth::System::System::GetErrorText(Int code)
{
	char	    buffer[256] = { 0 };
	const char *text	= ErrorText(strerror_r(code, buffer, sizeof(buffer)), buffer);

	if (text == nullptr || text[0] == 0) return String("error ") + String::FromInt(code);

	return String::FromUTF8(text);
}

std::vector<smooth::String> smooth::Native::List(const String &folder, bool wantFolders)
{
	return ListFolder(folder, wantFolders);
}
