#include "build.h"
#include "check.h"
#include "run_program.h"

#include <bundle_writer.h>
#include <configuration.h>
#include <installed_layout.h>
#include <license_encoding.h>
#include <script_layout.h>
#include <zbk_tool.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

using namespace smooth;
using namespace Tolvane::Layout;

namespace fs = std::filesystem;

namespace
{
	using namespace Tolvane::Tool;

	// Marks a folder as an earlier build's output, so that the next build
	// may replace it; anything else in OUT's place is the publisher's.
	const char *const BuildMark = ".tolvane-build";

	fs::path FsPath(const String &path)
	{
		return fs::u8path(path.ToUTF8());
	}

	String FromFs(const fs::path &path)
	{
		return String::FromUTF8(path.u8string());
	}

	int Fail(Console &console, const std::string &message)
	{
		console.err("tolvane: " + message + "\n");

		return ExitFailure;
	}

	// The same for steps that answer whether they succeeded.
	bool Stop(Console &console, const std::string &message)
	{
		Fail(console, message);

		return false;
	}

	// SOURCE_DATE_EPOCH, when set to a plain number of seconds.
	bool SourceDateEpoch(long long *seconds)
	{
		const char	*value = std::getenv("SOURCE_DATE_EPOCH");
		char		*end   = nullptr;

		if (value == nullptr || *value == 0) return false;

		*seconds = std::strtoll(value, &end, 10);

		return *end == 0 && *seconds >= 0;
	}

	// A name the script gives for a file of the product: it is written below
	// OUT under the same name, so it has to stay below it.
	bool IsInsideName(const String &name)
	{
		if (name.Length() == 0 || Path::IsSeparator(name.WideString()[0]) || name.Find(":") >= 0) return false;

		std::wstring	 step;

		for (wchar_t c : name.WideString() + L"/")
		{
			if (!Path::IsSeparator(c)) { step += c; continue; }

			if (step == L"..") return false;

			step.clear();
		}

		return true;
	}

	struct ArchiveInput
	{
		String	 name;		// as <archive> writes it
		String	 source;	// the "source" attribute, empty when absent
		bool	 required = false;
	};

	// The archives of the script's first <components>, in order, each once,
	// with the "source" attribute that the installer's loader does not read;
	// read with the loader's own XML reader.
	std::vector<ArchiveInput> ReadArchiveInputs(const String &script)
	{
		std::vector<ArchiveInput>	 inputs;
		XML::Document			 document;
		XML::Node			*components = document.LoadFile(script) == Success() && document.GetRootNode() != nullptr ? document.GetRootNode()->GetNodeByName(Tolvane::ScriptLayout::Sections[Tolvane::ScriptLayout::SectionComponents]) : nullptr;

		for (Int i = 0; components != nullptr && i < components->GetNOfNodes(); i++)
		{
			XML::Node	*component = components->GetNthNode(i);
			XML::Node	*archive   = component->GetName() == "component" ? component->GetNodeByName("archive") : nullptr;

			if (archive == nullptr || archive->GetContent().Length() == 0) continue;

			XML::Attribute	*source	  = archive->GetAttributeByName("source");
			XML::Attribute	*required = component->GetAttributeByName("required");
			ArchiveInput	 input;

			input.name     = archive->GetContent();
			input.source   = source != nullptr ? source->GetContent() : String();
			input.required = required != nullptr && required->GetContent() == "true";

			bool	 seen = std::any_of(inputs.begin(), inputs.end(), [&](const ArchiveInput &other) { return other.name == input.name; });

			if (!seen) inputs.push_back(input);
		}

		return inputs;
	}

	// Which archive build adds the uninstaller to: with an uninstall log, the
	// first required component's archive packed from a folder, else the
	// first packed from a folder; none when that folder has its own
	// uninstaller (-1).
	int UninstallerArchive(const String &dir, const Tolvane::Configuration &config, const std::vector<ArchiveInput> &archives)
	{
		int	 chosen = -1;

		if (!config.createLog) return -1;

		for (int pass = 0; pass < 2 && chosen < 0; pass++)
		{
			for (size_t i = 0; i < archives.size() && chosen < 0; i++)
			{
				if (archives[i].source.Length() > 0 && (pass == 1 || archives[i].required)) chosen = int(i);
			}
		}

		String	 found, source;

		if (chosen >= 0 && LocateName(dir, archives[chosen].source, true, source) && LocateName(source, UninstallerEntry, false, found)) return -1;

		return chosen;
	}

	// Runs a zbk command, its messages going where ours go.
	bool Zbk(const std::vector<String> &arguments, Console &console)
	{
		ZBK::Tool::Console	 zbk;

		zbk.out = [](const std::string &) {};
		zbk.err = console.err;

		// Packing is the long part of a build: zbk's own bar shows it.
		zbk.progress = console.progress;

		return ZBK::Tool::Run(arguments, zbk) == ZBK::Tool::ExitOK;
	}

	struct BuildLine
	{
		String		 dir;
		String		 out;
		String		 programs;
		String		 stub;
		bool		 bundle = false;
		bool		 markLicense = false;
		Signing		 signing;
		bool		 sign = false;
	};

	// The options of build and sign that take a value; false after a usage
	// error was written.
	bool ReadSigningOption(const std::vector<String> &arguments, size_t &i, Signing &signing, bool &matched)
	{
		const String	&option = arguments[i];

		matched = option == "--cert" || option == "--key" || option == "--password-file" || option == "--timestamp";

		if (!matched) return true;
		if (i + 1 >= arguments.size()) return false;

		const String	&value = arguments[++i];

		if	(option == "--cert")		signing.certificate	= value;
		else if (option == "--key")		signing.key		= value;
		else if (option == "--password-file")	signing.passwordFile	= value;
		else					signing.timestampServer = value;

		return true;
	}

	class Builder
	{
		public:
			Builder(const BuildLine &iLine, Console &iConsole) : line(iLine), console(iConsole) {}

			int	 Run();
		private:
			bool	 Program(const char *name, const fs::path &to);
			bool	 PackArchives();
			bool	 CopyScriptFiles();
			bool	 CopyInput(const String &name, const char *what);
			bool	 MarkLicense(const String &name);
			bool	 MayReplace();
			bool	 Replace();
			bool	 WriteBundleFile();

			const BuildLine			&line;
			Console				&console;
			Tolvane::Configuration		 config;
			std::vector<ArchiveInput>	 archives;
			int				 uninstallerArchive = -1;
			fs::path			 partial;	// OUT while it is built
			fs::path			 signedUninstaller;
			bool				 failed = false;
	};

	bool Builder::Program(const char *name, const fs::path &to)
	{
		String	 from = Path::Join(line.programs, name);

		if (!File(from).Exists()) return Stop(console, from.ToUTF8() + ": missing (name the folder of the shipping programs with --programs)");

		if (line.sign)
		{
			std::string	 error;

			return SignFile(line.signing, from, FromFs(to), &error) || Stop(console, error);
		}

		std::error_code	 error;

		fs::copy_file(FsPath(from), to, fs::copy_options::overwrite_existing, error);

		return !error || Stop(console, to.u8string() + ": cannot write (" + error.message() + ")");
	}

	bool Builder::PackArchives()
	{
		for (size_t i = 0; i < archives.size(); i++)
		{
			const ArchiveInput	&archive = archives[i];

			if (!IsInsideName(archive.name)) return Stop(console, "archive " + archive.name.ToUTF8() + ": not a file name inside the product folder");

			fs::path	 target = partial / FsPath(archive.name);
			std::error_code	 error;

			fs::create_directories(target.parent_path(), error);

			if (archive.source.Length() == 0)
			{
				if (!CopyInput(archive.name, "archive")) return false;

				continue;
			}

			String	 source;

			if (!LocateName(line.dir, archive.source, true, source)) return Stop(console, archive.source.ToUTF8() + ": source folder missing");

			std::vector<String>	 create = { "create", FromFs(target), "-C", source };

			for (const String &name : FilesBelow(source)) create.push_back(name);

			if (create.size() == 4) return Stop(console, archive.source.ToUTF8() + ": no files to pack into " + archive.name.ToUTF8());

			if (!Zbk(create, console)) return Stop(console, archive.name.ToUTF8() + ": cannot pack it from " + archive.source.ToUTF8());

			if (int(i) == uninstallerArchive)
			{
				String	 uninstaller = line.sign ? FromFs(signedUninstaller) : Path::Join(line.programs, UninstallerName);

				if (!Zbk({ "add", FromFs(target), "--as", UninstallerEntry, uninstaller }, console)) return Stop(console, archive.name.ToUTF8() + ": cannot add the uninstaller");
			}

			console.out("packed " + archive.name.ToUTF8() + " from " + archive.source.ToUTF8() + (int(i) == uninstallerArchive ? " and the uninstaller" : "") + "\n");
		}

		return true;
	}

	// Copies a file the script names from DIR (found as Windows would find
	// it) to the same name in OUT.
	bool Builder::CopyInput(const String &name, const char *what)
	{
		if (!IsInsideName(name)) return Stop(console, std::string(what) + " " + name.ToUTF8() + ": not a file name inside the product folder");

		String		 found;
		fs::path	 target = partial / FsPath(name);
		std::error_code	 error;

		if (!LocateName(line.dir, name, false, found)) return Stop(console, std::string(what) + " " + name.ToUTF8() + ": missing");

		fs::create_directories(target.parent_path(), error);
		fs::copy_file(FsPath(found), target, fs::copy_options::overwrite_existing, error);

		if (error) return Stop(console, target.u8string() + ": cannot write (" + error.message() + ")");

		return true;
	}

	bool Builder::CopyScriptFiles()
	{
		if (!CopyInput(Tolvane::ScriptLayout::FileName, "script")) return false;
		if (config.logo.Length() > 0 && !CopyInput(config.logo, "logo")) return false;
		if (config.licenseFile.Length() > 0 && config.licenseFile != "nolicense" && !CopyInput(config.licenseFile, "licence file")) return false;
		if (config.licenseFile.Length() > 0 && config.licenseFile != "nolicense" && line.markLicense && !MarkLicense(config.licenseFile)) return false;

		return true;
	}

	// Puts the UTF-8 mark before OUT's copy of the licence when it is UTF-8
	// without one; any other licence stays as it is, so the option never
	// turns a single-byte text into a broken UTF-8 one.
	bool Builder::MarkLicense(const String &name)
	{
		String		 copy = FromFs(partial / FsPath(name));
		std::string	 bytes;

		if (!ReadLicenseBytes(copy, bytes)) return Stop(console, copy.ToUTF8() + ": cannot read");
		if (!Tolvane::IsUnmarkedUtf8(bytes)) return true;

		IO::OutStream	 out(IO::STREAM_FILE, copy, IO::OS_REPLACE);
		std::string	 marked = Tolvane::Utf8Mark + bytes;

		if (out.GetLastError() != IO::IO_ERROR_OK || out.OutputData(marked.data(), Int(marked.size())) != Success() || out.Close() != Success()) return Stop(console, copy.ToUTF8() + ": cannot write");

		console.out("marked licence file " + name.ToUTF8() + " as UTF-8 (byte-order mark added)\n");

		return true;
	}

	// The finished folder takes OUT's place: an earlier build's output goes,
	// anything else there stops the build before it is touched.
	bool Builder::MayReplace()
	{
		fs::path	 out = FsPath(line.out);
		std::error_code	 error;

		if (!fs::exists(out, error)) return true;

		bool	 earlier = fs::exists(out / BuildMark, error);
		bool	 empty	 = fs::is_directory(out, error) && fs::is_empty(out, error);

		return earlier || empty || Stop(console, line.out.ToUTF8() + ": exists and is not the output of an earlier build: remove it or choose another folder");
	}

	bool Builder::Replace()
	{
		fs::path	 out = FsPath(line.out);
		fs::path	 old;
		std::error_code	 error;

		// The earlier build steps aside in one rename, so that a file of it
		// still in use elsewhere stops the build with that build intact.
		if (fs::exists(out, error))
		{
			if (!MayReplace()) return false;

			old = fs::u8path(line.out.ToUTF8() + ".old-" + std::to_string(System::System::GetProcessID()));

			fs::remove_all(old, error);
			fs::rename(out, old, error);

			if (error) return Stop(console, line.out.ToUTF8() + ": cannot move the earlier build aside (" + error.message() + ")");
		}

		fs::rename(partial, out, error);

		if (error)
		{
			std::error_code	 ignored;

			if (!old.empty()) fs::rename(old, out, ignored);

			return Stop(console, line.out.ToUTF8() + ": cannot put the build in place (" + error.message() + ")");
		}

		partial.clear();

		if (!old.empty()) fs::remove_all(old, error);

		if (error) console.err("tolvane: " + old.u8string() + ": the earlier build could not be removed (" + error.message() + ")\n");

		return true;
	}

	bool Builder::WriteBundleFile()
	{
		String				 stub	= line.stub.Length() > 0 ? line.stub : Path::Join(line.programs, "bundle_stub.exe");
		String				 bundle = String(line.out).Append(".exe");
		std::vector<Tolvane::BundleEntry> entries;
		std::string			 error;

		for (const String &name : FilesBelow(line.out))
		{
			if (name == BuildMark) continue;

			entries.push_back(Tolvane::BundleEntry::FromFile(name.ToUTF8(), Path::Join(line.out, name).ToUTF8()));
		}

		if (!Tolvane::WriteBundle(stub.ToUTF8(), entries, bundle.ToUTF8(), &error)) return Stop(console, error);

		if (line.sign && !SignFile(line.signing, bundle, bundle, &error)) return Stop(console, error);

		console.out("wrote " + bundle.ToUTF8() + " (" + std::to_string(entries.size()) + " files)\n");

		return true;
	}

	int Builder::Run()
	{
		String	 script = Path::Join(line.dir, Tolvane::ScriptLayout::FileName);

		config.LoadFile(script);
		archives = ReadArchiveInputs(script);

		// The uninstaller goes with the program when the installation keeps
		// the log it reads.
		if (File(Path::Join(line.programs, UninstallerName)).Exists()) uninstallerArchive = UninstallerArchive(line.dir, config, archives);

		CheckOptions	 options;

		if (uninstallerArchive >= 0) options.extraEntries.push_back({ archives[uninstallerArchive].name, UninstallerEntry });

		std::vector<Diagnostic>	 diagnostics = CheckScript(line.dir, options);

		for (const Diagnostic &diagnostic : diagnostics) console.out(FormatDiagnostic(diagnostic) + "\n");

		if (HasErrors(diagnostics)) return Fail(console, line.dir.ToUTF8() + "/" + Tolvane::ScriptLayout::FileName + " has errors: nothing was built");
		if (!MayReplace()) return ExitFailure;

		std::error_code	 error;

		partial = fs::u8path(line.out.ToUTF8() + ".partial-" + std::to_string(System::System::GetProcessID()));
		fs::remove_all(partial, error);
		fs::create_directories(partial, error);

		if (error) return Fail(console, partial.u8string() + ": cannot create (" + error.message() + ")");

		signedUninstaller = fs::u8path(partial.u8string() + "-" + UninstallerName);

		bool	 ok = Program("setup.exe", partial / "setup.exe") && Program(LibraryName, partial / LibraryName) &&
			      (uninstallerArchive < 0 || !line.sign || Program(UninstallerName, signedUninstaller)) &&
			      PackArchives() && CopyScriptFiles();

		fs::remove(signedUninstaller, error);

		if (ok) ok = IO::OutStream(IO::STREAM_FILE, FromFs(partial / BuildMark), IO::OS_REPLACE).Close() == Success();

		if (ok)
		{
			long long	 epoch = 0;

			if (SourceDateEpoch(&epoch))
			{
				// The file clock's epoch is not the system clock's everywhere.
				auto	 when = fs::file_time_type::clock::now() + std::chrono::duration_cast<fs::file_time_type::duration>(std::chrono::system_clock::from_time_t(time_t(epoch)) - std::chrono::system_clock::now());

				for (const String &name : FilesBelow(FromFs(partial))) fs::last_write_time(partial / FsPath(name), when, error);
			}

			ok = Replace();
		}

		if (!partial.empty()) fs::remove_all(partial, error);

		if (!ok) return ExitFailure;

		console.out("built " + line.out.ToUTF8() + "\n");

		if (line.bundle && !WriteBundleFile()) return ExitFailure;

		return ExitOK;
	}
}

bool Tolvane::Tool::BuiltInEntries(const String &dir, std::vector<std::pair<String, String> > *entries)
{
	String				 script = Path::Join(dir, Tolvane::ScriptLayout::FileName);
	Tolvane::Configuration		 config;
	std::vector<ArchiveInput>	 archives;

	config.LoadFile(script);
	archives = ReadArchiveInputs(script);

	int	 chosen = UninstallerArchive(dir, config, archives);

	if (chosen >= 0) entries->push_back({ archives[chosen].name, UninstallerEntry });

	return chosen >= 0;
}

bool Tolvane::Tool::SignFile(const Signing &signing, const String &in, const String &out, std::string *error)
{
	String			 temporary = String(out).Append(".signing-").Append(String::FromInt(System::System::GetProcessID()));
	std::vector<String>	 command   = { signing.signer, "sign", "-certs", signing.certificate, "-key", signing.key, "-h", "sha256" };
	long long		 epoch	   = 0;
	int			 exitCode  = 0;
	std::string		 cause;

	if (signing.passwordFile.Length() > 0)	  command.insert(command.end(), { "-readpass", signing.passwordFile });
	if (signing.timestampServer.Length() > 0) command.insert(command.end(), { "-ts", signing.timestampServer });
	if (SourceDateEpoch(&epoch))		  command.insert(command.end(), { "-time", String::FromUTF8(std::to_string(epoch)) });

	command.insert(command.end(), { "-in", in, "-out", temporary });

	File(temporary).Delete();

	bool	 ran = RunProgram(command, &exitCode, &cause);

	if (!ran || exitCode != 0 || File(temporary).Replace(File(out)) != Success())
	{
		File(temporary).Delete();

		*error = in.ToUTF8() + ": " + (!ran ? "cannot start " + signing.signer.ToUTF8() + " (" + cause + ")"
						    : exitCode != 0 ? signing.signer.ToUTF8() + " failed (exit code " + std::to_string(exitCode) + ")"
								    : "cannot replace " + out.ToUTF8() + " with its signed copy");

		return false;
	}

	return true;
}

int Tolvane::Tool::RunBuild(const std::vector<String> &arguments, Console &console)
{
	BuildLine	 line;

	for (size_t i = 0; i < arguments.size(); i++)
	{
		const String	&argument = arguments[i];
		bool		 signingOption = false;

		if (!ReadSigningOption(arguments, i, line.signing, signingOption)) return UsageError(console, "build: " + argument.ToUTF8() + " needs a value");
		if (signingOption) continue;

		bool	 valued = argument == "-o" || argument == "--programs" || argument == "--stub";

		if (valued && i + 1 >= arguments.size()) return UsageError(console, "build: " + argument.ToUTF8() + " needs a value");

		if	(argument == "-o")		line.out      = arguments[++i];
		else if (argument == "--programs")	line.programs = arguments[++i];
		else if (argument == "--stub")		line.stub     = arguments[++i];
		else if (argument == "--bundle")	line.bundle   = true;
		else if (argument == "--mark-licence")	line.markLicense = true;
		else if (argument.StartsWith("-"))	return UsageError(console, "build: unknown option " + argument.ToUTF8());
		else if (line.dir.Length() == 0)	line.dir      = argument;
		else					return UsageError(console, "build: one product folder only");
	}

	if (line.dir.Length() == 0 || line.out.Length() == 0) return UsageError(console, "build: needs a product folder and -o OUT");
	if (line.programs.Length() == 0) return UsageError(console, std::string("build: needs --programs FOLDER, the folder of setup.exe, ") + LibraryName + " and " + UninstallerName);

	line.sign = line.signing.certificate.Length() > 0 || line.signing.key.Length() > 0;

	if (line.sign && (line.signing.certificate.Length() == 0 || line.signing.key.Length() == 0)) return UsageError(console, "build: signing needs both --cert and --key");
	if (line.stub.Length() > 0 && !line.bundle) return UsageError(console, "build: --stub only goes with --bundle");

	return Builder(line, console).Run();
}

int Tolvane::Tool::RunSign(const std::vector<String> &arguments, Console &console)
{
	Signing	 signing;
	String	 file;

	for (size_t i = 0; i < arguments.size(); i++)
	{
		bool	 matched = false;

		if (!ReadSigningOption(arguments, i, signing, matched)) return UsageError(console, "sign: " + arguments[i].ToUTF8() + " needs a value");
		if (matched) continue;

		if (arguments[i].StartsWith("-") || file.Length() > 0) return UsageError(console, "sign: unexpected " + arguments[i].ToUTF8());

		file = arguments[i];
	}

	if (file.Length() == 0 || signing.certificate.Length() == 0 || signing.key.Length() == 0) return UsageError(console, "sign: needs FILE, --cert and --key");

	std::string	 error;

	if (!SignFile(signing, file, file, &error)) return Fail(console, error);

	console.out("signed " + file.ToUTF8() + "\n");

	return ExitOK;
}
