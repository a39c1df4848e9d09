#include "license_encoding.h"

using namespace smooth;

namespace
{
	void AppendCodePoint(std::wstring &text, char32_t c)
	{
		if (c > 0xFFFF && sizeof(wchar_t) == 2)
		{
			c -= 0x10000;
			text.push_back(wchar_t(0xD800 + (c >> 10)));
			text.push_back(wchar_t(0xDC00 + (c & 0x3FF)));
		}
		else
		{
			text.push_back(wchar_t(c));
		}
	}

	String DecodeUtf16(const std::string &bytes, size_t from, bool bigEndian)
	{
		std::wstring	 text;
		size_t		 units = (bytes.size() - from) / 2;

		auto unit = [&](size_t n) -> char32_t
		{
			unsigned char	 first  = (unsigned char) bytes[from + 2 * n];
			unsigned char	 second = (unsigned char) bytes[from + 2 * n + 1];

			return bigEndian ? char32_t(first << 8 | second) : char32_t(second << 8 | first);
		};

		text.reserve(units);

		for (size_t n = 0; n < units; n++)
		{
			char32_t	 c = unit(n);

			/* A surrogate only counts as half of a pair: a lone one would
			 * reach the text box as a broken character, so it is replaced.
			 */
			if	(c >= 0xD800 && c < 0xDC00 && n + 1 < units && unit(n + 1) >= 0xDC00 && unit(n + 1) < 0xE000) { c = 0x10000 + ((c - 0xD800) << 10) + (unit(n + 1) - 0xDC00); n++; }
			else if (c >= 0xD800 && c < 0xE000)										 c = 0xFFFD;

			AppendCodePoint(text, c);
		}

		/* A file cut in the middle of its last character still shows that
		 * something was there.
		 */
		if ((bytes.size() - from) % 2 != 0) text.push_back(wchar_t(0xFFFD));

		return String(text);
	}

	// The length of the well-formed UTF-8 sequence at bytes[at], or 0 when
	// it is malformed (overlong forms, encoded surrogates and values beyond
	// U+10FFFF included).
	size_t Utf8SequenceAt(const std::string &bytes, size_t at)
	{
		unsigned char	 b    = (unsigned char) bytes[at];
		unsigned char	 low  = 0x80, high = 0xBF;
		size_t		 need;

		if	(b < 0x80)		  return 1;
		else if (b >= 0xC2 && b <= 0xDF) need = 1;
		else if (b >= 0xE0 && b <= 0xEF) { need = 2; if (b == 0xE0) low = 0xA0; if (b == 0xED) high = 0x9F; }
		else if (b >= 0xF0 && b <= 0xF4) { need = 3; if (b == 0xF0) low = 0x90; if (b == 0xF4) high = 0x8F; }
		else				  return 0;

		for (size_t i = 1; i <= need; i++)
		{
			if (at + i >= bytes.size()) return 0;

			unsigned char	 c = (unsigned char) bytes[at + i];

			if (c < low || c > high) return 0;

			low  = 0x80;
			high = 0xBF;
		}

		return need + 1;
	}
}

namespace Tolvane
{
	const char *const Utf8Mark = "\xEF\xBB\xBF";
}

Tolvane::LicenseEncoding Tolvane::LicenseEncodingOf(const std::string &bytes, size_t &markLength)
{
	markLength = 0;

	if (bytes.compare(0, 3, Utf8Mark) == 0)	   { markLength = 3; return LicenseEncoding::Utf8; }
	if (bytes.compare(0, 2, "\xFF\xFE") == 0) { markLength = 2; return LicenseEncoding::Utf16LE; }
	if (bytes.compare(0, 2, "\xFE\xFF") == 0) { markLength = 2; return LicenseEncoding::Utf16BE; }

	return LicenseEncoding::Bytes;
}

String Tolvane::DecodeLicenseText(const std::string &bytes)
{
	size_t	 mark = 0;

	switch (LicenseEncodingOf(bytes, mark))
	{
		case LicenseEncoding::Utf8:	return String::FromUTF8(bytes.substr(mark));
		case LicenseEncoding::Utf16LE:	return DecodeUtf16(bytes, mark, false);
		case LicenseEncoding::Utf16BE:	return DecodeUtf16(bytes, mark, true);
		case LicenseEncoding::Bytes:	break;
	}

	std::wstring	 chars(bytes.size(), L'\0');

	for (size_t i = 0; i < bytes.size(); i++) chars[i] = wchar_t((unsigned char) bytes[i]);

	return String(chars);
}

bool Tolvane::IsUnmarkedUtf8(const std::string &bytes)
{
	size_t	 mark	   = 0;
	bool	 multiByte = false;

	if (LicenseEncodingOf(bytes, mark) != LicenseEncoding::Bytes) return false;

	for (size_t at = 0; at < bytes.size(); )
	{
		size_t	 length = Utf8SequenceAt(bytes, at);

		if (length == 0) return false;

		multiByte = multiByte || length > 1;
		at	 += length;
	}

	return multiByte;
}
