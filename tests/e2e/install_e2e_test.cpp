// The real installation under Wine: setup.exe started in a staged product
// folder (setup.xml, archives, smooth.dll), worked through every page from
// outside as a person would, and then what it left on disk checked: the
// installed files byte by byte, the uninstall script entry by entry, the
// shortcuts where the choices put them (and nowhere else), the program they
// start, the failure message of a broken product and the installation page
// while a large component unpacks.
#include "archive_test_support.h"
#include "product.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

using namespace e2e;

namespace
{
	const wchar_t *const kPebbleTitle = L"Pebble Notes 2.5";

	// The "directory" and "file" entries of a saved uninstall script, in
	// order, as "directory <path>" / "file <path>"; the first two lines are
	// the application and version entries.
	std::vector<std::wstring> ScriptEntries(const std::wstring &path)
	{
		std::string xml;
		std::vector<std::wstring> entries;
		if (!ReadFile(path, &xml)) return entries;
		for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1))
		{
			for (const char *tag : {"application", "version", "directory", "file"})
			{
				const std::string open = std::string("<") + tag + ">", close = std::string("</") + tag + ">";
				if (xml.compare(at, open.size(), open) != 0) continue;
				const size_t end = xml.find(close, at);
				if (end == std::string::npos) break;
				std::string text = xml.substr(at + open.size(), end - at - open.size());
				for (const auto &escape : {std::make_pair("&amp;", "&"), std::make_pair("&lt;", "<"), std::make_pair("&gt;", ">")})
					for (size_t p; (p = text.find(escape.first)) != std::string::npos;) text.replace(p, strlen(escape.first), escape.second);
				entries.push_back(Widen(std::string(tag) + " " + text));
			}
		}
		return entries;
	}

	class InstallE2E : public StagedInstall
	{
	protected:
		// The installed tree is exactly the marked components' entries plus
		// the library copy and the uninstall script, each file as packed.
		void ExpectInstalledFiles(const Product &product, const std::vector<bool> &marked, const std::vector<std::string> &skipped = {})
		{
			std::map<std::wstring, std::string> expected;
			for (size_t i = 0; i < product.components.size(); i++)
			{
				const Component &c = product.components[i];
				if (!marked[i] || c.archive == Component::Missing) continue;
				for (const Entry &e : c.entries)
				{
					if (std::find(skipped.begin(), skipped.end(), e.name) != skipped.end()) continue;
					std::wstring name = Widen(e.name);
					std::replace(name.begin(), name.end(), L'/', L'\\');
					expected[(c.subdir == "." ? L"" : Widen(c.subdir) + L"\\") + name] = e.bytes;
				}
				if (c.library) ReadFile(files.smooth, &expected[L"smooth.dll"]);
			}
			std::set<std::wstring> found;
			ListTree(target, L"", &found);
			EXPECT_EQ(found.count(L"uninstall\\uninstall.xml"), 1u) << "no uninstall script";
			found.erase(L"uninstall\\uninstall.xml");
			for (const auto &file : expected)
			{
				std::string bytes;
				EXPECT_TRUE(ReadFile(target + L"\\" + file.first, &bytes)) << Narrow(file.first) << " is missing";
				EXPECT_TRUE(bytes == file.second) << Narrow(file.first) << " differs from its source (" << bytes.size() << " of "
				                                  << file.second.size() << " bytes)";
				found.erase(file.first);
			}
			for (const std::wstring &extra : found) ADD_FAILURE() << "installed but not in any marked component: " << Narrow(extra);
		}
	};

	// A product with a required core (the library, pebble.exe, a nested
	// file), a default manual and an optional extra, and links of every kind.
	Product PebbleProduct(const std::string &group, const std::string &tag)
	{
		std::string pebble;
		EXPECT_TRUE(ReadFile(ModuleFolder() + L"\\pebble.exe", &pebble)) << "pebble.exe is not next to the test program";
		Product p;
		p.group = group;
		Component core{"core", ".", true, true, {{"data/sub/deep.bin", NoiseBytes(70000, 1)}, {"pebble.exe", pebble}, {"readme.txt", "Read me\r\n"}}};
		core.library = true;
		p.components = {core,
		                {"docs", "docs", false, true, {{"img/a.bin", NoiseBytes(3000, 2)}, {"manual.txt", "The manual"}}},
		                {"extras", "extras", false, false, {{"tool.txt", "A tool"}}}};
		p.links = {{"startmenu", "pebble.exe", "Pebble Notes %VERSION%", ""},
		           {"startmenu", "docs\\manual.txt", "Manual", "docs"},
		           {"startmenu", "extras\\tool.txt", "Tool", "extras"},
		           {"desktop", "pebble.exe", "Pebble E2E " + tag, ""},
		           {"quicklaunch", "pebble.exe", "Pebble E2E " + tag, ""}};
		return p;
	}

	struct ChoiceRow
	{
		const char *name;
		bool targetExists;
		const wchar_t *folderName;
		bool extras, desktop, quickLaunch;
	};
}

// The two ordinary choice sets, each installed for real and checked on disk;
// the start-menu shortcut then starts the installed program.
TEST_F(InstallE2E, ChoicesDecideFilesScriptAndShortcuts)
{
	const ChoiceRow rows[] = {{"defaults into an existing folder", true, L"Existing Target", false, true, false},
	                          {"extras, no desktop, quick launch, new folder", false, L"P\u00e9bble N\u00f6tes", true, false, true}};
	for (const ChoiceRow &row : rows)
	{
		SCOPED_TRACE(row.name);
		const std::wstring tag = RunTag() + (row.extras ? L"b" : L"a");
		const std::wstring group = L"Pebble E2E Group " + tag;
		const Product product = PebbleProduct(Narrow(group), Narrow(tag));
		std::unique_ptr<QuickLaunchPresent> quick;
		if (row.quickLaunch) quick = std::make_unique<QuickLaunchPresent>();

		wizard = std::make_unique<WizardSession>();
		target = stage->Path() + L"\\" + row.folderName;
		if (row.targetExists) ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
		const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + group;
		const std::wstring desktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pebble E2E " + tag + L".lnk";
		const std::wstring quickLink = QuickLaunchFolder() + L"\\Pebble E2E " + tag + L".lnk";
		cleanup = {programs, desktopLink, quickLink};

		ASSERT_NO_FATAL_FAILURE(Start(product));
		ASSERT_NO_FATAL_FAILURE(Walk(row.extras ? std::vector<int>{2} : std::vector<int>{}, true, row.desktop, row.quickLaunch));
		Expect(kFinishTitle, 60000);
		EXPECT_TRUE(MessageBoxes(wizard->Program().Id()).empty()) << "a message box after a clean run";
		ASSERT_NO_FATAL_FAILURE(FinishAndExit());

		ASSERT_NO_FATAL_FAILURE(ExpectInstalledFiles(product, {true, true, row.extras}));

		// Every folder the run made and every file it wrote, in order.
		const std::wstring t = target;
		std::vector<std::wstring> expected = {L"application Pebble Notes", L"version 2.5"};
		if (!row.targetExists) expected.push_back(L"directory " + t);
		for (const wchar_t *line : {L"directory \\data", L"directory \\data\\sub", L"file \\data/sub/deep.bin", L"file \\pebble.exe",
		                            L"file \\readme.txt", L"directory \\docs", L"directory \\docs\\img", L"file \\docs\\img/a.bin",
		                            L"file \\docs\\manual.txt"})
		{
			std::wstring entry = line;
			expected.push_back(entry.insert(entry.find(L' ') + 1, t));
		}
		if (row.extras)
		{
			expected.push_back(L"directory " + t + L"\\extras");
			expected.push_back(L"file " + t + L"\\extras\\tool.txt");
		}
		expected.push_back(L"file " + t + L"\\smooth.dll");
		std::vector<std::pair<std::wstring, std::wstring>> links = {{programs + L"\\Pebble Notes 2.5.lnk", t + L"\\pebble.exe"},
		                                                            {programs + L"\\Manual.lnk", t + L"\\docs\\manual.txt"}};
		if (row.extras) links.push_back({programs + L"\\Tool.lnk", t + L"\\extras\\tool.txt"});
		if (row.desktop) links.push_back({desktopLink, t + L"\\pebble.exe"});
		if (row.quickLaunch) links.push_back({quickLink, t + L"\\pebble.exe"});
		expected.push_back(L"directory " + programs);
		for (const auto &link : links) expected.push_back(L"file " + link.first);
		for (const wchar_t *line : {L"file \\notes.ini", L"directory \\uninstall", L"file \\uninstall\\uninstall.xml"})
		{
			std::wstring entry = line;
			expected.push_back(entry.insert(entry.find(L' ') + 1, t));
		}
		const std::vector<std::wstring> entries = ScriptEntries(t + L"\\uninstall\\uninstall.xml");
		EXPECT_EQ(entries.size(), expected.size());
		for (size_t i = 0; i < std::max(entries.size(), expected.size()); i++)
			EXPECT_EQ(i < entries.size() ? Narrow(entries[i]) : "(none)", i < expected.size() ? Narrow(expected[i]) : "(none)") << "entry " << i;

		// The shortcuts are where the choices put them, and nowhere else.
		std::set<std::wstring> groupFiles, want;
		ListTree(programs, programs + L"\\", &groupFiles);
		for (const auto &link : links)
		{
			if (link.first.rfind(programs, 0) == 0) want.insert(link.first);
			LinkInfo info;
			ASSERT_TRUE(LoadLink(link.first, &info)) << "cannot load " << Narrow(link.first);
			EXPECT_EQ(Narrow(info.target), Narrow(link.second)) << Narrow(link.first);
			EXPECT_EQ(Narrow(info.workingFolder), Narrow(t)) << Narrow(link.first);
		}
		EXPECT_EQ(groupFiles, want);
		EXPECT_EQ(FileExists(desktopLink), row.desktop);
		EXPECT_EQ(FileExists(quickLink), row.quickLaunch);

		// The start-menu shortcut starts the installed program.
		LinkInfo start;
		ASSERT_TRUE(LoadLink(links[0].first, &start));
		Process pebble;
		std::wstring error;
		ASSERT_TRUE(pebble.Start(start.target, L"", start.workingFolder, &error)) << Narrow(error);
		HWND window = WaitForWindowTitled(pebble.Id(), kPebbleTitle, kWindowTimeout, pebble.Handle());
		ASSERT_NE(window, nullptr) << Narrow(DescribeWindows(pebble.Id()));
		ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
		DWORD code = 1;
		EXPECT_TRUE(pebble.WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(pebble.Id()));
		EXPECT_EQ(code, 0u);

		for (const std::wstring &path : cleanup) FolderExists(path) ? (void)RemoveTree(path) : (void)DeleteFileW(path.c_str());
		EXPECT_TRUE(RemoveTree(target));
	}
}

namespace
{
	struct FailureRow
	{
		const char *name;
		Product product;
		std::vector<std::string> notInstalled;    // entries of marked components that must not appear
		const char *headline;                     // first line of the message
		std::vector<std::string> named;           // what the message must name
	};

	std::vector<FailureRow> FailureRows()
	{
		const std::vector<Entry> good = {{"good/one.txt", "one"}, {"two.txt", "two"}};
		Component core{"core", ".", true, true, good};
		Component missing{"missing", "more", true, true, {{"never.txt", "x"}}};
		missing.archive = Component::Missing;
		Component hostile{"hostile", ".", true, true,
		                  {{"../outside.txt", "out"}, {"C:/abs.txt", "abs"}, {"aux.txt", "dev"}, {"good/three.txt", "three"}, {"zeta.txt", "z"}}};
		hostile.archive = Component::Raw;
		return {{"missing archive", {{core, missing}, {}, "G"}, {}, "One step of the installation failed:", {"missing.zbk", "no such file"}},
		        {"unsafe names",
		         {{core, hostile}, {}, "G"},
		         {"../outside.txt", "C:/abs.txt", "aux.txt"},
		         "3 steps of the installation failed:",
		         {"../outside.txt", "C:/abs.txt", "aux.txt"}}};
	}
}

// A broken product installs what it can, writes nothing outside the target
// folder, and names what failed in one message box before the finish page;
// kept, the installation stays as far as it went.
TEST_F(InstallE2E, FailuresAreReportedAndNothingLeavesTheTarget)
{
	for (const FailureRow &row : FailureRows())
	{
		SCOPED_TRACE(row.name);
		wizard = std::make_unique<WizardSession>();
		target = stage->Path() + L"\\target " + Widen(row.name);
		ASSERT_NO_FATAL_FAILURE(Start(row.product));
		ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));

		MessageBoxInfo box;
		ASSERT_TRUE(wizard->WaitForBox(L"Setup", 60000, &box)) << Narrow(DescribeWindows(wizard->Program().Id()));
		EXPECT_EQ(box.text.rfind(Widen(row.headline), 0), 0u) << Narrow(box.text);
		for (const std::string &named : row.named) EXPECT_NE(box.text.find(Widen(named)), std::wstring::npos) << named << " in:\n" << Narrow(box.text);
		// Yes would take the installation back; No keeps what was installed.
		ASSERT_EQ(box.buttons.size(), 2u);
		EXPECT_EQ(box.buttons[0].first, IDYES);
		EXPECT_EQ(box.buttons[1].first, IDNO);
		// The finish page waits for the answer.
		EXPECT_EQ(wizard->View().title, kInstallTitle);
		ASSERT_TRUE(AnswerMessageBox(box, IDNO));
		ASSERT_NO_FATAL_FAILURE(FinishAndExit());

		ASSERT_NO_FATAL_FAILURE(ExpectInstalledFiles(row.product, {true, true}, row.notInstalled));
		wchar_t parent[MAX_PATH] = {0};
		ASSERT_TRUE(GetFullPathNameW((stage->Path() + L"\\..").c_str(), MAX_PATH, parent, nullptr));
		for (const std::wstring &folder : {stage->Path(), std::wstring(parent), std::wstring(L"C:")})
			for (const wchar_t *name : {L"outside.txt", L"abs.txt"})
				EXPECT_FALSE(FileExists(folder + L"\\" + name)) << Narrow(folder + L"\\" + name);
		EXPECT_TRUE(RemoveTree(target));
	}
}

// While a large component unpacks, the installation page shows its texts and
// both bars, hides the buttons, and the bars only rise.
TEST_F(InstallE2E, InstallationPageShowsRisingBarsWhileItRuns)
{
	Product product;
	product.group = "unused";
	for (int c = 0; c < 2; c++)
	{
		Component big{"big" + std::to_string(c), "big" + std::to_string(c), true, true, {}};
		for (int i = 0; i < 12; i++) big.entries.push_back({"file" + std::to_string(i) + ".bin", NoiseBytes(3 << 20, 100 * c + i)});
		product.components.push_back(big);
	}
	target = stage->Path() + L"\\big target";
	ASSERT_NO_FATAL_FAILURE(Start(product));

	PageView view = Expect(kDirectoryTitle);
	std::vector<HWND> bars;
	for (const Control &control : view.controls)
		if (IsClass(control, L"msctls_progress32")) bars.push_back(control.hwnd);
	ASSERT_EQ(bars.size(), 2u) << Narrow(view.Describe());
	const DWORD started = GetTickCount();
	ASSERT_NO_FATAL_FAILURE(Walk({}, false, false, false));

	int lastTotal = 0, runningSamples = 0, shownSamples = 0, leftSamples = 0;
	std::set<int> fileValues, totalValues;
	bool shot = false;
	const std::wstring shotPath = ScreenshotRoot() + L"\\InstallE2E\\install-progress.png";
	auto sample = [&] {
		const int file = [&] { DWORD_PTR v = 0; return SendMessageTimeoutW(bars[0], PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &v) ? int(v) : -1; }();
		const int total = [&] { DWORD_PTR v = 0; return SendMessageTimeoutW(bars[1], PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &v) ? int(v) : -1; }();
		const PageView now = wizard->View();
		if (now.title != kInstallTitle) return now.title == kFinishTitle;
		runningSamples++;
		EXPECT_GE(total, lastTotal) << "the total bar fell";
		lastTotal = std::max(lastTotal, total);
		fileValues.insert(file);
		totalValues.insert(total);
		const bool shown = IsWindowVisible(bars[0]) && IsWindowVisible(bars[1]) && now.Shows(L"Static", kInstallText) &&
		                   now.Shows(L"Static", L"Current file progress:") && now.Shows(L"Static", L"Total installation progress:") &&
		                   !now.back.visible && !now.next.visible && !now.cancel.visible;
		// The page may be caught while it turns into the finish page; once it
		// has stopped showing the run, it must not show it again.
		if (shown) EXPECT_EQ(leftSamples, 0) << "the installation page came back after it was left";
		leftSamples += !shown;
		shownSamples += shown;
		if (!shot && shown && file > 10 && total > 0 && total < 100)
		{
			std::wstring error;
			shot = SaveScreenshot(wizard->Window(), shotPath, &error);
			EXPECT_TRUE(shot) << Narrow(error);
		}
		return false;
	};
	ASSERT_TRUE(WaitUntil(120000, sample, 50)) << Narrow(wizard->View().Describe());
	const DWORD took = GetTickCount() - started;
	std::cout << "installation took " << took << " ms, " << runningSamples << " samples while it ran\n";

	// Each look at the page costs a few hundred milliseconds under Wine on a
	// busy machine, so only a handful of looks are asked for.
	EXPECT_GE(shownSamples, 3) << "the run was too short to watch";
	EXPECT_GE(fileValues.size(), 3u) << "the file bar did not move while it ran";
	EXPECT_GE(totalValues.size(), 2u) << "the total bar did not move while it ran";
	EXPECT_TRUE(shot) << "no screenshot mid-run";
	DWORD_PTR total = 0;
	ASSERT_TRUE(SendMessageTimeoutW(bars[1], PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &total));
	EXPECT_EQ(total, 100u);
	EXPECT_TRUE(MessageBoxes(wizard->Program().Id()).empty());
	ASSERT_NO_FATAL_FAILURE(FinishAndExit());
	ASSERT_NO_FATAL_FAILURE(ExpectInstalledFiles(product, {true, true}));
#ifdef TOLVANE_SOURCE_DIR
	// With TOLVANE_UPDATE_SCREENSHOTS set, the picture also replaces the
	// repository's one in docs/screenshots (drive Z: is the build machine's
	// root under Wine).
	if (shot && GetEnvironmentVariableW(L"TOLVANE_UPDATE_SCREENSHOTS", nullptr, 0) > 0)
	{
		std::wstring docs = L"Z:" + Widen(TOLVANE_SOURCE_DIR "/docs/screenshots/install-progress.png");
		std::replace(docs.begin(), docs.end(), L'/', L'\\');
		EXPECT_TRUE(CopyFileW(shotPath.c_str(), docs.c_str(), FALSE)) << Narrow(docs);
	}
#endif
}
