// Which files running programs hold, and asking those programs to close.
//
// The Restart Manager knows the programs behind a file, but it is missing
// before Vista (our shipping build still starts there) and may answer
// with an empty list although a program holds the file (Wine's answers
// so), so it only names programs: whether a file is in use is tested on
// the file itself. A run moves an existing file aside by renaming it, and
// a running program's own files can be renamed but not written, while a
// file opened without delete sharing cannot even be renamed: opening for
// writing and deleting, sharing everything, fails on both.
#include "files_in_use.h"

#include <windows.h>
#include <restartmanager.h>
#include <tlhelp32.h>

#include <algorithm>
#include <map>

using namespace smooth;

namespace
{
	bool IsInUse(const String &path)
	{
		HANDLE	 file = CreateFileW(path.Wide(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

		if (file != INVALID_HANDLE_VALUE) { CloseHandle(file); return false; }

		DWORD	 error = GetLastError();

		return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
	}

	// The Restart Manager, loaded when the system has one.
	class RestartManager
	{
		public:
			RestartManager() : library(LoadLibraryW(L"rstrtmgr.dll"))
			{
				if (library == nullptr) return;

				start	 = (Start)	(void *) GetProcAddress(library, "RmStartSession");
				end	 = (End)	(void *) GetProcAddress(library, "RmEndSession");
				add	 = (Register)	(void *) GetProcAddress(library, "RmRegisterResources");
				list	 = (List)	(void *) GetProcAddress(library, "RmGetList");
				shutdown = (Shutdown)	(void *) GetProcAddress(library, "RmShutdown");
			}

			~RestartManager() { if (library != nullptr) FreeLibrary(library); }

			// The programs that hold file; empty when the manager cannot tell.
			std::vector<RM_PROCESS_INFO> Programs(const String &file)
			{
				std::vector<RM_PROCESS_INFO>	 programs;
				DWORD				 session = 0;

				if (!Session(session)) return programs;

				LPCWSTR	 files[1] = { file.Wide() };

				if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS)
				{
					for (int attempt = 0; attempt < 3; attempt++)
					{
						UINT	 needed = 0, count = UINT(programs.size());
						DWORD	 reasons = 0;
						DWORD	 result	 = list(session, &needed, &count, programs.empty() ? nullptr : programs.data(), &reasons);

						if (result == ERROR_SUCCESS) { programs.resize(count); break; }
						if (result != ERROR_MORE_DATA) { programs.clear(); break; }

						programs.resize(needed);
					}
				}

				end(session);

				return programs;
			}

			// Asks the programs holding files to close (without forcing them).
			void Close(const std::vector<String> &paths)
			{
				DWORD	 session = 0;

				if (paths.empty() || !Session(session)) return;

				std::vector<LPCWSTR>	 files;

				for (const String &path : paths) files.push_back(path.Wide());

				if (add(session, UINT(files.size()), files.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS) shutdown(session, 0, nullptr);

				end(session);
			}
		private:
			typedef DWORD (WINAPI *Start)(DWORD *, DWORD, WCHAR *);
			typedef DWORD (WINAPI *End)(DWORD);
			typedef DWORD (WINAPI *Register)(DWORD, UINT, LPCWSTR *, UINT, RM_UNIQUE_PROCESS *, UINT, LPCWSTR *);
			typedef DWORD (WINAPI *List)(DWORD, UINT *, UINT *, RM_PROCESS_INFO *, DWORD *);
			typedef DWORD (WINAPI *Shutdown)(DWORD, ULONG, RM_WRITE_STATUS_CALLBACK);

			bool Session(DWORD &session)
			{
				WCHAR	 key[CCH_RM_SESSION_KEY + 1] = { 0 };

				return start != nullptr && end != nullptr && add != nullptr && list != nullptr && shutdown != nullptr && start(&session, 0, key) == ERROR_SUCCESS;
			}

			HMODULE		 library  = nullptr;
			Start		 start	  = nullptr;
			End		 end	  = nullptr;
			Register	 add	  = nullptr;
			List		 list	  = nullptr;
			Shutdown	 shutdown = nullptr;
	};

	std::wstring Folded(const wchar_t *path)
	{
		std::wstring	 text(path);

		for (wchar_t &c : text) c = c == L'/' ? L'\\' : wchar_t(towlower(c));

		return text;
	}

	struct Program
	{
		DWORD		 processId;
		std::wstring	 exeName;
	};

	// The programs whose loaded modules (their program file and libraries)
	// include path: what holds a file when the Restart Manager says
	// nothing.
	std::vector<Program> ProgramsRunning(const String &path)
	{
		std::vector<Program>	 programs;
		std::wstring		 wanted	   = Folded(path.Wide());
		HANDLE			 processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);

		if (processes == INVALID_HANDLE_VALUE) return programs;

		PROCESSENTRY32W	 process = {};

	process.dwSize = sizeof(process);

		for (BOOL more = Process32FirstW(processes, &process); more; more = Process32NextW(processes, &process))
		{
			if (process.th32ProcessID == GetCurrentProcessId() || process.th32ProcessID == 0) continue;

			HANDLE	 modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);

			if (modules == INVALID_HANDLE_VALUE) continue;

			MODULEENTRY32W	 module = {};

			module.dwSize = sizeof(module);

			for (BOOL next = Module32FirstW(modules, &module); next; next = Module32NextW(modules, &module))
			{
				if (Folded(module.szExePath) != wanted) continue;

				programs.push_back({ process.th32ProcessID, process.szExeFile });

				break;
			}

			CloseHandle(modules);
		}

		CloseHandle(processes);

		return programs;
	}

	struct WindowSearch
	{
		DWORD			 processId;
		std::vector<HWND>	 windows;
	};

	BOOL CALLBACK TakeWindow(HWND window, LPARAM data)
	{
		WindowSearch	*search = (WindowSearch *) data;
		DWORD		 owner	= 0;

		GetWindowThreadProcessId(window, &owner);

		if (owner == search->processId && IsWindowVisible(window)) search->windows.push_back(window);

		return TRUE;
	}

	// The visible top-level windows of a process.
	std::vector<HWND> WindowsOf(DWORD processId)
	{
		WindowSearch	 search = { processId, {} };

		EnumWindows(&TakeWindow, (LPARAM) &search);

		return search.windows;
	}

	// A program as the user knows it: the title of its window, else the
	// name of its program file.
	String ProgramName(DWORD processId, const std::wstring &exeName)
	{
		for (HWND window : WindowsOf(processId))
		{
			wchar_t	 title[256] = { 0 };

			if (GetWindowTextW(window, title, 256) > 0) return String(title);
		}

		return String(exeName.c_str());
	}
}

std::vector<Tolvane::FileInUse> Tolvane::FindFilesInUseOnSystem(const std::vector<String> &paths)
{
	std::vector<FileInUse>	 uses;
	RestartManager		 manager;

	for (const String &path : paths)
	{
		if (!IsInUse(path)) continue;

		size_t	 before = uses.size();

		for (const RM_PROCESS_INFO &info : manager.Programs(path))
		{
			String	 name = info.strAppName[0] != 0 ? String(info.strAppName) : ProgramName(info.Process.dwProcessId, L"");

			uses.push_back({ path, name, UnsignedInt(info.Process.dwProcessId) });
		}

		if (uses.size() == before) for (const Program &program : ProgramsRunning(path)) uses.push_back({ path, ProgramName(program.processId, program.exeName), UnsignedInt(program.processId) });

		/* A file held by a handle alone: only the Restart Manager could
		 * name its program.
		 */
		if (uses.size() == before) uses.push_back({ path, String(), 0 });
	}

	return uses;
}

std::vector<Tolvane::FileInUse> Tolvane::CloseProgramsOnSystem(const std::vector<FileInUse> &uses, Int waitMs)
{
	std::vector<String>	 paths;
	std::vector<DWORD>	 asked;

	for (const FileInUse &use : uses) if (std::find(paths.begin(), paths.end(), use.path) == paths.end()) paths.push_back(use.path);

	RestartManager().Close(paths);

	/* Without the manager's help (or when it does not know the program),
	 * the programs' windows are asked to close as their own close box would.
	 */
	for (const FileInUse &use : uses)
	{
		if (use.processId == 0 || std::find(asked.begin(), asked.end(), DWORD(use.processId)) != asked.end()) continue;

		asked.push_back(DWORD(use.processId));

		for (HWND window : WindowsOf(DWORD(use.processId))) PostMessageW(window, WM_CLOSE, 0, 0);
	}

	std::vector<String>	 held = paths;

	for (Int waited = 0; ; waited += 250)
	{
		held.erase(std::remove_if(held.begin(), held.end(), [](const String &path) { return !IsInUse(path); }), held.end());

		if (held.empty() || waited >= waitMs) break;

		Sleep(250);
	}

	std::vector<FileInUse>	 still;

	for (const FileInUse &use : uses) if (std::find(held.begin(), held.end(), use.path) != held.end()) still.push_back(use);

	return still;
}
