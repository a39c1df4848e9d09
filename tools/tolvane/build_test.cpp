#include "build.h"
#include "run_program.h"

#include <archive.h>
#include <bundle_test_support.h>
#include <bundle_writer.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <cstdlib>
#include <functional>

using namespace smooth;
using namespace Tolvane::Tool;

namespace
{
	// A product folder as a publisher keeps it: the script, its logo and
	// licence, two components packed from folders, and beside it a folder
	// of programs as the build makes them (made-up PE images: the tool only
	// copies, packs and signs them).
	class BuildTest : public ::testing::Test
	{
		protected:
			smooth_test::ScratchFolder	 scratch;
			String				 product = scratch.Path("product");
			String				 programs = scratch.Path("programs");
			String				 out = scratch.Path("out");
			std::string			 printed, errors;

			void SetUp() override
			{
				Directory(Path::Join(product, "files/app/lang")).Create();
				Directory(Path::Join(product, "files/docs")).Create();
				Directory(programs).Create();
				scratch.Write("product/setup.xml",
					      "<installer><application><name>Demo</name><version>1.0</version><logo>logo.bmp</logo></application>"
					      "<uninstall createLog=\"true\"/>"
					      "<dialogs><dialog id=\"license\"><title>T</title><text>X</text><licensefile>licence.txt</licensefile></dialog></dialogs>"
					      "<components><component id=\"core\" required=\"true\"><archive source=\"files/app\">core.zbk</archive></component>"
					      "<component id=\"docs\"><archive source=\"files/docs\">docs.zbk</archive></component></components>"
					      "<links><startmenu subdir=\"Demo\"><link file=\"app.exe\">Demo</link>"
					      "<link file=\"uninstall\\uninstall.exe\">Uninstall Demo</link></startmenu></links></installer>");
				scratch.Write("product/logo.bmp", "BM logo");
				scratch.Write("product/licence.txt", "licence");
				scratch.Write("product/files/app/app.exe", "program");
				scratch.Write("product/files/app/lang/de.txt", "Hallo");
				scratch.Write("product/files/docs/manual.txt", "manual");

				int n = 0;

				for (const char *name : { "setup.exe", "smooth.dll", "uninstall.exe", "bundle_stub.exe" })
				{
					BundleTest::Image image;

					image.sections.back().second += 0x200 * n++;	// each program its own bytes
					scratch.Write(String("programs/").Append(name), BundleTest::MakePe(image));
				}
			}

			bool	 terminal = false;

			int Run(std::vector<String> arguments)
			{
				Console console;

				console.progress = terminal;

				printed.clear();
				errors.clear();
				console.out = [this](const std::string &text) { printed += text; };
				console.err = [this](const std::string &text) { errors += text; };

				return RunTool(arguments, console);
			}

			int Build(const String &to, std::vector<String> more = {})
			{
				std::vector<String> arguments = { "build", product, "-o", to, "--programs", programs, "--bundle" };

				arguments.insert(arguments.end(), more.begin(), more.end());

				return Run(arguments);
			}

			std::vector<std::string> BundleNames(const String &bundle)
			{
				std::vector<Tolvane::BundleEntry>	 entries;
				std::vector<std::string>		 names;
				std::string				 detail;

				EXPECT_EQ(Tolvane::ReadBundleFile(bundle.ToUTF8(), &entries, false, &detail), Tolvane::BundleStatus::Ok) << detail;

				for (const Tolvane::BundleEntry &entry : entries) names.push_back(entry.name);

				return names;
			}
	};
}

TEST_F(BuildTest, SameInputsGiveTheSameBytes)
{
	ASSERT_EQ(Build(out), ExitOK) << errors;
	ASSERT_EQ(Build(scratch.Path("again")), ExitOK) << errors;

	// Every file the bundle carries, in sorted order; the uninstaller went
	// into the required component's archive.
	const std::vector<std::string> files = { "core.zbk", "docs.zbk", "licence.txt", "logo.bmp", "setup.exe", "setup.xml", "smooth.dll" };

	EXPECT_EQ(BundleNames(String(out).Append(".exe")), files);

	for (const std::string &name : files) EXPECT_EQ(scratch.Read(String("out/").Append(String::FromUTF8(name))), scratch.Read(String("again/").Append(String::FromUTF8(name)))) << name;

	EXPECT_EQ(scratch.Read("out.exe"), scratch.Read("again.exe"));
	EXPECT_EQ(scratch.Read("out/setup.exe"), scratch.Read("programs/setup.exe"));

	{
		ZBK::Archive core;

		ASSERT_TRUE(core.Open(Path::Join(out, "core.zbk")));
		ASSERT_EQ(core.GetNumberOfFiles(), 3);
		EXPECT_EQ(core.GetFileName(0), "app.exe");
		EXPECT_EQ(core.GetFileName(1), "lang/de.txt");
		EXPECT_EQ(core.GetFileName(2), "uninstall/uninstall.exe");
	}

	// One changed byte of one source file changes the bundle; a build over
	// an earlier build's output replaces it.
	scratch.Write("product/files/docs/manual.txt", "Manual");
	ASSERT_EQ(Build(out), ExitOK) << errors;
	EXPECT_NE(scratch.Read("out.exe"), scratch.Read("again.exe"));
	EXPECT_NE(scratch.Read("out/docs.zbk"), scratch.Read("again/docs.zbk"));
}

// Whatever stops a build leaves every folder as it was: no OUT, no half
// OUT, a folder of the publisher's untouched.
TEST_F(BuildTest, RefusalsLeaveEverythingAsItWas)
{
	struct Case
	{
		const char			*what;
		std::function<void()>		 prepare;
		const char			*message;
	} cases[] = {
		{ "an error in the script", [&] { scratch.Write("product/setup.xml", "<installer><components><component id=\"c\"><archive source=\"nowhere\">c.zbk</archive></component></components></installer>"); },
		  "has errors: nothing was built" },
		{ "OUT is someone else's folder", [&] { Directory(out).Create(); scratch.Write("out/keep.txt", "mine"); }, "is not the output of an earlier build" },
		{ "a program is missing", [&] { File(Path::Join(programs, "smooth.dll")).Delete(); }, "smooth.dll: missing" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);
		SetUp();
		c.prepare();

		bool	 hadOut = Directory(out).Exists();

		EXPECT_EQ(Build(out), ExitFailure);
		EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
		EXPECT_EQ(Directory(out).Exists(), hadOut);
		EXPECT_FALSE(File(String(out).Append(".exe")).Exists());

		if (hadOut) EXPECT_EQ(scratch.Read("out/keep.txt"), "mine");

		for (const String &name : Directory(scratch.Root()).GetDirectories()) EXPECT_EQ(name.Find(".partial-"), -1) << name.ToUTF8();

		Directory(out).Empty();
		Directory(out).Delete();
	}
}

// Packing shows zbk's bar on a terminal, and the bar is gone from the line
// afterwards; elsewhere nothing extra is written.
TEST_F(BuildTest, ProgressOnATerminalOnly)
{
	for (bool isTerminal : { false, true })
	{
		terminal = isTerminal;

		ASSERT_EQ(Build(out), ExitOK) << errors;
		EXPECT_EQ(errors.find("] 100%") != std::string::npos, isTerminal) << errors;
		EXPECT_EQ(errors.empty(), !isTerminal) << errors;

		if (isTerminal) EXPECT_EQ(errors.back(), '\r');
	}
}

// Whatever build accepts, check accepts: the uninstaller build adds counts as
// installed for links to it, exactly where build adds it.
TEST_F(BuildTest, CheckAgreesWithBuild)
{
	const char	*link = "<links><startmenu><link file=\"uninstall\\uninstall.exe\">Remove</link></startmenu></links>";
	std::string	 archive = "<archive source=\"files/app\">core.zbk</archive>";

	struct Case
	{
		const char	*what;
		std::string	 uninstall;	// the <uninstall> element
		std::string	 components;
		int		 expect;	// of both commands
	} cases[] = {
		{ "the uninstaller build adds", "<uninstall createLog=\"true\"/>", "<component id=\"core\" required=\"true\">" + archive + "</component>", ExitOK },
		{ "added to an optional component", "<uninstall createLog=\"true\"/>", "<component id=\"core\">" + archive + "</component>", ExitOK },
		{ "no log: build adds none", "<uninstall createLog=\"false\"/>", "<component id=\"core\" required=\"true\">" + archive + "</component>", ExitFailure },
		{ "a finished archive: build adds none", "<uninstall createLog=\"true\"/>", "<component id=\"core\" required=\"true\"><archive>made.zbk</archive></component>", ExitFailure },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);
		scratch.Write("product/setup.xml", "<installer><application><name>Demo</name><version>1.0</version></application>" + c.uninstall +
			      "<components>" + c.components + "</components>" + link + "</installer>");

		ZBK::Archive made;

		ASSERT_TRUE(made.AddFile(scratch.Path("product/licence.txt"), "app.exe"));
		ASSERT_TRUE(made.Write(scratch.Path("product/made.zbk")));

		EXPECT_EQ(Run({ "check", product }), c.expect) << printed;
		EXPECT_EQ(Build(out), c.expect) << printed << errors;
	}

	// The source folder's own uninstaller is the one installed; without the
	// log nothing else changes.
	Directory(scratch.Path("product/files/app/uninstall")).Create();
	scratch.Write("product/files/app/uninstall/uninstall.exe", "own");
	scratch.Write("product/setup.xml", "<installer><uninstall createLog=\"false\"/><components><component id=\"c\" required=\"true\">" + archive + "</component></components>" + link + "</installer>");
	EXPECT_EQ(Run({ "check", product }), ExitOK) << printed;
}

// Signing needs the code signer and openssl for a test certificate: both are
// at hand where the tool is built on linux.
TEST_F(BuildTest, SignedOutputVerifiesAndAChangedByteDoesNot)
{
	int		 code = -1;
	std::string	 error;
	String		 key = scratch.Path("test.key"), certificate = scratch.Path("test.crt");

	if (!RunProgram({ "openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate, "-days", "2", "-subj", "/CN=Test Publisher" }, &code, &error) ||
	    !RunProgram({ "osslsigncode", "--version" }, &code, &error)) GTEST_SKIP() << "openssl or osslsigncode missing: " << error;

	ASSERT_EQ(code, 0);

	auto verify = [&](const String &file) {
		int result = -1;

		return RunProgram({ "osslsigncode", "verify", "-CAfile", certificate, "-in", file }, &result, &error) && result == 0;
	};

	ASSERT_EQ(Build(out, { "--cert", certificate, "--key", key }), ExitOK) << errors;

	for (const char *name : { "out.exe", "out/setup.exe", "out/smooth.dll" }) EXPECT_TRUE(verify(scratch.Path(name))) << name;

	// The uninstaller was signed before it was packed.
	{
		ZBK::Archive core;

		ASSERT_TRUE(core.Open(Path::Join(out, "core.zbk")));
		ASSERT_TRUE(core.ExtractFile("uninstall/uninstall.exe", scratch.Path("uninstall.exe")));
		EXPECT_TRUE(verify(scratch.Path("uninstall.exe")));
	}

	// With SOURCE_DATE_EPOCH as signing time, signing is reproducible too.
	std::string first = scratch.Read("out.exe");

	ASSERT_EQ(Build(out, { "--cert", certificate, "--key", key }), ExitOK) << errors;
	EXPECT_EQ(scratch.Read("out.exe"), first);

	// One payload byte changed after signing: the signature no longer holds.
	std::string bundle = first;

	bundle[bundle.size() / 2] ^= 1;
	scratch.Write("flipped.exe", bundle);
	EXPECT_FALSE(verify(scratch.Path("flipped.exe")));

	// `sign` signs a program in place.
	ASSERT_EQ(Run({ "sign", scratch.Path("programs/setup.exe"), "--cert", certificate, "--key", key }), ExitOK) << errors;
	EXPECT_TRUE(verify(scratch.Path("programs/setup.exe")));
}

int main(int argc, char **argv)
{
	// Signing times and file times from the build's own clock would make
	// the outputs differ between runs.
#ifdef _WIN32
	_putenv("SOURCE_DATE_EPOCH=1700000000");
#else
	setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
#endif
	::testing::InitGoogleTest(&argc, argv);

	smooth::Init();

	int result = RUN_ALL_TESTS();

	smooth::Free();

	return result;
}

// The licence gets the UTF-8 mark only when asked and only when it is UTF-8
// without one; the check's warning says how to fix it either way.
TEST_F(BuildTest, LicenceMarkOnlyWhenAskedAndOnlyOnUnmarkedUtf8)
{
	const std::string	 utf8 = "\xc3\x9c" "bersetzung\n", mark = "\xef\xbb\xbf";

	struct Case { const char *name; std::string licence; bool asked; std::string copied; bool warned; };
	const Case	 cases[] =
	{
		{ "utf-8, not asked", utf8, false, utf8, true },
		{ "utf-8, asked", utf8, true, mark + utf8, true },
		{ "marked already", mark + utf8, true, mark + utf8, false },
		{ "latin-1", "caf\xe9\r\n", true, "caf\xe9\r\n", false },
		{ "ascii", "licence", true, "licence", false },
		{ "empty", "", true, "", false },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		scratch.Write("product/licence.txt", c.licence);

		ASSERT_EQ(Build(out, c.asked ? std::vector<String>{ "--mark-licence" } : std::vector<String>{}), ExitOK) << errors;
		EXPECT_EQ(scratch.Read("out/licence.txt"), c.copied);
		EXPECT_EQ(scratch.Read("product/licence.txt"), c.licence) << "the publisher's file stays as it is";
		EXPECT_EQ(printed.find("marked licence file licence.txt as UTF-8") != std::string::npos, c.copied != c.licence) << printed;
		EXPECT_EQ(printed.find("warning: licence file 'licence.txt' is UTF-8 without a byte-order mark") != std::string::npos, c.warned) << printed;
		EXPECT_EQ(printed.find("--mark-licence") != std::string::npos, c.warned) << printed;
	}
}
