// What the pages show: the version placeholder, the licence file's bytes,
// the component entries and their descriptions.
#include "page_text.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace smooth;
using namespace Tolvane;

TEST(PageText, EveryVersionPlaceholderIsReplaced)
{
	struct Case { const char *text; const char *version; const char *shown; };
	const Case	 cases[] =
	{
		{ "intro %VERSION%/%VERSION%", "2.5", "intro 2.5/2.5" },
		{ "%VERSION%%VERSION%", "1", "11" },
		{ "no placeholder", "2.5", "no placeholder" },
		{ "%VERSION", "2.5", "%VERSION" },
		{ "%version%", "2.5", "%version%" },
		{ "v%VERSION%.", "", "v." },
		{ "line\n%VERSION%\r\nend", "3", "line\n3\r\nend" },
	};

	for (const Case &c : cases) EXPECT_EQ(PageText(c.text, c.version).ToUTF8(), c.shown) << c.text;
}

namespace
{
	std::string AllBytes()
	{
		std::string	 bytes;

		for (int i = 0; i < 256; i++) bytes += char(i);

		return bytes;
	}

	std::wstring AllCharacters()
	{
		std::wstring	 chars;

		for (int i = 0; i < 256; i++) chars += wchar_t(i);

		return chars;
	}
}

TEST(LicenseText, EveryByteIsOneCharacterUnlessMarkedAndZerosShowAsBlanks)
{
	struct Case { const char *name; std::string licenseFile; std::string fileName; std::string bytes; std::wstring text; std::wstring shown; };
	const Case	 cases[] =
	{
		{ "all bytes", "license.txt", "license.txt", AllBytes(), AllCharacters(), L" " + AllCharacters().substr(1) },
		{ "crlf and latin", "license.txt", "license.txt", "caf\xe9\r\nline 2\r\n", L"caf\u00e9\r\nline 2\r\n", L"caf\u00e9\r\nline 2\r\n" },
		{ "utf8 stays bytes", "license.txt", "license.txt", "\xc3\xa9", L"\u00c3\u00a9", L"\u00c3\u00a9" },
		{ "two-byte text without a mark", "license.txt", "license.txt", std::string("O\0K\0", 4), std::wstring(L"O\0K\0", 4), L"O K " },
		{ "two-byte text with its mark", "license.txt", "license.txt", std::string("\xff\xfeO\0K\0", 6), L"OK", L"OK" },
		{ "utf8 with its mark", "license.txt", "license.txt", "\xef\xbb\xbf\xc3\x9c\r\n", L"\u00dc\r\n", L"\u00dc\r\n" },
		{ "nolicense opens nothing", "nolicense", "nolicense", "must not be read", L"", L"" },
		{ "missing file", "absent.txt", "", "", L"", L"" },
		{ "empty file", "license.txt", "license.txt", "", L"", L"" },
		{ "no name", "", "", "", L"", L"" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		smooth_test::ScratchFolder	 scratch;

		if (!c.fileName.empty()) scratch.Write(c.fileName.c_str(), c.bytes);

		/* The name as the script gives it, relative to the working folder,
		 * where a file named "nolicense" may well exist. */
		std::filesystem::path	 previous = std::filesystem::current_path();

		std::filesystem::current_path(std::filesystem::u8path(scratch.Root().ToUTF8()));

		String	 text = LoadLicenseText(c.licenseFile.c_str());

		std::filesystem::current_path(previous);

		ASSERT_EQ(text.Length(), Int(c.text.size()));
		EXPECT_TRUE(text.WideString() == c.text);
		EXPECT_TRUE(ShownLicenseText(text).WideString() == c.shown);
	}
}

namespace
{
	const char	*const components =
		"<component name=\"Core %VERSION%\" id=\"core\" required=\"true\"><text>Needed %VERSION%</text></component>"
		"<component name=\"Help\" id=\"help\" default=\"true\"><text>The manual</text></component>"
		"<component name=\"Extras\" id=\"extras\"><text>Samples\nand more</text></component>"
		"<component name=\"Both\" default=\"true\" required=\"true\"><text>Locked too</text></component>";
}

TEST(ComponentEntries, MarksByModeAndDescriptionsAsWritten)
{
	smooth_test::ScratchFolder	 scratch;
	Configuration			 config;

	scratch.Write("setup.xml", std::string("<?xml version=\"1.0\"?><installer><application><version>2.5</version></application><components>") + components + "</components></installer>");
	config.LoadFile(scratch.Path("setup.xml"));

	ASSERT_EQ(config.components.Length(), 4);

	struct Entry { const char *label; bool marked; bool locked; const char *description; };
	const Entry	 entries[] =
	{
		{ "Core 2.5", true, true, "Needed %VERSION%" },		// the description is shown as written
		{ "Help", true, false, "The manual" },
		{ "Extras", false, false, "Samples\nand more" },
		{ "Both", true, true, "Locked too" },			// default and required is required
	};

	for (Int i = 0; i < 4; i++)
	{
		SCOPED_TRACE(entries[i].label);

		ComponentEntry	 entry = EntryOfComponent(*config.components.GetNth(i), config.appVersion);

		EXPECT_EQ(entry.label.ToUTF8(), entries[i].label);
		EXPECT_EQ(entry.marked, entries[i].marked);
		EXPECT_EQ(entry.locked, entries[i].locked);
		EXPECT_EQ(ComponentDescription(config, i).ToUTF8(), entries[i].description);
	}

	/* Over no entry, and just past the last one: the hint. */
	for (Int hovered : { -1, 4, 100 }) EXPECT_EQ(ComponentDescription(config, hovered).ToUTF8(), "Move the mouse over a\ncomponent entry to\nshow a description") << hovered;

	EXPECT_EQ(ComponentDescription(Configuration(), 0).ToUTF8(), DESCRIPTION_HINT);
}
