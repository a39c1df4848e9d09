// The bundle under Wine: one file that unpacks the installer into a fresh
// temporary folder, starts setup.exe there with its own command line's tail,
// passes setup.exe's exit code on and leaves nothing behind. A stand-in
// child reports how it was started; a DLL planted beside the bundle shows
// whether anything loaded it. Then a staged product installs through a
// bundle exactly as through its own setup.exe.
#include "bundle_writer.h"
#include "product.h"

#include <gtest/gtest.h>

#include <map>

using namespace e2e;

namespace
{
	constexpr DWORD kRunTimeout = 60000;  // one whole silent installation

	std::wstring TempPath()
	{
		wchar_t path[MAX_PATH + 1] = {0};
		std::wstring result(path, GetTempPathW(MAX_PATH + 1, path));
		if (!result.empty() && result.back() == L'\\') result.pop_back();
		return result;
	}

	std::wstring Lower(std::wstring text)
	{
		for (wchar_t &c : text) c = static_cast<wchar_t>(towlower(c));
		return text;
	}

	// The entries of TEMP (not below), each with its time of last write,
	// leaving out the test's own folder.
	std::map<std::wstring, ULONGLONG> TempEntries(const std::wstring &own)
	{
		std::map<std::wstring, ULONGLONG> entries;
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((TempPath() + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return entries;
		do
		{
			const std::wstring name = data.cFileName;
			if (name == L"." || name == L".." || Lower(TempPath() + L"\\" + name) == Lower(own)) continue;
			entries[name] = (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
		} while (FindNextFileW(find, &data));
		FindClose(find);
		return entries;
	}

	std::string Changes(const std::map<std::wstring, ULONGLONG> &before, const std::map<std::wstring, ULONGLONG> &after)
	{
		std::string text;
		for (const auto &entry : after)
		{
			auto found = before.find(entry.first);
			if (found == before.end()) text += "  appeared: " + Narrow(entry.first) + "\n";
			else if (found->second != entry.second) text += "  changed: " + Narrow(entry.first) + "\n";
		}
		for (const auto &entry : before)
			if (!after.count(entry.first)) text += "  gone: " + Narrow(entry.first) + "\n";
		return text;
	}

	// What the stand-in child wrote: key=value lines; "file" lines gathered.
	struct Record
	{
		bool present = false;
		std::string cwd, exe, cmd, loaded;
		std::set<std::string> files;  // "name|size", '\' between folders
	};

	Record ReadRecord(const std::wstring &path)
	{
		Record record;
		std::string text;
		if (!ReadFile(path, &text)) return record;
		record.present = true;
		for (size_t at = 0; at < text.size();)
		{
			size_t end = text.find('\n', at);
			if (end == std::string::npos) end = text.size();
			const std::string line = text.substr(at, end - at);
			const size_t equals = line.find('=');
			const std::string key = line.substr(0, equals), value = equals == std::string::npos ? "" : line.substr(equals + 1);
			if (key == "cwd") record.cwd = value;
			else if (key == "exe") record.exe = value;
			else if (key == "cmd") record.cmd = value;
			else if (key == "loaded") record.loaded = value;
			else if (key == "file") record.files.insert(value);
			at = end + 1;
		}
		return record;
	}

	// Sets an environment variable of this process (inherited by what it
	// starts) for one scope.
	class ScopedVariable
	{
	public:
		ScopedVariable(const wchar_t *name, const std::wstring &value) : name(name)
		{
			wchar_t buffer[4096];
			const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
			had = n > 0 && n < 4096;
			if (had) old.assign(buffer, n);
			SetEnvironmentVariableW(name, value.c_str());
		}
		~ScopedVariable() { SetEnvironmentVariableW(name, had ? old.c_str() : nullptr); }

	private:
		const wchar_t *name;
		std::wstring old;
		bool had = false;
	};

	struct Ran
	{
		bool ended = false;
		DWORD code = 0xFFFF;
		std::vector<MessageBoxInfo> boxes;  // answered with OK
		std::vector<std::wstring> windows;  // other visible windows seen
	};

	// Runs exe and watches it until it ends: message boxes are read and
	// answered, other visible windows noted.
	Ran RunWatched(const std::wstring &exe, const std::wstring &args, const std::wstring &folder, DWORD timeout = kRunTimeout)
	{
		Ran ran;
		Process program;
		std::wstring error;
		EXPECT_TRUE(program.Start(exe, args, folder, &error)) << Narrow(error);
		if (!program.Started()) return ran;
		std::set<HWND> seen;
		WaitUntil(timeout, [&] {
			for (const MessageBoxInfo &box : MessageBoxes(program.Id()))
			{
				ran.boxes.push_back(box);
				AnswerMessageBox(box, IDOK);
			}
			for (HWND hwnd : TopLevelWindows(program.Id()))
				if (IsWindowVisible(hwnd) && ClassOf(hwnd) != L"#32770" && seen.insert(hwnd).second) ran.windows.push_back(WindowText(hwnd));
			return !program.Running();
		}, 10);
		ran.ended = program.WaitForExit(0, &ran.code);
		return ran;
	}

	std::wstring FolderOf(const std::string &path)
	{
		const std::wstring wide = Widen(path);
		return wide.substr(0, wide.find_last_of(L'\\'));
	}

	class BundleE2E : public ::testing::Test
	{
	protected:
		const std::wstring bin = ModuleFolder();
		std::unique_ptr<TempFolder> work = std::make_unique<TempFolder>(L"e2e-bundle");
		std::map<std::wstring, ULONGLONG> tempBefore;
		const std::string payload = NoiseBytes(300000, 7);

		void SetUp() override
		{
			ASSERT_FALSE(work->Path().empty());
			for (const wchar_t *name : {L"bundle_stub.exe", L"bundle_test_child.exe", L"bundle_test_planted.dll"})
				ASSERT_TRUE(FileExists(bin + L"\\" + name)) << Narrow(name) << " is not next to the test program";
			tempBefore = TempEntries(work->Path());
		}

		// A bundle at path around the stand-in child, with two more files.
		void MakeBundle(const std::wstring &path)
		{
			std::string error;
			const std::vector<Tolvane::BundleEntry> entries = {
				Tolvane::BundleEntry::FromFile("setup.exe", Narrow(bin + L"\\bundle_test_child.exe")),
				Tolvane::BundleEntry::FromBytes("data/noise.bin", payload),
				Tolvane::BundleEntry::FromBytes("docs\\read me.txt", "Read me\r\n")};
			ASSERT_TRUE(Tolvane::WriteBundle(Narrow(bin + L"\\bundle_stub.exe"), entries, Narrow(path), &error)) << error;
		}

		// TEMP holds what it held before, every entry unchanged.
		void ExpectTempUntouched()
		{
			EXPECT_EQ(Changes(tempBefore, TempEntries(work->Path())), "");
		}
	};
}

namespace
{
	struct TailRow
	{
		const wchar_t *args;     // given to the bundle
		const wchar_t *passed;   // what setup.exe gets after its own name
		DWORD code;
		bool extractDir;         // /extractdir= names the work folder's "unpack here" (added to args)
	};
}

// The tail arrives unchanged, setup.exe runs in the fresh folder, which lies
// in TEMP (or below /extractdir=) and is gone afterwards, and every bit of
// the exit code comes back; nothing else in TEMP changes.
TEST_F(BundleE2E, RunsTheChildInAFreshFolderAndPassesEverythingThrough)
{
	const std::wstring bundle = work->Path() + L"\\bundle.exe", unpackHere = work->Path() + L"\\unpack here";
	ASSERT_NO_FATAL_FAILURE(MakeBundle(bundle));
	ASSERT_TRUE(CreateDirectoryW(unpackHere.c_str(), nullptr));
	const TailRow rows[] = {
		{L"/S /exit=0x12345678 \"quoted arg\" /D=C:\\Program Files\\X", L"/S /exit=0x12345678 \"quoted arg\" /D=C:\\Program Files\\X", 0x12345678u, false},
		{L"/exit=0xFEDCBA98 two  blanks\tand a tab ", L"/exit=0xFEDCBA98 two  blanks\tand a tab ", 0xFEDCBA98u, false},
		{L"", L"", 0, false},
		{L"/S /exit=3", L"/S /exit=3", 3, true},
	};
	int n = 0;
	for (const TailRow &row : rows)
	{
		SCOPED_TRACE(Narrow(row.args));
		const std::wstring record = work->Path() + L"\\record-" + std::to_wstring(n++) + L".txt";
		ScopedVariable variable(L"BUNDLE_TEST_RECORD", record);
		const std::wstring args = row.extractDir ? L"\"/extractdir=" + unpackHere + L"\" " + row.args : std::wstring(row.args);
		const Ran ran = RunWatched(bundle, args, work->Path());
		ASSERT_TRUE(ran.ended);
		EXPECT_EQ(ran.code, row.code) << std::hex << ran.code;
		EXPECT_TRUE(ran.boxes.empty()) << Narrow(ran.boxes.empty() ? L"" : ran.boxes[0].text);

		const Record child = ReadRecord(record);
		ASSERT_TRUE(child.present) << "setup.exe did not run";
		const std::wstring folder = FolderOf(child.exe);
		EXPECT_EQ(Lower(Widen(child.cwd)), Lower(folder)) << "working folder";
		EXPECT_EQ(Lower(folder.substr(folder.find_last_of(L'\\') + 1, 4)), L"tvb-") << child.exe;
		EXPECT_EQ(Lower(FolderOf(Narrow(folder))), Lower(row.extractDir ? unpackHere : TempPath()));
		const std::wstring expected = L"\"" + folder + L"\\setup.exe\"" + (*row.passed ? L" " + std::wstring(row.passed) : L"");
		EXPECT_EQ(child.cmd, Narrow(expected));
		std::string childBytes;
		ASSERT_TRUE(ReadFile(bin + L"\\bundle_test_child.exe", &childBytes));
		const std::set<std::string> files = {"setup.exe|" + std::to_string(childBytes.size()),
		                                     "data\\noise.bin|" + std::to_string(payload.size()), "docs\\read me.txt|9"};
		EXPECT_EQ(child.files, files);
		EXPECT_FALSE(FolderExists(folder)) << "the unpacked folder stays";
		if (row.extractDir) EXPECT_TRUE(FolderExists(unpackHere));
	}
	ExpectTempUntouched();

	// The code as a command script sees it.
	const std::string output = ConsoleOutput(L"cmd /v:on /c \"\"" + bundle + L"\" /S /exit=0x12345678 & echo code !ERRORLEVEL!\"", work->Path() + L"\\cmd.txt", kRunTimeout);
	EXPECT_NE(output.find("code 305419896"), std::string::npos) << output;
}

namespace
{
	struct BrokenRow
	{
		const char *name;
		std::function<void(std::string &)> damage;  // of the bundle's bytes
		bool silent;
		const wchar_t *reason;  // in the message box
	};
}

// A flipped or missing byte: a clear message (with /S only the exit code),
// setup.exe never runs and nothing stays unpacked.
TEST_F(BundleE2E, DamagedBundleRunsNothing)
{
	const std::wstring good = work->Path() + L"\\good.exe", broken = work->Path() + L"\\broken.exe";
	ASSERT_NO_FATAL_FAILURE(MakeBundle(good));
	std::string bytes, stub;
	ASSERT_TRUE(ReadFile(good, &bytes) && ReadFile(bin + L"\\bundle_stub.exe", &stub));
	const size_t inTable = bytes.size() - 7 - 104 - 40;  // the table's last record, whatever the padding
	const BrokenRow rows[] = {
		{"data flipped", [&](std::string &b) { b[stub.size() + 50000] ^= 1; }, false, L"hash mismatch: setup.exe"},
		{"data flipped, silent", [&](std::string &b) { b[stub.size() + 200000] ^= 1; }, true, nullptr},
		{"table flipped", [&](std::string &b) { b[inTable] ^= 1; }, false, L"hash mismatch: table"},
		{"cut short", [](std::string &b) { b.resize(b.size() - 1000); }, false, L"(truncated"},
		{"cut short, silent", [](std::string &b) { b.resize(b.size() - 1000); }, true, nullptr},
		{"no payload", [&](std::string &b) { b = stub; }, false, L"not a bundle"},
	};
	for (const BrokenRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		std::string copy = bytes;
		row.damage(copy);
		ASSERT_TRUE(WriteFile(broken, copy));
		const std::wstring record = work->Path() + L"\\record.txt";
		DeleteFileW(record.c_str());
		ScopedVariable variable(L"BUNDLE_TEST_RECORD", record);
		const Ran ran = RunWatched(broken, row.silent ? L"/S /exit=9" : L"/exit=9", work->Path());
		ASSERT_TRUE(ran.ended);
		EXPECT_EQ(ran.code, 101u);
		EXPECT_FALSE(FileExists(record)) << "setup.exe ran";
		if (row.silent)
			EXPECT_TRUE(ran.boxes.empty() && ran.windows.empty());
		else
		{
			ASSERT_EQ(ran.boxes.size(), 1u);
			EXPECT_EQ(ran.boxes[0].caption, L"Setup");
			EXPECT_NE(ran.boxes[0].text.find(L"This installer is damaged or incomplete"), std::wstring::npos) << Narrow(ran.boxes[0].text);
			EXPECT_NE(ran.boxes[0].text.find(row.reason), std::wstring::npos) << Narrow(ran.boxes[0].text);
		}
		ExpectTempUntouched();
	}
}

// A version.dll planted beside the bundle is not loaded, though Wine is
// told to prefer a native one (CTest starts this test with
// WINEDLLOVERRIDES=version=n,b); a program that trusts the DLL search does
// load it there, so the test would see it. A .local redirection beside the
// bundle makes it refuse to run.
TEST_F(BundleE2E, PlantedDllsAndRedirectionsAreRefused)
{
	const std::wstring downloads = work->Path() + L"\\Downloads", bundle = downloads + L"\\bundle.exe";
	const std::wstring marker = downloads + L"\\planted-marker.txt", record = work->Path() + L"\\record.txt";
	ASSERT_TRUE(CreateDirectoryW(downloads.c_str(), nullptr));
	ASSERT_NO_FATAL_FAILURE(MakeBundle(bundle));
	ASSERT_TRUE(CopyFileW((bin + L"\\bundle_test_planted.dll").c_str(), (downloads + L"\\version.dll").c_str(), FALSE));
	ASSERT_TRUE(CopyFileW((bin + L"\\bundle_test_child.exe").c_str(), (downloads + L"\\naive.exe").c_str(), FALSE));
	{
		ScopedVariable variable(L"BUNDLE_TEST_RECORD", record);

		const Ran naive = RunWatched(downloads + L"\\naive.exe", L"/load=version.dll", downloads);
		ASSERT_TRUE(naive.ended);
		ASSERT_TRUE(FileExists(marker)) << "the planted DLL was not loaded even by a naive program: the check below would prove nothing";
		ASSERT_TRUE(DeleteFileW(marker.c_str()));

		// setup.exe asks for version.dll too: it gets the system's, not the
		// one in the folder the bundle was started from.
		for (const wchar_t *args : {L"/S /exit=5 /load=version.dll", L"/exit=5 /load=version.dll"})
		{
			SCOPED_TRACE(Narrow(args));
			const Ran ran = RunWatched(bundle, args, downloads);
			ASSERT_TRUE(ran.ended);
			EXPECT_EQ(ran.code, 5u);
			EXPECT_EQ(ReadRecord(record).loaded, "1");
			EXPECT_FALSE(FileExists(marker)) << "the bundle loaded the planted version.dll";
			DeleteFileW(marker.c_str());
		}
	}

	for (bool folder : {true, false})
	{
		const std::wstring local = bundle + L".local";
		ASSERT_TRUE(folder ? CreateDirectoryW(local.c_str(), nullptr) : WriteFile(local, ""));
		for (bool silent : {true, false})
		{
			SCOPED_TRACE(std::string(folder ? "folder" : "file") + (silent ? ", silent" : ""));
			DeleteFileW(record.c_str());
			ScopedVariable variable(L"BUNDLE_TEST_RECORD", record);
			const Ran ran = RunWatched(bundle, silent ? L"/S" : L"", downloads);
			ASSERT_TRUE(ran.ended);
			EXPECT_EQ(ran.code, 104u);
			EXPECT_FALSE(FileExists(record)) << "setup.exe ran";
			if (silent) EXPECT_TRUE(ran.boxes.empty());
			else
			{
				ASSERT_EQ(ran.boxes.size(), 1u);
				EXPECT_NE(ran.boxes[0].text.find(L"bundle.exe.local"), std::wstring::npos) << Narrow(ran.boxes[0].text);
			}
		}
		folder ? RemoveDirectoryW(local.c_str()) : DeleteFileW(local.c_str());
	}
	ExpectTempUntouched();
}

// A bad /extractdir= is refused with its own code before anything is unpacked.
TEST_F(BundleE2E, BadExtractDirIsRefused)
{
	const std::wstring bundle = work->Path() + L"\\bundle.exe";
	ASSERT_NO_FATAL_FAILURE(MakeBundle(bundle));
	for (const wchar_t *args : {L"/S /extractdir=", L"/S /extractdir=C:\\no\\such\\folder", L"/extractdir=C:\\no\\such\\folder"})
	{
		SCOPED_TRACE(Narrow(args));
		const Ran ran = RunWatched(bundle, args, work->Path());
		ASSERT_TRUE(ran.ended);
		EXPECT_EQ(ran.code, 105u);
		EXPECT_EQ(ran.boxes.size(), std::wstring(args).find(L"/S") == 0 ? 0u : 1u);
	}
	ExpectTempUntouched();
}

namespace
{
	// Every file below folder with its bytes; the uninstall script with the
	// folder's own path written as TARGET.
	std::map<std::wstring, std::string> Installed(const std::wstring &folder)
	{
		std::set<std::wstring> names;
		ListTree(folder, L"", &names);
		std::map<std::wstring, std::string> files;
		for (const std::wstring &name : names)
		{
			std::string bytes;
			EXPECT_TRUE(ReadFile(folder + L"\\" + name, &bytes)) << Narrow(name);
			for (size_t at; (at = bytes.find(Narrow(folder))) != std::string::npos;) bytes.replace(at, Narrow(folder).size(), "TARGET");
			files[Lower(name)] = bytes;
		}
		return files;
	}

	// The same names with the same bytes, each difference named.
	void ExpectSameFiles(const std::map<std::wstring, std::string> &expected, const std::map<std::wstring, std::string> &got)
	{
		for (const auto &file : expected)
		{
			auto found = got.find(file.first);
			if (found == got.end()) ADD_FAILURE() << "missing: " << Narrow(file.first);
			else EXPECT_TRUE(found->second == file.second) << "differs: " << Narrow(file.first);
		}
		EXPECT_EQ(got.size(), expected.size());
	}
}

// The real installer: a bundle of a staged product installs with /S /D= the
// same files as the product's own setup.exe, and setup.exe's failure code
// (an archive missing) comes back through the stub.
TEST_F(BundleE2E, ProductInstallsAsFromItsFolder)
{
	InstallerFiles installer;
	std::wstring error;
	ASSERT_TRUE(FindInstallerFiles(bin, &installer, &error)) << Narrow(error);
	const std::string app = "Pebble Bundle " + Narrow(RunTag());
	const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Widen(app);
	struct Unregister
	{
		const std::wstring &key;
		~Unregister() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()); }
	} unregister{key};

	Product product;
	Component core{"core", ".", true, true, {{"data/a.bin", NoiseBytes(60000, 3)}, {"readme.txt", "Read me\r\n"}}};
	core.library = true;
	Component docs{"docs", "docs", false, true, {{"manual.txt", "The manual"}}};
	product.components = {core, docs};
	std::string xml = Xml(product);
	const size_t at = xml.find(">Pebble Notes</name>");
	ASSERT_NE(at, std::string::npos);
	xml.replace(at, 20, ">" + app + "</name>");

	const std::wstring stage = work->Path() + L"\\stage";
	ASSERT_TRUE(CreateDirectoryW(stage.c_str(), nullptr));
	ASSERT_TRUE(CopyInto(installer.setup, stage) && CopyInto(installer.smooth, stage));
	ASSERT_TRUE(WriteFile(stage + L"\\setup.xml", xml));
	for (const Component &c : product.components) ASSERT_NO_FATAL_FAILURE(WriteArchive(stage, c));

	// The bundle's folder and log named outside the ANSI code page: the stub
	// and setup.exe pass them on as typed.
	const std::wstring direct = work->Path() + L"\\direct\\Pebble", bundled = work->Path() + L"\\\u041f\u0430\u043a\u0435\u0442 \u03a9mega \u65e5\u672c\\Pebble";
	const std::wstring log = work->Path() + L"\\\u0436\u0443\u0440\u043d\u0430\u043b \u03bb.log";
	const Ran own = RunWatched(stage + L"\\setup.exe", L"/S /D=" + direct, stage);
	ASSERT_TRUE(own.ended);
	ASSERT_EQ(own.code, 0u);

	std::vector<Tolvane::BundleEntry> entries;
	for (const wchar_t *name : {L"setup.exe", L"smooth.dll", L"setup.xml", L"core.zbk", L"docs.zbk"})
		entries.push_back(Tolvane::BundleEntry::FromFile(Narrow(name), Narrow(stage + L"\\" + name)));
	const std::wstring bundle = work->Path() + L"\\pebble-setup.exe";
	std::string writeError;
	ASSERT_TRUE(Tolvane::WriteBundle(Narrow(bin + L"\\bundle_stub.exe"), entries, Narrow(bundle), &writeError)) << writeError;

	const Ran ran = RunWatched(bundle, L"/S \"/LOG=" + log + L"\" /D=" + bundled, work->Path());
	EXPECT_TRUE(ran.ended && ran.boxes.empty() && ran.windows.empty());
	EXPECT_EQ(ran.code, 0u);
	std::string logged;
	EXPECT_TRUE(ReadFile(log, &logged));
	EXPECT_NE(logged.find("file " + Narrow(bundled) + "\\readme.txt\r\n"), std::string::npos) << logged;
	const std::map<std::wstring, std::string> expected = Installed(direct), got = Installed(bundled);
	EXPECT_GE(expected.size(), 4u);
	ExpectSameFiles(expected, got);

	// Without the docs archive setup.exe ends with 1, and so does the bundle;
	// the silent run was taken back, folders and all.
	entries.pop_back();
	ASSERT_TRUE(Tolvane::WriteBundle(Narrow(bin + L"\\bundle_stub.exe"), entries, Narrow(bundle), &writeError)) << writeError;
	const std::wstring failed = work->Path() + L"\\failed\\Pebble";
	const Ran missing = RunWatched(bundle, L"/S /D=" + failed, work->Path());
	EXPECT_TRUE(missing.ended);
	EXPECT_EQ(missing.code, 1u);
	EXPECT_FALSE(FileExists(failed + L"\\readme.txt"));
	EXPECT_EQ(GetFileAttributesW((work->Path() + L"\\failed").c_str()), INVALID_FILE_ATTRIBUTES);
	ExpectTempUntouched();
}

namespace
{
	class BundleWalk : public StagedInstall
	{
	};
}

// A person who downloads the one file: the wizard that the bundle starts,
// walked page by page, installs exactly what the product's own folder
// installs through the same pages (file tree, bytes and uninstall script),
// Finish ends the bundle with 0, and the unpacked folder is gone.
TEST_F(BundleWalk, WizardInstallsAsFromTheFolder)
{
	Product product;
	product.group = "unused";
	product.components = {{"core", ".", true, true, {{"app.exe", NoiseBytes(40000, 11)}, {"lang/de.txt", "Hallo"}}},
	                      {"docs", "docs", false, true, {{"manual.txt", "The manual"}}}};
	// Everything the test makes lies in the stage's "out" folder, so that
	// the bundle's own work in TEMP is all that could change there.
	const std::wstring out = stage->Path() + L"\\out", folderTarget = out + L"\\walked from folder";
	ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
	target = folderTarget;
	ASSERT_NO_FATAL_FAILURE(Start(product));
	ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));
	ASSERT_NO_FATAL_FAILURE(FinishAndExit());
	const std::map<std::wstring, std::string> expected = Installed(folderTarget);
	EXPECT_GE(expected.size(), 4u);

	std::set<std::wstring> names;
	ListTree(stage->Path(), L"", &names);
	std::vector<Tolvane::BundleEntry> entries;
	for (const std::wstring &name : names)
		if (name.rfind(L"out\\", 0) != 0) entries.push_back(Tolvane::BundleEntry::FromFile(Narrow(name), Narrow(stage->Path() + L"\\" + name)));
	const std::wstring downloads = out + L"\\bundle downloads";
	ASSERT_TRUE(CreateDirectoryW(downloads.c_str(), nullptr));
	std::string error;
	ASSERT_TRUE(Tolvane::WriteBundle(Narrow(ModuleFolder() + L"\\bundle_stub.exe"), entries, Narrow(downloads + L"\\pebble-setup.exe"), &error)) << error;
	const std::map<std::wstring, ULONGLONG> tempBefore = TempEntries(stage->Path());

	target = out + L"\\walked from bundle";
	wizard = std::make_unique<WizardSession>();
	std::wstring startError;
	ASSERT_TRUE(wizard->Start(downloads + L"\\pebble-setup.exe", downloads, &startError)) << Narrow(startError);
	EXPECT_NE(wizard->WizardProcess(), wizard->Program().Id()) << "the wizard is the unpacked setup.exe's";
	ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));
	ASSERT_NO_FATAL_FAILURE(FinishAndExit());

	ExpectSameFiles(expected, Installed(target));
	EXPECT_EQ(Changes(tempBefore, TempEntries(stage->Path())), "");
}
