#include "configuration.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace smooth;
using Tolvane::Configuration;

namespace
{
	namespace fs = std::filesystem;

	// A fresh folder per test; removed afterwards.
	class ConfigurationTest : public ::testing::Test
	{
		protected:
			fs::path folder;

			void SetUp() override
			{
				const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
				std::string name = std::string("tolvane-config-") + info->name();

				for (char &c : name) if (c == '/') c = '_';

				folder = fs::temp_directory_path() / name;
				fs::remove_all(folder);
				fs::create_directories(folder);
			}

			void TearDown() override
			{
				std::error_code ignored;
				fs::remove_all(folder, ignored);
			}

			String Write(const std::string &bytes, const char *name = "setup.xml")
			{
				fs::path	 path = folder / name;
				std::ofstream	 out(path, std::ios::binary);

				out << bytes;

				return String(path.wstring().c_str());
			}

			// Loads a script made of the given body below a root element.
			void LoadBody(Configuration &config, const std::string &body)
			{
				config.LoadFile(Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<setup-script>" + body + "</setup-script>"));
			}
	};

	void ExpectDefaults(const Configuration &c)
	{
		for (Int page = 1; page <= 8; page++) EXPECT_FALSE(c.IsPageEnabled(page)) << "page " << page;

		EXPECT_TRUE(c.appName == 0);
		EXPECT_TRUE(c.logo == 0);
		EXPECT_FALSE(c.background);
		EXPECT_FALSE(c.displayAppName);
		EXPECT_FALSE(c.copySmoothDll);
		EXPECT_FALSE(c.createLog);
		EXPECT_EQ(c.components.Length(), 0);
		EXPECT_EQ(c.links.Length(), 0);
		EXPECT_EQ(c.uninstallFiles.Length(), 0);
		EXPECT_EQ(c.appNamePos, GUI::Point(0, 0));
		EXPECT_EQ(c.appNameFont, GUI::Font());
		EXPECT_EQ(c.companyFont.GetColor(), GUI::Color(0, 0));
	}
}

TEST_F(ConfigurationTest, UnusableFilesGiveTheDefaults)
{
	const struct { const char *what; const char *bytes; } cases[] = {
		{ "empty file",		"" },
		{ "not XML",		"this is not a setup script\n" },
		{ "malformed XML",	"<setup><dialogs><dialog id=\"intro\"><title>T</title><text>x</text></dialog></setup>" },
		{ "binary noise",	"\x01\x02\xff\xfe<\x00" },
	};

	for (const auto &c : cases)
	{
		Configuration config;

		EXPECT_EQ(config.LoadFile(Write(c.bytes)), Success()) << c.what;
		SCOPED_TRACE(c.what);
		ExpectDefaults(config);
	}

	Configuration missing;

	EXPECT_EQ(missing.LoadFile(String((folder / "absent.xml").wstring().c_str())), Success());
	ExpectDefaults(missing);
}

TEST_F(ConfigurationTest, LoadReadsSetupXmlFromTheCurrentFolder)
{
	Write("<x><application><name>Here</name></application></x>");

	fs::path previous = fs::current_path();

	fs::current_path(folder);

	Configuration config;

	config.Load();
	EXPECT_TRUE(config.appName == "Here");

	fs::remove(folder / "setup.xml");

	Configuration none;

	none.Load();
	ExpectDefaults(none);

	fs::current_path(previous);
}

// One script, one check: the rules of the loader, case by case.
TEST_F(ConfigurationTest, Rules)
{
	const struct
	{
		const char					*what;
		std::string					 body;
		std::function<void(const Configuration &)>	 check;
	}
	cases[] = {
	{ "root name is not examined and only the first section of a name counts",
	  "<components><component name=\"A\"/></components><components><component name=\"B\"/><component name=\"C\"/></components>",
	  [](const Configuration &c) { ASSERT_EQ(c.components.Length(), 1); EXPECT_TRUE(c.components.GetNth(0)->name == "A"); } },

	{ "a dialog without a text child is ignored as a whole",
	  "<dialogs><dialog id=\"summary\"><title>Sum</title></dialog></dialogs>",
	  [](const Configuration &c) { EXPECT_FALSE(c.showSummary); EXPECT_TRUE(c.summaryTitle == 0); } },

	{ "dialogs without id, of another element name or another id are ignored",
	  "<dialogs><dialog><title>T</title><text>x</text></dialog><page id=\"intro\"><title>T</title><text>x</text></page>"
	  "<dialog id=\"other\"><title>T</title><text>x</text></dialog></dialogs>",
	  [](const Configuration &c) { for (Int p = 1; p <= 8; p++) EXPECT_FALSE(c.IsPageEnabled(p)); EXPECT_TRUE(c.introTitle == 0); } },

	{ "the installation dialog sets its texts and no flag",
	  "<dialogs><dialog id=\"installation\"><title>Installing</title><text>Wait</text></dialog></dialogs>",
	  [](const Configuration &c) {
		EXPECT_TRUE(c.installationTitle == "Installing"); EXPECT_TRUE(c.installationText == "Wait");
		for (Int p = 1; p <= 8; p++) EXPECT_FALSE(c.IsPageEnabled(p));
		// It has no page number: no number reaches it.
		for (Int p = -1; p <= 9; p++) EXPECT_TRUE(c.GetPageTitle(p) != "Installing" && c.GetPageText(p) != "Wait") << p; } },

	{ "every page id sets its own flag, title and text",
	  "<dialogs><dialog id=\"intro\"><title>t1</title><text>x1</text></dialog><dialog id=\"license\"><title>t2</title><text>x2</text></dialog>"
	  "<dialog id=\"directory\"><title>t3</title><text>x3</text></dialog><dialog id=\"components\"><title>t4</title><text>x4</text></dialog>"
	  "<dialog id=\"links\"><title>t5</title><text>x5</text></dialog><dialog id=\"summary\"><title>t6</title><text>x6</text></dialog>"
	  "<dialog id=\"finish\"><title>t7</title><text>x7</text></dialog><dialog id=\"reboot\"><title>t8</title><text>x8</text></dialog></dialogs>",
	  [](const Configuration &c) {
		for (Int p = 1; p <= 8; p++)
		{
			EXPECT_TRUE(c.IsPageEnabled(p)) << p;
			EXPECT_TRUE(c.GetPageTitle(p) == String("t").Append(String::FromInt(p))) << p;
			EXPECT_TRUE(c.GetPageText(p) == String("x").Append(String::FromInt(p))) << p;
		}
		EXPECT_TRUE(c.GetPageTitle(0) == 0); EXPECT_TRUE(c.GetPageTitle(9) == 0);
		EXPECT_TRUE(c.rebootTitle == "t8"); EXPECT_TRUE(c.finishText == "x7"); } },

	{ "a repeated id overwrites the texts, a missing licensefile keeps the earlier one",
	  "<dialogs><dialog id=\"license\"><title>A</title><text>a</text><licensefile>first.txt</licensefile></dialog>"
	  "<dialog id=\"license\"><title>B</title><text>b</text></dialog></dialogs>",
	  [](const Configuration &c) { EXPECT_TRUE(c.showLicense); EXPECT_TRUE(c.licenseTitle == "B"); EXPECT_TRUE(c.licenseText == "b"); EXPECT_TRUE(c.licenseFile == "first.txt"); } },

	{ "a directory dialog takes its defaultdir, first title child wins",
	  "<dialogs><dialog id=\"directory\"><title>D1</title><title>D2</title><text>d</text><defaultdir>Tools\\App</defaultdir></dialog></dialogs>",
	  [](const Configuration &c) { EXPECT_TRUE(c.directoryTitle == "D1"); EXPECT_TRUE(c.defaultDir == "Tools\\App"); } },

	{ "setup switches: only \"true\" is true, a child without value leaves the field",
	  "<setup><background value=\"true\"/><background/><displayAppName value=\"TRUE\"/><displayAppVersion value=\"true\"/>"
	  "<displayCompanyName value=\"true\"/><displayCompanyName value=\"\"/><unknown value=\"true\"/></setup>",
	  [](const Configuration &c) { EXPECT_TRUE(c.background); EXPECT_FALSE(c.displayAppName); EXPECT_TRUE(c.displayAppVersion); EXPECT_FALSE(c.displayCompanyName); } },

	{ "component modes, subdir default and attributes",
	  "<components><component name=\"Both\" default=\"true\" required=\"true\"/><component name=\"Off\" default=\"false\"/>"
	  "<component name=\"On\" id=\"on\" default=\"true\" subdir=\"bin\"/><component name=\"Req\" required=\"true\" default=\"false\"/>"
	  "<notacomponent name=\"X\"/></components>",
	  [](const Configuration &c) {
		ASSERT_EQ(c.components.Length(), 4);
		const struct { const char *name; Int mode; const char *subdir; const char *id; } want[] = {
			{ "Both", 1, ".", "" }, { "Off", 0, ".", "" }, { "On", 2, "bin", "on" }, { "Req", 1, ".", "" } };
		for (Int i = 0; i < 4; i++)
		{
			Tolvane::Component *k = c.components.GetNth(i);
			EXPECT_TRUE(k->name == want[i].name) << i;
			EXPECT_EQ(k->mode, want[i].mode) << want[i].name;
			EXPECT_TRUE(k->subdir == want[i].subdir) << want[i].name;
			EXPECT_TRUE(k->id == want[i].id) << want[i].name;
		} } },

	{ "component children: the later archive and text win, smooth.dll sets the copy flag",
	  "<components><component name=\"A\"><archive>one.zbk</archive><text>first</text><archive>two.zbk</archive><text>second</text>"
	  "<file>other.dll</file></component><component name=\"B\"><file>smooth.dll</file></component></components>",
	  [](const Configuration &c) {
		ASSERT_EQ(c.components.Length(), 2);
		EXPECT_TRUE(c.components.GetNth(0)->archive == "two.zbk");
		EXPECT_TRUE(c.components.GetNth(0)->description == "second");
		EXPECT_TRUE(c.copySmoothDll); } },

	{ "a file child of another content changes nothing",
	  "<components><component name=\"A\"><file>Smooth.dll</file><file>smooth.dll </file></component></components>",
	  [](const Configuration &c) { EXPECT_FALSE(c.copySmoothDll); } },

	{ "link groups: shared subdir, types, document order, absent attributes",
	  "<links><startmenu subdir=\"Menu\"><link file=\"a.exe\">A</link><link file=\"b.exe\" depends=\"doc\">B</link></startmenu>"
	  "<desktop subdir=\"Desk\"><link>C</link><other>D</other></desktop><quicklaunch><link file=\"q.exe\">Q</link></quicklaunch>"
	  "<favourites subdir=\"No\"><link>Z</link></favourites></links>",
	  [](const Configuration &c) {
		EXPECT_TRUE(c.startMenuSubdir == "Desk");
		ASSERT_EQ(c.links.Length(), 4);
		const struct { const char *name, *file, *depends; Int type; } want[] = {
			{ "A", "a.exe", "", 2 }, { "B", "b.exe", "doc", 2 }, { "C", "", "", 1 }, { "Q", "q.exe", "", 3 } };
		for (Int i = 0; i < 4; i++)
		{
			Tolvane::Link *l = c.links.GetNth(i);
			EXPECT_TRUE(l->name == want[i].name) << i;
			EXPECT_TRUE(l->file == want[i].file) << i;
			EXPECT_TRUE(l->depends == want[i].depends) << i;
			EXPECT_EQ(l->type, want[i].type) << i;
		} } },

	{ "positions only with both coordinates, fonts only with all six attributes",
	  "<application><name xpos=\"40\">N</name><company xpos=\"-5\" ypos=\"70\" font=\"Arial\" size=\"12\" color=\"255\" weight=\"700\" italic=\"true\">C</company></application>",
	  [](const Configuration &c) {
		EXPECT_EQ(c.appNamePos, GUI::Point(0, 0));
		EXPECT_EQ(c.companyPos, GUI::Point(-5, 70));
		EXPECT_EQ(c.companyFont, GUI::Font()); } },

	{ "a full font: face, size, weight, packed colour and style bits",
	  "<application><name xpos=\"20\" ypos=\"30\" font=\"Verdana\" size=\"24\" color=\"16777215\" weight=\"700\" italic=\"true\" underline=\"true\">App</name>"
	  "<company xpos=\"1\" ypos=\"2\" font=\"Arial\" size=\"-3\" color=\"65280\" weight=\"400\" italic=\"false\" underline=\"true\">Co</company>"
	  "<version>1.2</version><logo>logo.bmp</logo></application>",
	  [](const Configuration &c) {
		EXPECT_TRUE(c.appName == "App"); EXPECT_TRUE(c.appVersion == "1.2"); EXPECT_TRUE(c.companyName == "Co"); EXPECT_TRUE(c.logo == "logo.bmp");
		EXPECT_EQ(c.appNamePos, GUI::Point(20, 30));
		EXPECT_EQ(c.appNameFont, GUI::Font("Verdana", 24, 700, GUI::Font::Italic | GUI::Font::Underline, GUI::Color(255, 255, 255)));
		EXPECT_EQ(c.appNameFont.GetColor().GetOtherWord(), 0);
		EXPECT_EQ(c.companyFont.GetStyle(), GUI::Font::Normal | GUI::Font::Underline);
		EXPECT_EQ(c.companyFont.GetSize(), -3);
		EXPECT_EQ(c.companyFont.GetColor().GetGreen(), 255);
		EXPECT_EQ(c.companyFont.GetColor().GetRed(), 0); } },

	{ "uninstall: createLog only for \"true\", files in document order",
	  "<uninstall createLog=\"true\"><file>readme.txt</file><folder>x</folder><file>bin\\tool.exe</file></uninstall>",
	  [](const Configuration &c) {
		EXPECT_TRUE(c.createLog);
		ASSERT_EQ(c.uninstallFiles.Length(), 2);
		EXPECT_TRUE(c.uninstallFiles.GetNth(0) == "readme.txt");
		EXPECT_TRUE(c.uninstallFiles.GetNth(1) == "bin\\tool.exe"); } },

	{ "sections are read whatever their order in the file",
	  "<links><desktop><link>L</link></desktop></links><uninstall createLog=\"yes\"/><components><component name=\"K\"/></components>"
	  "<dialogs><dialog id=\"finish\"><title>F</title><text>f</text></dialog></dialogs><application><name>A</name></application><setup><background value=\"true\"/></setup>",
	  [](const Configuration &c) {
		EXPECT_EQ(c.links.Length(), 1); EXPECT_EQ(c.components.Length(), 1); EXPECT_TRUE(c.showFinish);
		EXPECT_TRUE(c.appName == "A"); EXPECT_TRUE(c.background); EXPECT_FALSE(c.createLog); } },

	{ "texts are stored as written: placeholders, spacing, entities",
	  "<dialogs><dialog id=\"intro\"><title> %VERSION% </title><text>Welcome to %VERSION%, then %VERSION%&amp;more\n  line</text></dialog></dialogs>"
	  "<components><component name=\"Core %VERSION%\"><text>about %VERSION%</text></component></components>",
	  [](const Configuration &c) {
		EXPECT_TRUE(c.introTitle == " %VERSION% ");
		EXPECT_TRUE(c.introText == "Welcome to %VERSION%, then %VERSION%&more\n  line");
		EXPECT_TRUE(c.components.GetNth(0)->name == "Core %VERSION%");
		EXPECT_TRUE(c.components.GetNth(0)->description == "about %VERSION%"); } },
	};

	for (const auto &c : cases)
	{
		SCOPED_TRACE(c.what);

		Configuration config;

		LoadBody(config, c.body);
		c.check(config);
	}
}

// Non-ASCII names in UTF-8 and in UTF-16 (both byte orders, with byte-order mark).
TEST_F(ConfigurationTest, Encodings)
{
	const std::u16string script = u"<?xml version=\"1.0\"?><setup><application><name>Grüße 日本</name><version>2.0</version></application>"
				      u"<components><component name=\"Modul Ä %VERSION%\"><text>Beschreibung ö</text></component></components></setup>";

	std::string utf8 = "\xEF\xBB\xBF<?xml version=\"1.0\"?><setup><application><name>Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC</name><version>2.0</version></application>"
			   "<components><component name=\"Modul \xC3\x84 %VERSION%\"><text>Beschreibung \xC3\xB6</text></component></components></setup>";

	std::string le = "\xFF\xFE", be = "\xFE\xFF";

	for (char16_t ch : script)
	{
		le += char(ch & 0xFF); le += char(ch >> 8);
		be += char(ch >> 8);   be += char(ch & 0xFF);
	}

	const struct { const char *what; std::string bytes; } cases[] = { { "UTF-8", utf8 }, { "UTF-8 without BOM", utf8.substr(3) }, { "UTF-16 LE", le }, { "UTF-16 BE", be } };

	for (const auto &c : cases)
	{
		SCOPED_TRACE(c.what);

		Configuration config;

		config.LoadFile(Write(c.bytes));

		EXPECT_TRUE(config.appName == L"Gr\u00fc\u00dfe \u65e5\u672c");
		EXPECT_TRUE(config.appVersion == "2.0");
		ASSERT_EQ(config.components.Length(), 1);
		EXPECT_TRUE(config.components.GetNth(0)->name == L"Modul \u00c4 %VERSION%");
		EXPECT_TRUE(config.components.GetNth(0)->description == L"Beschreibung \u00f6");
	}
}
