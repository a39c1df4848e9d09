#include "manifest.h"
#include "run_program.h"

#include <bundle_test_support.h>
#include <bundle_writer.h>
#include <sha256.h>

#include <gtest/gtest.h>
#include <test_support.h>

using namespace smooth;
using namespace Tolvane::Tool;

namespace
{
	const char *const Script = "<installer><application><name>%NAME%</name><version>%VERSION%</version><company>Example Works</company></application>"
				   "<uninstall createLog=\"true\"/></installer>";

	std::string Replace(std::string text, const std::string &from, const std::string &to)
	{
		for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);

		return text;
	}

	// A bundle as build writes it, of made-up programs: the tool reads only
	// the script, setup.exe's header and the bytes' hash.
	void WriteProduct(smooth_test::ScratchFolder &scratch, const String &bundle, const std::string &name, const std::string &version, bool x64)
	{
		BundleTest::Image	 image;
		std::string		 error;

		image.plus = x64;
		scratch.Write("stub.exe", BundleTest::MakePe(image));

		std::vector<Tolvane::BundleEntry> entries = {
			Tolvane::BundleEntry::FromBytes("setup.exe", BundleTest::MakePe(image)),
			Tolvane::BundleEntry::FromBytes("setup.xml", Replace(Replace(Script, "%NAME%", name), "%VERSION%", version)),
		};

		ASSERT_TRUE(Tolvane::WriteBundle(scratch.Path("stub.exe").ToUTF8(), entries, bundle.ToUTF8(), &error)) << error;
	}

	std::string Sha256Hex(const std::string &bytes)
	{
		uint8_t		 digest[Tolvane::kSha256Size];
		std::string	 hex;
		char		 two[3];

		Tolvane::Sha256::Hash(bytes.data(), bytes.size(), digest);

		for (uint8_t byte : digest) snprintf(two, sizeof(two), "%02X", byte), hex += two;

		return hex;
	}

	int RunCommand(const std::vector<String> &arguments, std::string *out, std::string *err)
	{
		Console	 console;

		console.out = [&](const std::string &text) { *out += text; };
		console.err = [&](const std::string &text) { *err += text; };

		return RunTool(arguments, console);
	}
}

// From the bundle to the three files: paths, the values the installer holds,
// the hash of the bytes as given.
TEST(Manifest, ValuesComeFromTheBundle)
{
	const struct
	{
		const char	*name;
		const char	*version;
		bool		 x64;
		const char	*id;
		const char	*folder;
		const char	*productCode;	// as the installer names the registration's key
		const char	*architecture;
	} cases[] = {
		{ "Pebble Notes", "2.5", false, "ExampleWorks.PebbleNotes", "manifests/e/ExampleWorks/PebbleNotes/2.5/", "\"Pebble Notes\"", "x86" },
		{ "Tab\\Key: \"one\"", "10.0.1", true, "example.Tab.Key", "manifests/e/example/Tab/Key/10.0.1/", "\"Tab_Key: \\\"one\\\"\"", "x64" },
	};

	for (const auto &c : cases)
	{
		SCOPED_TRACE(c.id);

		smooth_test::ScratchFolder	 scratch;
		std::string			 out, err;

		WriteProduct(scratch, scratch.Path("setup-bundle.exe"), c.name, c.version, c.x64);

		ASSERT_EQ(RunCommand({ "manifest", scratch.Path("setup-bundle.exe"), "--id", c.id, "--url", "https://example.com/a.exe", "-o", scratch.Root() }, &out, &err), ExitOK) << err;

		std::string	 base = std::string(c.folder) + c.id;
		std::string	 installer = scratch.Read(String::FromUTF8(base + ".installer.yaml"));

		EXPECT_NE(scratch.Read(String::FromUTF8(base + ".yaml")).find("DefaultLocale: en-US\n"), std::string::npos);
		EXPECT_NE(scratch.Read(String::FromUTF8(base + ".locale.en-US.yaml")).find("Publisher: \"Example Works\"\n"), std::string::npos);
		EXPECT_NE(installer.find("InstallerSha256: " + Sha256Hex(scratch.Read("setup-bundle.exe")) + "\n"), std::string::npos) << installer;
		EXPECT_NE(installer.find(std::string("\nProductCode: ") + c.productCode + "\n"), std::string::npos) << installer;
		EXPECT_NE(installer.find(std::string("Architecture: ") + c.architecture + "\n"), std::string::npos);
		EXPECT_NE(installer.find(std::string("PackageVersion: \"") + c.version + "\"\n"), std::string::npos);
		EXPECT_NE(installer.find("  - InstallerReturnCode: 5\n    ReturnResponse: downgrade\n"), std::string::npos);
		EXPECT_NE(installer.find("  - InstallerReturnCode: 3010\n    ReturnResponse: rebootRequiredToFinish\n"), std::string::npos);
	}
}

// What the command refuses, and how.
TEST(Manifest, Refusals)
{
	smooth_test::ScratchFolder	 scratch;

	WriteProduct(scratch, scratch.Path("ok.exe"), "Pebble", "1.0", false);
	WriteProduct(scratch, scratch.Path("noversion.exe"), "Pebble", "", false);
	WriteProduct(scratch, scratch.Path("slash.exe"), "Pebble", "1/2", false);

	std::string	 damaged = scratch.Read("ok.exe");

	damaged[damaged.size() - 300] ^= 1;
	scratch.Write("damaged.exe", damaged);

	const String	 ok = scratch.Path("ok.exe"), url = "https://example.com/a.exe";

	const struct { std::vector<String> arguments; int code; const char *message; } runs[] = {
		{ { "manifest", ok, "--id", "Pebble", "--url", url }, ExitUsage, "no package identifier" },
		{ { "manifest", ok, "--id", "A..B", "--url", url }, ExitUsage, "no package identifier" },
		{ { "manifest", ok, "--id", "A.B", "--url", "ftp://example.com/a.exe" }, ExitUsage, "http(s)" },
		{ { "manifest", ok, "--id", "A.B" }, ExitUsage, "needs INSTALLER, --id and --url" },
		{ { "manifest", scratch.Root(), "--id", "A.B", "--url", url }, ExitFailure, "a folder is no single download" },
		{ { "manifest", scratch.Path("damaged.exe"), "--id", "A.B", "--url", url }, ExitFailure, "not a readable bundle" },
		{ { "manifest", scratch.Path("noversion.exe"), "--id", "A.B", "--url", url }, ExitFailure, "names no application version" },
		{ { "manifest", scratch.Path("slash.exe"), "--id", "A.B", "--url", url }, ExitFailure, "cannot be a package version" },
	};

	for (const auto &run : runs)
	{
		std::string	 out, err;

		EXPECT_EQ(RunCommand(run.arguments, &out, &err), run.code) << run.message;
		EXPECT_NE(err.find(run.message), std::string::npos) << err;
		EXPECT_FALSE(Directory(scratch.Path("manifests")).Exists());
	}
}

// Identifiers at their limits: parts of 32 characters (not 33), 8 parts
// (not 9), 128 characters in all (not 129).
TEST(Manifest, IdentifierLimits)
{
	const std::string	 p32(32, 'a'), p31(31, 'a');
	std::string		 eight = "a", nine;

	for (int i = 1; i < 8; i++) eight += ".a";

	nine = eight + ".a";

	const struct { std::string id; bool valid; } cases[] = {
		{ "A.B", true }, { "A", false }, { ".A.B", false }, { "A.B.", false }, { "A B.C", false }, { "A.B:C", false },
		{ p32 + "." + p32, true }, { p32 + "a." + p32, false }, { eight, true }, { nine, false },
		{ "\xC3\xA4" + std::string(31, 'a') + ".b", true },		// 32 characters in 33 bytes
		{ p31 + "." + p31 + "." + p31 + "." + std::string(32, 'a'), true },	// 128 characters
		{ p31 + "." + p31 + "." + p31 + "." + std::string(33, 'a'), false },
	};

	for (const auto &c : cases) EXPECT_EQ(IsPackageIdentifier(c.id), c.valid) << c.id;
}

// The files validate against the package manager's own schemas (kept
// outside the project, beside it; python3 with yaml and jsonschema).
TEST(Manifest, ValidatesAgainstTheSchemas)
{
	const String	 schemas = TOLVANE_WINGET_SCHEMAS;

	if (!Directory(schemas).Exists()) GTEST_SKIP() << "no schemas in " << schemas.ToUTF8();

	smooth_test::ScratchFolder	 scratch;
	std::string			 out, err;

	WriteProduct(scratch, scratch.Path("b.exe"), "Pebble \"Notes\": 2", "2.5", true);

	ASSERT_EQ(RunCommand({ "manifest", scratch.Path("b.exe"), "--id", "ExampleWorks.Pebble", "--url", "https://example.com/b.exe", "-o", scratch.Root() }, &out, &err), ExitOK) << err;

	std::vector<String>	 check = { "python3", TOLVANE_SCHEMA_CHECK, schemas };
	int			 code = -1;
	std::string		 error;

	for (const String &name : { "", ".installer", ".locale.en-US" }) check.push_back(scratch.Path(String("manifests/e/ExampleWorks/Pebble/2.5/ExampleWorks.Pebble").Append(name).Append(".yaml")));

	if (!RunProgram(check, &code, &error)) GTEST_SKIP() << "python3 cannot be started: " << error;
	if (code == 3) GTEST_SKIP() << "python3-yaml or python3-jsonschema missing";

	EXPECT_EQ(code, 0);
}
