#include "smooth/string.h"
#include "unicode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace smooth
{
	String szCmdLine;
}

namespace
{
	using smooth::Unicode::Format;
	using smooth::Unicode::FormatUTF8;
	using smooth::Unicode::FormatLatin1;
	using smooth::Unicode::FormatSystem;

	// Per thread, so that a worker switching formats for one stream does not
	// change how the window thread decodes its texts.
	thread_local Format inputFormat	 = FormatUTF8;
	thread_local Format outputFormat = FormatUTF8;

	const bool wideIsUTF16 = sizeof(wchar_t) == 2;

	void AppendCodePoint(std::wstring &text, char32_t c)
	{
		if (wideIsUTF16 && c >= 0x10000)
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

	// The code point starting at text[i]; advances i. Lone surrogates and
	// values beyond U+10FFFF are returned as they are, for the encoder to
	// replace.
	char32_t NextCodePoint(const wchar_t *text, size_t size, size_t &i)
	{
		char32_t c = char32_t(text[i++]) & (wideIsUTF16 ? 0xFFFF : 0xFFFFFFFF);

		if (wideIsUTF16 && c >= 0xD800 && c < 0xDC00 && i < size)
		{
			char32_t low = char32_t(text[i]) & 0xFFFF;

			if (low >= 0xDC00 && low < 0xE000)
			{
				i++;
				c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
			}
		}

		return c;
	}

	bool IsCharacter(char32_t c)
	{
		return c < 0xD800 || (c >= 0xE000 && c <= 0x10FFFF);
	}

	void DecodeUTF8(const unsigned char *s, size_t n, std::wstring &text)
	{
		size_t i = 0;

		while (i < n)
		{
			unsigned char b = s[i];

			if (b < 0x80) { text.push_back(wchar_t(b)); i++; continue; }

			// Lead byte: how many continuation bytes follow and which range
			// the first of them must lie in (this rules out overlong forms,
			// encoded surrogates and values beyond U+10FFFF).
			int	      need;
			char32_t      c;
			unsigned char low = 0x80, high = 0xBF;

			if	(b >= 0xC2 && b <= 0xDF) { need = 1; c = b & 0x1F; }
			else if (b >= 0xE0 && b <= 0xEF) { need = 2; c = b & 0x0F; if (b == 0xE0) low = 0xA0; if (b == 0xED) high = 0x9F; }
			else if (b >= 0xF0 && b <= 0xF4) { need = 3; c = b & 0x07; if (b == 0xF0) low = 0x90; if (b == 0xF4) high = 0x8F; }
			else				 { text.push_back(wchar_t(0xFFFD)); i++; continue; }

			i++;

			int got = 0;

			while (got < need && i < n && s[i] >= low && s[i] <= high)
			{
				c = (c << 6) | (s[i] & 0x3F);
				i++;
				got++;
				low = 0x80;
				high = 0xBF;
			}

			if (got < need) text.push_back(wchar_t(0xFFFD));
			else		AppendCodePoint(text, c);
		}
	}

	void EncodeUTF8(const wchar_t *text, size_t size, std::string &bytes)
	{
		size_t i = 0;

		while (i < size)
		{
			char32_t c = NextCodePoint(text, size, i);

			if (c < 0x80) { bytes.push_back(char(c)); continue; }
			if (!IsCharacter(c)) c = 0xFFFD;

			if (c < 0x800)
			{
				bytes.push_back(char(0xC0 | (c >> 6)));
			}
			else if (c < 0x10000)
			{
				bytes.push_back(char(0xE0 | (c >> 12)));
				bytes.push_back(char(0x80 | ((c >> 6) & 0x3F)));
			}
			else
			{
				bytes.push_back(char(0xF0 | (c >> 18)));
				bytes.push_back(char(0x80 | ((c >> 12) & 0x3F)));
				bytes.push_back(char(0x80 | ((c >> 6) & 0x3F)));
			}

			bytes.push_back(char(0x80 | (c & 0x3F)));
		}
	}

	void EncodeLatin1(const wchar_t *text, size_t size, std::string &bytes)
	{
		size_t i = 0;

		// One '?' per character, also for a character that takes a surrogate pair.
		while (i < size)
		{
			char32_t c = NextCodePoint(text, size, i);

			bytes.push_back(c < 0x100 ? char(c) : '?');
		}
	}

#if defined(_WIN32)
	void DecodeSystem(const char *data, size_t size, std::wstring &text)
	{
		while (size > 0)
		{
			// The API counts in int; convert in slices so that no length wraps.
			// A slice may end inside a double-byte character only at sizes no
			// text of ours reaches.
			int    part	= int(std::min<size_t>(size, 1 << 28));
			int    needed	= MultiByteToWideChar(CP_ACP, 0, data, part, nullptr, 0);
			size_t old	= text.size();

			if (needed <= 0) return;

			text.resize(old + needed);
			MultiByteToWideChar(CP_ACP, 0, data, part, &text[old], needed);

			data += part;
			size -= part;
		}
	}

	void EncodeSystem(const wchar_t *text, size_t size, std::string &bytes)
	{
		while (size > 0)
		{
			int    part	= int(std::min<size_t>(size, 1 << 27));
			int    needed	= WideCharToMultiByte(CP_ACP, 0, text, part, nullptr, 0, "?", nullptr);
			size_t old	= bytes.size();

			if (needed <= 0) return;

			bytes.resize(old + needed);
			WideCharToMultiByte(CP_ACP, 0, text, part, &bytes[old], needed, "?", nullptr);

			text += part;
			size -= part;
		}
	}
#endif

	// Slicing-by-8 tables of the reflected CRC-32 (polynomial 0xEDB88320):
	// archive indexes key hundreds of thousands of names by this checksum.
	struct CRCTables
	{
		uint32_t t[8][256];

		CRCTables()
		{
			for (uint32_t n = 0; n < 256; n++)
			{
				uint32_t c = n;

				for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;

				t[0][n] = c;
			}

			for (uint32_t n = 0; n < 256; n++)
			{
				for (int k = 1; k < 8; k++) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
			}
		}
	};

	const CRCTables &Tables()
	{
		static const CRCTables tables;

		return tables;
	}

	uint32_t CRC32(const unsigned char *p, size_t n)
	{
		const CRCTables &tables = Tables();
		const auto	&t	= tables.t;
		uint32_t	 crc	= 0xFFFFFFFFu;

		while (n >= 8)
		{
			uint32_t a = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
			uint32_t b = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;

			crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
			      t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];

			p += 8;
			n -= 8;
		}

		while (n-- > 0) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);

		return crc ^ 0xFFFFFFFFu;
	}

	int CompareNoCase(const char *a, const char *b)
	{
		for (;; a++, b++)
		{
			int ca = (*a >= 'a' && *a <= 'z') ? *a - 32 : *a;
			int cb = (*b >= 'a' && *b <= 'z') ? *b - 32 : *b;

			if (ca != cb || ca == 0) return ca - cb;
		}
	}

	size_t WideLength(const wchar_t *text)
	{
		size_t n = 0;

		while (text[n] != 0) n++;

		return n;
	}
}

bool smooth::Unicode::FormatByName(const char *name, Format &format)
{
	if (name == nullptr) return false;

	if	(CompareNoCase(name, "UTF-8")	   == 0) format = FormatUTF8;
	else if (CompareNoCase(name, "ISO-8859-1") == 0) format = FormatLatin1;
#if defined(_WIN32)
	else if (CompareNoCase(name, "CP_ACP")	   == 0) format = FormatSystem;
#endif
	else						 return false;

	return true;
}

const char *smooth::Unicode::FormatName(Format format)
{
	switch (format)
	{
		case FormatLatin1: return "ISO-8859-1";
		case FormatSystem: return "CP_ACP";
		default:	   return "UTF-8";
	}
}

void smooth::Unicode::Decode(const char *data, size_t size, Format format, std::wstring &text)
{
	if (format == FormatLatin1)
	{
		text.reserve(text.size() + size);

		for (size_t i = 0; i < size; i++) text.push_back(wchar_t((unsigned char) data[i]));
	}
#if defined(_WIN32)
	else if (format == FormatSystem)
	{
		DecodeSystem(data, size, text);
	}
#endif
	else
	{
		text.reserve(text.size() + size);

		DecodeUTF8(reinterpret_cast<const unsigned char *>(data), size, text);
	}
}

void smooth::Unicode::Encode(const wchar_t *text, size_t size, Format format, std::string &bytes)
{
	if (format == FormatLatin1)
	{
		bytes.reserve(bytes.size() + size);

		EncodeLatin1(text, size, bytes);
	}
#if defined(_WIN32)
	else if (format == FormatSystem)
	{
		EncodeSystem(text, size, bytes);
	}
#endif
	else
	{
		bytes.reserve(bytes.size() + size);

		EncodeUTF8(text, size, bytes);
	}
}

smooth::String::String()
{
}

smooth::String::String(const char *iText)
{
	if (iText != nullptr) Unicode::Decode(iText, strlen(iText), inputFormat, text);
}

smooth::String::String(const wchar_t *iText)
{
	if (iText != nullptr) text.assign(iText, WideLength(iText));
}

smooth::String::String(const std::wstring &iText) : text(iText)
{
}

smooth::String::String(const String &other) : text(other.text)
{
}

smooth::String::String(String &&other) noexcept : text(std::move(other.text))
{
}

smooth::String::~String()
{
}

smooth::String &smooth::String::operator =(const String &other)
{
	text = other.text;

	return *this;
}

smooth::String &smooth::String::operator =(String &&other) noexcept
{
	text = std::move(other.text);

	return *this;
}

const char *smooth::String::SetInputFormat(const char *format)
{
	Unicode::Format newFormat;

	if (!Unicode::FormatByName(format, newFormat)) return nullptr;

	const char *previous = Unicode::FormatName(inputFormat);

	inputFormat = newFormat;

	return previous;
}

const char *smooth::String::GetInputFormat()
{
	return Unicode::FormatName(inputFormat);
}

const char *smooth::String::SetOutputFormat(const char *format)
{
	Unicode::Format newFormat;

	if (!Unicode::FormatByName(format, newFormat)) return nullptr;

	const char *previous = Unicode::FormatName(outputFormat);

	outputFormat = newFormat;

	return previous;
}

const char *smooth::String::GetOutputFormat()
{
	return Unicode::FormatName(outputFormat);
}

smooth::Int smooth::String::Length() const
{
	return Int(text.size());
}

wchar_t &smooth::String::operator [](Int n)
{
	// Writes through a negative index land here and go nowhere.
	thread_local wchar_t scratch;

	if (n < 0) { scratch = 0; return scratch; }

	if (size_t(n) >= text.size()) text.resize(size_t(n) + 1, 0);

	return text[n];
}

wchar_t smooth::String::operator [](Int n) const
{
	if (n < 0 || size_t(n) >= text.size()) return 0;

	return text[n];
}

smooth::String &smooth::String::Append(const String &other)
{
	text.append(other.text);

	return *this;
}

smooth::String smooth::String::operator +(const String &other) const
{
	String result(*this);

	return result.Append(other);
}

smooth::String &smooth::String::Replace(const String &what, const String &with)
{
	if (what.text.empty() || text.size() < what.text.size()) return *this;

	// Left to right, never rescanning replaced text, so a replacement that
	// contains what cannot make this loop forever.
	std::wstring result;
	size_t	     start = 0;
	size_t	     found;

	while ((found = text.find(what.text, start)) != std::wstring::npos)
	{
		result.append(text, start, found - start);
		result.append(with.text);

		start = found + what.text.size();
	}

	if (start == 0) return *this;

	result.append(text, start, std::wstring::npos);
	text.swap(result);

	return *this;
}

smooth::String smooth::String::FromInt(Int64 value)
{
	// Unsigned arithmetic, so that the most negative value converts too.
	uint64_t magnitude = value < 0 ? 0 - uint64_t(value) : uint64_t(value);
	wchar_t	 digits[24];
	int	 n = 24;

	do
	{
		digits[--n] = wchar_t(L'0' + magnitude % 10);
		magnitude /= 10;
	}
	while (magnitude > 0);

	if (value < 0) digits[--n] = L'-';

	return String(std::wstring(digits + n, digits + 24));
}

smooth::Int64 smooth::String::ToInt() const
{
	size_t i	= 0;
	bool   negative = false;

	if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = (text[i++] == L'-');

	// Accumulate the magnitude unsigned and saturate: an overlong number in
	// a script must not become undefined behaviour.
	const uint64_t limit	 = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
	uint64_t       magnitude = 0;

	for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; i++)
	{
		unsigned digit = unsigned(text[i] - L'0');

		if (magnitude > (limit - digit) / 10) { magnitude = limit; continue; }

		magnitude = magnitude * 10 + digit;
	}

	if (!negative) return Int64(magnitude);

	return magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -Int64(magnitude);
}

smooth::Int smooth::String::Compare(const String &other) const
{
	size_t n = std::min(text.size(), other.text.size());

	for (size_t i = 0; i < n; i++)
	{
		if (text[i] != other.text[i]) return text[i] < other.text[i] ? -1 : 1;
	}

	if (text.size() == other.text.size()) return 0;

	return text.size() < other.text.size() ? -1 : 1;
}

smooth::Bool smooth::String::operator ==(const String &other) const
{
	return text == other.text;
}

smooth::Bool smooth::String::operator ==(const char *other) const
{
	return *this == String(other);
}

smooth::Bool smooth::String::operator ==(const wchar_t *other) const
{
	if (other == nullptr) return text.empty();

	return text.compare(other) == 0;
}

smooth::Bool smooth::String::operator ==(int zero) const
{
	return zero == 0 && text.empty();
}

smooth::Bool smooth::String::StartsWith(const String &other) const
{
	return text.size() >= other.text.size() && text.compare(0, other.text.size(), other.text) == 0;
}

smooth::Bool smooth::String::EndsWith(const String &other) const
{
	return text.size() >= other.text.size() && text.compare(text.size() - other.text.size(), other.text.size(), other.text) == 0;
}

smooth::Int smooth::String::Find(const String &other, Int start) const
{
	if (start < 0) start = 0;
	if (size_t(start) > text.size()) return -1;

	size_t found = text.find(other.text, size_t(start));

	return found == std::wstring::npos ? -1 : Int(found);
}

smooth::Int smooth::String::FindLast(const String &other) const
{
	size_t found = text.rfind(other.text);

	return found == std::wstring::npos ? -1 : Int(found);
}

smooth::String smooth::String::SubString(Int start, Int count) const
{
	// Clip the range [start, start + count) to the text, in 64 bits so that
	// extreme arguments cannot overflow.
	Int64 first = std::max<Int64>(start, 0);
	Int64 last  = std::min<Int64>(Int64(start) + count, Int64(text.size()));

	if (count <= 0 || last <= first) return String();

	return String(text.substr(size_t(first), size_t(last - first)));
}

smooth::UnsignedInt smooth::String::ComputeCRC32() const
{
	std::string bytes;

	Unicode::Encode(text.data(), text.size(), FormatUTF8, bytes);

	return CRC32(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

const wchar_t *smooth::String::Wide() const
{
	return text.c_str();
}

std::string smooth::String::Narrow() const
{
	std::string bytes;

	Unicode::Encode(text.data(), text.size(), outputFormat, bytes);

	return bytes;
}

std::string smooth::String::Encode(const char *format) const
{
	Unicode::Format encoding = FormatUTF8;
	std::string	bytes;

	Unicode::FormatByName(format, encoding);
	Unicode::Encode(text.data(), text.size(), encoding, bytes);

	return bytes;
}

std::string smooth::String::ToUTF8() const
{
	std::string bytes;

	Unicode::Encode(text.data(), text.size(), FormatUTF8, bytes);

	return bytes;
}

smooth::String smooth::String::FromUTF8(const std::string &bytes)
{
	String result;

	Unicode::Decode(bytes.data(), bytes.size(), FormatUTF8, result.text);

	return result;
}

smooth::String smooth::String::Decode(const std::string &bytes, const char *format)
{
	Unicode::Format encoding = FormatUTF8;
	String		result;

	Unicode::FormatByName(format, encoding);
	Unicode::Decode(bytes.data(), bytes.size(), encoding, result.text);

	return result;
}

smooth::String smooth::operator +(const char *a, const String &b)
{
	return String(a).Append(b);
}

smooth::String smooth::operator +(const wchar_t *a, const String &b)
{
	return String(a).Append(b);
}
