#include "shell_link.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

using namespace Tolvane::Tool;

namespace
{
	std::string ReadFile(const std::string &name)
	{
		std::ifstream		 in(std::string(TOLVANE_TESTDATA) + "/" + name, std::ios::binary);
		std::stringstream	 text;

		text << in.rdbuf();

		return text.str();
	}

	std::string U16(unsigned value) { return std::string(1, char(value & 0xFF)) + char(value >> 8 & 0xFF); }
	std::string U32(unsigned value) { return U16(value & 0xFFFF) + U16(value >> 16); }

	// UTF-16LE of UTF-8 text (with surrogate pairs), without a NUL.
	std::string Wide(const std::string &text)
	{
		std::string	 out;

		for (size_t i = 0; i < text.size(); )
		{
			unsigned char	 c = text[i];
			size_t		 length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
			unsigned	 code = length == 1 ? c : c & (0xFF >> (length + 1));

			for (size_t j = 1; j < length; j++) code = code << 6 | (text[i + j] & 0x3F);

			if (code >= 0x10000) out += U16(0xD800 + ((code - 0x10000) >> 10)) + U16(0xDC00 + ((code - 0x10000) & 0x3FF));
			else		     out += U16(code);

			i += length;
		}

		return out;
	}

	// A link made by hand: the header with flags, then the parts given
	// (each already in its file form), then the terminal block.
	std::string Link(unsigned flags, const std::string &parts)
	{
		std::string	 header = U32(0x4C) + std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16) + U32(flags);

		return header + std::string(0x4C - header.size(), '\0') + parts + U32(0);
	}

	// Link information with an ANSI local path and suffix, and a UTF-16 one
	// when wide is not empty.
	std::string LinkInfo(const std::string &ansi, const std::string &suffix, const std::string &wide = std::string())
	{
		size_t		 header = wide.empty() ? 0x1C : 0x24;
		std::string	 strings = ansi + '\0' + suffix + '\0';
		std::string	 tail	 = wide.empty() ? std::string() : U32(unsigned(header + strings.size())) + U32(unsigned(header + strings.size() + Wide(wide).size() + 2));

		if (!wide.empty()) strings += Wide(wide) + U16(0) + U16(0);

		std::string	 info = U32(unsigned(header)) + U32(1) + U32(0) + U32(unsigned(header)) + U32(0) + U32(unsigned(header + ansi.size() + 1)) + tail + strings;

		return U32(unsigned(info.size() + 4)) + info;
	}

	// A counted string of the string data.
	std::string Counted(const std::string &text) { return U16(unsigned(Wide(text).size() / 2)) + Wide(text); }

	// An item list: the computer, the drive, then one item per step as Wine
	// writes them (short ANSI name, then a block ending in the long name).
	std::string ItemList(const std::string &drive, const std::vector<std::pair<std::string, std::string> > &steps)
	{
		std::string	 items = U16(20) + std::string("\x1F\x00", 2) + std::string(16, '\x11');
		std::string	 driveItem = std::string("\x23", 1) + drive + '\0';

		items += U16(unsigned(driveItem.size() + 2)) + driveItem;

		for (size_t i = 0; i < steps.size(); i++)
		{
			std::string	 body = std::string(1, i + 1 < steps.size() ? '\x31' : '\x32') + '\0' + U32(0) + U32(0) + U16(0x10) + steps[i].first + '\0';

			if (body.size() % 2) body += '\0';

			std::string	 block = U16(0) + U16(0) + U32(0) + std::string(12, '\x7E') + U16(0) + Wide(steps[i].second) + U16(0);
			size_t		 blockAt = body.size() + 2;

			block.replace(0, 2, U16(unsigned(block.size() + 2)));
			items += U16(unsigned(body.size() + 2 + block.size() + 2)) + body + block + U16(unsigned(blockAt));
		}

		items += U16(0);

		return U16(unsigned(items.size())) + items;
	}
}

// Links our installer saved under Wine: the target and the working folder
// (the installation folder) as the system keeps them.
TEST(ShellLink, ReadsLinksTheInstallerMade)
{
	const struct { const char *file, *target; } links[] = {
		{ "program.lnk",     "C:\\Program Files\\Pebble Notes\\pebble.exe" },
		{ "manual.lnk",	     "C:\\Program Files\\Pebble Notes\\docs\\manual.txt" },
		{ "uninstaller.lnk", "C:\\Program Files\\Pebble Notes\\uninstall\\uninstall.exe" },
	};

	for (const auto &link : links)
	{
		SCOPED_TRACE(link.file);

		std::string	 bytes = ReadFile(link.file);
		ShellLink	 read;

		ASSERT_FALSE(bytes.empty());
		ASSERT_EQ(ReadShellLink(bytes, &read), ShellLinkStatus::Ok);
		EXPECT_EQ(read.target, link.target);
		EXPECT_EQ(read.workingFolder, "C:\\Program Files\\Pebble Notes");
		EXPECT_EQ(read.arguments, "");

		// Its item list alone (the link information taken out) leads to the
		// same file.
		size_t	 info = 0x4C + 2 + ((unsigned char) bytes[0x4C] | (unsigned char) bytes[0x4D] << 8);

		bytes[0x14] = char(bytes[0x14] & ~0x02);
		bytes.erase(info, (unsigned char) bytes[info] | (unsigned char) bytes[info + 1] << 8);

		ASSERT_EQ(ReadShellLink(bytes, &read), ShellLinkStatus::Ok);
		EXPECT_EQ(read.target, link.target);

		// Every cut of the file is found out, wherever it falls.
		std::string	 whole = ReadFile(link.file);

		for (size_t size = 0; size < whole.size(); size++)
		{
			ShellLinkStatus	 status = ReadShellLink(whole.substr(0, size), &read);

			EXPECT_NE(status, ShellLinkStatus::Ok) << size;
			EXPECT_EQ(read.target, "") << size;
		}
	}
}

// Links made by hand: each part present or not, Unicode in every place a
// path can be, and parts whose sizes point past their end.
TEST(ShellLink, ReadsEachPartAndRefusesDamage)
{
	const std::string	 unicode = "C:\\Programme\\Notizen \xC3\xA4\xE2\x82\xAC\\\xE4\xBE\xBF\xF0\x9F\x93\x9D.exe";
	const std::string	 info	 = LinkInfo("C:\\Tools\\", "app.exe");
	const std::string	 wine	 = ItemList("C:\\", { { "PROGRA~1", "Program Files" }, { "NOTIZE~1", "Notizen \xC3\xA4\xE2\x82\xAC" }, { "8D73~1.EXE", "\xE4\xBE\xBF\xF0\x9F\x93\x9D.exe" } });
	std::string		 cut	 = info;

	cut.replace(0, 4, U32(unsigned(info.size() + 40)));

	const struct
	{
		const char		*name;
		std::string		 bytes;
		ShellLinkStatus		 status;
		std::string		 target, folder, arguments;
	}
	cases[] = {
		{ "ANSI path and suffix, Unicode strings",	Link(0x02 | 0x10 | 0x20 | 0x80, info + Counted("C:\\Tools") + Counted("/x \"a b\"")), ShellLinkStatus::Ok, "C:\\Tools\\app.exe", "C:\\Tools", "/x \"a b\"" },
		{ "ANSI strings (Windows-1252)",		Link(0x02 | 0x10, info + U16(8) + "C:\\Caf\xE9\x80"), ShellLinkStatus::Ok, "C:\\Tools\\app.exe", "C:\\Caf\xC3\xA9\xE2\x82\xAC", "" },
		{ "Unicode link information",			Link(0x02 | 0x10 | 0x80, LinkInfo("C:\\Programme\\Notizen ??\\???.exe", "", unicode) + Counted("C:\\Programme")), ShellLinkStatus::Ok, unicode, "C:\\Programme", "" },
		{ "no link information: the item list",		Link(0x01 | 0x80, wine), ShellLinkStatus::Ok, "C:\\Program Files\\Notizen \xC3\xA4\xE2\x82\xAC\\\xE4\xBE\xBF\xF0\x9F\x93\x9D.exe", "", "" },
		{ "an ANSI path that lost characters",		Link(0x01 | 0x02, wine + LinkInfo("C:\\Program Files\\Notizen ??\\??.exe", "")), ShellLinkStatus::Ok, "C:\\Program Files\\Notizen \xC3\xA4\xE2\x82\xAC\\\xE4\xBE\xBF\xF0\x9F\x93\x9D.exe", "", "" },
		{ "the item list wins over a whole-looking ANSI path", Link(0x01 | 0x02, wine + LinkInfo("C:\\Program Files\\Notizen aE\\x.exe", "")), ShellLinkStatus::Ok, "C:\\Program Files\\Notizen \xC3\xA4\xE2\x82\xAC\\\xE4\xBE\xBF\xF0\x9F\x93\x9D.exe", "", "" },
		{ "an ANSI path without an item list",		Link(0x02, info), ShellLinkStatus::Ok, "C:\\Tools\\app.exe", "", "" },
		{ "neither: no target",				Link(0x10 | 0x80, Counted("C:\\Tools")), ShellLinkStatus::Ok, "", "C:\\Tools", "" },
		{ "the longest counted string",			Link(0x20, U16(0xFFFF) + std::string(0xFFFF, 'a')), ShellLinkStatus::Ok, "", "", std::string(0xFFFF, 'a') },
		{ "a counted string one past the end",		Link(0x20, U16(4) + "abc").substr(0, 0x4C + 5), ShellLinkStatus::Truncated, "", "", "" },
		{ "link information past the end",		Link(0x02, cut), ShellLinkStatus::Truncated, "", "", "" },
		{ "an item list past the end",			Link(0x01, U16(0xFFFF) + wine), ShellLinkStatus::Truncated, "", "", "" },
		{ "a path without its NUL",			Link(0x02, info.substr(0, info.size() - 1).replace(0, 4, U32(unsigned(info.size() - 1)))), ShellLinkStatus::Truncated, "", "", "" },
		{ "another header size",			U32(0x4D) + Link(0, "").substr(4), ShellLinkStatus::NotALink, "", "", "" },
		{ "another class",				Link(0, "").replace(4, 1, "\x02"), ShellLinkStatus::NotALink, "", "", "" },
		{ "empty",					"", ShellLinkStatus::NotALink, "", "", "" },
	};

	for (const auto &test : cases)
	{
		SCOPED_TRACE(test.name);

		ShellLink	 read;

		EXPECT_EQ(ReadShellLink(test.bytes, &read), test.status);
		EXPECT_EQ(read.target, test.target);
		EXPECT_EQ(read.workingFolder, test.folder);
		EXPECT_EQ(read.arguments, test.arguments);
	}
}
