// rand_s: random folder names from the system's generator.
#define _CRT_RAND_S

#include "stub.h"

#include "bundle_format.h"
#include "bundle_reader.h"
#include "stub_command_line.h"
#include "stub_resources.h"
#include "stub_ui.h"

#include <cstdlib>

namespace Tolvane
{
	namespace
	{
		constexpr size_t  kPiece	  = 256 * 1024;
		constexpr int	  kRemoveAttempts = 10;
		constexpr DWORD	  kRemovePauseMs  = 300;
		const wchar_t	  kSetup[]	  = L"setup.exe";

		// Wide text on the C heap. The stub stays clear of the C++ library's
		// strings: their exception support alone would double its size. A
		// failed allocation leaves the text marked Failed and empty.
		class Text
		{
		public:
			Text() = default;
			~Text() { free(data); }
			Text(const Text &) = delete;
			Text &operator=(const Text &) = delete;

			Text &Add(const wchar_t *text, size_t size)
			{
				if (length + size + 1 > capacity && !failed)
				{
					const size_t grown   = (length + size + 1) * 2;
					wchar_t	    *larger  = static_cast<wchar_t *>(realloc(data, grown * sizeof(wchar_t)));

					if (larger) { data = larger; capacity = grown; }
					else	    failed = true;
				}

				if (failed) return *this;

				for (size_t i = 0; i < size; i++) data[length++] = text[i];

				data[length] = 0;

				return *this;
			}

			Text &Add(const wchar_t *text) { return Add(text, size_t(lstrlenW(text))); }
			Text &Add(const Text &text) { return Add(text.Get(), text.Size()); }
			Text &Add(wchar_t c) { return Add(&c, 1); }

			void Cut(size_t size)
			{
				if (data && size < length) data[length = size] = 0;
			}

			const wchar_t *Get() const { return data && !failed ? data : L""; }
			wchar_t *Buffer() { return data; }
			size_t Size() const { return failed ? 0 : length; }
			bool Failed() const { return failed; }
			bool EndsWith(wchar_t c) const { return Size() > 0 && data[length - 1] == c; }

		private:
			wchar_t *data	  = nullptr;
			size_t	 length	  = 0;
			size_t	 capacity = 0;
			bool	 failed	  = false;
		};

		// ASCII text (the format's reasons) as wide text.
		void AddAscii(Text &text, const char *ascii)
		{
			for (; *ascii != 0; ascii++) text.Add(wchar_t(uint8_t(*ascii)));
		}

		// "path: the system's text for code".
		void AddSystemError(Text &text, const wchar_t *path, DWORD code)
		{
			if (path) text.Add(path).Add(L": ");

			wchar_t	   *message = nullptr;
			const DWORD length  = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
			                                     nullptr, code, 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
			size_t	    size    = length;

			while (size > 0 && (message[size - 1] == L'\r' || message[size - 1] == L'\n' || message[size - 1] == L' ' || message[size - 1] == L'.')) size--;

			if (size > 0) text.Add(message, size);
			else
			{
				wchar_t number[16];
				int	at = 15;

				number[at] = 0;

				do number[--at] = wchar_t(L'0' + code % 10); while ((code /= 10) != 0);

				text.Add(L"error ").Add(number + at);
			}

			if (message) LocalFree(message);
		}

		// The path Windows takes as it is (\\?\): no MAX_PATH limit and no
		// trimming of names, which the format has checked already.
		void AddLongPath(Text &text, const Text &path)
		{
			const wchar_t *p = path.Get();

			if (p[0] == L'\\' && p[1] == L'\\' && (p[2] == L'?' || p[2] == L'.') && p[3] == L'\\') text.Add(path);
			else if (p[0] == L'\\' && p[1] == L'\\') text.Add(L"\\\\?\\UNC\\").Add(p + 2);
			else text.Add(L"\\\\?\\").Add(path);
		}

		bool OwnPath(Text &path)
		{
			for (DWORD size = MAX_PATH; size <= 32768; size *= 2)
			{
				wchar_t *buffer = static_cast<wchar_t *>(malloc(size * sizeof(wchar_t)));

				if (!buffer) return false;

				const DWORD length = GetModuleFileNameW(nullptr, buffer, size);

				if (length > 0 && length < size) path.Add(buffer, length);

				free(buffer);

				if (length == 0) return false;
				if (length < size) return !path.Failed();
			}

			return false;
		}

		bool FullPath(const wchar_t *path, Text &full)
		{
			const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);

			if (size == 0) return false;

			wchar_t *buffer = static_cast<wchar_t *>(malloc((size + 1) * sizeof(wchar_t)));

			if (!buffer) return false;

			const DWORD length = GetFullPathNameW(path, size + 1, buffer, nullptr);

			if (length > 0 && length <= size) full.Add(buffer, length);

			free(buffer);

			return length > 0 && length <= size && !full.Failed();
		}

		struct FileSource
		{
			HANDLE file;
		};

		bool ReadAt(void *context, uint64_t offset, void *buffer, size_t size)
		{
			const HANDLE  file = static_cast<FileSource *>(context)->file;
			LARGE_INTEGER at;

			at.QuadPart = LONGLONG(offset);

			if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;

			for (uint8_t *p = static_cast<uint8_t *>(buffer); size > 0;)
			{
				const DWORD piece = size > (1u << 30) ? (1u << 30) : DWORD(size);
				DWORD	    got	  = 0;

				if (!ReadFile(file, p, piece, &got, nullptr) || got == 0) return false;

				p += got;
				size -= got;
			}

			return true;
		}

		// Calls visit(path, attributes) for every entry of the folder at path
		// (not "." and ".."), with path naming the entry meanwhile; path is
		// as it was afterwards.
		template <typename Visit> void ForEachEntry(Text &path, Visit visit)
		{
			const size_t	 base = path.Size();
			WIN32_FIND_DATAW data;

			path.Add(L"\\*");

			const HANDLE find = FindFirstFileW(path.Get(), &data);

			if (find != INVALID_HANDLE_VALUE)
			{
				do
				{
					const wchar_t *name = data.cFileName;

					if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;

					path.Cut(base);
					path.Add(L'\\').Add(name);

					visit(path, data.dwFileAttributes);
				} while (FindNextFileW(find, &data));

				FindClose(find);
			}

			path.Cut(base);
		}

		// A folder to walk into: not a link to one, which is removed, never
		// followed.
		bool IsRealFolder(DWORD attributes)
		{
			return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
		}

		// Everything below and including path (a \\?\ path). True when it
		// is gone.
		bool RemoveTree(Text &path)
		{
			ForEachEntry(path, [](Text &entry, DWORD attributes) {
				if (IsRealFolder(attributes))				RemoveTree(entry);
				else if (attributes & FILE_ATTRIBUTE_DIRECTORY)	RemoveDirectoryW(entry.Get());
				else
				{
					if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(entry.Get(), FILE_ATTRIBUTE_NORMAL);

					DeleteFileW(entry.Get());
				}
			});

			return RemoveDirectoryW(path.Get()) || GetFileAttributesW(path.Get()) == INVALID_FILE_ATTRIBUTES;
		}

		// What could not be removed goes at the next start of the system:
		// the files before the folders that hold them.
		void RemoveAtReboot(Text &path)
		{
			ForEachEntry(path, [](Text &entry, DWORD attributes) {
				if (IsRealFolder(attributes)) RemoveAtReboot(entry);
				else			      MoveFileExW(entry.Get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
			});

			MoveFileExW(path.Get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
		}

		// Makes a folder below parent that did not exist before; the name is
		// random, and taken again when CreateDirectory finds it in use. On
		// failure *error is the system's code.
		bool MakeFreshFolder(const Text &parent, Text &folder, DWORD *error)
		{
			for (int attempt = 0; attempt < 100; attempt++)
			{
				unsigned int random = 0;

				if (rand_s(&random) != 0) random = GetTickCount() * 2654435761u + GetCurrentProcessId() + unsigned(attempt);

				wchar_t name[16] = L"tvb-";

				for (int i = 0; i < 8; i++) name[4 + i] = L"0123456789abcdef"[(random >> (28 - 4 * i)) & 15];

				name[12] = 0;

				folder.Cut(0);
				folder.Add(parent);

				if (!folder.EndsWith(L'\\')) folder.Add(L'\\');

				folder.Add(name);

				Text longPath;

				AddLongPath(longPath, folder);

				if (folder.Failed() || longPath.Failed())
				{
					*error = ERROR_NOT_ENOUGH_MEMORY;

					return false;
				}

				if (CreateDirectoryW(longPath.Get(), nullptr)) return true;

				*error = GetLastError();

				if (*error != ERROR_ALREADY_EXISTS) return false;
			}

			return false;
		}

		// One entry's bytes on their way to disk.
		struct Sink
		{
			HANDLE	 file;
			DWORD	 error;		// of the first failed write
			uint64_t done, total;
			StubUi	*ui;		// null when silent
		};

		bool WriteOut(void *context, const uint8_t *data, size_t size)
		{
			Sink *sink = static_cast<Sink *>(context);
			DWORD written;

			if (!WriteFile(sink->file, data, DWORD(size), &written, nullptr) || written != size)
			{
				sink->error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;

				return false;
			}

			sink->done += size;

			if (sink->ui) sink->ui->Progress(sink->done, sink->total);

			return true;
		}

		// The state of one run and the way out of it: every failure leaves
		// through Fail, which shows the message (unless silent) and removes
		// what was unpacked.
		class Run
		{
		public:
			explicit Run(HINSTANCE instance) : ui(instance) {}

			~Run()
			{
				if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
			}

			DWORD Main();

		private:
			DWORD Fail(DWORD code, UINT textId, const Text &detail)
			{
				ui.CloseProgress();
				RemoveFolder();

				if (!options.silent) ui.ShowError(textId, detail.Get());

				return code;
			}

			DWORD Unpack();
			DWORD Start(DWORD *exitCode);
			void  RemoveFolder();

			StubUi	    ui;
			StubOptions options;
			HANDLE	    file = INVALID_HANDLE_VALUE;
			BundleTable table;
			Text	    passOn, folder, longFolder;
			bool	    made = false;
		};

		void Run::RemoveFolder()
		{
			if (!made) return;

			made = false;

			// setup.exe may have left a process behind that still holds a
			// file for a moment (or a scanner looks at the new files).
			for (int attempt = 0; attempt < kRemoveAttempts; attempt++)
			{
				if (RemoveTree(longFolder)) return;

				Sleep(kRemovePauseMs);
			}

			RemoveAtReboot(longFolder);
		}

		DWORD Run::Unpack()
		{
			FileSource	 context = {file};
			const ByteSource own	 = {ReadAt, &context};
			Sink		 sink	 = {INVALID_HANDLE_VALUE, 0, 0, 0, options.silent ? nullptr : &ui};
			uint8_t		*buffer	 = static_cast<uint8_t *>(malloc(kPiece));
			Text		 detail;

			if (!buffer)
			{
				AddSystemError(detail, nullptr, ERROR_NOT_ENOUGH_MEMORY);

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			for (uint32_t i = 0; i < table.Count(); i++) sink.total += table.Entry(i).size;

			DWORD result = 0;

			for (uint32_t i = 0; i < table.Count() && result == 0; i++)
			{
				const BundleEntryInfo entry = table.Entry(i);
				const int	      wide  = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, entry.name, int(entry.nameSize), nullptr, 0);
				Text		      path;

				path.Add(longFolder).Add(L'\\');

				const size_t start = path.Size();

				for (int k = 0; k < wide; k++) path.Add(L'_');

				if (wide <= 0 || path.Failed() ||
				    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, entry.name, int(entry.nameSize), path.Buffer() + start, wide) != wide)
				{
					AddSystemError(detail, nullptr, GetLastError());
					result = Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);

					break;
				}

				// The folders on the way; all of them lie inside the fresh
				// folder, so one that exists is one made here.
				wchar_t *p = path.Buffer();

				for (size_t k = start; k < path.Size(); k++)
				{
					if (p[k] != L'/' && p[k] != L'\\') continue;

					p[k] = 0;

					const bool  present = CreateDirectoryW(p, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
					const DWORD error   = GetLastError();

					p[k] = L'\\';

					if (!present)
					{
						AddSystemError(detail, p + start, error);
						result = Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);

						break;
					}
				}

				if (result) break;

				sink.file = CreateFileW(p, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);

				if (sink.file == INVALID_HANDLE_VALUE)
				{
					AddSystemError(detail, p + start, GetLastError());
					result = Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);

					break;
				}

				sink.error		  = 0;
				const BundleStatus status = VerifyBundleEntry(own, entry, buffer, kPiece, WriteOut, &sink);
				const bool	   closed = CloseHandle(sink.file);

				if (sink.error == 0 && !closed) sink.error = GetLastError();

				if (sink.error != 0)
				{
					AddSystemError(detail, p + start, sink.error);
					result = Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
				}
				else if (status == BundleStatus::ReadError)
				{
					AddSystemError(detail, nullptr, GetLastError());
					result = Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
				}
				else if (status != BundleStatus::Ok)
				{
					AddAscii(detail, BundleStatusText(status));
					detail.Add(L": ").Add(p + start);
					result = Fail(STUB_EXIT_DAMAGED, IDS_DAMAGED, detail);
				}
			}

			free(buffer);
			ui.CloseProgress();

			return result;
		}

		DWORD Run::Start(DWORD *exitCode)
		{
			Text program, commandLine, detail;

			program.Add(folder).Add(L'\\').Add(kSetup);
			commandLine.Add(L'"').Add(program).Add(L'"');

			if (passOn.Size() > 0) commandLine.Add(L' ').Add(passOn);

			// The child shows its window as the stub was asked to show its own.
			STARTUPINFOW own = {}, startup = {};

			own.cb = startup.cb = sizeof(startup);
			GetStartupInfoW(&own);

			if (own.dwFlags & STARTF_USESHOWWINDOW)
			{
				startup.dwFlags	    = STARTF_USESHOWWINDOW;
				startup.wShowWindow = own.wShowWindow;
			}

			PROCESS_INFORMATION child = {};

			if (program.Failed() || commandLine.Failed() ||
			    !CreateProcessW(program.Get(), commandLine.Buffer(), nullptr, nullptr, FALSE, 0, nullptr, folder.Get(), &startup, &child))
			{
				AddSystemError(detail, program.Get(), program.Failed() || commandLine.Failed() ? ERROR_NOT_ENOUGH_MEMORY : GetLastError());

				return Fail(STUB_EXIT_START_FAILED, IDS_START_FAILED, detail);
			}

			CloseHandle(child.hThread);

			const bool ended = WaitForSingleObject(child.hProcess, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(child.hProcess, exitCode);
			const DWORD error = GetLastError();

			CloseHandle(child.hProcess);

			if (!ended)
			{
				AddSystemError(detail, program.Get(), error);

				return Fail(STUB_EXIT_START_FAILED, IDS_START_FAILED, detail);
			}

			return 0;
		}

		DWORD Run::Main()
		{
			// The command line first: it says whether anything may be shown.
			const wchar_t *tail	  = CommandLineTail(GetCommandLineW());
			const size_t   tailSize	  = size_t(lstrlenW(tail));
			wchar_t	      *extractDir = static_cast<wchar_t *>(malloc((tailSize + 1) * sizeof(wchar_t)));
			wchar_t	      *rest	  = static_cast<wchar_t *>(malloc((tailSize + 1) * sizeof(wchar_t)));
			Text	       detail, self, parent;

			if (!extractDir || !rest) return STUB_EXIT_UNPACK_FAILED;

			options = ParseStubTail(tail, rest, extractDir);
			passOn.Add(rest);
			free(rest);

			if (options.emptyExtractDir)
			{
				free(extractDir);
				detail.Add(L"/extractdir=");

				return Fail(STUB_EXIT_BAD_OPTION, IDS_BAD_OPTION, detail);
			}

			if (!OwnPath(self))
			{
				AddSystemError(detail, nullptr, GetLastError());
				free(extractDir);

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			/* Windows ignores a .local redirection for a program with a
			 * manifest, as this one has; refusing it all the same keeps a
			 * download folder that holds one from mattering at all.
			 */
			Text local;

			local.Add(self).Add(L".local");

			if (GetFileAttributesW(local.Get()) != INVALID_FILE_ATTRIBUTES)
			{
				free(extractDir);

				return Fail(STUB_EXIT_REFUSED, IDS_REFUSED, local);
			}

			// The parent of the fresh folder: the option's, or %TEMP%.
			bool parentGood;

			if (options.hasExtractDir)
			{
				parentGood = FullPath(extractDir, parent);

				const DWORD attributes = parentGood ? GetFileAttributesW(parent.Get()) : INVALID_FILE_ATTRIBUTES;

				if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
				{
					detail.Add(extractDir);
					free(extractDir);

					return Fail(STUB_EXIT_BAD_OPTION, IDS_BAD_OPTION, detail);
				}
			}
			else
			{
				wchar_t temporary[MAX_PATH + 1];

				const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);

				parentGood = length > 0 && length <= MAX_PATH && FullPath(temporary, parent);
			}

			free(extractDir);

			if (!parentGood)
			{
				AddSystemError(detail, nullptr, GetLastError());

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			// The payload: the stub's own file, read while nobody may write it.
			file = CreateFileW(self.Get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);

			LARGE_INTEGER size = {};

			if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size))
			{
				AddSystemError(detail, self.Get(), GetLastError());

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			FileSource	   context = {file};
			const ByteSource   own	   = {ReadAt, &context};
			const BundleStatus status  = ReadBundle(own, uint64_t(size.QuadPart), table);

			if (status == BundleStatus::ReadError)
			{
				AddSystemError(detail, self.Get(), GetLastError());

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			if (status == BundleStatus::Ok && table.Find("setup.exe") < 0)
			{
				AddAscii(detail, "no setup.exe in it");

				return Fail(STUB_EXIT_DAMAGED, IDS_DAMAGED, detail);
			}

			if (status != BundleStatus::Ok)
			{
				AddAscii(detail, BundleStatusText(status));

				if (*table.Detail())
				{
					detail.Add(L": ");
					AddAscii(detail, table.Detail());
				}

				return Fail(STUB_EXIT_DAMAGED, IDS_DAMAGED, detail);
			}

			DWORD error = 0;

			if (!MakeFreshFolder(parent, folder, &error))
			{
				AddSystemError(detail, parent.Get(), error);

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			made = true;
			AddLongPath(longFolder, folder);

			if (longFolder.Failed())
			{
				AddSystemError(detail, nullptr, ERROR_NOT_ENOUGH_MEMORY);

				return Fail(STUB_EXIT_UNPACK_FAILED, IDS_UNPACK_FAILED, detail);
			}

			if (DWORD failed = Unpack()) return failed;

			CloseHandle(file);
			file = INVALID_HANDLE_VALUE;

			DWORD exitCode = 0;

			if (DWORD failed = Start(&exitCode)) return failed;

			RemoveFolder();

			return exitCode;
		}
	}

	DWORD RunStub(HINSTANCE instance)
	{
		/* Before anything can load a DLL: only the system folder, never the
		 * folder the download landed in (where anyone may have put a
		 * version.dll) nor the current one. SetDefaultDllDirectories came
		 * with an update to Windows 7; without it, at least the current
		 * folder leaves the search.
		 */
		typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);

		const SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
			reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));

		if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");

		Run run(instance);

		return run.Main();
	}
}
