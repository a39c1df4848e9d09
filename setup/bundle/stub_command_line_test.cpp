#include "stub_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tolvane;

namespace
{
	struct Row
	{
		const wchar_t *line;       // the whole command line, program name first
		const wchar_t *passOn;     // what goes on to setup.exe
		const wchar_t *extractDir;
		bool silent, hasExtractDir, emptyExtractDir;
	};

	std::string Narrow(const std::wstring &text) { return std::string(text.begin(), text.end()); }
}

TEST(StubCommandLine, PassesTheTailOnWithoutItsOwnOption)
{
	const Row rows[] = {
		{L"bundle.exe", L"", L"", false, false, false},
		{L"\"C:\\a b\\bundle.exe\" /S /D=C:\\Program Files\\X", L"/S /D=C:\\Program Files\\X", L"", true, false, false},
		{L"bundle.exe   /s", L"/s", L"", true, false, false},
		{L"\"bundle.exe\"x /S", L"/S", L"", true, false, false},
		{L"bundle.exe a  b\t c ", L"a  b\t c ", L"", false, false, false},
		{L"bundle.exe \"quoted /S arg\" /Sx /S=1", L"\"quoted /S arg\" /Sx /S=1", L"", false, false, false},
		{L"bundle.exe \"/S\"", L"\"/S\"", L"", true, false, false},
		{L"bundle.exe /extractdir=C:\\t /S", L"/S", L"C:\\t", true, true, false},
		{L"bundle.exe /S /EXTRACTDIR=\"C:\\a b\" /D=C:\\Program Files\\X", L"/S /D=C:\\Program Files\\X", L"C:\\a b", true, true, false},
		{L"bundle.exe /S /D=C:\\x y /ExtractDir=D:\\t", L"/S /D=C:\\x y", L"D:\\t", true, true, false},
		{L"bundle.exe \"/extractdir=C:\\a b\"", L"", L"C:\\a b", false, true, false},
		{L"bundle.exe /extractdir=a /extractdir=b x", L"x", L"b", false, true, false},
		{L"bundle.exe /extractdir= /S", L"/S", L"", true, true, true},
		{L"bundle.exe /D=\"C:\\x /extractdir=y\"", L"/D=\"C:\\x /extractdir=y\"", L"", false, false, false},
		{L"bundle.exe /extractdirs=3 x/extractdir=4", L"/extractdirs=3 x/extractdir=4", L"", false, false, false},
	};
	for (const Row &row : rows)
	{
		SCOPED_TRACE(Narrow(row.line));
		const wchar_t *tail = CommandLineTail(row.line);
		std::vector<wchar_t> passOn(wcslen(tail) + 1, L'#'), extractDir(wcslen(tail) + 1, L'#');
		const StubOptions options = ParseStubTail(tail, passOn.data(), extractDir.data());
		EXPECT_EQ(std::wstring(passOn.data()), row.passOn);
		EXPECT_EQ(std::wstring(extractDir.data()), row.extractDir);
		EXPECT_EQ(options.silent, row.silent);
		EXPECT_EQ(options.hasExtractDir, row.hasExtractDir);
		EXPECT_EQ(options.emptyExtractDir, row.emptyExtractDir);
	}
}
