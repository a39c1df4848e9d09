#include "product.h"

#include "archive_test_support.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>

namespace e2e
{
	const wchar_t *const kDirectoryTitle = L"Choose the folder";
	const wchar_t *const kComponentsTitle = L"Choose the parts";
	const wchar_t *const kLinksTitle = L"Choose shortcuts";
	const wchar_t *const kSummaryTitle = L"Ready to install";
	const wchar_t *const kInstallTitle = L"Installing";
	const wchar_t *const kInstallText = L"Please wait while the files are copied.";
	const wchar_t *const kFinishTitle = L"All done";

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

	// Raw archives are written by hand, so they may carry names the writer refuses.
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

	QuickLaunchPresent::QuickLaunchPresent() : path(QuickLaunchFolder())
	{
		made = !FolderExists(path) && SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS;
	}

	QuickLaunchPresent::~QuickLaunchPresent()
	{
		if (made) RemoveDirectoryW(path.c_str());
	}

	// ---- the fixture ---------------------------------------------------------

	void StagedInstall::SetUp()
	{
		CoInitialize(nullptr);
		std::wstring error;
		ASSERT_TRUE(FindInstallerFiles(ModuleFolder(), &files, &error)) << Narrow(error);
		stage = std::make_unique<TempFolder>(L"e2e-install");
		ASSERT_FALSE(stage->Path().empty());
		ASSERT_TRUE(CopyInto(files.setup, stage->Path()));
		ASSERT_TRUE(CopyInto(files.smooth, stage->Path()));
	}

	void StagedInstall::TearDown()
	{
		wizard->Program().Kill();
		for (const std::wstring &path : cleanup) FolderExists(path) ? (void)RemoveTree(path) : (void)DeleteFileW(path.c_str());
		if (!target.empty()) RemoveTree(target);
		CoUninitialize();
	}

	// Stages the product and starts its installer on the directory page.
	void StagedInstall::Start(const Product &product)
	{
		ASSERT_TRUE(WriteFile(stage->Path() + L"\\setup.xml", Xml(product)));
		for (const Component &c : product.components) ASSERT_NO_FATAL_FAILURE(WriteArchive(stage->Path(), c));
		std::wstring error;
		ASSERT_TRUE(wizard->Start(stage->Path() + L"\\setup.exe", stage->Path(), &error)) << Narrow(error);
	}

	PageView StagedInstall::Expect(const wchar_t *title, DWORD timeout, bool requireNext)
	{
		PageView view;
		EXPECT_TRUE(wizard->WaitForPage(title, timeout, &view, requireNext)) << "waiting for " << Narrow(title) << "; shown:\n"
		                                                                       << Narrow(view.Describe());
		return view;
	}

	// Types the target folder, marks the extra components, sets the three
	// shortcut boxes and presses Next on the summary page: the run starts.
	void StagedInstall::Walk(const std::vector<int> &extraEntries, bool startMenu, bool desktop, bool quickLaunch)
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
	void StagedInstall::FinishAndExit()
	{
		PageView view = Expect(kFinishTitle);
		EXPECT_EQ(view.next.text, texts::kFinish);
		ASSERT_TRUE(wizard->PressNext());
		DWORD code = 1;
		ASSERT_TRUE(wizard->Program().WaitForExit(kExitTimeout, &code)) << Narrow(DescribeWindows(wizard->Program().Id()));
		EXPECT_EQ(code, 0u);
	}
}
