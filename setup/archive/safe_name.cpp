#include "archive.h"
#include "archive_internal.h"

#include <atomic>

namespace ZBK
{
	using namespace smooth;

	using smooth::Path::IsSeparator;

	static wchar_t Upper(wchar_t c)
	{
		return c >= 'a' && c <= 'z' ? wchar_t(c - 'a' + 'A') : c;
	}

	// Windows opens a device, whatever the folder, for these base names, also
	// with an extension ("nul.txt") and with trailing dots or spaces ("CON .").
	static bool IsDeviceName(const std::wstring &component)
	{
		std::wstring base = component.substr(0, component.find(L'.'));

		while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();

		for (auto &c : base) c = Upper(c);

		static const wchar_t *fixed[] = { L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$" };

		for (auto name : fixed) if (base == name) return true;

		if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
		{
			wchar_t digit = base[3];

			// Superscript digits count as digits to the Windows name parser.
			return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
		}

		return false;
	}

	bool IsSafeName(const String &name)
	{
		std::wstring text = name.WideString();

		if (text.empty() || IsSeparator(text[0])) return false;

		for (wchar_t c : text)
		{
			// ':' covers drive letters and alternate data streams alike.
			if (c < 0x20 || c == 0x7F || c == ':') return false;
		}

		if (IsSeparator(text.back())) text.pop_back();
		if (text.empty()) return false;

		size_t start = 0;

		for (;;)
		{
			size_t end = start;

			while (end < text.size() && !IsSeparator(text[end])) end++;

			std::wstring component = text.substr(start, end - start);

			if (component.empty()) return false;

			// ".", ".." and anything Windows trims down to them ("..", ". .", "...").
			if (component.find_first_not_of(L". ") == std::wstring::npos) return false;
			if (IsDeviceName(component)) return false;

			if (end == text.size()) return true;

			start = end + 1;
		}
	}

	String NormaliseName(const String &name)
	{
		std::wstring text = name.WideString();

		for (auto &c : text) if (c == '\\') c = '/';

		return String(text);
	}

	namespace Internal
	{
		static std::atomic<Int> suffixCounter(0);

		String UniqueSuffix()
		{
			return String::FromInt(System::System::GetProcessID()).Append("_").Append(String::FromInt(suffixCounter++));
		}

		bool TruncateFile(const String &path, Int64 size)
		{
			return File(path).Truncate(size) == Success();
		}

		void Discard(const String &path)
		{
			File file(path);

			if (file.Exists()) file.Delete();
		}
	}
}
