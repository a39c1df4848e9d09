#include "install_target.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace smooth;

namespace
{
	using Verdict = Tolvane::TargetCheck::Verdict;

	TEST(InstallTarget, FoldersAndRegistrations)
	{
		smooth_test::ScratchFolder	 scratch;

		auto	 Installed = [&](const char *folder, const char *application)
		{
			Directory(scratch.Path(folder)).Create();
			Directory(Path::Join(scratch.Path(folder), "uninstall")).Create();
			scratch.Write(Path::Join(Path::Join(folder, "uninstall"), "uninstall.xml"), std::string("<UninstallScript><application>") + application + "</application><version>1</version></UninstallScript>");
		};

		Installed("Editor", "Editor");
		Installed("Other", "Paint Shop");
		Installed("Nameless", "");
		Directory(scratch.Path("Empty")).Create();

		auto	 At = [&](const char *folder) { return Tolvane::Registered { true, scratch.Path(folder), "1.0" }; };

		struct { const char *name, *target; Tolvane::Registered registered; Verdict verdict; const char *named; } rows[] = {
			{ "new folder", "New", {}, Verdict::Go, "" },
			{ "empty folder", "Empty", {}, Verdict::Go, "" },
			{ "this product", "Editor", {}, Verdict::Go, "" },
			{ "this product, registered there", "Editor", At("Editor"), Verdict::Go, "" },
			{ "another product", "Other", {}, Verdict::OtherProduct, "Paint Shop" },
			{ "another product, this one registered there", "Other", At("Other"), Verdict::OtherProduct, "Paint Shop" },
			{ "a script without a name", "Nameless", {}, Verdict::OtherProduct, "another program" },
			{ "registered elsewhere", "New", At("Editor"), Verdict::InstalledElsewhere, "Editor" },
			{ "registered in a folder since deleted", "New", At("Gone"), Verdict::Go, "" },
			{ "registered in another product's folder", "New", At("Other"), Verdict::Go, "" },
			{ "registration without a folder", "New", Tolvane::Registered { true, "", "1.0" }, Verdict::Go, "" },
		};

		for (const auto &row : rows)
		{
			Tolvane::TargetCheck	 check = Tolvane::CheckTarget("Editor", scratch.Path(row.target), row.registered);

			EXPECT_EQ(row.verdict, check.verdict) << row.name;

			String	 text = check.Text("Editor", scratch.Path(row.target));

			if (row.verdict == Verdict::Go) EXPECT_EQ(0, text.Length()) << row.name;
			if (row.verdict == Verdict::OtherProduct) EXPECT_GE(text.Find(String("holds an installation of ").Append(row.named)), 0) << row.name;
			if (row.verdict == Verdict::InstalledElsewhere) EXPECT_GE(text.Find(String("is already installed in ").Append(scratch.Path(row.named))), 0) << row.name;
		}

		// The same folder spelt otherwise is the same folder.
		EXPECT_EQ(Verdict::Go, Tolvane::CheckTarget("Editor", scratch.Path("Editor"), Tolvane::Registered { true, String(scratch.Path("Editor")).Append("/"), "1" }).verdict);
	}

	TEST(InstallTarget, Downgrades)
	{
		struct { const char *version, *registered; bool exists, downgrade; } rows[] = {
			{ "2.9", "2.10", true, true },
			{ "2.10", "2.9", true, false },
			{ "2.0", "2.0", true, false },
			{ "2", "2.0.1", true, true },
			{ "1.0", "", true, false },		// a registration without a version
			{ "1.0", "9.0", false, false },		// nothing registered
		};

		for (const auto &row : rows)
		{
			Tolvane::Registered	 registered { row.exists, "C:\\App", row.registered };

			EXPECT_EQ(row.downgrade, Tolvane::IsDowngrade(row.version, registered)) << row.version << " over " << row.registered;
		}

		Tolvane::RegistrySnapshot	 entry;

		entry.exists = true;
		entry.values = { { "InstallLocation", 1, std::string("C\0:\0\\\0A\0\0\0", 10) }, { "DisplayVersion", 1, std::string("3\0.\0" "1\0", 6) } };

		Tolvane::Registered	 read = Tolvane::ReadRegistered(entry);

		EXPECT_TRUE(read.exists);
		EXPECT_EQ("C:\\A", read.folder.ToUTF8());
		EXPECT_EQ("3.1", read.version.ToUTF8()) << "a value without its terminator";
		EXPECT_GE(Tolvane::DowngradeQuestion("Editor", "3.0", read).Find("Editor 3.1 is installed, which is newer than 3.0."), 0);
	}
}
