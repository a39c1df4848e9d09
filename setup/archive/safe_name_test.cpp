#include "archive.h"
#include "archive_test_support.h"
#include "safe_name.h"

#include <gtest/gtest.h>

#include <cstring>

using smooth::String;

namespace
{
	enum Verdict
	{
		Refused,	// as a file and as a folder entry
		Safe,		// as both
		FolderOnly	// only where one trailing separator is allowed
	};

	struct Case
	{
		std::string	 name;	// UTF-8
		Verdict		 verdict;
	};

	const Case cases[] = {
		{ "readme.txt", Safe },
		{ "bin/tool.exe", Safe },
		{ "bin\\tool.exe", Safe },
		{ "a/b/c/d.e", Safe },
		{ "\xC3\xA9t\xC3\xA9/\xE4\xB8\xAD.txt", Safe },
		{ "x\xF0\x9F\x98\x80", Safe },			// beyond the BMP: a surrogate pair in UTF-16
		{ "..foo", Safe },				// dots inside a name or at its start are fine
		{ "a..b", Safe },
		{ ".hidden", Safe },
		{ " lead", Safe },				// Windows keeps leading blanks
		{ "CONSOLE.txt", Safe },			// only the exact device names
		{ "nul_x", Safe },
		{ "nullable", Safe },
		{ "COM10", Safe },
		{ "COM0", Safe },
		{ "LPT0", Safe },
		{ "COM\xC2\xB4", Safe },			// U+00B4 is no digit
		{ "CONOUT$x", Safe },
		{ std::string(4096, 'n'), Safe },		// the rule has no length limit of its own

		{ "docs/", FolderOnly },
		{ "docs\\", FolderOnly },
		{ "a/b/", FolderOnly },

		{ "", Refused },
		{ "/", Refused },
		{ "\\", Refused },
		{ "/etc/passwd", Refused },
		{ "\\Windows\\win.ini", Refused },
		{ "C:\\Windows", Refused },
		{ "C:relative", Refused },
		{ "c:/x", Refused },
		{ "\\\\server\\share\\x", Refused },
		{ "//server/share/x", Refused },
		{ "\\\\?\\C:\\x", Refused },
		{ "\\\\.\\PhysicalDrive0", Refused },
		{ "..", Refused },
		{ "../x", Refused },
		{ "a/../../x", Refused },
		{ "a\\..\\x", Refused },
		{ "a/..", Refused },
		{ ".", Refused },
		{ "./a", Refused },
		{ "a/.", Refused },
		{ "a/./b", Refused },
		{ "...", Refused },
		{ "a//b", Refused },
		{ "a\\\\b", Refused },
		{ "a//", Refused },				// one trailing separator only
		{ "a/\\", Refused },
		{ "file.txt:stream", Refused },
		{ "a.", Refused },				// Windows would make these "a" and "b"
		{ "b ", Refused },
		{ "a. ", Refused },
		{ "dir./x", Refused },
		{ "dir /x", Refused },
		{ "a/ ..", Refused },
		{ "docs./", Refused },
		{ "x?y", Refused },				// not in a Windows file name
		{ "a*", Refused },
		{ "a\"b", Refused },
		{ "<a", Refused },
		{ "a>", Refused },
		{ "a|b", Refused },
		{ "a\tb", Refused },				// control characters
		{ "a\nb", Refused },
		{ "a\x01" "b", Refused },
		{ "a\x1F", Refused },
		{ "a\x7F", Refused },
		{ std::string("a\0b", 3), Refused },
		{ "CON", Refused },
		{ "con", Refused },
		{ "Con.txt", Refused },
		{ "dir/NUL", Refused },
		{ "nul.tar.gz", Refused },
		{ "AUX/", Refused },
		{ "prn", Refused },
		{ "CONIN$", Refused },
		{ "conout$.log", Refused },
		{ "COM1", Refused },
		{ "com9.log", Refused },
		{ "LPT1", Refused },
		{ "lpt9", Refused },
		{ "COM\xC2\xB9", Refused },			// superscript digits count as digits
		{ "lpt\xC2\xB2.x", Refused },
		{ "COM\xC2\xB3", Refused },
		{ "NUL .txt", Refused },			// blanks before the extension are dropped
		{ "Aux  .c", Refused },
		{ "CON.", Refused },
		{ "CON ", Refused },
	};

	std::string Shown(const std::string &name)
	{
		std::string shown;

		for (char c : name) shown += (unsigned char) c < 0x20 ? '?' : c;

		return shown.size() > 60 ? shown.substr(0, 60) + "..." : shown;
	}
}

// The rule on UTF-8 (as the bundle stores names) and on the system's wide
// text (as the archive and the installer hold them) gives the same verdict.
TEST(SafeNames, OnlyRelativePathsBelowTheFolderPass)
{
	for (const Case &c : cases)
	{
		std::wstring	 wide = String::FromUTF8(c.name).WideString();

		for (bool folderMark : { false, true })
		{
			bool	 safe = c.verdict == Safe || (folderMark && c.verdict == FolderOnly);

			EXPECT_EQ(safe, ZBK::IsSafePathName(c.name.data(), c.name.size(), folderMark)) << Shown(c.name) << " UTF-8, folder mark " << folderMark;
			EXPECT_EQ(safe, ZBK::IsSafePathName(wide.data(), wide.size(), folderMark)) << Shown(c.name) << " wide, folder mark " << folderMark;
		}

		// The archive's names may be folder entries.
		EXPECT_EQ(c.verdict != Refused, ZBK::IsSafeName(String(wide))) << Shown(c.name);
	}
}

// Refused names are neither written into an archive nor extracted from one
// that holds them (written by hand, past the writer).
TEST(SafeNames, UnsafeNamesAreNeitherAddedNorExtracted)
{
	const char	*names[] = { "../up", "C:\\x", "NUL", "/abs", "a.", "x?y", "dir./f" };

	for (const char *name : names)
	{
		ZBK::Archive *archive = ZBK::CreateArchive();

		EXPECT_FALSE(ZBK::AddFile(archive, L"source", String(name).Wide())) << name;
		EXPECT_EQ(ZBK::GetNumberOfFiles(archive), 0);

		ZBK::CloseArchive(archive);
	}

	ZBKTest::Workspace		 space;
	std::vector<ZBKTest::Record>	 records;

	for (const char *name : names) records.push_back({ name, 1 });

	records.push_back({ "ok.txt", 1 });
	space.folder.Write("in.zbk", "ZBK" + ZBKTest::ChunkBytes(records, ZBKTest::Compress(std::string(records.size(), 'x'))));

	ZBK::Archive	 archive;

	ASSERT_TRUE(archive.Open(space.Path("in.zbk")));
	ASSERT_EQ(archive.GetNumberOfFiles(), int(records.size()));

	std::vector<String>	 before = space.Files();

	for (const char *name : names)
	{
		EXPECT_FALSE(archive.ExtractFile(name, space.Path("out"))) << name;
		EXPECT_EQ(ZBK::Status::UnsafeName, archive.GetLastStatus()) << name;
		EXPECT_EQ(before, space.Files()) << name;
	}

	EXPECT_TRUE(archive.ExtractFile("ok.txt", space.Path("out")));
	EXPECT_EQ("x", space.Read("out"));
}
