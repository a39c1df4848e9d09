// The pages in-process: the licence box, the Program Files rules, Browse,
// the component list with its marks and description box, the shortcut
// boxes and the restart options. What the texts, marks and descriptions
// are is the portable page texts' (page_text_test.cpp); here the real
// controls show them and act on clicks.
#include "wizard_test_support.h"

#include <windows.h>
#include <shlobj.h>

using namespace smooth;
using namespace WizardTest;

namespace
{
	// --- Program Files folder ---------------------------------------------

	const char	*const currentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

	// Saves ProgramFilesDir and %ProgramFiles% and puts them back afterwards.
	class ProgramFilesTest : public WizardFixture
	{
		protected:
			void SetUp() override
			{
				WizardFixture::SetUp();

				HKEY	 key;

				ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, currentVersionKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);

				char	 buffer[1024] = { 0 };
				DWORD	 size = sizeof(buffer) - 1;
				DWORD	 type = 0;

				hadValue = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, (BYTE *) buffer, &size) == ERROR_SUCCESS;
				savedValue = std::string(buffer, size > 0 && buffer[size - 1] == 0 ? size - 1 : size);
				savedType = type;

				RegCloseKey(key);

				DWORD	 length = GetEnvironmentVariableA("ProgramFiles", buffer, sizeof(buffer));

				hadEnv = length > 0 && length < sizeof(buffer);
				savedEnv = hadEnv ? std::string(buffer, length) : std::string();
			}

			void TearDown() override
			{
				if (hadValue) SetValue(savedValue.c_str(), savedType);
				else	      SetValue(nullptr);

				SetEnvironmentVariableA("ProgramFiles", hadEnv ? savedEnv.c_str() : nullptr);

				WizardFixture::TearDown();
			}

			// Writes (or with null deletes) ProgramFilesDir.
			static void SetValue(const char *value, DWORD type = REG_SZ)
			{
				HKEY	 key;

				ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, currentVersionKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);

				if (value != nullptr) EXPECT_EQ(RegSetValueExA(key, "ProgramFilesDir", 0, type, (const BYTE *) value, DWORD(strlen(value) + 1)), ERROR_SUCCESS);
				else		      RegDeleteValueA(key, "ProgramFilesDir");

				RegCloseKey(key);
			}

			bool		 hadValue = false;
			std::string	 savedValue;
			DWORD		 savedType = REG_SZ;
			bool		 hadEnv = false;
			std::string	 savedEnv;
	};

	struct ProgramFilesCase
	{
		const char	*name;
		const char	*registry;	// null: no value
		const char	*environment;	// null: variable not defined
		const char	*defaultDir;
		const char	*folder;	// GetProgramFilesFolder
		const char	*edit;		// the directory page's edit box (null: not built)
	};

	const ProgramFilesCase programFilesCases[] =
	{
		{ "registry without backslash", "C:\\Apps", "D:\\Env", "Sample", "C:\\Apps\\", nullptr },
		{ "registry with backslash", "C:\\Apps\\", "D:\\Env", "Sample", "C:\\Apps\\", nullptr },
		{ "empty default folder", "C:\\Apps", nullptr, "", "C:\\Apps\\", "C:\\Apps\\" },
		{ "relative default folder", "C:\\Apps", nullptr, "Maker\\Tool", "C:\\Apps\\", "C:\\Apps\\Maker\\Tool" },
		{ "environment fallback", nullptr, "D:\\Env", "Sample", "D:\\Env\\", nullptr },
		{ "empty registry value", "", "D:\\Env\\", "Sample", "D:\\Env\\", nullptr },
		{ "nothing defined", nullptr, nullptr, "Sample", "%ProgramFiles%\\", "%ProgramFiles%\\Sample" },
	};

	class ProgramFilesRulesTest : public ProgramFilesTest, public ::testing::WithParamInterface<ProgramFilesCase>
	{
	};

	// --- Browse ----------------------------------------------------------------

	std::wstring	 browsePreset;
	const wchar_t	*browseChoice = nullptr;	// null: the user cancels

	Int BrowseResponder(String &dirName)
	{
		browsePreset = dirName.WideString();

		if (browseChoice == nullptr) return Error();

		dirName = browseChoice;

		return Success();
	}

	// --- components ------------------------------------------------------------

	const char	*const threeComponents =
		"<component name=\"Core %VERSION%\" id=\"core\" required=\"true\"><text>Needed %VERSION%</text></component>"
		"<component name=\"Help\" id=\"help\" default=\"true\"><text>The manual</text></component>"
		"<component name=\"Extras\" id=\"extras\"><text>Samples\nand more</text></component>"
		"<component name=\"Both\" default=\"true\" required=\"true\"><text>Locked too</text></component>";

	const wchar_t	*const hint = L"Move the mouse over a\ncomponent entry to\nshow a description";

	// The centre of entry index of a native list, in the list's client coordinates.
	POINT EntryCentre(HWND list, int index)
	{
		RECT	 item = { 0, 0, 0, 0 };

		SendMessageW(list, LB_GETITEMRECT, WPARAM(index), LPARAM(&item));

		return POINT { (item.left + item.right) / 2, (item.top + item.bottom) / 2 };
	}

	void ClickEntry(HWND list, int index)
	{
		POINT	 p = EntryCentre(list, index);

		SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
		SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
	}

	// --- Quick Launch -------------------------------------------------------

	std::wstring QuickLaunchPath()
	{
		wchar_t	 buffer[MAX_PATH] = { 0 };

		SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer);

		return std::wstring(buffer) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
	}

	void CreatePath(const std::wstring &path)
	{
		for (size_t i = 3; i <= path.size(); i++)
		{
			if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
		}
	}
}

// ---------------------------------------------------------------------------

TEST_F(WizardFixture, LicenceBoxShowsEveryByteReadOnly)
{
	/* Every byte once, a zero among them, and CR LF line ends. */
	std::string	 bytes = "licence\r\nline 2\r\n";

	for (int i = 0; i < 256; i++) bytes += char(i);

	WriteFile("license.txt", bytes);

	Script	 script;

	script.pages = { "license" };
	Start(script);

	std::wstring	 expected = L"licence\r\nline 2\r\n ";

	for (int i = 1; i < 256; i++) expected += wchar_t(i);

	std::wstring	 shown = W().layerLicense->licenseEdit->GetText().WideString();

	EXPECT_TRUE(shown == expected) << shown.size() << " characters: " << String(shown).ToUTF8();
	EXPECT_FALSE(W().layerLicense->licenseEdit->IsActive());
}

TEST_P(ProgramFilesRulesTest, RegistryThenEnvironmentThenBackslash)
{
	const ProgramFilesCase &c = GetParam();

	SetValue(c.registry);
	ASSERT_TRUE(SetEnvironmentVariableA("ProgramFiles", c.environment));

	EXPECT_EQ(Tolvane::GetSystem().GetProgramFilesFolder().ToUTF8(), c.folder);

	/* The directory page starts with the folder and the script's default
	 * folder behind it; the target the installation reads is its text. */
	if (c.edit != nullptr)
	{
		Script	 script;

		script.pages = { "directory" };
		script.defaultDir = c.defaultDir;
		Start(script);

		EXPECT_EQ(W().layerDirectory->directoryEdit->GetText().ToUTF8(), c.edit);
		EXPECT_EQ(W().layerDirectory->GetTargetDirectory().GetPath().ToUTF8().rfind(c.edit, 0), 0u);
	}
}

INSTANTIATE_TEST_SUITE_P(ProgramFiles, ProgramFilesRulesTest, ::testing::ValuesIn(programFilesCases),
	[](const ::testing::TestParamInfo<ProgramFilesCase> &info) { std::string n = info.param.name; for (char &c : n) if (!isalnum((unsigned char) c)) c = '_'; return n; });

TEST_F(ProgramFilesTest, TheDirectoryPageDoesNotRereadTheRegistry)
{
	SetValue("C:\\First");

	Script	 script;

	script.pages = { "intro", "directory", "summary" };
	Start(script);

	SetValue("C:\\Second");

	Click(W().nextButton);
	Click(W().backButton);
	Click(W().nextButton);

	ASSERT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Directory);
	EXPECT_EQ(W().layerDirectory->directoryEdit->GetText().ToUTF8(), "C:\\First\\Sample");
}

TEST_F(WizardFixture, BrowseReplacesTheWholeTextOrLeavesItOnCancel)
{
	Script	 script;

	script.pages = { "directory" };
	Start(script);

	GUI::Dialogs::DirSelection::SetTestResponder(&BrowseResponder);

	GUI::EditBox	*edit = W().layerDirectory->directoryEdit;

	/* The dialog belongs over the wizard window. */
	EXPECT_EQ(W().layerDirectory->GetContainerWindow(), W().wizardWindow);

	/* What the user typed is what the dialog starts with. */
	edit->SetText("E:\\Typed");
	browseChoice = L"F:\\Chosen\\Place";
	Click(W().layerDirectory->browseButton);

	EXPECT_TRUE(browsePreset == L"E:\\Typed");
	EXPECT_EQ(edit->GetText().ToUTF8(), "F:\\Chosen\\Place");

	edit->SetText("E:\\Typed again");
	browseChoice = nullptr;
	Click(W().layerDirectory->browseButton);

	EXPECT_EQ(edit->GetText().ToUTF8(), "E:\\Typed again");

	GUI::Dialogs::DirSelection::SetTestResponder(nullptr);
}

TEST_F(WizardFixture, ComponentEntriesStartMarkedByModeAndRequiredOnesStayMarked)
{
	Script	 script;

	script.pages = { "components" };
	script.components = threeComponents;
	Start(script);

	Tolvane::LayerComponents	*page = W().layerComponents;
	HWND				 list = (HWND) page->componentList->GetHandle();

	ASSERT_NE(list, nullptr);
	ASSERT_EQ(page->componentList->Length(), 4);

	struct Entry { const char *label; bool marked; bool active; bool afterClick; };
	const Entry	 entries[] =
	{
		{ "Core 2.5", true,  false, true },	// required: the click does nothing
		{ "Help",     true,  true,  false },	// default: can be unmarked
		{ "Extras",   false, true,  true },	// optional: can be marked
		{ "Both",     true,  false, true },	// default and required is required
	};

	for (int i = 0; i < 4; i++)
	{
		SCOPED_TRACE(entries[i].label);

		GUI::ListEntry	*entry = page->componentList->GetNthEntry(i);

		EXPECT_EQ(entry->GetText().ToUTF8(), entries[i].label);
		EXPECT_EQ(bool(entry->IsMarked()), entries[i].marked);
		EXPECT_EQ(bool(entry->IsActive()), entries[i].active);
		EXPECT_EQ(page->IsComponentSelected(i), entries[i].marked);

		/* What another process sees of the entry. */
		EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0), LRESULT((entries[i].marked ? 1 : 0) | (entries[i].active ? 0 : 2)));

		ClickEntry(list, i);
		Pump(20);

		EXPECT_EQ(page->IsComponentSelected(i), entries[i].afterClick);
	}

	EXPECT_FALSE(page->IsComponentSelected(4));
	EXPECT_FALSE(page->IsComponentSelected(-1));
}

TEST_F(WizardFixture, DescriptionFollowsTheMouse)
{
	Script	 script;

	script.pages = { "components" };
	script.components = threeComponents;
	Start(script);

	Tolvane::LayerComponents	*page = W().layerComponents;
	HWND				 list = (HWND) page->componentList->GetHandle();

	ASSERT_NE(list, nullptr);
	EXPECT_TRUE(page->descriptionText->GetText().WideString() == hint);

	struct Move { int entry; const wchar_t *shown; };	// entry -1: the pointer leaves the list
	const Move	 moves[] =
	{
		{ 1, L"The manual" },
		{ 2, L"Samples\nand more" },
		{ -1, hint },
		{ 0, L"Needed %VERSION%" },
	};

	for (const Move &move : moves)
	{
		SCOPED_TRACE(move.entry);

		if (move.entry >= 0)
		{
			POINT	 p = EntryCentre(list, move.entry);

			SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
		}
		else
		{
			SendMessageW(list, WM_MOUSELEAVE, 0, 0);
		}

		Pump(20);

		EXPECT_TRUE(page->descriptionText->GetText().WideString() == move.shown) << page->descriptionText->GetText().ToUTF8();
	}
}

TEST_F(WizardFixture, ShortcutBoxesFollowThePageText)
{
	struct Case { const char *text; int lines; };
	const Case	 cases[] = { { "one line", 1 }, { "one\ntwo\nthree", 3 } };

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.lines);

		Script	 script;

		script.pages = { "intro" };
		script.texts = std::string("<dialog id=\"links\"><title>t</title><text>") + c.text + "</text></dialog>";
		Start(script);

		Tolvane::LayerLinks	*page = W().layerLinks;
		Int			 textHeight = page->pageText->GetSize().cy;
		Int			 oneLine = GUI::Text::MeasureText("x").cy;

		EXPECT_GE(textHeight, c.lines * oneLine);
		EXPECT_EQ(page->startMenuCheck->GetPosition().y, 63 + textHeight + 12);
		EXPECT_EQ(page->desktopCheck->GetPosition().y, 63 + textHeight + 12 + 26);
		EXPECT_EQ(page->quickLaunchCheck->GetPosition().y, 63 + textHeight + 12 + 52);

		/* Wide enough for the label in whatever font the system has. */
		for (GUI::CheckBox *box : { page->startMenuCheck, page->desktopCheck, page->quickLaunchCheck })
		{
			EXPECT_GE(box->GetSize().cx, 150);
			EXPECT_GE(box->GetSize().cx, GUI::Text::MeasureText(box->GetText()).cx + 16) << box->GetText().ToUTF8();
		}

		/* Start menu and desktop ticked, Quick Launch not. */
		EXPECT_TRUE(page->createStartMenu);
		EXPECT_TRUE(page->createDesktop);
		EXPECT_FALSE(page->createQuickLaunch);

		Object::DeleteObject(wizard);
		wizard = nullptr;
	}
}

TEST_F(WizardFixture, QuickLaunchBoxOnlyWhenItsFolderExists)
{
	std::wstring	 path = QuickLaunchPath();
	std::wstring	 aside = path + L".wizard_test";
	bool		 existed = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;

	for (bool exists : { false, true })
	{
		SCOPED_TRACE(exists);

		if (exists) CreatePath(path);
		else if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) ASSERT_TRUE(MoveFileW(path.c_str(), aside.c_str()));

		EXPECT_EQ(Tolvane::LayerLinks::QuickLaunchFolderExists(Tolvane::GetSystem()), exists);

		Script	 script;

		script.pages = { "links" };
		Start(script);

		Tolvane::LayerLinks	*page = W().layerLinks;
		HWND			 box = (HWND) page->quickLaunchCheck->GetHandle();

		EXPECT_EQ(bool(page->quickLaunchCheck->IsActive()), exists);
		ASSERT_NE(box, nullptr);
		EXPECT_EQ(IsWindowEnabled(box) != FALSE, exists);

		/* A click on the box ticks it only when it is usable. */
		SendMessageW(box, BM_CLICK, 0, 0);
		Pump(20);
		EXPECT_EQ(page->createQuickLaunch, exists);

		Object::DeleteObject(wizard);
		wizard = nullptr;

		if (exists && !existed) RemoveDirectoryW(path.c_str());
	}

	if (existed && GetFileAttributesW(aside.c_str()) != INVALID_FILE_ATTRIBUTES) MoveFileW(aside.c_str(), path.c_str());
}

TEST_F(WizardFixture, EveryPageShowsItsOwnTextBesideTheIcon)
{
	Script	 script;

	script.pages = { "intro" };

	const char	*ids[] = { "intro", "license", "directory", "components", "links", "summary", "installation", "finish", "reboot" };

	for (const char *id : ids) script.texts += std::string("<dialog id=\"") + id + "\"><title>T</title><text>" + id + " %VERSION%</text></dialog>";

	Start(script);

	struct Page { const char *id; GUI::Text *text; int x; };
	const Page	 pages[] =
	{
		{ "intro", W().layerWelcome->pageText, 59 },
		{ "license", W().layerLicense->pageText, 59 },
		{ "directory", W().layerDirectory->pageText, 59 },
		{ "components", W().layerComponents->pageText, 59 },
		{ "links", W().layerLinks->pageText, 59 },
		{ "summary", W().layerSummary->pageText, 59 },
		{ "installation", W().layerInstall->pageText, 59 },
		{ "finish", W().layerBye->pageText, 59 },
		{ "reboot", W().layerReboot->pageText, 9 },	// where the others have the icon
	};

	for (const Page &page : pages)
	{
		SCOPED_TRACE(page.id);

		ASSERT_NE(page.text, nullptr);
		EXPECT_EQ(page.text->GetText().ToUTF8(), std::string(page.id) + " 2.5");
		EXPECT_EQ(page.text->GetPosition().x, page.x);
		EXPECT_EQ(page.text->GetPosition().y, 63);
	}
}

TEST_F(WizardFixture, RestartOptionsShareTheWizardsChoice)
{
	Script	 script;

	script.pages = { "finish", "reboot" };
	Start(script);

	Tolvane::LayerReboot	*page = W().layerReboot;
	HWND			 now = (HWND) page->restartNowOption->GetHandle();
	HWND			 later = (HWND) page->restartLaterOption->GetHandle();

	ASSERT_NE(now, nullptr);
	ASSERT_NE(later, nullptr);

	Click(W().nextButton);
	ASSERT_EQ(wizard->GetFlow().GetCurrentPage(), Tolvane::Page::Reboot);

	EXPECT_EQ(wizard->GetRestartChoice(), Tolvane::RESTART_NOW);
	EXPECT_TRUE(page->restartNowOption->IsSelected());

	for (GUI::OptionBox *option : { page->restartNowOption, page->restartLaterOption })
	{
		EXPECT_GE(option->GetSize().cx, 200);
		EXPECT_GE(option->GetSize().cx, GUI::Text::MeasureText(option->GetText()).cx + 16) << option->GetText().ToUTF8();
	}

	const struct { HWND click; long choice; } clicks[] = { { later, 2 }, { now, 1 }, { later, 2 } };

	for (const auto &click : clicks)
	{
		SendMessageW(click.click, BM_CLICK, 0, 0);
		Pump(20);

		EXPECT_EQ(wizard->GetRestartChoice(), click.choice);
		EXPECT_EQ(bool(page->restartNowOption->IsSelected()), click.choice == 1);
		EXPECT_EQ(bool(page->restartLaterOption->IsSelected()), click.choice == 2);
	}
}
