// The one rule for a name that is to become a path below a folder on
// Windows: archive entries, bundle entries, and the folders a setup script
// names below the installation folder and in the Start menu.
//
// Header only, with nothing of the platform layer or of the C++ library's
// run time, so that the bundle's small stub program follows the same rule.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <type_traits>

namespace ZBK
{
	// Whether name[0, length) may become a path below a folder: components
	// separated by '/' or '\', none of them empty (so no leading or doubled
	// separator, and no trailing one unless folderMark allows one, as an
	// archive's folder entry has), none ending with '.' or ' ' (Windows drops
	// those, so "a." would be "a", and it rules out "." and ".."), none a
	// device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9 and
	// LPT1-LPT9 with the digits 1-9 or the superscripts 1-3, in any case,
	// also with an extension and with blanks before it), and no control
	// character or any of : * ? " < > | anywhere (':' also rules out drive
	// letters and alternate data streams).
	//
	// Char is char for UTF-8 (the caller checks that it is valid) or wchar_t;
	// the rule looks at ASCII and at the superscript digits in either form.
	template <typename Char> bool IsSafePathName(const Char *name, size_t length, bool folderMark);

	namespace SafeNameRule
	{
		template <typename Char> unsigned long Unit(Char c)
		{
			return static_cast<typename std::make_unsigned<Char>::type>(c);
		}

		template <typename Char> bool IsSeparator(Char c)
		{
			return c == '/' || c == '\\';
		}

		inline bool IsRefused(unsigned long c)
		{
			if (c < 0x20 || c == 0x7F) return true;

			for (const char *refused = ":*?\"<>|"; *refused != 0; refused++) if (c == static_cast<unsigned long>(*refused)) return true;

			return false;
		}

		// The first size units of text are word, ASCII letters in any case.
		template <typename Char> bool IsWord(const Char *text, size_t size, const char *word)
		{
			size_t	 i = 0;

			for (; i < size && word[i] != 0; i++)
			{
				unsigned long	 c = Unit(text[i]);

				if (c >= 'a' && c <= 'z') c -= 'a' - 'A';

				if (c != static_cast<unsigned long>(word[i])) return false;
			}

			return i == size && word[i] == 0;
		}

		// One digit to Windows' name parser, which takes the superscripts
		// 1, 2 and 3 (U+00B9, U+00B2, U+00B3) for digits too.
		template <typename Char> bool IsOneDigit(const Char *text, size_t size)
		{
			auto	 superscript = [](unsigned long c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; };

			if (size == 1) return (Unit(text[0]) >= '1' && Unit(text[0]) <= '9') || (sizeof(Char) > 1 && superscript(Unit(text[0])));

			// In UTF-8 a superscript is C2 and its second byte.
			return sizeof(Char) == 1 && size == 2 && Unit(text[0]) == 0xC2 && superscript(Unit(text[1]));
		}

		// Windows opens a device for these base names in any folder: the
		// base is what comes before the first '.', without blanks at its end.
		template <typename Char> bool IsDeviceName(const Char *component, size_t length)
		{
			size_t	 base = 0;

			while (base < length && component[base] != '.') base++;
			while (base > 0 && component[base - 1] == ' ') base--;

			for (const char *device : { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$" }) if (IsWord(component, base, device)) return true;

			if (base < 4 || !(IsWord(component, 3, "COM") || IsWord(component, 3, "LPT"))) return false;

			return IsOneDigit(component + 3, base - 3);
		}
	}

	template <typename Char> bool IsSafePathName(const Char *name, size_t length, bool folderMark)
	{
		using namespace SafeNameRule;

		for (size_t i = 0; i < length; i++) if (IsRefused(Unit(name[i]))) return false;

		if (folderMark && length > 1 && IsSeparator(name[length - 1])) length--;

		for (size_t start = 0; start <= length; )
		{
			size_t	 end = start;

			while (end < length && !IsSeparator(name[end])) end++;

			const Char	*component = name + start;
			size_t		 size	   = end - start;

			if (size == 0 || component[size - 1] == '.' || component[size - 1] == ' ') return false;
			if (IsDeviceName(component, size)) return false;

			start = end + 1;
		}

		return true;
	}
}
