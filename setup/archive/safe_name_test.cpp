#include "archive.h"

#include <gtest/gtest.h>

TEST(SafeNames, OnlyRelativePathsBelowTheFolderPass)
{
	struct Case
	{
		const wchar_t	*name;
		bool		 safe;
	};

	const Case cases[] = {
		{ L"readme.txt", true },
		{ L"bin/tool.exe", true },
		{ L"bin\\tool.exe", true },
		{ L"docs/", true },			// a folder entry
		{ L"docs\\", true },
		{ L"a/b/c/d.e", true },
		{ L"\u00e9t\u00e9/\u4e2d.txt", true },
		{ L"..foo", true },			// dots inside a name are fine
		{ L"foo..", true },
		{ L"CONSOLE.txt", true },		// only the exact device names
		{ L"COM10", true },
		{ L"LPT0", true },
		{ L"nullable", true },
		{ L"", false },
		{ L"/", false },
		{ L"/etc/passwd", false },
		{ L"\\Windows\\win.ini", false },
		{ L"C:\\Windows", false },
		{ L"C:relative", false },
		{ L"c:/x", false },
		{ L"\\\\server\\share\\x", false },
		{ L"//server/share/x", false },
		{ L"\\\\?\\C:\\x", false },
		{ L"\\\\.\\PhysicalDrive0", false },
		{ L"..", false },
		{ L"../x", false },
		{ L"a/../../x", false },
		{ L"a\\..\\x", false },
		{ L"a/..", false },
		{ L".", false },
		{ L"./a", false },
		{ L"a/./b", false },
		{ L"a//b", false },
		{ L"a\\\\b", false },
		{ L"a//", false },			// one trailing separator only
		{ L"file.txt:stream", false },
		{ L"CON", false },
		{ L"con", false },
		{ L"Con.txt", false },
		{ L"dir/NUL", false },
		{ L"nul.tar.gz", false },
		{ L"AUX/", false },
		{ L"prn", false },
		{ L"COM1", false },
		{ L"com9.log", false },
		{ L"LPT1", false },
		{ L"lpt9", false },
		{ L"CON.", false },			// trailing dots and spaces are dropped by Windows
		{ L"CON ", false },
		{ L"NUL .txt", false },
		{ L"a/ ..", false },
		{ L"a\tb", false },			// control characters
		{ L"a\nb", false },
	};

	for (const auto &c : cases) EXPECT_EQ(ZBK::IsSafeName(c.name), c.safe) << smooth::String(c.name).ToUTF8();
}

TEST(SafeNames, UnsafeNamesAreNeitherAddedNorExtracted)
{
	for (const wchar_t *name : { L"../up", L"C:\\x", L"NUL", L"/abs" })
	{
		ZBK::Archive *archive = ZBK::CreateArchive();

		EXPECT_FALSE(ZBK::AddFile(archive, L"source", name)) << smooth::String(name).ToUTF8();
		EXPECT_EQ(ZBK::GetNumberOfFiles(archive), 0);

		ZBK::CloseArchive(archive);
	}
}
