// Installing over an earlier version, under Wine, with versions 1.0, 2.0 and
// 3.0 of one small product in Program Files: an upgrade (silent or through
// the wizard) ends exactly as a fresh installation of the new version, but
// for the program's data file and the user's own files; a run that fails is
// taken back to every byte and time of drive C: and the list of installed
// programs; a run killed anywhere is taken back by the next setup.exe (which
// then installs) or by the installed uninstaller (which then removes); and
// another product's folder, a second folder and a downgrade nobody allowed
// are refused without a trace.
#include "machine.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>

using namespace e2e;

namespace
{
	const wchar_t *const kKillAt = L"TOLVANE_KILL_AT";
	const wchar_t *const kUnfinishedText = L"Setup did not finish an earlier run in";
	const char *const kUnfinishedLine = "taken back an unfinished run in";
	constexpr int kPages = 60;  // one archive long enough for a run to be killed well inside it

	// Version major.0. 1.0 has two programs, a plugins folder with a
	// subfolder, the pages, Start-menu links to both programs and to the
	// uninstaller, and a desktop link. 2.0 drops the second program, its
	// link and the plugins, has other bytes in the editor and renames its
	// link "Editor 2.0"; its read-me is the same file under a name of
	// other case. 3.0 has other bytes in the editor and in every page, a
	// help folder, and the link "Editor 3.0"; its pages' archive is missing
	// when asked. notes.ini is the program's data file (the staged
	// script's uninstall element names it).
	Product Version(int major, const std::string &app, bool pagesMissing = false)
	{
		std::string uninstaller;
		EXPECT_TRUE(ReadFile(ModuleFolder() + L"\\uninstall.exe", &uninstaller)) << "uninstall.exe is not next to the test program";
		Component core{"core", ".", true, true, {{"editor.exe", NoiseBytes(20000, major)}}};
		if (major == 3) core.entries.push_back({"help/index.txt", "Help\r\n"});
		if (major == 1)
			core.entries.insert(core.entries.end(), {{"plugins/spell.dll", NoiseBytes(3000, 7)}, {"plugins/sub/grammar.dll", NoiseBytes(2000, 8)}});
		core.entries.push_back({major == 1 ? "readme.txt" : "ReadMe.txt", "Read me\r\n"});
		core.entries.push_back({"uninstall/uninstall.exe", uninstaller});
		if (major == 1) core.entries.push_back({"viewer.exe", NoiseBytes(8000, 9)});
		core.library = true;
		Component pages{"pages", "pages", false, true, {}};
		for (int i = 0; i < kPages; i++)
		{
			const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
			pages.entries.push_back({"page-" + n + ".txt", "Page " + n + " of version " + std::to_string(major) + "\r\n"});
		}
		if (pagesMissing) pages.archive = Component::Missing;
		Product p;
		p.group = app;
		p.components = {core, pages};
		p.links = {{"startmenu", "editor.exe", major == 1 ? "Editor" : "Editor " + std::to_string(major) + ".0", ""}};
		if (major == 1) p.links.push_back({"startmenu", "viewer.exe", "Viewer", ""});
		p.links.push_back({"startmenu", "uninstall\\uninstall.exe", "Uninstall", ""});
		p.links.push_back({"desktop", "editor.exe", app, ""});
		return p;
	}

	// a with the entries of b.
	MachineState Plus(MachineState a, const MachineState &b)
	{
		a.insert(b.begin(), b.end());
		return a;
	}

	// Every folder ("folder NAME") and file ("file NAME", with a hash of its
	// bytes) below folder, NAME relative to the top with '\', in lower case:
	// the file system does not tell names apart by case either.
	void Tree(const std::wstring &folder, const std::wstring &prefix, MachineState *state)
	{
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return;
		do
		{
			const std::wstring name = data.cFileName;
			if (name == L"." || name == L"..") continue;
			if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
			{
				(*state)[L"folder " + Lower(prefix + name)] = L"";
				Tree(folder + L"\\" + name, prefix + name + L"\\", state);
				continue;
			}
			std::string bytes;
			(*state)[L"file " + Lower(prefix + name)] = ReadFile(folder + L"\\" + name, &bytes) ? HashText(bytes) : L"unreadable";
		} while (FindNextFileW(find, &data));
		FindClose(find);
	}

	// The "<kind>text</kind>" elements of an uninstall script, in order.
	std::vector<std::pair<std::string, std::string>> ScriptEntries(const std::string &script)
	{
		std::vector<std::pair<std::string, std::string>> entries;
		for (const char *kind : {"application", "version", "directory", "file", "registry"})
		{
			const std::string open = std::string("<") + kind + ">", close = std::string("</") + kind + ">";
			for (size_t at = script.find(open); at != std::string::npos; at = script.find(open, at + 1))
			{
				const size_t from = at + open.size(), end = script.find(close, from);
				if (end == std::string::npos) break;
				entries.emplace_back(kind, script.substr(from, end - from));
			}
		}
		return entries;
	}

	// Sets the kill point of the setup.exe started while it lives.
	class KillPoint
	{
	public:
		explicit KillPoint(const wchar_t *at) { SetEnvironmentVariableW(kKillAt, at); }
		~KillPoint() { SetEnvironmentVariableW(kKillAt, nullptr); }
	};

	class UpgradeE2E : public RegisteredInstall
	{
	protected:
		UpgradeE2E() : RegisteredInstall("Pebble Upgrade") {}

		void SetUp() override
		{
			ASSERT_NO_FATAL_FAILURE(RegisteredInstall::SetUp());
			target = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\" + Widen(app);
			ASSERT_FALSE(FolderExists(target)) << "left by an earlier run: " << Narrow(target);
			// Where a version goes that does not find the earlier one.
			const std::wstring defaultFolder = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Pebble Notes";
			if (!FolderExists(defaultFolder)) cleanup.push_back(defaultFolder);
		}

		// Besides what RegisteredInstall removes: the archives' temporary
		// folders (ZBK_<tick>_<process id>_<n>) of the runs this test killed,
		// which nobody else will remove.
		void TearDown() override
		{
			SetEnvironmentVariableW(kKillAt, nullptr);
			std::vector<std::wstring> left;
			WIN32_FIND_DATAW data;
			HANDLE find = FindFirstFileW((TempPath() + L"\\ZBK_*").c_str(), &data);
			for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data))
			{
				const std::wstring name = data.cFileName;
				const size_t second = name.find(L'_', 4), third = name.find(L'_', second + 1);
				if (third != std::wstring::npos && killed.count(name.substr(second + 1, third - second - 1))) left.push_back(name);
			}
			if (find != INVALID_HANDLE_VALUE) FindClose(find);
			for (const std::wstring &name : left) RemoveTree(TempPath() + L"\\" + name);
			RegisteredInstall::TearDown();
		}

		std::set<std::wstring> killed;  // process ids of the runs killed

		std::unique_ptr<TempFolder> StageVersion(int major, bool pagesMissing = false)
		{
			const Product product = Version(major, app, pagesMissing);
			return StageIn(&product, std::to_string(major) + ".0");
		}

		// The installation in target as a list to compare: the tree (with
		// bytes), the links of the group, the desktop and Quick Launch with
		// their targets and working folders, the entry's values (but the date,
		// which a test running over midnight would change), and the script's
		// entries, lower case with one separator ("script KIND PATH"), in
		// place of its bytes. A path the script lists twice is a failure.
		MachineState Installation() const
		{
			MachineState state;
			Tree(target, L"", &state);
			std::set<std::wstring> links;
			ListTree(programs, L"", &links);
			std::vector<std::pair<std::wstring, std::wstring>> linkFiles;  // key, path
			for (const std::wstring &link : links) linkFiles.emplace_back(L"group\\" + link, programs + L"\\" + link);
			for (const std::wstring &link : {desktopLink, quickLink})
				if (FileExists(link)) linkFiles.emplace_back(L"elsewhere\\" + link.substr(link.rfind(L'\\') + 1), link);
			for (const auto &link : linkFiles)
			{
				LinkInfo info;
				state[L"link " + link.first] = LoadLink(link.second, &info) ? info.target + L" in " + info.workingFolder : L"unreadable";
			}
			for (const auto &value : Values(key))
				if (value.first != L"InstallDate") state[L"value " + value.first] = Widen(value.second);
			// The script by its entries, which need not come in the same order.
			std::string script, twice;
			ReadFile(target + L"\\uninstall\\uninstall.xml", &script);
			if (state.count(L"file uninstall\\uninstall.xml")) state[L"file uninstall\\uninstall.xml"] = L"";
			for (const auto &entry : ScriptEntries(script))
			{
				std::wstring path = Lower(Widen(entry.second));
				std::replace(path.begin(), path.end(), L'/', L'\\');
				const std::wstring name = L"script " + Widen(entry.first) + L" " + path;
				if (state.count(name)) twice += "  " + Narrow(name) + "\n";
				state[name] = L"";
			}
			EXPECT_EQ(twice, "") << "listed more than once";
			return state;
		}

		// What the program and the user write into the installation: the
		// program's notes.ini, a file of the user's beside it and, with
		// plugins, one in the plugins folder. Returns them as Installation
		// lists them.
		MachineState UseIt(bool plugins)
		{
			MachineState written;
			std::vector<std::pair<std::wstring, std::string>> files = {{L"notes.ini", "[notes]\r\nopened=3\r\n"}, {L"my notes.txt", "mine"}};
			if (plugins)
			{
				files.push_back({L"plugins\\mine.txt", "my plugin"});
				written[L"folder plugins"] = L"";
			}
			for (const auto &file : files)
			{
				EXPECT_TRUE(WriteFile(target + L"\\" + file.first, file.second)) << Narrow(file.first);
				written[L"file " + Lower(file.first)] = HashText(file.second);
			}
			return written;
		}

		// The entry, the folder and the links go, as a full removal takes them.
		void RemoveByHand()
		{
			RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
			ASSERT_TRUE(RemoveTree(target) && RemoveTree(programs));
			DeleteFileW(desktopLink.c_str());
			ASSERT_FALSE(FileExists(desktopLink));
		}

		// setup.exe /S of stage (installing into the product's folder, as it
		// is registered) killed at the point at: it ends with code 9 and
		// leaves its journal; the uninstaller, its library and its script
		// are in place all the same.
		void KillRun(const TempFolder &from, const wchar_t *at)
		{
			{
				KillPoint point(at);
				DWORD pid = 0;
				const bool ended = InstallSilently(L"/S", 9, from.Path(), &pid);
				killed.insert(std::to_wstring(pid));
				ASSERT_TRUE(ended);
			}
			ASSERT_TRUE(FileExists(target + L"\\uninstall\\run\\journal.txt")) << "no unfinished run after the kill at " << Narrow(at);
			for (const wchar_t *part : {L"uninstall.exe", L"smooth.dll", L"uninstall.xml"})
				EXPECT_TRUE(FileExists(target + L"\\uninstall\\" + part)) << Narrow(part) << " is missing after the kill at " << Narrow(at);
		}

		// Starts exe in folder and waits for its first box with caption,
		// which must say that the unfinished run was taken back and offer
		// OK, and answers it.
		void ExpectTakenBackOnStart(Process &program, const std::wstring &exe, const std::wstring &folder, const std::wstring &caption)
		{
			std::wstring error;
			ASSERT_TRUE(program.Start(exe, L"", folder, &error)) << Narrow(error);
			MessageBoxInfo box;
			ASSERT_TRUE(WaitForMessageBox(program.Id(), caption, kWindowTimeout, &box, program.Handle()))
				<< "no box \"" << Narrow(caption) << "\"; windows:\n" << Narrow(DescribeWindows(program.Id()));
			EXPECT_EQ(box.text.rfind(kUnfinishedText, 0), 0u) << Narrow(box.text);
			ASSERT_EQ(box.buttons.size(), 1u) << Narrow(box.text);
			ASSERT_TRUE(AnswerMessageBox(box, box.buttons[0].first));
		}
	};
}

// 1.0 over nothing, the user and the program write their files, then 2.0
// over it, silently (without /D=, into the folder where 1.0 is registered)
// and through the wizard (whose directory page starts there): the result
// equals a fresh 2.0 in the same folder, but for those files. What 1.0 had
// and 2.0 has not is gone; a folder that still holds the user's file stays,
// and so does the file 2.0 installs under the name 1.0 used in other case.
TEST_F(UpgradeE2E, AnUpgradeEndsAsAFreshInstallationOfTheNewVersion)
{
	std::unique_ptr<TempFolder> stage1, stage2;
	ASSERT_NO_FATAL_FAILURE(stage1 = StageVersion(1));
	ASSERT_NO_FATAL_FAILURE(stage2 = StageVersion(2));
	ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage2->Path()));
	const MachineState fresh = Installation();
	ASSERT_EQ(fresh.count(L"value DisplayVersion"), 1u) << "2.0 is not registered";

	for (bool throughWizard : {false, true})
	{
		SCOPED_TRACE(throughWizard ? "through the wizard" : "silently");
		ASSERT_NO_FATAL_FAILURE(RemoveByHand());
		ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage1->Path()));
		for (const std::wstring &path : {target + L"\\viewer.exe", target + L"\\plugins\\sub\\grammar.dll", programs + L"\\Viewer.lnk"})
			ASSERT_TRUE(FileExists(path)) << Narrow(path) << " of 1.0 is missing";
		const MachineState used = UseIt(true);

		if (!throughWizard)
			ASSERT_TRUE(InstallSilently(L"/S", 0, stage2->Path()));
		else
		{
			wizard = std::make_unique<WizardSession>();
			std::wstring error;
			ASSERT_TRUE(wizard->Start(stage2->Path() + L"\\setup.exe", stage2->Path(), &error)) << Narrow(error);
			const PageView view = Expect(kDirectoryTitle);
			const Control *edit = view.First(L"Edit");
			ASSERT_NE(edit, nullptr) << Narrow(view.Describe());
			EXPECT_EQ(Narrow(WindowText(edit->hwnd)), Narrow(target)) << "the directory page does not start at the registered folder";
			ASSERT_NO_FATAL_FAILURE(Walk({}, true, true, false));
			Expect(kFinishTitle, kRunTimeout);
			ASSERT_NO_FATAL_FAILURE(FinishAndExit());
		}
		EXPECT_EQ(Differences(Plus(fresh, used), Installation()), "");
	}
}

// 3.0 without its pages' archive over 2.0 fails, and is taken back: silently
// at once (exit code 1), through the wizard when the user says Yes. Drive C:
// and the list of installed programs are then as before, every file's bytes
// and time included.
TEST_F(UpgradeE2E, AFailedRunIsTakenBackToEveryByteAndTime)
{
	std::unique_ptr<TempFolder> stage2, broken;
	ASSERT_NO_FATAL_FAILURE(stage2 = StageVersion(2));
	ASSERT_NO_FATAL_FAILURE(broken = StageVersion(3, true));
	ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage2->Path()));
	UseIt(false);

	for (bool throughWizard : {false, true})
	{
		SCOPED_TRACE(throughWizard ? "through the wizard" : "silently");
		const MachineState before = Snapshot();
		if (!throughWizard)
		{
			const std::wstring log = broken->Path() + L"\\setup.log";
			ASSERT_TRUE(InstallSilently(L"\"/LOG=" + log + L"\" /S", 1, broken->Path()));
			const std::vector<std::string> lines = Lines(log);
			EXPECT_TRUE(HasFailedLine(lines, "pages.zbk")) << JoinLines(lines);
			EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &line) {
				return line.find("taken back") != std::string::npos || line.find("restored") != std::string::npos;
			})) << "the log does not say what was restored:\n" << JoinLines(lines);
		}
		else
		{
			wizard = std::make_unique<WizardSession>();
			std::wstring error;
			ASSERT_TRUE(wizard->Start(broken->Path() + L"\\setup.exe", broken->Path(), &error)) << Narrow(error);
			ASSERT_NO_FATAL_FAILURE(Walk({}, true, true, false));
			MessageBoxInfo box;
			ASSERT_TRUE(wizard->WaitForBox(L"Setup", kRunTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
			EXPECT_NE(box.text.find(L"pages.zbk"), std::wstring::npos) << Narrow(box.text);
			ASSERT_TRUE(AnswerMessageBox(box, IDYES)) << Narrow(box.text);
			ASSERT_TRUE(wizard->WaitForBox(L"Setup", kRunTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
			EXPECT_EQ(box.text, L"Setup has taken back everything it installed.");
			ASSERT_TRUE(AnswerMessageBox(box, IDOK));
			ASSERT_TRUE(wizard->Program().WaitForExit(kExitTimeout)) << Narrow(DescribeWindows(wizard->Program().Id()));
		}
		EXPECT_EQ(Differences(before, Snapshot()), "");
	}
}

namespace
{
	struct KillRow
	{
		const char *name;
		const wchar_t *at;   // TOLVANE_KILL_AT
		bool wizard;         // also taken back by the wizard's setup.exe
	};
}

// 3.0 over 2.0 killed early, inside the pages, among the links and at the
// registration. From each killed state: the installed uninstaller takes the
// run back (2.0 complete again, to the byte and the time) before it asks;
// setup.exe 3.0 takes it back and installs, ending as a fresh 3.0 would; 2.0
// allowed to go over 3.0 ends as a fresh 2.0. At last the silent uninstaller
// takes a killed run back and removes everything but the user's file.
TEST_F(UpgradeE2E, AKilledRunIsTakenBackByTheNextStart)
{
	const KillRow rows[] = {{"early", L"editor.exe#1", false},
	                        {"inside the pages", L"page-#30", false},
	                        {"among the links", L".lnk#2", true},
	                        {"at the registration", L"registry", false}};
	const MachineState untouched = Snapshot();
	std::unique_ptr<TempFolder> stage2, stage3;
	ASSERT_NO_FATAL_FAILURE(stage2 = StageVersion(2));
	ASSERT_NO_FATAL_FAILURE(stage3 = StageVersion(3));
	ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage3->Path()));
	const MachineState fresh3 = Installation();
	ASSERT_NO_FATAL_FAILURE(RemoveByHand());
	ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage2->Path()));
	const MachineState fresh2 = Installation(), used = UseIt(false);
	const std::wstring log = stage3->Path() + L"\\setup.log";

	for (const KillRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const MachineState installed = Snapshot();
		ASSERT_NO_FATAL_FAILURE(KillRun(*stage3, row.at));
		{
			// The uninstaller says so first, then asks about 2.0; No keeps
			// it, as it was before the killed run, once the uninstaller (which
			// may have had to put itself back) has ended.
			Process uninstaller;
			const std::wstring caption = Widen(app) + L" Uninstaller";
			ASSERT_NO_FATAL_FAILURE(ExpectTakenBackOnStart(uninstaller, target + L"\\uninstall\\uninstall.exe", target, caption));
			MessageBoxInfo question;
			ASSERT_TRUE(WaitForMessageBox(uninstaller.Id(), caption, kStepTimeout, &question, uninstaller.Handle()));
			EXPECT_NE(question.text.find(L"remove " + Widen(app) + L" 2.0 "), std::wstring::npos) << Narrow(question.text);
			ASSERT_TRUE(AnswerMessageBox(question, IDNO));
			ASSERT_TRUE(uninstaller.WaitForExit(kExitTimeout));
			EXPECT_EQ(Differences(installed, Snapshot()), "");
		}
		if (row.wizard)
		{
			ASSERT_NO_FATAL_FAILURE(KillRun(*stage3, row.at));
			Process setup;
			ASSERT_NO_FATAL_FAILURE(ExpectTakenBackOnStart(setup, stage3->Path() + L"\\setup.exe", stage3->Path(), L"Setup"));
			EXPECT_EQ(Differences(installed, Snapshot()), "");
		}

		ASSERT_NO_FATAL_FAILURE(KillRun(*stage3, row.at));
		ASSERT_TRUE(InstallSilently(L"\"/LOG=" + log + L"\" /S", 0, stage3->Path()));
		EXPECT_TRUE(HasLineStarting(Lines(log), kUnfinishedLine)) << JoinLines(Lines(log));
		EXPECT_EQ(Differences(Plus(fresh3, used), Installation()), "");

		ASSERT_TRUE(InstallSilently(L"/S /ALLOWDOWNGRADE", 0, stage2->Path()));
		EXPECT_EQ(Differences(Plus(fresh2, used), Installation()), "");
	}

	// Removed from a killed state: all gone but the user's file and the
	// folder that holds it.
	const MachineState installed = Snapshot();
	ASSERT_NO_FATAL_FAILURE(KillRun(*stage3, rows[1].at));
	const std::wstring removal = stage3->Path() + L"\\uninstall.log";
	const Ended run = RunWatched(target + L"\\uninstall\\uninstall.exe", L"/S \"/LOG=" + removal + L"\"", target);
	EXPECT_TRUE(run.ended && run.code == 0) << "uninstall.exe /S: " << run.code;
	EXPECT_TRUE(run.windows.empty()) << JoinLines(run.windows);
	EXPECT_TRUE(WaitUntil(kRunTimeout, [&] { return HasLineStarting(Lines(removal), "done"); }, 100)) << JoinLines(Lines(removal));
	EXPECT_TRUE(HasLineStarting(Lines(removal), kUnfinishedLine)) << JoinLines(Lines(removal));
	MachineState expected = untouched;
	for (const std::wstring &kept : {target, target + L"\\my notes.txt"})
	{
		ASSERT_EQ(installed.count(Lower(kept)), 1u) << Narrow(kept);
		expected[Lower(kept)] = installed.find(Lower(kept))->second;
	}
	EXPECT_EQ(Differences(expected, Snapshot()), "");
}

// Nothing is written into a folder that holds another product (exit code 4),
// into a second folder while the product is registered in a first (6), or
// by a downgrade (5) unless it is allowed: silently, and through the wizard,
// which refuses the folder on its directory page and asks about the
// downgrade before anything else.
TEST_F(UpgradeE2E, AnotherProductsFolderASecondFolderAndADowngradeAreRefused)
{
	const std::wstring other = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Pebble Other " + Widen(tag),
	                   elsewhere = SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Pebble Elsewhere " + Widen(tag);
	cleanup.push_back(other);
	cleanup.push_back(elsewhere);
	ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr) && CreateDirectoryW((other + L"\\uninstall").c_str(), nullptr));
	ASSERT_TRUE(WriteFile(other + L"\\data.txt", "theirs"));
	ASSERT_TRUE(WriteFile(other + L"\\uninstall\\uninstall.xml",
	                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UninstallScript><application>Pebble Other " + tag +
	                          "</application><version>1.0</version><file>" + Narrow(other) + "\\data.txt</file></UninstallScript>\n"));
	std::unique_ptr<TempFolder> stage2, stage3;
	ASSERT_NO_FATAL_FAILURE(stage2 = StageVersion(2));
	ASSERT_NO_FATAL_FAILURE(stage3 = StageVersion(3));
	const std::wstring log = stage3->Path() + L"\\setup.log";

	// Silently, then on the directory page: refused, and the page stays.
	struct FolderRow
	{
		const char *name;
		const std::wstring &folder;
		DWORD code;
		std::wstring says;
	};
	const FolderRow folders[] = {{"another product's folder", other, 4, L"holds an installation of Pebble Other " + Widen(tag)},
	                             {"a second folder", elsewhere, 6, L"is already installed in"}};
	for (const FolderRow &row : folders)
	{
		SCOPED_TRACE(row.name);
		if (row.code == 6) ASSERT_TRUE(InstallSilently(L"/S /D=" + target, 0, stage3->Path()));
		const MachineState before = Snapshot();
		ASSERT_TRUE(InstallSilently(L"\"/LOG=" + log + L"\" /S /D=" + row.folder, row.code, stage3->Path()));
		EXPECT_TRUE(HasLineStarting(Lines(log), "FAILED")) << JoinLines(Lines(log));
		EXPECT_EQ(Differences(before, Snapshot()), "");

		wizard = std::make_unique<WizardSession>();
		std::wstring error;
		ASSERT_TRUE(wizard->Start(stage3->Path() + L"\\setup.exe", stage3->Path(), &error)) << Narrow(error);
		PageView view = Expect(kDirectoryTitle);
		const Control *edit = view.First(L"Edit");
		ASSERT_NE(edit, nullptr) << Narrow(view.Describe());
		ASSERT_TRUE(SetText(edit->hwnd, row.folder));
		ASSERT_TRUE(wizard->PressNext());
		MessageBoxInfo box;
		ASSERT_TRUE(wizard->WaitForBox(L"Setup", kStepTimeout, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
		EXPECT_NE(box.text.find(row.says), std::wstring::npos) << Narrow(box.text);
		ASSERT_TRUE(AnswerMessageBox(box, box.buttons.at(0).first));
		// Once the window has handled what the answer started, the page is
		// still the same.
		ASSERT_TRUE(Sync(wizard->Window()));
		EXPECT_EQ(Narrow(wizard->View().title), Narrow(kDirectoryTitle));
		wizard->Program().Kill();
		EXPECT_EQ(Differences(before, Snapshot()), "");
	}

	// 2.0 over 3.0: refused silently, asked by the wizard (No ends it), done
	// when allowed.
	const MachineState before = Snapshot();
	const std::wstring downLog = stage2->Path() + L"\\setup.log";
	ASSERT_TRUE(InstallSilently(L"\"/LOG=" + downLog + L"\" /S", 5, stage2->Path()));
	EXPECT_TRUE(HasLineStarting(Lines(downLog), "FAILED")) << JoinLines(Lines(downLog));
	EXPECT_EQ(Differences(before, Snapshot()), "");
	{
		Process setup;
		std::wstring error;
		ASSERT_TRUE(setup.Start(stage2->Path() + L"\\setup.exe", L"", stage2->Path(), &error)) << Narrow(error);
		MessageBoxInfo box;
		ASSERT_TRUE(WaitForMessageBox(setup.Id(), L"Setup", kWindowTimeout, &box, setup.Handle())) << Narrow(DescribeWindows(setup.Id()));
		EXPECT_NE(box.text.find(L"which is newer than"), std::wstring::npos) << Narrow(box.text);
		ASSERT_EQ(box.buttons.size(), 2u) << Narrow(box.text);
		EXPECT_EQ(std::set<int>({box.buttons[0].first, box.buttons[1].first}), std::set<int>({IDYES, IDNO}));
		ASSERT_TRUE(AnswerMessageBox(box, IDNO));
		DWORD code = 0;
		ASSERT_TRUE(setup.WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(setup.Id()));
		EXPECT_EQ(code, 5u);
	}
	EXPECT_EQ(Differences(before, Snapshot()), "");
	ASSERT_TRUE(InstallSilently(L"/S /ALLOWDOWNGRADE", 0, stage2->Path()));
	EXPECT_EQ(Value(key, L"DisplayVersion"), "sz 2.0");
	EXPECT_FALSE(FolderExists(target + L"\\help")) << "3.0's help stayed";
}
