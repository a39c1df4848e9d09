// The licence file's bytes as the page's text: the marks, their boundaries
// and what a broken file turns into; and which unmarked files are UTF-8.
#include "license_encoding.h"

#include <gtest/gtest.h>

using namespace smooth;
using namespace Tolvane;

namespace
{
	std::string Bytes(const char *text, size_t size) { return std::string(text, size); }

	// U+1D11E (musical G clef) as this system's wide characters.
	std::wstring Clef() { return sizeof(wchar_t) == 2 ? std::wstring(L"\xD834\xDD1E") : std::wstring(1, wchar_t(0x1D11E)); }
}

TEST(LicenseEncoding, MarksDecideTheEncodingAndBrokenBytesShowAsReplacements)
{
	struct Case { const char *name; std::string bytes; LicenseEncoding encoding; std::wstring text; };
	const Case	 cases[] =
	{
		{ "empty file", "", LicenseEncoding::Bytes, L"" },
		{ "latin-1 byte 233", "caf\xe9", LicenseEncoding::Bytes, L"caf\u00e9" },
		{ "utf-8 without mark stays bytes", "\xc3\x9c", LicenseEncoding::Bytes, L"\u00c3\u009c" },
		{ "every byte 128 to 255 and zero", Bytes("\x80\xff\0", 3), LicenseEncoding::Bytes, std::wstring(L"\u0080\u00ff\0", 3) },
		{ "two mark bytes of three", "\xef\xbb", LicenseEncoding::Bytes, L"\u00ef\u00bb" },
		{ "utf-8 mark only", "\xef\xbb\xbf", LicenseEncoding::Utf8, L"" },
		{ "utf-8 with mark", "\xef\xbb\xbf\xc3\x9c" "bersetzung \xce\xa9 \xe6\x97\xa5", LicenseEncoding::Utf8, L"\u00dcbersetzung \u03a9 \u65e5" },
		{ "utf-8 beyond the basic plane", "\xef\xbb\xbf\xf0\x9d\x84\x9e!", LicenseEncoding::Utf8, Clef() + L"!" },
		{ "utf-8 crlf and lf as stored", "\xef\xbb\xbf" "a\r\nb\nc", LicenseEncoding::Utf8, L"a\r\nb\nc" },
		{ "invalid utf-8 after the mark", "\xef\xbb\xbf" "a\xe9z\xc3", LicenseEncoding::Utf8, L"a\ufffdz\ufffd" },
		{ "a second mark is text", "\xef\xbb\xbf\xef\xbb\xbf", LicenseEncoding::Utf8, L"\ufeff" },
		{ "utf-16 le mark only", "\xff\xfe", LicenseEncoding::Utf16LE, L"" },
		{ "utf-16 le", Bytes("\xff\xfe\xdc\0b\0\r\0\n\0\xa9\x03", 12), LicenseEncoding::Utf16LE, L"\u00dcb\r\n\u03a9" },
		{ "utf-16 le odd byte count", Bytes("\xff\xfeO\0K", 5), LicenseEncoding::Utf16LE, L"O\ufffd" },
		{ "utf-16 le pair and lone surrogates", Bytes("\xff\xfe\x34\xd8\x1e\xdd\x1e\xdd\x34\xd8", 10), LicenseEncoding::Utf16LE, Clef() + L"\ufffd\ufffd" },
		{ "utf-16 be mark only", "\xfe\xff", LicenseEncoding::Utf16BE, L"" },
		{ "utf-16 be", Bytes("\xfe\xff\0\xdc\x65\xe5\0\n", 8), LicenseEncoding::Utf16BE, L"\u00dc\u65e5\n" },
		{ "utf-16 be odd byte count", Bytes("\xfe\xff\0", 3), LicenseEncoding::Utf16BE, L"\ufffd" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		size_t	 mark = 99;

		EXPECT_TRUE(LicenseEncodingOf(c.bytes, mark) == c.encoding);
		EXPECT_EQ(mark, c.encoding == LicenseEncoding::Bytes ? 0u : c.encoding == LicenseEncoding::Utf8 ? 3u : 2u);

		String	 text = DecodeLicenseText(c.bytes);

		EXPECT_EQ(text.Length(), Int(c.text.size()));
		EXPECT_TRUE(text.WideString() == c.text) << text.ToUTF8();
	}
}

TEST(LicenseEncoding, OnlyUnmarkedValidUtf8WithMultiByteCharactersIsFlagged)
{
	struct Case { const char *name; std::string bytes; bool flagged; };
	const Case	 cases[] =
	{
		{ "empty", "", false },
		{ "ascii", "Licence\r\n", false },
		{ "two-byte character", "\xc3\x9c" "bersetzung", true },
		{ "four-byte character last", "a\xf0\x9d\x84\x9e", true },
		{ "cut at the end", "\xc3\x9c" "b\xe6\x97", false },
		{ "latin-1", "caf\xe9\r\n", false },
		{ "latin-1 beside utf-8", "\xc3\x9c caf\xe9", false },
		{ "overlong form", "\xc0\xaf", false },
		{ "encoded surrogate", "\xed\xa0\x80", false },
		{ "beyond U+10FFFF", "\xf4\x90\x80\x80", false },
		{ "largest character", "\xf4\x8f\xbf\xbf", true },
		{ "with utf-8 mark", "\xef\xbb\xbf\xc3\x9c", false },
		{ "with utf-16 mark", "\xff\xfe\xc3\x9c", false },
	};

	for (const Case &c : cases) EXPECT_EQ(IsUnmarkedUtf8(c.bytes), c.flagged) << c.name;
}
