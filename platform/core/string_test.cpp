#include <smooth.h>
#include <smooth/internal.h>

#include <gtest/gtest.h>

using smooth::String;

namespace
{
	// Restores the thread's text formats after a test changed them.
	struct FormatGuard
	{
		std::string in  = String::GetInputFormat();
		std::string out = String::GetOutputFormat();

		~FormatGuard() { String::SetInputFormat(in.c_str()); String::SetOutputFormat(out.c_str()); }
	};
}

TEST(String, CRC32OfTheStandardCheckValues)
{
	struct { const char *text; smooth::UnsignedInt crc; } cases[] = {
		{ "123456789", 0xCBF43926u },
		{ "",	       0x00000000u },
		{ "a",	       0xE8B7BE43u },
		// Non-ASCII text is checksummed as its UTF-8 bytes: "ü" is C3 BC.
		{ "\xC3\xBC",  0x63D969D5u },
	};

	for (const auto &c : cases) EXPECT_EQ(String(c.text).ComputeCRC32(), c.crc) << c.text;
}

TEST(String, NarrowRoundTripsInBothFormats)
{
	FormatGuard guard;

	// "Grüße, Ådne" as wide text.
	const wchar_t *wide = L"Gr\u00FC\u00DFe, \u00C5dne";

	struct { const char *format; std::string bytes; } cases[] = {
		{ "UTF-8",	"Gr\xC3\xBC\xC3\x9F" "e, \xC3\x85" "dne" },
		{ "ISO-8859-1",	"Gr\xFC\xDF" "e, \xC5" "dne" },
	};

	for (const auto &c : cases)
	{
		ASSERT_NE(String::SetInputFormat(c.format), nullptr);
		ASSERT_NE(String::SetOutputFormat(c.format), nullptr);

		String decoded(c.bytes.c_str());

		EXPECT_EQ(decoded, wide) << c.format;
		EXPECT_EQ(decoded.Length(), 11) << c.format;
		EXPECT_EQ(String(wide).Narrow(), c.bytes) << c.format;
		EXPECT_EQ(String(String(wide).Narrow().c_str()), wide) << c.format;
	}

	// Characters Latin-1 cannot hold become '?'; unknown formats are refused.
	String::SetOutputFormat("ISO-8859-1");
	EXPECT_EQ(String(L"\u20AC1").Narrow(), "?1");
	EXPECT_EQ(String::SetOutputFormat("no-such-format"), nullptr);
	EXPECT_STREQ(String::GetOutputFormat(), "ISO-8859-1");

	// Characters outside the basic plane survive UTF-8 in both directions.
	String::SetInputFormat("UTF-8");
	String::SetOutputFormat("UTF-8");
	EXPECT_EQ(String("\xF0\x9F\x98\x80").ToUTF8(), "\xF0\x9F\x98\x80");
	// Malformed UTF-8 never reads past its end and yields replacement characters.
	EXPECT_EQ(String::FromUTF8(std::string("a\xC3", 2)).ToUTF8(), "a\xEF\xBF\xBD");
}

TEST(String, SearchAndSlicing)
{
	String text("install/%VERSION%/install");

	EXPECT_EQ(text.Find("install"), 0);
	EXPECT_EQ(text.Find("install", 1), 18);
	EXPECT_EQ(text.FindLast("install"), 18);
	EXPECT_EQ(text.Find("missing"), -1);
	EXPECT_TRUE(text.StartsWith("install/"));
	EXPECT_TRUE(text.EndsWith("/install"));
	EXPECT_FALSE(text.EndsWith("a much longer text than the one we have"));
	EXPECT_EQ(text.SubString(8, 9), "%VERSION%");
	EXPECT_EQ(text.SubString(20, 100), "stall");
	EXPECT_EQ(text.SubString(-5, 7), "in");
	EXPECT_EQ(text.Head(7), "install");
	EXPECT_EQ(text.Tail(7), "install");

	String copy = text;

	EXPECT_EQ(copy.Replace("%VERSION%", "1.0"), "install/1.0/install");
	EXPECT_EQ(text, "install/%VERSION%/install");	// the copy is independent
	EXPECT_EQ(String("aaa").Replace("a", "aa"), "aaaaaa");	// no rescan of inserted text
}

TEST(String, NumbersComparisonAndGrowth)
{
	struct { const char *text; smooth::Int64 value; } numbers[] = {
		{ "42", 42 }, { "-17", -17 }, { "+5", 5 }, { "12abc", 12 }, { "", 0 }, { "abc", 0 },
		{ "9223372036854775807", 9223372036854775807LL },
	};

	for (const auto &n : numbers) EXPECT_EQ(String(n.text).ToInt(), n.value) << n.text;

	EXPECT_EQ(String::FromInt(-1234567890123LL), "-1234567890123");

	EXPECT_LT(String("abc").Compare("abd"), 0);
	EXPECT_GT(String("abd").Compare("abc"), 0);
	EXPECT_LT(String("ab").Compare("abc"), 0);
	EXPECT_EQ(String("abc").Compare("abc"), 0);
	EXPECT_TRUE(String() == 0);
	EXPECT_TRUE(String("x") != 0);
	EXPECT_TRUE(String((const char *) nullptr) == "");

	// Writing past the end grows the text with zeros in between.
	String grown;

	grown[0] = L'a';
	grown[2] = L'c';
	EXPECT_EQ(grown.Length(), 3);
	EXPECT_EQ(grown[1], L'\0');
	EXPECT_EQ(grown[2], L'c');

	EXPECT_EQ(String("a") + "b" + L"c", "abc");
	EXPECT_EQ("x" + String("y"), "xy");
}

TEST(Definitions, StartUpValuesAndHooks)
{
	EXPECT_EQ(smooth::System::System::GetAPIVersion(), "0.8.70.0");
	EXPECT_EQ(smooth::Math::Round(2.5), 3);
	EXPECT_EQ(smooth::Math::Round(-2.5), -3);
	EXPECT_EQ(smooth::Math::Round(1.49), 1);

	static std::string order;

	smooth::Internal::RegisterInitHook([]() -> smooth::Int { order += "i1"; return smooth::Success(); }, []() -> smooth::Int { order += "f1"; return smooth::Success(); });
	smooth::Internal::RegisterInitHook([]() -> smooth::Int { order += "i2"; return smooth::Success(); }, []() -> smooth::Int { order += "f2"; return smooth::Success(); });

	ASSERT_EQ(smooth::Init(), smooth::Success());
	ASSERT_EQ(smooth::Free(), smooth::Success());

	// Init runs hooks in order, Free in reverse.
	EXPECT_NE(order.find("i1i2"), std::string::npos) << order;
	EXPECT_NE(order.find("f2f1"), std::string::npos) << order;

	// Temporary folder ends with the separator.
	String temporary = smooth::System::System::GetTempDirectory();

	ASSERT_GT(temporary.Length(), 0);
	EXPECT_EQ(temporary[temporary.Length() - 1], smooth::System::System::PathSeparator);
	EXPECT_TRUE(smooth::Directory(temporary).Exists());

	EXPECT_EQ(smooth::Object::DeleteObject(nullptr), smooth::Success());
}
