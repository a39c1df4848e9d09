#include "registry_backup.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace smooth;
using Tolvane::RegistrySnapshot;

namespace
{
	std::string Utf16(const wchar_t *text)
	{
		std::string	 bytes;

		for (const wchar_t *c = text; ; c++)
		{
			bytes.push_back(char(*c & 0xFF));
			bytes.push_back(char((*c >> 8) & 0xFF));

			if (*c == 0) return bytes;
		}
	}

	RegistrySnapshot Sample()
	{
		RegistrySnapshot	 snapshot;

		snapshot.exists = true;
		snapshot.values = {
			{ "DisplayName", 1, Utf16(L"Ωmega Тест 日本") },
			{ "EstimatedSize", 4, std::string("\x10\x27\0\0", 4) },
			{ "", 1, Utf16(L"the default value") },
			{ "Lines\nand\ttabs", 3, std::string("\0\n\r\xff", 4) },
			{ "Empty", 3, "" },
		};

		return snapshot;
	}

	TEST(RegistryBackup, RoundTripAndCuts)
	{
		RegistrySnapshot	 missing;
		RegistrySnapshot	 back;

		for (const RegistrySnapshot &snapshot : { Sample(), missing })
		{
			std::string	 bytes = Tolvane::EncodeRegistrySnapshot(snapshot);

			ASSERT_TRUE(Tolvane::DecodeRegistrySnapshot(bytes, back));
			EXPECT_EQ(snapshot.exists, back.exists);
			EXPECT_EQ(snapshot.values, back.values);

			// A file cut anywhere is never taken for a whole snapshot.
			for (size_t cut = 0; cut < bytes.size(); cut++) EXPECT_FALSE(Tolvane::DecodeRegistrySnapshot(bytes.substr(0, cut), back)) << "cut at " << cut;
		}

		EXPECT_EQ("Ωmega Тест 日本", Sample().GetText("displayname").ToUTF8());
		EXPECT_EQ("", Sample().GetText("EstimatedSize").ToUTF8()) << "a number is not a text";
		EXPECT_EQ("", Sample().GetText("Nothing").ToUTF8());

		const char *damaged[] = {
			"registry 1\nexists\n41 1 4\nend 1\n",			// odd hex digits
			"registry 1\nexists\n41 x 41\nend 1\n",			// type not a number
			"registry 1\nexists\n41 99999999999 41\nend 1\n",	// type too large
			"registry 1\nmissing\n41 1 41\nend 1\n",		// values of a key that is not there
			"registry 1\nexists\n41 1 41\nend 2\n",			// count differs
			"registry 2\nexists\nend 0\n",
		};

		for (const char *bytes : damaged) EXPECT_FALSE(Tolvane::DecodeRegistrySnapshot(bytes, back)) << bytes;
	}

#ifdef _WIN32
	TEST(RegistryBackup, RestoresTheEntryExactly)
	{
		const String	 name = "tolvane-registry-backup-test Ωmega";
		RegistrySnapshot before, after;

		ASSERT_TRUE(Tolvane::RestoreUninstallEntrySnapshot(name, RegistrySnapshot()));
		ASSERT_TRUE(Tolvane::ReadUninstallEntrySnapshot(name, before));
		EXPECT_FALSE(before.exists);

		ASSERT_TRUE(Tolvane::RestoreUninstallEntrySnapshot(name, Sample()));
		ASSERT_TRUE(Tolvane::ReadUninstallEntrySnapshot(name, after));
		EXPECT_TRUE(after.exists);

		// The system lists values in its own order.
		for (const Tolvane::RegistryValue &value : Sample().values)
		{
			EXPECT_EQ(1, std::count(after.values.begin(), after.values.end(), value)) << value.name.ToUTF8();
		}

		EXPECT_EQ(Sample().values.size(), after.values.size());

		// A value another program added goes when the entry is put back.
		RegistrySnapshot	 smaller = Sample();

		smaller.values.resize(1);

		ASSERT_TRUE(Tolvane::RestoreUninstallEntrySnapshot(name, smaller));
		ASSERT_TRUE(Tolvane::ReadUninstallEntrySnapshot(name, after));
		EXPECT_EQ(smaller.values, after.values);

		ASSERT_TRUE(Tolvane::RestoreUninstallEntrySnapshot(name, RegistrySnapshot()));
		ASSERT_TRUE(Tolvane::ReadUninstallEntrySnapshot(name, after));
		EXPECT_FALSE(after.exists);
	}
#endif
}
