#include "test_command.h"
#include "check.h"
#include "report.h"
#include "run_program.h"
#include "shell_link.h"
#include "snapshot.h"

#include <archive.h>
#include <bundle_writer.h>
#include <configuration.h>
#include <install_run.h>
#include <installed_layout.h>
#include <script_layout.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

using namespace smooth;

namespace fs = std::filesystem;

namespace
{
	using namespace Tolvane::Tool;

	namespace Installed = Tolvane::Layout;

	// What no installer of ours writes and Wine changes by itself: its own
	// folder, the temporary folders (the uninstaller's copy runs there and is
	// removed at the next logon by design, as is its RunOnce command), and
	// Wine's own keys.
	const std::vector<std::string>	 IgnoredPaths = { "windows", "users/*/temp", "users/*/appdata/local/temp" };
	const std::vector<std::string>	 IgnoredKeys  = { "hklm\\software\\wine", "hkcu\\software\\wine", "hklm\\software\\microsoft\\windows\\currentversion\\runonce",
							  "hkcu\\software\\microsoft\\windows\\currentversion\\runonce", "hklm\\system", "hklm\\hardware", "hkcu\\control panel" };

	// The wizard walker, beside the Windows programs.
	const char			*WalkerName = "tolvane_walk.exe";

	std::string ReadText(const fs::path &path)
	{
		std::ifstream		 in(path, std::ios::binary);
		std::stringstream	 text;

		text << in.rdbuf();

		return text.str();
	}

	bool SameBytes(const fs::path &a, const fs::path &b)
	{
		std::error_code	 error;

		return fs::file_size(a, error) == fs::file_size(b, error) && !error && ReadText(a) == ReadText(b);
	}

	std::string Lower(std::string text)
	{
		for (char &c : text) c = char(tolower((unsigned char) c));

		return text;
	}

	double Since(std::chrono::steady_clock::time_point start)
	{
		return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
	}

	// The first program of a command line as the system splits it: quoted,
	// or up to the first blank.
	std::string CommandProgram(const std::string &command, std::string *rest)
	{
		size_t	 end = command[0] == '"' ? command.find('"', 1) : command.find(' ');
		size_t	 from = command[0] == '"' ? 1 : 0;

		std::string	 program = command.substr(from, end == std::string::npos ? std::string::npos : end - from);

		*rest = end == std::string::npos ? std::string() : command.substr(command.find_first_not_of(' ', end + 1) == std::string::npos ? command.size() : command.find_first_not_of(' ', end + 1));

		return program;
	}

	// Whether a program is built for 32-bit x86 (its PE header's machine).
	bool Is32Bit(const fs::path &program)
	{
		std::string	 bytes = ReadText(program);
		size_t		 pe    = bytes.size() >= 0x40 ? size_t((unsigned char) bytes[0x3C]) | size_t((unsigned char) bytes[0x3D]) << 8 : 0;

		return pe > 0 && pe + 6 <= bytes.size() && (unsigned char) bytes[pe + 4] == 0x4C && (unsigned char) bytes[pe + 5] == 0x01;
	}

	bool WineRuns32Bit()
	{
		std::error_code	 error;

		return fs::exists("/usr/lib/wine/wine", error) || fs::exists("/usr/lib/i386-linux-gnu/wine", error);
	}

	// A path of ours as a Windows program in the prefix sees it: every
	// prefix maps drive Z: to the root.
	String WindowsPath(const fs::path &path)
	{
		std::string	 text = "Z:" + path.generic_u8string();

		for (char &c : text) if (c == '/') c = '\\';

		return String::FromUTF8(text);
	}

	class Runner
	{
		public:
			Runner(Console &iConsole) : console(iConsole) {}
			~Runner()	{ Clean(); }

			// allComponents: the wizard marks every component. walker: the
			// walker program to run in Wine.
			int	 Run(const std::string &installer, const std::string &older, const std::string &reportFile, const std::string &templateFolder, int timeout, bool allComponents, const fs::path &walker);
		private:
			bool	 CannotRun(const std::string &why)	{ report.cannotRun = why; return false; }
			void	 Find(const std::string &check, const std::string &subject, const std::string &detail) { report.findings.push_back({ check, subject, walking ? detail + " (after walking the wizard)" : detail }); }

			bool	 Unpack(const std::string &installer, const char *name, fs::path *folder, fs::path *program, std::vector<smooth::String> *arguments);
			bool	 Prepare(const std::string &templateFolder);
			bool	 MakePrefix(const char *name);
			void	 Pass(const std::string &installer, const std::string &older);
			bool	 Walk(const std::string &installer, bool *installed);
			bool	 Watched(const std::string &step, std::vector<String> arguments, const fs::path &folder, int *exitCode, bool silent = true, const fs::path &output = fs::path(), int seconds = 0);
			bool	 Quiet(const std::vector<String> &arguments, int milliseconds, int *exitCode, const fs::path &output = fs::path());
			void	 EndServer();
			Snapshot Take();

			fs::path OnDrive(const std::string &windowsPath);
			bool	 RegistryString(const Snapshot &snapshot, const std::string &key, const char *value, std::string *text);

			void	 CheckInstallation(const Tolvane::Configuration &config, const fs::path &folder, const Snapshot &snapshot, bool upgrade, bool allComponents);
			void	 CheckLeftovers(const Snapshot &before, const Snapshot &after);
			void	 Clean();

			Console					&console;
			TestReport				 report;
			fs::path				 work;		// everything of the run
			fs::path				 templatePath;
			fs::path				 prefix;
			long					 xvfb = -1;
			int					 timeout = 120;

			// The installer and the older one, unpacked, with their silent
			// command lines; the walk's choice and program.
			Tolvane::Configuration			 config;
			fs::path				 folder, olderFolder, program, olderProgram;
			std::vector<String>			 install, olderInstall;
			bool					 walkAll = false;
			fs::path				 walkerProgram;
			bool					 walking = false;	// the second pass, through the wizard
			std::string				 programFiles = "C:\\Program Files";
	};

	bool Runner::Unpack(const std::string &installer, const char *name, fs::path *folder, fs::path *program, std::vector<String> *arguments)
	{
		std::error_code	 error;
		fs::path	 given = fs::u8path(installer);

		if (fs::is_directory(given, error))
		{
			*folder	 = fs::absolute(given, error);
			*program = *folder / "setup.exe";
		}
		else
		{
			std::vector<Tolvane::BundleEntry>	 entries;
			std::string				 detail;
			Tolvane::BundleStatus			 status = Tolvane::ReadBundleFile(installer, &entries, true, &detail);

			if (status != Tolvane::BundleStatus::Ok) return CannotRun(installer + ": neither a built folder nor a readable bundle (" + Tolvane::BundleStatusText(status) + ")");

			*folder	 = work / name;
			*program = fs::absolute(given, error);

			for (const Tolvane::BundleEntry &entry : entries)
			{
				fs::path	 path = *folder / fs::u8path(entry.name);

				fs::create_directories(path.parent_path(), error);
				std::ofstream(path, std::ios::binary).write(entry.bytes.data(), std::streamsize(entry.bytes.size()));
			}
		}

		if (!fs::exists(*folder / "setup.exe", error) || !fs::exists(*folder / Tolvane::ScriptLayout::FileName, error)) return CannotRun(installer + ": holds no setup.exe and setup.xml");

		// The shipping build is 32-bit; Wine without its 32-bit part cannot
		// start it at all, which is no finding about the installer.
		if (Is32Bit(*folder / "setup.exe") && !WineRuns32Bit())
		{
			return CannotRun(installer + " is a 32-bit installer and this Wine runs only 64-bit programs (install wine32, or test the product built with the 64-bit programs: tolvane build --programs build/win64/bin)");
		}

		*arguments = { String::FromUTF8(program->u8string()), "/S" };

		return true;
	}

	// Runs a helper with its output in the run's log; false when it cannot
	// start or does not end in time (it is then stopped).
	bool Runner::Quiet(const std::vector<String> &arguments, int milliseconds, int *exitCode, const fs::path &output)
	{
		ProgramOptions	 options;
		long		 process = 0;
		std::string	 error;

		options.output = String::FromUTF8((output.empty() ? work / "wine.log" : output).u8string());

		if (!StartProgram(arguments, options, &process, &error)) return false;
		if (WaitProgram(process, milliseconds, exitCode)) return true;

		StopProgram(process);

		return false;
	}

	void Runner::EndServer()
	{
		int	 code = 0;

		// The server writes the registry to its files as it ends.
		Quiet({ "wineserver", "-k" }, 30000, &code);
		Quiet({ "wineserver", "-w" }, 30000, &code);
	}

	bool Runner::Prepare(const std::string &templateFolder)
	{
		std::error_code	 error;
		int		 code = 0;
		std::string	 cause;

		fs::path	 from = fs::u8path(templateFolder), versionFile = from;

		versionFile += ".version";

		if (!Quiet({ "wine", "--version" }, 30000, &code, work / "wine-version") || code != 0) return CannotRun("Wine is missing: install wine64 (Debian: apt-get install wine64)");

		// A template this tool made keeps Wine's version beside it: a prefix
		// of another Wine is brought up to date by wineboot on every start,
		// which costs every run the time the template saves. One without
		// that file is the publisher's own and is used as it is.
		std::string	 version = ReadText(work / "wine-version");
		size_t		 line	 = version.find("wine-");

		// Its version line only: warnings about missing parts come with it.
		if (line != std::string::npos) version = version.substr(line, version.find('\n', line) - line);

		if (fs::exists(versionFile, error) && ReadText(versionFile) != version + "\n")
		{
			console.out("tolvane test: Wine changed since the template was made; making it anew\n");
			fs::remove_all(from, error);
			fs::remove(versionFile, error);
		}

		SetEnvironment("WINEDEBUG", "-all");
		SetEnvironment("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d");

		// The template is made once, then only ever copied.
		if (!fs::exists(from / "system.reg", error))
		{
			fs::path	 partial = from;

			partial += ".partial-" + std::to_string(System::System::GetProcessID());
			fs::remove_all(partial, error);
			fs::create_directories(partial, error);
			SetEnvironment("WINEPREFIX", partial.u8string());
			console.out("tolvane test: making the Wine template " + from.u8string() + " (once)\n");

			if (!Quiet({ "wineboot", "-i" }, 300000, &code) || !Quiet({ "wineserver", "-w" }, 300000, &code) || !fs::exists(partial / "system.reg", error))
			{
				fs::remove_all(partial, error);

				return CannotRun("wineboot made no prefix in " + partial.u8string());
			}

			fs::rename(partial, from, error);

			if (error && !fs::exists(from / "system.reg", error)) return CannotRun("cannot keep the Wine template in " + from.u8string());

			fs::remove_all(partial, error);
			std::ofstream(versionFile, std::ios::binary) << version << "\n";
		}

		templatePath = from;

		if (!MakePrefix("prefix")) return false;

		// A display of our own when there is none; Xvfb on a number no other
		// server uses.
		const char	*display = getenv("DISPLAY");

		if (display == nullptr || *display == 0)
		{
			int	 number = 100 + System::System::GetProcessID() % 800;

			while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number), error) || fs::exists("/tmp/.X" + std::to_string(number) + "-lock", error)) number++;

			ProgramOptions	 options;

			options.output = String::FromUTF8((work / "xvfb.log").u8string());

			if (!StartProgram({ "Xvfb", String::FromUTF8(":" + std::to_string(number)), "-screen", "0", "1024x768x24", "-nolisten", "tcp" }, options, &xvfb, &cause)) return CannotRun("no display and Xvfb cannot start: install xvfb (" + cause + ")");

			for (int i = 0; i < 100 && !fs::exists("/tmp/.X11-unix/X" + std::to_string(number), error); i++)
			{
				if (WaitProgram(xvfb, 50, &code)) { xvfb = -1; return CannotRun("no display and Xvfb ended at once (see " + (work / "xvfb.log").u8string() + ")"); }
			}

			SetEnvironment("DISPLAY", ":" + std::to_string(number));
		}

		return true;
	}

	// A fresh prefix from the template; the one before, if any, is ended
	// and removed first.
	bool Runner::MakePrefix(const char *name)
	{
		std::error_code	 error;
		const fs::path	&from = templatePath;

		if (!prefix.empty())
		{
			EndServer();
			fs::remove_all(prefix, error);
		}

		// Wine's own libraries are only read: linked, they cost nothing.
		prefix = work / name;
		fs::create_directories(prefix / "drive_c" / "windows", error);

		for (const auto &entry : fs::directory_iterator(from, error)) if (entry.path().filename() != "drive_c") fs::copy(entry.path(), prefix / entry.path().filename(), fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
		for (const auto &entry : fs::directory_iterator(from / "drive_c", error)) if (entry.path().filename() != "windows") fs::copy(entry.path(), prefix / "drive_c" / entry.path().filename(), fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);

		for (const auto &entry : fs::directory_iterator(from / "drive_c" / "windows", error))
		{
			std::string	 name = entry.path().filename().u8string();
			fs::path	 to   = prefix / "drive_c" / "windows" / entry.path().filename();
			std::error_code	 failed;

			if (name == "system32" || name == "winsxs") fs::copy(entry.path(), to, fs::copy_options::recursive | fs::copy_options::create_hard_links | fs::copy_options::copy_symlinks, failed);

			if (failed || (name != "system32" && name != "winsxs")) fs::copy(entry.path(), to, fs::copy_options::recursive | fs::copy_options::copy_symlinks | fs::copy_options::overwrite_existing, failed);

			if (failed) return CannotRun("cannot copy the Wine template: " + to.u8string() + ": " + failed.message());
		}

		SetEnvironment("WINEPREFIX", prefix.u8string());

		return true;
	}

	// Runs a program in Wine while watching the screen: a silent run shows
	// no window, so the first visible one (larger than Wine's hidden 1x1
	// helpers) is a finding and ends the run. A run that is not silent (the
	// walker's) is only held to its time.
	bool Runner::Watched(const std::string &step, std::vector<String> arguments, const fs::path &folder, int *exitCode, bool silent, const fs::path &output, int seconds)
	{
		std::vector<String>	 command = { "wine" };
		ProgramOptions		 options;
		long			 process = 0;
		std::string		 error;
		auto			 start = std::chrono::steady_clock::now();

		command.insert(command.end(), arguments.begin(), arguments.end());
		options.workingFolder = String::FromUTF8(folder.u8string());
		options.output	      = String::FromUTF8((output.empty() ? work / "wine.log" : output).u8string());

		if (seconds <= 0) seconds = timeout;

		if (!StartProgram(command, options, &process, &error)) return CannotRun("cannot start wine: " + error);

		fs::path	 list = work / "windows.txt";

		while (!WaitProgram(process, 250, exitCode))
		{
			int			 code = 0;
			ProgramOptions		 listing;

			fs::remove(list);
			listing.output = String::FromUTF8(list.u8string());

			long	 lister = 0;

			if (silent && StartProgram({ "xwininfo", "-root", "-children" }, listing, &lister, &error)) WaitProgram(lister, -1, &code);

			std::istringstream	 lines(silent ? ReadText(list) : std::string());
			std::string		 line;

			while (std::getline(lines, line))
			{
				size_t	 x = line.find(")  ");
				int	 width = 0, height = 0;

				if (line.find("     0x") != 0 || x == std::string::npos || sscanf(line.c_str() + x + 3, "%dx%d", &width, &height) != 2 || (width <= 1 && height <= 1)) continue;

				std::string	 title = line.substr(line.find(' ', 7) + 1);

				Find("silent-window", step, "a window appeared during the silent run: " + title.substr(0, title.find(": (")));
				StopProgram(process);
				EndServer();
				report.steps.push_back({ step, Since(start) });

				return false;
			}

			if (Since(start) > seconds)
			{
				Find("timeout", step, "did not end within " + std::to_string(seconds) + " s");
				StopProgram(process);
				EndServer();

				return false;
			}
		}

		report.steps.push_back({ step, Since(start) });

		return true;
	}

	Snapshot Runner::Take()
	{
		Snapshot	 snapshot;

		EndServer();
		SnapshotTree((prefix / "drive_c").u8string(), IgnoredPaths, &snapshot);
		ReadHive(ReadText(prefix / "system.reg"), "HKLM", IgnoredKeys, &snapshot);
		ReadHive(ReadText(prefix / "user.reg"), "HKCU", IgnoredKeys, &snapshot);

		// Installers write below Software; the rest is the machine's own.
		for (auto key = snapshot.keys.begin(); key != snapshot.keys.end(); )
		{
			if (key->first.compare(0, 14, "hklm\\software\\") == 0 || key->first.compare(0, 14, "hkcu\\software\\") == 0) ++key;
			else key = snapshot.keys.erase(key);
		}

		return snapshot;
	}

	fs::path Runner::OnDrive(const std::string &windowsPath)
	{
		if (windowsPath.size() < 3 || tolower((unsigned char) windowsPath[0]) != 'c' || windowsPath[1] != ':') return fs::path();

		String	 found;
		fs::path drive = prefix / "drive_c";
		String	 rest  = String::FromUTF8(windowsPath.substr(3));

		if (LocateName(String::FromUTF8(drive.u8string()), rest, false, found) || LocateName(String::FromUTF8(drive.u8string()), rest, true, found)) return fs::u8path(found.ToUTF8());

		return fs::path();
	}

	bool Runner::RegistryString(const Snapshot &snapshot, const std::string &key, const char *value, std::string *text)
	{
		auto	 found = snapshot.keys.find(Lower(key));

		if (found == snapshot.keys.end()) return false;

		auto	 data = found->second.values.find(Lower(value));

		return data != found->second.values.end() && HiveString(data->second, text);
	}

	void Runner::CheckInstallation(const Tolvane::Configuration &config, const fs::path &folder, const Snapshot &snapshot, bool upgrade, bool allComponents)
	{
		std::string	 target	 = programFiles + "\\" + config.defaultDir.ToUTF8();
		fs::path	 onDrive = OnDrive(target);

		if (onDrive.empty()) { Find("target", target, "the installation folder was not created"); return; }

		// What a fresh installation of the default choices (or of every
		// component) holds.
		std::set<std::string>	 expected = { PathKey(Installed::ScriptEntry), PathKey(Installed::UninstallFolder), PathKey(Installed::UninstallLibraryEntry) };
		std::set<std::string>	 marked;

		if (config.copySmoothDll) expected.insert(PathKey(Installed::LibraryName));

		for (Int i = 0; i < config.components.Length(); i++)
		{
			const Tolvane::Component	*component = config.components.GetNth(i);

			if (component->mode == Tolvane::COMPONENT_OPTIONAL && !allComponents) continue;

			marked.insert(component->id.ToUTF8());

			std::string	 subdir = component->subdir.ToUTF8() == "." ? std::string() : component->subdir.ToUTF8();
			String		 archivePath;
			ZBK::Archive	 archive;

			if (!LocateName(String::FromUTF8(folder.u8string()), component->archive, false, archivePath) || !archive.Open(archivePath))
			{
				Find("archive", component->archive.ToUTF8(), "the installer's archive cannot be read");
				continue;
			}

			if (!subdir.empty()) expected.insert(PathKey(subdir));

			for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
			{
				std::string	 entry = (subdir.empty() ? "" : subdir + "/") + archive.GetFileName(n).ToUTF8();
				fs::path	 extracted = work / "entry";

				for (size_t slash = entry.find('/'); slash != std::string::npos; slash = entry.find('/', slash + 1)) expected.insert(PathKey(entry.substr(0, slash)));

				expected.insert(PathKey(entry));

				fs::remove(extracted);

				if (!archive.ExtractFile(archive.GetFileName(n), String::FromUTF8(extracted.u8string()))) { Find("archive", entry, "cannot be read from " + component->archive.ToUTF8()); continue; }

				String	 installed;

				if	(!LocateName(String::FromUTF8(onDrive.u8string()), String::FromUTF8(entry), false, installed)) Find("missing-file", target + "\\" + entry, "an archive entry was not installed");
				else if (!SameBytes(extracted, fs::u8path(installed.ToUTF8())))				 Find("changed-file", target + "\\" + entry, "installed with other bytes than the archive holds");
			}
		}

		for (Int i = 0; i < config.uninstallFiles.Length(); i++) expected.insert(PathKey(config.uninstallFiles.GetNth(i).ToUTF8()));

		// Anything else in the target: after an upgrade, the older version's.
		std::error_code	 error;

		for (fs::recursive_directory_iterator walk(onDrive, error), end; !error && walk != end; walk.increment(error))
		{
			std::string	 name = walk->path().lexically_relative(onDrive).generic_u8string();

			if (expected.count(PathKey(name)) == 0) Find(upgrade ? "upgrade-leftover" : "unexpected-file", target + "\\" + name, upgrade ? "left behind by the upgrade: a fresh installation has no such file" : "installed, but in no archive of the installer");
		}

		// The installation's own parts.
		fs::path	 uninstaller = onDrive / Installed::UninstallFolder / Installed::UninstallerName;

		if (!config.createLog) return;

		if (!fs::exists(uninstaller, error))
		{
			Find("uninstaller-missing", target + "\\" + Installed::UninstallFolder + "\\" + Installed::UninstallerName, "no uninstaller installed: the product cannot be removed and is not registered");
			return;
		}

		if (!fs::exists(onDrive / Installed::UninstallFolder / Installed::ScriptName, error)) Find("uninstall-script", target, "no uninstall script installed");

		// The registration, as the list of installed programs shows it.
		std::string	 key = std::string("HKLM\\") + Installed::UninstallKey + "\\" + Tolvane::InstallRun::GetEntryName(config.appName).ToUTF8();
		std::string	 text;

		if (snapshot.keys.count(Lower(key)) == 0) { Find("registration", key, "the product is not registered"); return; }

		// The silent run's, when both passes got that far.
		if (report.registration.empty())
		{
			report.registration.push_back({ "ProductCode", Tolvane::InstallRun::GetEntryName(config.appName).ToUTF8() });

			for (const char *value : { "DisplayName", "DisplayVersion", "Publisher", "InstallLocation", "UninstallString", "QuietUninstallString" })
			{
				if (RegistryString(snapshot, key, value, &text)) report.registration.push_back({ value, text });
			}
		}

		const struct { const char *value; std::string want; } values[] = {
			{ "DisplayName", config.appName.ToUTF8() }, { "DisplayVersion", config.appVersion.ToUTF8() }, { "Publisher", config.companyName.ToUTF8() },
			{ "InstallLocation", target },
		};

		for (const auto &value : values)
		{
			if	(!RegistryString(snapshot, key, value.value, &text)) Find("registration", key + "\\" + value.value, "missing");
			else if (Lower(text) != Lower(value.want) || (std::string(value.value) != "InstallLocation" && text != value.want)) Find("registration", key + "\\" + value.value, "is '" + text + "', the script says '" + value.want + "'");
		}

		for (const char *value : { "UninstallString", "QuietUninstallString" })
		{
			std::string	 rest;

			if	(!RegistryString(snapshot, key, value, &text) || text.empty()) Find("registration", key + "\\" + value, "missing");
			else if (OnDrive(CommandProgram(text, &rest)).empty())	  Find("registration", key + "\\" + value, "names no installed program: " + text);
		}

		// The links the silent run makes (Start menu and desktop), each to an
		// installed file.
		std::string	 startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs" + (config.startMenuSubdir.Length() > 0 ? "\\" + config.startMenuSubdir.ToUTF8() : std::string());

		for (Int i = 0; i < config.links.Length(); i++)
		{
			const Tolvane::Link	*link = config.links.GetNth(i);

			if (link->type == Tolvane::LINK_QUICKLAUNCH || (link->depends.Length() > 0 && marked.count(link->depends.ToUTF8()) == 0)) continue;

			std::string	 name = String(link->name).Replace("%VERSION%", config.appVersion).ToUTF8();
			std::string	 file = (link->type == Tolvane::LINK_DESKTOP ? std::string("C:\\users\\Public\\Desktop") : startMenu) + "\\" + name + ".lnk";
			fs::path	 lnk  = OnDrive(file);
			std::string	 to   = target + "\\" + link->file.ToUTF8();

			if (lnk.empty()) { Find("link", file, "not created"); continue; }

			// Where the shortcut really leads and starts, as the shell reads
			// it: an installed file in the installation, started in an
			// existing folder.
			ShellLink	 read;
			ShellLinkStatus	 status = ReadShellLink(ReadText(lnk), &read);
			std::string	 targetKey = PathKey(read.target), installedKey = PathKey(target + "\\");
			fs::path	 started = OnDrive(read.workingFolder);

			if (status != ShellLinkStatus::Ok) { Find("link", file, std::string("is ") + ShellLinkStatusText(status)); continue; }

			if	(read.target.empty())							     Find("link", file, "names no file");
			else if (targetKey.compare(0, installedKey.size(), installedKey) != 0 || OnDrive(read.target).empty() || fs::is_directory(OnDrive(read.target), error))
												     Find("link", file, "points at " + read.target + ", which is no installed file");
			else if (Lower(read.target) != Lower(to))				     Find("link", file, "points at " + read.target + ", the script says " + to);

			if	(read.workingFolder.empty())					     Find("link", file, "sets no working folder");
			else if (started.empty() || !fs::is_directory(started, error))		     Find("link", file, "starts in " + read.workingFolder + ", which does not exist");
		}
	}

	void Runner::CheckLeftovers(const Snapshot &before, const Snapshot &after)
	{
		SnapshotChanges	 changes = CompareSnapshots(before, after);

		for (const SnapshotPath &path : changes.addedPaths)
		{
			std::string	 name = "C:\\" + path.name;

			for (char &c : name) if (c == '/') c = '\\';

			// One finding for a folder left with its contents.
			size_t	 slash = path.name.rfind('/');

			if (slash != std::string::npos && after.paths.count(PathKey(path.name.substr(0, slash))) && before.paths.count(PathKey(path.name.substr(0, slash))) == 0) continue;

			Find("leftover", name, path.folder ? "a folder left after the removal" : name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".lnk" ? "a link left after the removal" : "a file left after the removal");
		}

		for (const SnapshotKey &key : changes.addedKeys) Find("leftover", key.name, "a registry key left after the removal");

		for (const SnapshotKey &key : changes.changedKeys)
		{
			const SnapshotKey	&was = before.keys.at(Lower(key.name));

			for (const auto &value : key.values) if (was.values.count(value.first) == 0) Find("leftover", key.name + "\\" + value.first, "a registry value left after the removal");
		}
	}

	void Runner::Clean()
	{
		std::error_code	 error;

		if (!prefix.empty()) EndServer();
		if (xvfb >= 0) StopProgram(xvfb), xvfb = -1;
		if (!work.empty()) fs::remove_all(work, error);

		work.clear();
		prefix.clear();
	}

	// One pass on a clean prefix: the older version silently (with --from),
	// the installer silently or through its wizard, the checks, the quiet
	// removal and the leftovers.
	void Runner::Pass(const std::string &installer, const std::string &older)
	{
		std::string	 name  = walking ? "wizard " : "";
		Snapshot	 clean = Take();
		int		 code  = 0;
		bool		 installed = false;

		RegistryString(clean, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", &programFiles);

		if (!older.empty() && Watched(name + "install older", olderInstall, olderFolder, &code) && code != 0) Find("exit-code", older, "the older version's silent installation ended with " + std::to_string(code));

		if (!report.findings.empty()) return;

		if (walking)
		{
			if (!Walk(installer, &installed)) return;
		}
		else if (Watched("install", install, folder, &code))
		{
			if (code != 0 && code != 3010) Find("exit-code", installer, "the silent installation ended with " + std::to_string(code));

			installed = true;
		}

		if (!installed) return;

		Snapshot	 after = Take();

		CheckInstallation(config, folder, after, !older.empty(), walking && walkAll);

		// Removal as the list of installed programs does it.
		std::string	 key = std::string("HKLM\\") + Installed::UninstallKey + "\\" + Tolvane::InstallRun::GetEntryName(config.appName).ToUTF8();
		std::string	 quiet, rest;

		if (!RegistryString(after, key, "QuietUninstallString", &quiet) || quiet.empty()) return;

		std::string		 uninstaller = CommandProgram(quiet, &rest);
		std::vector<String>	 command = { String::FromUTF8(uninstaller) };
		std::istringstream	 words(rest);
		std::string		 word;

		while (words >> word) command.push_back(String::FromUTF8(word));

		if (!Watched(name + "uninstall", command, fs::path(), &code)) return;

		if (code != 0) Find("exit-code", quiet, "the quiet removal ended with " + std::to_string(code));

		// The uninstaller returns once its temporary copy has started the
		// removal: the server ends when the copy (and every other program)
		// has.
		Quiet({ "wineserver", "-w" }, timeout * 1000, &code);

		CheckLeftovers(clean, Take());
	}

	// The walker presses Next through the wizard (marking every component
	// first with --components all). It knows the page it is stuck on and
	// says so in its last lines; those become the finding. true when the
	// installer ended by itself after its last page (*installed: with an
	// exit code of success).
	bool Runner::Walk(const std::string &installer, bool *installed)
	{
		fs::path		 log  = work / "walk.log";
		std::string		 self = walkerProgram.stem().u8string() + ": ";
		std::vector<String>	 command = { String::FromUTF8(walkerProgram.u8string()), WindowsPath(folder), WindowsPath(work / "pages"), "--setup", WindowsPath(program),
						     "--timeout", String::FromUTF8(std::to_string(timeout)), "--components", walkAll ? "all" : "default" };
		int			 code = 0;

		fs::remove(log);

		// The walker waits up to the timeout for each page, the installation
		// run included: given twice that and the walker's own start, it
		// reports the page it is stuck on before it is stopped.
		if (!Watched("wizard", command, folder, &code, false, log, 2 * timeout + 30)) return false;

		std::string	 text	= ReadText(log);
		size_t		 failed = text.find(self);
		size_t		 ended	= text.find("the installer ended with exit code ");
		int		 exit	= ended == std::string::npos ? -1 : atoi(text.c_str() + ended + 35);

		if (code == 0 || (failed == std::string::npos && (exit == 0 || exit == 3010)))
		{
			*installed = true;

			return true;
		}

		if (failed == std::string::npos && exit >= 0) { Find("exit-code", installer, "the installation through the wizard ended with " + std::to_string(exit)); *installed = true; return true; }

		// The walker's message, its page's controls one after another.
		std::string	 message = failed == std::string::npos ? "the walker ended with " + std::to_string(code) + ": " + text : text.substr(failed + self.size());
		std::string	 folded;

		for (size_t i = 0; i < message.size(); i++)
		{
			if (message[i] != '\n' && message[i] != '\r') { folded += message[i]; continue; }

			while (i + 1 < message.size() && (message[i + 1] == ' ' || message[i + 1] == '\n' || message[i + 1] == '\r')) i++;

			if (i + 1 < message.size()) folded += folded.empty() || folded.back() == ':' ? " " : "; ";
		}

		Find("wizard", installer, folded);

		return false;
	}

	int Runner::Run(const std::string &installer, const std::string &older, const std::string &reportFile, const std::string &templateFolder, int seconds, bool allComponents, const fs::path &walker)
	{
		std::error_code	 error;
		auto		 start = std::chrono::steady_clock::now();

		timeout		 = seconds;
		walkAll		 = allComponents;
		walkerProgram	 = walker;
		report.installer = installer;
		work		 = fs::u8path(templateFolder + ".runs") / std::to_string(System::System::GetProcessID());

		fs::remove_all(work, error);
		fs::create_directories(work, error);

		bool	 ok = Unpack(installer, "installer", &folder, &program, &install) && (older.empty() || Unpack(older, "older", &olderFolder, &olderProgram, &olderInstall));

		if (ok && Is32Bit(walker) && !WineRuns32Bit()) ok = CannotRun(walker.u8string() + " is a 32-bit program and this Wine runs only 64-bit programs (install wine32, or name the 64-bit programs' folder with --programs)");

		if (ok)
		{
			config.LoadFile(String::FromUTF8((folder / Tolvane::ScriptLayout::FileName).u8string()));
			report.product = config.appName.ToUTF8();
			report.version = config.appVersion.ToUTF8();
		}

		if (ok) ok = Prepare(templateFolder);

		if (ok)
		{
			report.steps.push_back({ "prefix", Since(start) });
			Pass(installer, older);
		}

		// The wizard in a prefix of its own, so that neither pass sees what
		// the other left. A product with findings already is not walked: a
		// fault of the silent run is the wizard's as well, and each stays
		// one finding.
		auto	 made = std::chrono::steady_clock::now();

		if (ok && report.cannotRun.empty() && report.findings.empty() && MakePrefix("walk"))
		{
			report.steps.push_back({ "wizard prefix", Since(made) });
			walking = true;
			Pass(installer, older);
			walking = false;
		}

		report.steps.push_back({ "total", Since(start) });

		Clean();
		fs::remove(fs::u8path(templateFolder + ".runs"), error);

		console.out(ReportSummary(report));

		if (!reportFile.empty())
		{
			std::ofstream	 out(fs::u8path(reportFile), std::ios::binary | std::ios::trunc);

			out << ReportJson(report);

			if (!out.flush()) { console.err("tolvane: " + reportFile + ": cannot write the report\n"); return ExitUsage; }
		}

		return ReportExitCode(report);
	}
}

int Tolvane::Tool::RunTest(const std::vector<String> &arguments, Console &console)
{
	std::string	 installer, older, reportFile, templateFolder, programs;
	int		 timeout = 120;
	bool		 allComponents = false;

	for (size_t i = 0; i < arguments.size(); i++)
	{
		const String	&argument = arguments[i];
		bool		 valued	  = argument == "--from" || argument == "--report" || argument == "--template" || argument == "--components" || argument == "--timeout" || argument == "--programs";

		if (valued && i + 1 >= arguments.size()) return UsageError(console, "test: " + argument.ToUTF8() + " needs a value");

		if	(argument == "--from")		older	       = arguments[++i].ToUTF8();
		else if (argument == "--report")	reportFile     = arguments[++i].ToUTF8();
		else if (argument == "--template")	templateFolder = arguments[++i].ToUTF8();
		else if (argument == "--timeout")	timeout	       = atoi(arguments[++i].ToUTF8().c_str());
		else if (argument == "--programs")	programs       = arguments[++i].ToUTF8();
		else if (argument == "--components")
		{
			// The silent run installs the default choices; the wizard makes
			// the others.
			if (arguments[++i] != "default" && arguments[i] != "all") return UsageError(console, "test: --components " + arguments[i].ToUTF8() + ": default or all");

			allComponents = arguments[i] == "all";
		}
		else if (argument.StartsWith("-"))	return UsageError(console, "test: unknown option " + argument.ToUTF8());
		else if (installer.empty())		installer = argument.ToUTF8();
		else					return UsageError(console, "test: one installer only");
	}

	if (installer.empty()) return UsageError(console, "test: needs INSTALLER, a bundle or a built folder");
	if (timeout <= 0) return UsageError(console, "test: --timeout needs a number of seconds");

	if (templateFolder.empty())
	{
		const char	*cache = getenv("XDG_CACHE_HOME");
		const char	*home  = getenv("HOME");

		if	(cache != nullptr && *cache != 0) templateFolder = std::string(cache) + "/tolvane/wine-template";
		else if (home != nullptr && *home != 0)	  templateFolder = std::string(home) + "/.cache/tolvane/wine-template";
		else					  return UsageError(console, "test: no HOME: name the Wine template's folder with --template");
	}

	std::error_code	 error;

	// The walker ships beside the Windows programs; without --programs it
	// is looked for beside this tool.
	fs::path	 walker = (programs.empty() ? fs::read_symlink("/proc/self/exe", error).parent_path() : fs::absolute(fs::u8path(programs), error)) / WalkerName;

	if (!fs::is_regular_file(walker, error))
	{
		console.err("tolvane: test: no wizard walker " + walker.u8string() + ": name the folder of the Windows programs (built with them) with --programs\n");

		return ExitUsage;
	}

	fs::create_directories(fs::u8path(templateFolder).parent_path(), error);

	return Runner(console).Run(installer, older, reportFile, fs::absolute(fs::u8path(templateFolder), error).u8string(), timeout, allComponents, walker);
}
