#include "files.h"

#include "driver.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace e2e
{
	TempFolder::TempFolder(const std::wstring &prefix)
	{
		static std::atomic<unsigned> counter{0};
		std::error_code error;
		fs::path base = fs::temp_directory_path(error);
		if (error) return;
		// Process id and tick count keep folders of parallel or earlier runs apart.
		for (int attempt = 0; attempt < 100; attempt++)
		{
			fs::path candidate = base / (prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
			                             std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++));
			if (fs::create_directory(candidate, error) && !error)
			{
				path = candidate.wstring();
				return;
			}
		}
	}

	TempFolder::~TempFolder()
	{
		if (!path.empty()) RemoveTree(path);
	}

	bool WriteFile(const std::wstring &path, const std::string &bytes)
	{
		std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
		if (!out) return false;
		out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
		return static_cast<bool>(out.flush());
	}

	bool ReadFile(const std::wstring &path, std::string *bytes)
	{
		std::ifstream in(fs::path(path), std::ios::binary);
		if (!in) return false;
		bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
		return !in.bad();
	}

	bool FileExists(const std::wstring &path)
	{
		std::error_code error;
		return fs::is_regular_file(fs::path(path), error);
	}

	bool FolderExists(const std::wstring &path)
	{
		std::error_code error;
		return fs::is_directory(fs::path(path), error);
	}

	bool CopyInto(const std::wstring &file, const std::wstring &folder)
	{
		fs::path source(file);
		return CopyFileW(file.c_str(), (fs::path(folder) / source.filename()).wstring().c_str(), FALSE) != 0;
	}

	bool RemoveTree(const std::wstring &path)
	{
		std::error_code error;
		fs::remove_all(fs::path(path), error);
		if (!fs::exists(fs::path(path), error)) return true;
		// A program that has just ended may still hold a file for a moment.
		return WaitUntil(kExitTimeout, [&] {
			fs::remove_all(fs::path(path), error);
			return !fs::exists(fs::path(path), error);
		}, 100);
	}

	std::wstring ScreenshotRoot()
	{
		fs::path bin(ModuleFolder());
		return (bin.parent_path() / L"e2e-screenshots").wstring();
	}

	std::wstring SafeName(const std::wstring &text)
	{
		std::wstring name = text;
		for (wchar_t &c : name)
		{
			bool keep = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
			if (!keep) c = L'_';
		}
		return name;
	}

	std::wstring Widen(const std::string &text)
	{
		if (text.empty()) return std::wstring();
		int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
		std::wstring result(n, L'\0');
		MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n);
		return result;
	}

	std::string Narrow(const std::wstring &text)
	{
		if (text.empty()) return std::string();
		int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
		std::string result(n, '\0');
		WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n, nullptr, nullptr);
		return result;
	}
}
