#include "manifest.h"

#include <bundle_writer.h>
#include <configuration.h>
#include <install_run.h>
#include <script_layout.h>
#include <sha256.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

using namespace smooth;

namespace fs = std::filesystem;

namespace
{
	using namespace Tolvane::Tool;

	const char *const SchemaVersion = "1.10.0";
	const char *const Locale	= "en-US";

	// Every exit code the bundle or its setup.exe documents, with the
	// package manager's response. The bundle passes setup.exe's own code on,
	// so both sets reach the package manager.
	const struct { int code; const char *response; } ReturnCodes[] = {
		{ 1,	"contactSupport" },		// the run failed and was taken back
		{ 2,	"invalidParameter" },		// an option was refused
		{ 3,	"contactSupport" },		// no setup script beside setup.exe: a broken package
		{ 4,	"custom" },			// the target folder holds another product
		{ 5,	"downgrade" },			// a newer version is installed
		{ 6,	"alreadyInstalled" },		// installed in another folder
		{ 101,	"contactSupport" },		// the bundle is damaged or truncated
		{ 102,	"diskFull" },			// the bundle cannot unpack (no room, no rights)
		{ 103,	"contactSupport" },		// the bundle cannot start setup.exe
		{ 104,	"blockedByPolicy" },		// a .local redirection beside the bundle
		{ 105,	"invalidParameter" },		// a bad /extractdir=
		{ 3010,	"rebootRequiredToFinish" },	// installed; files in use are replaced at the restart
	};

	// A YAML double-quoted scalar: the one form in which any text stays a
	// string ("1.10" stays text, "a: b" stays one value).
	std::string Quoted(const std::string &text)
	{
		std::string	 out = "\"";

		for (unsigned char c : text)
		{
			if	(c == '"' || c == '\\') { out += '\\'; out += char(c); }
			else if (c < 0x20 || c == 0x7F) { char hex[8]; snprintf(hex, sizeof(hex), "\\x%02X", c); out += hex; }
			else				{ out += char(c); }
		}

		return out + "\"";
	}

	std::string Header(const char *type, const std::string &id, const std::string &version)
	{
		return std::string("# Written by tolvane manifest.\n") +
		       "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + type + "." + SchemaVersion + ".schema.json\n\n" +
		       "PackageIdentifier: " + Quoted(id) + "\n" +
		       "PackageVersion: " + Quoted(version) + "\n";
	}

	std::string Footer(const char *type)
	{
		return std::string("ManifestType: ") + type + "\nManifestVersion: " + SchemaVersion + "\n";
	}

	std::string Hex(const uint8_t *bytes, size_t size)
	{
		static const char	 digits[] = "0123456789ABCDEF";
		std::string		 hex;

		for (size_t i = 0; i < size; i++) hex += std::string(1, digits[bytes[i] >> 4]) + digits[bytes[i] & 15];

		return hex;
	}

	// The machine field of a PE image's file header; 0 for anything else.
	unsigned Machine(const std::string &image)
	{
		if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return 0;

		size_t	 pe = size_t((unsigned char) image[0x3C]) | size_t((unsigned char) image[0x3D]) << 8 | size_t((unsigned char) image[0x3E]) << 16 | size_t((unsigned char) image[0x3F]) << 24;

		if (pe > image.size() || image.size() - pe < 6 || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;

		return unsigned((unsigned char) image[pe + 4]) | unsigned((unsigned char) image[pe + 5]) << 8;
	}

	bool FileSha256(const std::string &path, std::string *hex)
	{
		std::ifstream	 in(fs::u8path(path), std::ios::binary);
		Tolvane::Sha256	 sha;
		char		 buffer[65536];
		uint8_t		 digest[Tolvane::kSha256Size];

		if (!in) return false;

		while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) sha.Update(buffer, size_t(in.gcount()));

		if (in.bad()) return false;

		sha.Final(digest);
		*hex = Hex(digest, sizeof(digest));

		return true;
	}
}

bool Tolvane::Tool::IsPackageIdentifier(const std::string &id)
{
	if (id.size() > 128) return false;

	int	 parts = 0;
	size_t	 start = 0;

	for (size_t i = 0; i <= id.size(); i++)
	{
		if (i < id.size() && id[i] != '.')
		{
			unsigned char	 c = id[i];

			if (c <= 0x20 || c == 0x7F || std::string("\\/:*?\"<>|").find(char(c)) != std::string::npos) return false;

			continue;
		}

		// Characters, not bytes, count: UTF-8 continuation bytes are skipped.
		size_t	 length = 0;

		for (size_t j = start; j < i; j++) if ((id[j] & 0xC0) != 0x80) length++;

		if (length < 1 || length > 32) return false;

		parts++;
		start = i + 1;
	}

	return parts >= 2 && parts <= 8;
}

bool Tolvane::Tool::ReadInstallerFacts(const String &installer, InstallerFacts *facts, std::string *error)
{
	std::string				 path = installer.ToUTF8();
	std::vector<Tolvane::BundleEntry>	 entries;
	std::string				 detail;
	std::error_code				 ignored;

	if (fs::is_directory(fs::u8path(path), ignored)) { *error = path + ": a folder is no single download: build with --bundle and name the bundle (OUT.exe)"; return false; }

	Tolvane::BundleStatus	 status = Tolvane::ReadBundleFile(path, &entries, true, &detail);

	if (status != Tolvane::BundleStatus::Ok) { *error = path + ": not a readable bundle (" + Tolvane::BundleStatusText(status) + (detail.empty() ? "" : ": " + detail) + ")"; return false; }

	const Tolvane::BundleEntry	*script = nullptr, *setup = nullptr;

	for (const Tolvane::BundleEntry &entry : entries)
	{
		if (entry.name == Tolvane::ScriptLayout::FileName) script = &entry;
		if (entry.name == "setup.exe")			   setup  = &entry;
	}

	if (script == nullptr || setup == nullptr) { *error = path + ": the bundle holds no " + (script == nullptr ? "setup.xml" : "setup.exe"); return false; }

	// The loader reads files only: the script goes through a file of our own.
	fs::path	 copy = fs::temp_directory_path(ignored) / ("tolvane-manifest-" + std::to_string(System::System::GetProcessID()) + ".xml");

	{
		std::ofstream	 out(copy, std::ios::binary | std::ios::trunc);

		out.write(script->bytes.data(), std::streamsize(script->bytes.size()));

		if (!out.flush()) { fs::remove(copy, ignored); *error = copy.u8string() + ": cannot write"; return false; }
	}

	Tolvane::Configuration	 config;

	config.LoadFile(String::FromUTF8(copy.u8string()));
	fs::remove(copy, ignored);

	unsigned	 machine = Machine(setup->bytes);

	facts->name	    = config.appName.ToUTF8();
	facts->version	    = config.appVersion.ToUTF8();
	facts->publisher    = config.companyName.ToUTF8();
	facts->productCode  = Tolvane::InstallRun::GetEntryName(config.appName).ToUTF8();
	facts->architecture = machine == 0x14C ? "x86" : machine == 0x8664 ? "x64" : machine == 0xAA64 ? "arm64" : "";
	facts->hasLicence   = config.licenseFile.Length() > 0 && config.licenseFile != "nolicense";

	if (facts->version.find_first_of("\\/:*?\"<>|") != std::string::npos || facts->version.size() > 128) { *error = path + ": the version '" + facts->version + "' cannot be a package version (at most 128 characters, none of \\/:*?\"<>|)"; return false; }
	if (facts->name.empty() || facts->version.empty()) { *error = path + ": setup.xml names no application " + (facts->name.empty() ? "name" : "version"); return false; }
	if (facts->architecture.empty())		   { *error = path + ": setup.exe in the bundle is no Windows program of a known architecture"; return false; }
	if (!FileSha256(path, &facts->sha256))		   { *error = path + ": cannot read"; return false; }

	return true;
}

std::vector<Tolvane::Tool::ManifestFile> Tolvane::Tool::ManifestFiles(const InstallerFacts &facts, const ManifestLine &line)
{
	// manifests/<first letter>/<Publisher>/<Product>/.../<Version>/
	std::string	 folder = "manifests/" + std::string(1, char(tolower((unsigned char) line.id[0])));

	for (size_t start = 0; start <= line.id.size(); )
	{
		size_t	 dot = line.id.find('.', start);

		if (dot == std::string::npos) dot = line.id.size();

		folder += "/" + line.id.substr(start, dot - start);
		start	= dot + 1;
	}

	folder += "/" + facts.version + "/";

	std::string	 version = Header("version", line.id, facts.version) +
				   "DefaultLocale: " + Locale + "\n" + Footer("version");

	std::string	 codes;

	for (const auto &code : ReturnCodes) codes += "  - InstallerReturnCode: " + std::to_string(code.code) + "\n    ReturnResponse: " + code.response + "\n";

	// The registration as the installer writes it: the key is the name,
	// Publisher the company, DisplayVersion the version (install_run.cpp).
	std::string	 appsAndFeatures = "  - DisplayName: " + Quoted(facts.name) + "\n";

	if (!facts.publisher.empty()) appsAndFeatures += "    Publisher: " + Quoted(facts.publisher) + "\n";

	appsAndFeatures += "    DisplayVersion: " + Quoted(facts.version) + "\n" +
			   "    ProductCode: " + Quoted(facts.productCode) + "\n" +
			   "    InstallerType: exe\n";

	std::string	 installer = Header("installer", line.id, facts.version) +
				     "InstallerType: exe\n"
				     "Scope: machine\n"
				     "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
				     "InstallerSwitches:\n"
				     "  Silent: /S\n"
				     "  SilentWithProgress: /P\n"
				     "  InstallLocation: \"/D=<INSTALLPATH>\"\n"
				     "  Log: \"/LOG=<LOGPATH>\"\n"
				     "ExpectedReturnCodes:\n" + codes +
				     "UpgradeBehavior: install\n"
				     "ProductCode: " + Quoted(facts.productCode) + "\n" +
				     "AppsAndFeaturesEntries:\n" + appsAndFeatures +
				     "ElevationRequirement: elevatesSelf\n"
				     "Installers:\n"
				     "  - Architecture: " + facts.architecture + "\n" +
				     "    InstallerUrl: " + Quoted(line.url) + "\n" +
				     "    InstallerSha256: " + facts.sha256 + "\n" + Footer("installer");

	std::string	 publisher   = facts.publisher.size() >= 2 ? facts.publisher : line.id.substr(0, line.id.find('.'));
	std::string	 licence     = line.licence.empty() ? "Proprietary" : line.licence;
	std::string	 description = line.description.empty() ? facts.name + " " + facts.version : line.description;

	std::string	 locale = Header("defaultLocale", line.id, facts.version) +
				  "PackageLocale: " + Locale + "\n" +
				  "Publisher: " + Quoted(publisher) + "\n" +
				  "PackageName: " + Quoted(facts.name) + "\n" +
				  "License: " + Quoted(licence) + "\n" +
				  "ShortDescription: " + Quoted(description) + "\n" + Footer("defaultLocale");

	return { { folder + line.id + ".yaml", version },
		 { folder + line.id + ".installer.yaml", installer },
		 { folder + line.id + ".locale." + Locale + ".yaml", locale } };
}

int Tolvane::Tool::RunManifest(const std::vector<String> &arguments, Console &console)
{
	ManifestLine	 line;
	String		 installer;
	String		 out = ".";

	for (size_t i = 0; i < arguments.size(); i++)
	{
		const String	&argument = arguments[i];
		bool		 valued	  = argument == "--id" || argument == "--url" || argument == "-o" || argument == "--license" || argument == "--description";

		if (valued && i + 1 >= arguments.size()) return UsageError(console, "manifest: " + argument.ToUTF8() + " needs a value");

		if	(argument == "--id")		line.id		 = arguments[++i].ToUTF8();
		else if (argument == "--url")		line.url	 = arguments[++i].ToUTF8();
		else if (argument == "-o")		out		 = arguments[++i];
		else if (argument == "--license")	line.licence	 = arguments[++i].ToUTF8();
		else if (argument == "--description")	line.description = arguments[++i].ToUTF8();
		else if (argument.StartsWith("-"))	return UsageError(console, "manifest: unknown option " + argument.ToUTF8());
		else if (installer.Length() == 0)	installer	 = argument;
		else					return UsageError(console, "manifest: one installer only");
	}

	if (installer.Length() == 0 || line.id.empty() || line.url.empty()) return UsageError(console, "manifest: needs INSTALLER, --id and --url");
	if (!IsPackageIdentifier(line.id)) return UsageError(console, "manifest: --id " + line.id + " is no package identifier (Publisher.Product: 2 to 8 parts of 1 to 32 characters, no blanks)");
	if (line.url.compare(0, 8, "https://") != 0 && line.url.compare(0, 7, "http://") != 0) return UsageError(console, "manifest: --url must be an http(s) address");

	InstallerFacts	 facts;
	std::string	 error;

	if (!ReadInstallerFacts(installer, &facts, &error)) { console.err("tolvane: " + error + "\n"); return ExitFailure; }

	for (const ManifestFile &file : ManifestFiles(facts, line))
	{
		fs::path	 path = fs::u8path(out.ToUTF8()) / fs::u8path(file.path);
		fs::path	 partial = path;
		std::error_code	 failure;

		partial += ".partial";
		fs::create_directories(path.parent_path(), failure);

		std::ofstream	 stream(partial, std::ios::binary | std::ios::trunc);

		stream << file.text;
		stream.close();

		// Each file replaces an earlier one whole or not at all.
		if (stream) fs::rename(partial, path, failure);

		if (!stream || failure)
		{
			fs::remove(partial, failure);
			console.err("tolvane: " + path.u8string() + ": cannot write\n");

			return ExitFailure;
		}

		console.out("wrote " + path.u8string() + "\n");
	}

	return ExitOK;
}
