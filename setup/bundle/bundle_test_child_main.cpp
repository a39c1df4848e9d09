// A stand-in for setup.exe in the bundle tests: it writes what it was
// started with (its folder, its file, its command line and the files below
// its folder) as UTF-8 lines to the file named by BUNDLE_TEST_RECORD, and
// ends with the code given as /exit=<number> (decimal or 0x hex; 0
// without). /load=NAME loads a DLL by its bare name first, as a program
// that trusts the DLL search would.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace
{
	std::string Utf8(const std::wstring &text)
	{
		const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
		std::string bytes(size_t(size > 0 ? size : 0), '\0');
		if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], size, nullptr, nullptr);
		return bytes;
	}

	void ListFiles(const std::wstring &folder, const std::wstring &prefix, std::string *out)
	{
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return;
		do
		{
			const std::wstring name = data.cFileName;
			if (name == L"." || name == L"..") continue;
			if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
				ListFiles(folder + L"\\" + name, prefix + name + L"\\", out);
			else
				*out += "file=" + Utf8(prefix + name) + "|" + std::to_string((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + "\n";
		} while (FindNextFileW(find, &data));
		FindClose(find);
	}

	// The value of option name (with its '='), up to the next blank.
	std::wstring Option(const std::wstring &line, const wchar_t *name)
	{
		const size_t at = line.find(name);
		if (at == std::wstring::npos) return std::wstring();
		const size_t start = at + wcslen(name);
		return line.substr(start, line.find(L' ', start) - start);
	}
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
	const std::wstring line = GetCommandLineW();
	const std::wstring load = Option(line, L"/load=");
	const bool loaded = !load.empty() && LoadLibraryW(load.c_str()) != nullptr;

	wchar_t folder[MAX_PATH * 4] = {0}, self[MAX_PATH * 4] = {0}, record[MAX_PATH * 4] = {0};
	GetCurrentDirectoryW(MAX_PATH * 4, folder);
	GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
	std::string text = "cwd=" + Utf8(folder) + "\nexe=" + Utf8(self) + "\ncmd=" + Utf8(line) + "\nloaded=" + (loaded ? "1" : "0") + "\n";
	ListFiles(folder, L"", &text);

	if (GetEnvironmentVariableW(L"BUNDLE_TEST_RECORD", record, MAX_PATH * 4) > 0)
	{
		HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
		DWORD written = 0;
		if (file != INVALID_HANDLE_VALUE)
		{
			WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
			CloseHandle(file);
		}
	}

	const std::wstring code = Option(line, L"/exit=");
	return code.empty() ? 0 : int(wcstoul(code.c_str(), nullptr, 0));
}
