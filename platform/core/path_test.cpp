// Which separators count where: entry names take '/' and '\' on every
// system, native paths take '\' only on Windows. Joining with the wrong rule
// puts "out\" + "a.txt" on linux into the working folder as one file named
// "out\a.txt" instead of into the folder "out\".
#include <smooth.h>

#include <gtest/gtest.h>

using smooth::String;
namespace Path = smooth::Path;

TEST(Path, SeparatorsAndJoining)
{
	const bool windows = smooth::System::System::PathSeparator == L'\\';
	const String native = windows ? "\\" : "/";

	EXPECT_TRUE(Path::IsSeparator(L'/') && Path::IsSeparator(L'\\'));
	EXPECT_TRUE(Path::IsNativeSeparator(L'/'));
	EXPECT_EQ(windows, Path::IsNativeSeparator(L'\\'));
	EXPECT_FALSE(Path::IsSeparator(L':') || Path::IsNativeSeparator(L':'));

	struct Case
	{
		const char	*folder;
		const char	*name;
		String		 joined;
	};

	const Case cases[] = {
		{ "", "a.txt", "a.txt" },
		{ "out", "", "out" },
		{ "out", "a.txt", String("out").Append(native).Append("a.txt") },
		{ "out/", "a.txt", "out/a.txt" },
		{ "out\\", "a.txt", windows ? String("out\\a.txt") : String("out\\/a.txt") },
		{ "/", "a", "/a" },
		{ "out", "sub/a.txt", String("out").Append(native).Append("sub/a.txt") },
	};

	for (const Case &c : cases) EXPECT_EQ(c.joined, Path::Join(c.folder, c.name)) << c.folder << " + " << c.name;

	struct Text
	{
		const char	*text;
		bool		 endsWithSeparator;
		smooth::Int	 last;
		smooth::Int	 lastNative;
	};

	const Text texts[] = {
		{ "", false, -1, -1 },
		{ "a", false, -1, -1 },
		{ "a/", true, 1, 1 },
		{ "a\\", true, 1, windows ? 1 : -1 },
		{ "a/b\\c", false, 3, windows ? 3 : 1 },
	};

	for (const Text &t : texts)
	{
		EXPECT_EQ(t.endsWithSeparator, Path::EndsWithSeparator(t.text)) << t.text;
		EXPECT_EQ(t.last, Path::LastSeparator(t.text)) << t.text;
		EXPECT_EQ(t.lastNative, Path::LastNativeSeparator(t.text)) << t.text;
	}
}
