#include "check.h"

#include <archive_test_support.h>

#include <gtest/gtest.h>

#include <functional>

using namespace smooth;
using namespace Tolvane::Tool;

namespace
{
	/* The product folder the table's scripts are checked in: a ZBK archive
	 * core.zbk with app.exe and bin/Tool.exe, bad.zbk that is no archive,
	 * evil.zbk whose entry leaves the target, a source folder files/docs,
	 * a logo and a licence.
	 */
	const smooth_test::ScratchFolder &Product()
	{
		static smooth_test::ScratchFolder folder;
		static bool			  made = false;

		if (made) return folder;

		Directory(folder.Path("files/docs")).Create();
		folder.Write("files/docs/manual.txt", "manual");
		folder.Write("app.exe", "program");
		folder.Write("logo.bmp", "BM");
		folder.Write("lic.txt", "licence");
		folder.Write("utf8.txt", "\xc3\x9c" "bersetzung");
		folder.Write("marked.txt", "\xef\xbb\xbf\xc3\x9c" "bersetzung");
		folder.Write("latin1.txt", "caf\xe9");
		folder.Write("bad.zbk", "not an archive");
		folder.Write("evil.zbk", "ZBK" + ZBKTest::ChunkBytes({ { "../evil.txt", 0 } }, ZBKTest::Compress("")));

		ZBK::Archive core;

		EXPECT_TRUE(core.AddFile(folder.Path("app.exe"), "app.exe"));
		EXPECT_TRUE(core.AddFile(folder.Path("app.exe"), "bin/Tool.exe"));
		EXPECT_TRUE(core.Write(folder.Path("core.zbk")));

		made = true;

		return folder;
	}

	enum Expect { Clean, IsError, IsWarning };

	struct Case
	{
		const char	*rule;
		const char	*script;	// '@' marks where the one diagnostic points
		Expect		 expect;
		const char	*fragment;
		bool		 utf16 = false;
	};

	// The component most cases need, with the files core.zbk installs.
	#define CORE "<components><component id=\"core\" required=\"true\"><archive>core.zbk</archive></component></components>"

	const Case cases[] = {
		{ "malformed XML", "<i>\n  <setup>\n</@i>", IsError, "malformed XML" },
		{ "empty file", "@", IsError, "malformed XML" },
		{ "UTF-16 script with a byte-order mark", "<i> @<bogus/>\r\n</i>", IsWarning, "unknown section <bogus>", true },
		{ "unknown section", "<i>@<setpu/></i>", IsWarning, "unknown section <setpu>" },
		{ "unknown element", "<i><components><component id=\"c\"><archive>core.zbk</archive>@<archiv/></component></components></i>", IsWarning, "unknown element <archiv> in <component>" },
		{ "unknown attribute", "<i><components><component id=\"c\" @colour=\"red\"><archive>core.zbk</archive></component></components></i>", IsWarning, "unknown attribute 'colour'" },
		{ "element inside a text", "<i><dialogs><dialog id=\"intro\"><title>T</title><text>a @<b>b</b></text></dialog></dialogs></i>", IsWarning, "<b> inside <text> is ignored" },
		{ "text in a container", "<i><uninstall>@files</uninstall></i>", IsWarning, "text in <uninstall> is ignored" },
		{ "boolean True", "<i><uninstall @createLog=\"True\"/></i>", IsError, "neither true nor false" },
		{ "boolean 1", "<i><components><component id=\"c\" @required=\"1\"><archive>core.zbk</archive></component></components></i>", IsError, "reads it as false" },
		{ "switch without value", "<i><setup>@<background/></setup></i>", IsWarning, "has no 'value'" },
		{ "xpos alone", "<i><application><name @xpos=\"4\">N</name></application></i>", IsWarning, "'xpos' without 'ypos'" },
		{ "ypos alone", "<i><application><company @ypos=\"4\">C</company></application></i>", IsWarning, "'ypos' without 'xpos'" },
		{ "part of a font", "<i><application>@<company font=\"Arial\" size=\"9\">C</company></application></i>", IsWarning, "lacks color, weight, italic, underline" },
		{ "colour in hex", "<i><application><name font=\"A\" size=\"9\" @color=\"#FFFFFF\" weight=\"4\" italic=\"false\" underline=\"false\">N</name></application></i>", IsWarning, "reads it as 0" },
		{ "dialog without title", "<i><dialogs>@<dialog id=\"intro\"><text>x</text></dialog></dialogs></i>", IsError, "dialog without <title>" },
		{ "dialog without id", "<i><dialogs>@<dialog><title>t</title><text>x</text></dialog></dialogs></i>", IsError, "dialog without 'id'" },
		{ "unknown dialog id", "<i><dialogs><dialog @id=\"welcome\"><title>t</title><text>x</text></dialog></dialogs></i>", IsError, "unknown dialog id 'welcome' is ignored (the ids are intro, license, directory, components, links, summary, installation, finish, reboot)" },
		{ "repeated dialog", "<i><dialogs><dialog id=\"finish\"><title>t</title><text>x</text></dialog>@<dialog id=\"finish\"><title>t</title><text>y</text></dialog></dialogs></i>", IsWarning, "repeated dialog 'finish'" },
		{ "repeated title", "<i><dialogs><dialog id=\"intro\"><title>t</title>@<title>u</title><text>x</text></dialog></dialogs></i>", IsWarning, "only the first one counts" },
		{ "child of another dialog", "<i><dialogs><dialog id=\"intro\"><title>t</title><text>x</text>@<defaultdir>D</defaultdir></dialog></dialogs></i>", IsWarning, "unknown element <defaultdir> in dialog 'intro'" },
		{ "component without archive", "<i><components>@<component id=\"c\"><text>x</text></component></components></i>", IsError, "component 'c' has no archive" },
		{ "missing archive", "<i><components><component id=\"c\">@<archive>gone.zbk</archive></component></components></i>", IsError, "archive 'gone.zbk' is missing" },
		{ "not an archive", "<i><components><component id=\"c\">@<archive>bad.zbk</archive></component></components></i>", IsError, "cannot be read" },
		{ "unsafe entry", "<i><components><component id=\"c\">@<archive>evil.zbk</archive></component></components></i>", IsError, "'../evil.txt', a name the installer refuses" },
		{ "missing source folder", "<i><components><component id=\"c\"><archive @source=\"nowhere\">c.zbk</archive></component></components></i>", IsError, "source folder 'nowhere' is missing" },
		{ "unsafe subdir", "<i><components><component id=\"c\" @subdir=\"..\\up\"><archive>core.zbk</archive></component></components></i>", IsError, "not a folder below the installation folder" },
		{ "file other than smooth.dll", "<i><components><component id=\"c\"><archive>core.zbk</archive>@<file>Smooth.dll</file></component></components></i>", IsWarning, "has no effect: only smooth.dll is copied" },
		{ "depends on no component", "<i>" CORE "<links><desktop><link file=\"app.exe\" @depends=\"doc\">A</link></desktop></links></i>", IsError, "depends 'doc' names no component" },
		{ "link target not installed", "<i>" CORE "<links><desktop><link @file=\"bin\\tool2.exe\">A</link></desktop></links></i>", IsError, "'bin\\tool2.exe' is not installed" },
		{ "link target beside the subdir", "<i><components><component id=\"c\" required=\"true\" subdir=\"sub\"><archive>core.zbk</archive></component></components><links><desktop><link @file=\"app.exe\">A</link></desktop></links></i>", IsError, "is not installed" },
		{ "link without file", "<i>" CORE "<links><desktop>@<link>A</link></desktop></links></i>", IsWarning, "link without 'file'" },
		{ "link to an optional file", "<i><components><component id=\"d\" subdir=\"docs\"><archive source=\"files/docs\">d.zbk</archive></component></components><links><desktop>@<link file=\"docs/manual.txt\">M</link></desktop></links></i>", IsWarning, "installed only by optional 'd'" },
		{ "subdir on the desktop group", "<i><links><desktop @subdir=\"P\"/></links></i>", IsWarning, "sets the folder of the Start-menu links" },
		{ "two start-menu folders", "<i><links><startmenu subdir=\"P\"/><startmenu @subdir=\"Q\"/></links></i>", IsWarning, "'Q' replaces 'P'" },
		{ "missing logo", "<i><application>@<logo>nologo.bmp</logo></application></i>", IsError, "logo file 'nologo.bmp' is missing" },
		{ "missing licence", "<i><dialogs><dialog id=\"license\"><title>t</title><text>x</text>@<licensefile>gone.txt</licensefile></dialog></dialogs></i>", IsError, "licence file 'gone.txt' is missing" },
		{ "licence in UTF-8 without a mark", "<i><dialogs><dialog id=\"license\"><title>t</title><text>x</text>@<licensefile>utf8.txt</licensefile></dialog></dialogs></i>", IsWarning,
		  "licence file 'utf8.txt' is UTF-8 without a byte-order mark: the licence page would show each byte of its non-ASCII letters as a character of its own; save it as UTF-8 with a byte-order mark (BOM), or build with --mark-licence" },
		{ "clean: licence in UTF-8 with its mark", "<i><dialogs><dialog id=\"license\"><title>t</title><text>x</text><licensefile>marked.txt</licensefile></dialog></dialogs></i>", Clean, "" },
		{ "clean: licence in Latin-1", "<i><dialogs><dialog id=\"license\"><title>t</title><text>x</text><licensefile>latin1.txt</licensefile></dialog></dialogs></i>", Clean, "" },
		{ "section out of order", "<i><links/>\r\n  @<setup/></i>", IsWarning, "section <setup> after <links>: the installer reads the sections in the order setup, application, uninstall, dialogs, components, links" },
		{ "repeated section", "<i><setup/>@<setup/></i>", IsWarning, "repeated section <setup> is ignored" },
		{ "repeated application child, column in characters", "<i><application><name>Caf\xc3\xa9</name>@<name>x</name></application></i>", IsWarning, "repeated <name>: only the last one counts" },
		{ "placeholder misspelt", "<i><dialogs><dialog id=\"intro\"><title>t</title><text>Version @%VERISON% is here</text></dialog></dialogs></i>", IsWarning, "'%VERISON%' is not the placeholder" },
		{ "placeholder in lower case", "<i><components><component id=\"c\" name=\"App @%version%\"><archive>core.zbk</archive></component></components></i>", IsWarning, "'%version%'" },
		{ "placeholder without closing percent", "<i><dialogs><dialog id=\"finish\"><title>t</title><text>&quot;App&quot; @%VERSION is ready</text></dialog></dialogs></i>", IsWarning, "'%VERSION' is not" },
		{ "placeholder where it is not replaced", "<i><dialogs><dialog id=\"intro\"><title>App @%VERSION%</title><text>x</text></dialog></dialogs></i>", IsWarning, "not replaced in <title>" },

		{ "clean: every section in order", "<i><setup><background value=\"false\"/></setup><application><name xpos=\"1\" ypos=\"-2\">N</name><logo>logo.bmp</logo></application>"
						   "<uninstall createLog=\"true\"><file>x.ini</file></uninstall><dialogs><dialog id=\"license\"><title>t</title><text>Version %VERSION%, 100% sure</text><licensefile>LIC.TXT</licensefile></dialog></dialogs>"
						   CORE "<links><startmenu subdir=\"P\"><link file=\"uninstall\\uninstall.xml\">U %VERSION%</link></startmenu></links></i>", Clean, "" },
		{ "clean: link as Windows compares", "<i>" CORE "<links><desktop><link file=\"BIN\\tool.EXE\">T</link><link file=\".\\bin\">B</link></desktop></links></i>", Clean, "" },
		{ "clean: source folder below a subdir", "<i><components><component id=\"d\" subdir=\"docs\"><archive source=\"Files\\docs\">d.zbk</archive></component></components><links><desktop><link file=\"docs/manual.txt\" depends=\"d\">M</link></desktop></links></i>", Clean, "" },
	};

	// Failures name the case, not its bytes.
	void PrintTo(const Case &c, std::ostream *out)	{ *out << c.rule; }

	std::string Utf16(const std::string &ascii)
	{
		std::string bytes = "\xff\xfe";

		for (char c : ascii) { bytes += c; bytes += '\0'; }

		return bytes;
	}

	class CheckTable : public testing::TestWithParam<Case> {};

	TEST_P(CheckTable, ReportsTheOneProblemWhereItIs)
	{
		const Case	&c = GetParam();
		std::string	 script = c.script;
		size_t		 marker = script.find('@');
		int		 line = 1, column = 1;

		if (marker != std::string::npos)
		{
			script.erase(marker, 1);

			for (size_t i = 0; i < marker; i++)
			{
				if	(script[i] == '\n')		 { line++; column = 1; }
				else if ((script[i] & 0xC0) != 0x80) column++;
			}
		}

		Product().Write("setup.xml", c.utf16 ? Utf16(script) : script);

		std::vector<Diagnostic>	 found = CheckScript(Product().Root(), CheckOptions());
		std::string		 all;

		for (const Diagnostic &d : found) all += FormatDiagnostic(d) + "\n";

		if (c.expect == Clean) { EXPECT_TRUE(found.empty()) << all; return; }

		ASSERT_EQ(found.size(), 1u) << all;
		EXPECT_EQ(found[0].severity, c.expect == IsError ? Diagnostic::Error : Diagnostic::Warning) << all;
		EXPECT_EQ(found[0].line, line) << all;
		EXPECT_EQ(found[0].column, column) << all;
		EXPECT_NE(found[0].message.find(c.fragment), std::string::npos) << all;
	}

	INSTANTIATE_TEST_SUITE_P(Rules, CheckTable, testing::ValuesIn(cases), [](const testing::TestParamInfo<Case> &info) {
		std::string name = std::to_string(info.index) + "_";

		for (const char *p = info.param.rule; *p != 0; p++) name += isalnum((unsigned char) *p) ? *p : '_';

		return name;
	});

	// The sample product as the publisher keeps it: its archives are packed
	// from the folders the script names; the built program and the
	// uninstaller are added by the build, so they are named as extra entries.
	TEST(CheckSample, IsCleanWithTheBuiltFilesAndOnlyThen)
	{
		const String		 examples = TOLVANE_EXAMPLES;

		CheckOptions	 options;

		options.extraEntries = { { "pebble-core.zbk", "pebble.exe" }, { "Pebble-Core.zbk", "uninstall\\uninstall.exe" } };

		std::vector<Diagnostic>	 found = CheckScript(examples, options);

		for (const Diagnostic &d : found) ADD_FAILURE() << FormatDiagnostic(d);

		// Without them, the links to the program (three) and the uninstaller break.
		found = CheckScript(examples, CheckOptions());

		EXPECT_EQ(found.size(), 4u);
		EXPECT_TRUE(HasErrors(found));
	}

	TEST(CheckCommand, ExitCodesAndLines)
	{
		smooth_test::ScratchFolder folder;

		folder.Write("setup.xml", "<i><components><component id=\"c\"><archive>gone.zbk</archive></component></components>\n<setpu/></i>");

		const struct { std::vector<String> arguments; int code; std::string out; bool usage; } runs[] = {
			{ {}, ExitUsage, "", true },
			{ { "chek", folder.Root() }, ExitUsage, "", true },
			{ { "check" }, ExitUsage, "", true },
			{ { "check", folder.Root(), folder.Root() }, ExitUsage, "", true },
			{ { "check", "--entry", "a.zbk", folder.Root() }, ExitUsage, "", true },
			{ { "check", folder.Root() }, ExitFailure, "setup.xml:1:34: error: archive 'gone.zbk' is missing\nsetup.xml:2:1: warning: unknown section <setpu> is ignored"
								   " (the sections are setup, application, uninstall, dialogs, components, links)\n", false },
			{ { "check", "--entry", "gone.zbk=x", Path::Join(folder.Root(), "nothing") }, ExitFailure, "setup.xml: error: cannot read", false },
			{ { "check", "--help" }, ExitOK, "usage: tolvane check", false },
		};

		for (const auto &run : runs)
		{
			std::string out, err;
			Console	    console;

			console.out = [&](const std::string &text) { out += text; };
			console.err = [&](const std::string &text) { err += text; };

			EXPECT_EQ(RunTool(run.arguments, console), run.code) << out << err;
			EXPECT_EQ(out.substr(0, run.out.size()), run.out);
			EXPECT_EQ(err.find("usage: tolvane check") != std::string::npos, run.usage) << err;
		}

		// Warnings alone do not fail the check.
		folder.Write("setup.xml", "<i><setpu/></i>");

		Console console;
		std::string out;

		console.out = [&](const std::string &text) { out += text; };
		console.err = [&](const std::string &) {};

		EXPECT_EQ(RunTool({ "check", folder.Root() }, console), ExitOK);
		EXPECT_NE(out.find("warning: unknown section"), std::string::npos);
	}
}
