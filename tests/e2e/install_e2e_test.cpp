// The real installation under Wine: setup.exe started in a staged product
// folder (setup.xml, archives, smooth.dll), worked through every page from
// outside as a person would, and then what it left on disk checked: the
// installed files byte by byte, the uninstall script entry by entry, the
// shortcuts where the choices put them (and nowhere else), the program they
// start, the failure message of a broken product and the installation page
// while a large component unpacks.
#include "archive_test_support.h"
#include "files.h"
#include "wizard_session.h"

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
	const wchar_t *const kDirectoryTitle = L"Choose the folder";
	const wchar_t *const kComponentsTitle = L"Choose the parts";
	const wchar_t *const kLinksTitle = L"Choose shortcuts";
	const wchar_t *const kSummaryTitle = L"Ready to install";
	const wchar_t *const kInstallTitle = L"Installing";
	const wchar_t *const kInstallText = L"Please wait while the files are copied.";
	const wchar_t *const kFinishTitle = L"All done";
	const wchar_t *const kPebbleTitle = L"Pebble Notes 2.5";

	// Something unique to this run, so names in the shared folders (desktop,
	// Quick Launch, the Start menu) never meet those of another run.
	std::wstring RunTag()
	{
		static const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount() % 100000);
		return tag;
	}

	std::wstring SpecialFolder(int csidl)
	{
		wchar_t path[MAX_PATH] = {0};
		return SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? std::wstring(path) : std::wstring();
	}

	std::wstring QuickLaunchFolder() { return SpecialFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch"; }

	// Deterministic bytes that bzip2 cannot shrink much.
	std::string NoiseBytes(size_t size, uint32_t seed)
	{
		std::string bytes(size, '\0');
		uint32_t x = seed * 2654435761u + 1;
		for (size_t i = 0; i < size; i++)
		{
			x ^= x << 13;
			x ^= x >> 17;
			x ^= x << 5;
			bytes[i] = static_cast<char>(x);
		}
		return bytes;
	}

	// ---- the staged product ----------------------------------------------------

	struct Entry
	{
		std::string name;   // as stored in the archive, with '/'
		std::string bytes;
	};

	struct Component
	{
		std::string id, subdir;
		bool required = false, marked = false;
		std::vector<Entry> entries;  // in name order, as the archive lists them
		bool library = false;        // lists <file>smooth.dll</file>
		enum { Written, Missing, Raw } archive = Written;
	};

	struct LinkSpec
	{
		std::string kind;  // startmenu, desktop, quicklaunch
		std::string file, title, depends;
	};

	struct Product
	{
		std::vector<Component> components;
		std::vector<LinkSpec> links;
		std::string group;  // start-menu subdir
	};

	std::string Xml(const Product &product)
	{
		std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<installer>\n"
		                  "  <application><name xpos=\"40\" ypos=\"40\">Pebble Notes</name><version>2.5</version>"
		                  "<company xpos=\"40\" ypos=\"90\">Example Works</company></application>\n"
		                  "  <uninstall createLog=\"true\"><file>notes.ini</file></uninstall>\n  <dialogs>\n";
		const std::pair<const char *, const wchar_t *> pages[] = {
			{"directory", kDirectoryTitle}, {"components", kComponentsTitle}, {"links", kLinksTitle},
			{"summary", kSummaryTitle},     {"installation", kInstallTitle},  {"finish", kFinishTitle}};
		for (const auto &page : pages)
		{
			xml += std::string("    <dialog id=\"") + page.first + "\"><title>" + Narrow(page.second) + "</title><text>" +
			       (page.second == kInstallTitle ? Narrow(kInstallText) : std::string("Text of ") + page.first) + "</text>";
			if (page.second == kDirectoryTitle) xml += "<defaultdir>Pebble Notes</defaultdir>";
			xml += "</dialog>\n";
		}
		xml += "  </dialogs>\n  <components>\n";
		for (const Component &c : product.components)
		{
			xml += "    <component name=\"Part " + c.id + "\" id=\"" + c.id + "\" subdir=\"" + c.subdir + "\"" +
			       (c.required ? " required=\"true\"" : "") + (c.marked && !c.required ? " default=\"true\"" : "") + "><archive>" + c.id +
			       ".zbk</archive><text>" + c.id + "</text>" + (c.library ? "<file>smooth.dll</file>" : "") + "</component>\n";
		}
		xml += "  </components>\n  <links>\n";
		for (const char *kind : {"startmenu", "desktop", "quicklaunch"})
		{
			xml += std::string("    <") + kind + (std::string(kind) == "startmenu" ? " subdir=\"" + product.group + "\"" : "") + ">";
			for (const LinkSpec &link : product.links)
				if (link.kind == kind)
					xml += "<link file=\"" + link.file + "\"" + (link.depends.empty() ? "" : " depends=\"" + link.depends + "\"") + ">" +
					       link.title + "</link>";
			xml += std::string("</") + kind + ">\n";
		}
		return xml + "  </links>\n</installer>\n";
	}

	// The archive as the archive module writes it; Raw ones are written by
	// hand, so they may carry names the writer refuses.
	void WriteArchive(const std::wstring &folder, const Component &c)
	{
		const std::wstring file = folder + L"\\" + Widen(c.id) + L".zbk";
		if (c.archive == Component::Missing) return;
		if (c.archive == Component::Raw)
		{
			std::vector<ZBKTest::Record> records;
			std::string data;
			for (const Entry &e : c.entries)
			{
				records.push_back({e.name, uint32_t(e.bytes.size())});
				data += e.bytes;
			}
			ASSERT_TRUE(WriteFile(file, "ZBK" + ZBKTest::ChunkBytes(records, ZBKTest::Compress(data))));
			return;
		}
		const std::wstring sources = folder + L"\\sources-" + Widen(c.id);
		ASSERT_TRUE(CreateDirectoryW(sources.c_str(), nullptr));
		ZBK::Archive *archive = ZBK::CreateArchive();
		for (size_t i = 0; i < c.entries.size(); i++)
		{
			const std::wstring source = sources + L"\\" + std::to_wstring(i);
			ASSERT_TRUE(WriteFile(source, c.entries[i].bytes));
			ASSERT_TRUE(ZBK::AddFile(archive, source.c_str(), Widen(c.entries[i].name).c_str())) << c.entries[i].name;
		}
		ASSERT_TRUE(ZBK::WriteArchive(archive, file.c_str()));
		ZBK::CloseArchive(archive);
		RemoveTree(sources);
	}

	// Every file below folder, as paths relative to it with '\'.
	void ListTree(const std::wstring &folder, const std::wstring &prefix, std::set<std::wstring> *files)
	{
		WIN32_FIND_DATAW data;
		HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
		if (find == INVALID_HANDLE_VALUE) return;
		do
		{
			const std::wstring name = data.cFileName;
			if (name == L"." || name == L"..") continue;
			if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
				ListTree(folder + L"\\" + name, prefix + name + L"\\", files);
			else
				files->insert(prefix + name);
		} while (FindNextFileW(find, &data));
		FindClose(find);
	}

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

	struct LinkInfo
	{
		std::wstring target, workingFolder;
	};

	bool LoadLink(const std::wstring &path, LinkInfo *info)
	{
		IShellLinkW *link = nullptr;
		if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void **>(&link))))
			return false;
		IPersistFile *file = nullptr;
		bool good = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))) &&
		            SUCCEEDED(file->Load(path.c_str(), STGM_READ));
		wchar_t buffer[MAX_PATH] = {0};
		good = good && SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH));
		info->target = buffer;
		buffer[0] = 0;
		good = good && SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH));
		info->workingFolder = buffer;
		if (file) file->Release();
		link->Release();
		return good;
	}

	// Makes the Quick Launch folder exist for one test; removes it again
	// when this made it and it is empty.
	class QuickLaunchPresent
	{
	public:
		QuickLaunchPresent() : path(QuickLaunchFolder())
		{
			made = !FolderExists(path) && SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS;
		}
		~QuickLaunchPresent()
		{
			if (made) RemoveDirectoryW(path.c_str());
		}

	private:
		std::wstring path;
		bool made = false;
	};

	// ---- the fixture ---------------------------------------------------------

	class InstallE2E : public ::testing::Test
	{
	protected:
		InstallerFiles files;
		std::unique_ptr<TempFolder> stage;
		std::unique_ptr<WizardSession> wizard = std::make_unique<WizardSession>();
		std::wstring target;
		std::vector<std::wstring> cleanup;  // shortcut files and group folders this test may leave

		void SetUp() override
		{
			CoInitialize(nullptr);
			std::wstring error;
			ASSERT_TRUE(FindInstallerFiles(ModuleFolder(), &files, &error)) << Narrow(error);
			stage = std::make_unique<TempFolder>(L"e2e-install");
			ASSERT_FALSE(stage->Path().empty());
			ASSERT_TRUE(CopyInto(files.setup, stage->Path()));
			ASSERT_TRUE(CopyInto(files.smooth, stage->Path()));
		}

		void TearDown() override
		{
			wizard->Program().Kill();
			for (const std::wstring &path : cleanup) FolderExists(path) ? (void)RemoveTree(path) : (void)DeleteFileW(path.c_str());
			if (!target.empty()) RemoveTree(target);
			CoUninitialize();
		}

		// Stages the product and starts its installer on the directory page.
		void Start(const Product &product)
		{
			ASSERT_TRUE(WriteFile(stage->Path() + L"\\setup.xml", Xml(product)));
			for (const Component &c : product.components) ASSERT_NO_FATAL_FAILURE(WriteArchive(stage->Path(), c));
			std::wstring error;
			ASSERT_TRUE(wizard->Start(stage->Path() + L"\\setup.exe", stage->Path(), &error)) << Narrow(error);
		}

		PageView Expect(const wchar_t *title, DWORD timeout = kStepTimeout, bool requireNext = true)
		{
			PageView view;
			EXPECT_TRUE(wizard->WaitForPage(title, timeout, &view, requireNext)) << "waiting for " << Narrow(title) << "; shown:\n"
			                                                                       << Narrow(view.Describe());
			return view;
		}

		// Types the target folder, marks the extra components, sets the three
		// shortcut boxes and presses Next on the summary page: the run starts.
		void Walk(const std::vector<int> &extraEntries, bool startMenu, bool desktop, bool quickLaunch)
		{
			PageView view = Expect(kDirectoryTitle);
			const Control *edit = view.First(L"Edit");
			ASSERT_NE(edit, nullptr) << Narrow(view.Describe());
			ASSERT_TRUE(SetText(edit->hwnd, target));
			ASSERT_EQ(WindowText(edit->hwnd), target);

			ASSERT_TRUE(wizard->PressNext());
			view = Expect(kComponentsTitle);
			const Control *list = view.First(L"ListBox");
			ASSERT_NE(list, nullptr) << Narrow(view.Describe());
			for (int entry : extraEntries)
			{
				ASSERT_TRUE(ClickListEntry(list->hwnd, entry));
				ASSERT_EQ(ListItemData(list->hwnd, entry), 1) << "entry " << entry << " not marked";
			}

			ASSERT_TRUE(wizard->PressNext());
			view = Expect(kLinksTitle);
			const std::pair<const wchar_t *, bool> boxes[] = {
				{L"Create Start Menu group", startMenu}, {L"Create Desktop icon", desktop}, {L"Create Quick Launch icon", quickLaunch}};
			for (const auto &box : boxes)
			{
				const Control *control = view.Find(L"Button", box.first);
				ASSERT_NE(control, nullptr) << Narrow(view.Describe());
				if ((CheckState(control->hwnd) == BST_CHECKED) != box.second)
				{
					ASSERT_TRUE(control->enabled) << Narrow(box.first) << " is disabled";
					ASSERT_TRUE(Click(control->hwnd));
				}
				ASSERT_EQ(CheckState(control->hwnd), box.second ? BST_CHECKED : BST_UNCHECKED) << Narrow(box.first);
			}

			ASSERT_TRUE(wizard->PressNext());
			Expect(kSummaryTitle);
			ASSERT_TRUE(wizard->PressNext());
		}

		// Finish on the finish page ends the program with exit code 0.
		void FinishAndExit()
		{
			PageView view = Expect(kFinishTitle);
			EXPECT_EQ(view.next.text, texts::kFinish);
			ASSERT_TRUE(wizard->PressNext());
			DWORD code = 1;
			ASSERT_TRUE(wizard->Program().WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(wizard->Program().Id()));
			EXPECT_EQ(code, 0u);
		}

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
// folder, and names what failed in one message box before the finish page.
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
		ASSERT_EQ(box.buttons.size(), 1u);
		EXPECT_EQ(box.buttons[0].first, IDOK);
		// The finish page waits for the answer.
		EXPECT_EQ(wizard->View().title, kInstallTitle);
		ASSERT_TRUE(AnswerMessageBox(box, IDOK));
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
		for (int i = 0; i < 8; i++) big.entries.push_back({"file" + std::to_string(i) + ".bin", NoiseBytes(3 << 20, 100 * c + i)});
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

	EXPECT_GT(shownSamples, 5) << "the run was too short to watch";
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
