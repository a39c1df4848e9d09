// A staged product for the end-to-end tests that install for real: its
// setup.xml and archives written into a fresh folder beside setup.exe and
// smooth.dll, the wizard worked through its pages, and what the run leaves
// (files, shortcuts) read back. Shared by the installation and the
// uninstallation suites; compiled into each test program (it uses GoogleTest
// assertions).
#pragma once

#include "files.h"
#include "wizard_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace e2e
{
	// Page titles and the installation page's text of every staged product.
	extern const wchar_t *const kDirectoryTitle;   // "Choose the folder"
	extern const wchar_t *const kComponentsTitle;  // "Choose the parts"
	extern const wchar_t *const kLinksTitle;       // "Choose shortcuts"
	extern const wchar_t *const kSummaryTitle;     // "Ready to install"
	extern const wchar_t *const kInstallTitle;     // "Installing"
	extern const wchar_t *const kInstallText;
	extern const wchar_t *const kFinishTitle;      // "All done"

	// Something unique to this run, so names in the shared folders (desktop,
	// Quick Launch, the Start menu) never meet those of another run.
	std::wstring RunTag();

	// SHGetSpecialFolderPathW; empty when the folder does not resolve.
	std::wstring SpecialFolder(int csidl);
	std::wstring QuickLaunchFolder();

	// Deterministic bytes that bzip2 cannot shrink much.
	std::string NoiseBytes(size_t size, uint32_t seed);

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

	// Application "Pebble Notes" 2.5 by "Example Works", uninstall script on,
	// with notes.ini as the uninstaller's own <file>, and the pages above.
	struct Product
	{
		std::vector<Component> components;
		std::vector<LinkSpec> links;
		std::string group;  // start-menu subdir
	};

	std::string Xml(const Product &product);

	// The archive <id>.zbk in folder as the archive module writes it; Raw ones
	// are written by hand, so they may carry names the writer refuses.
	void WriteArchive(const std::wstring &folder, const Component &c);

	// Every file below folder, as paths relative to it with '\' after prefix.
	void ListTree(const std::wstring &folder, const std::wstring &prefix, std::set<std::wstring> *files);

	struct LinkInfo
	{
		std::wstring target, workingFolder;
	};

	// Reads a .lnk file (COM must be initialised).
	bool LoadLink(const std::wstring &path, LinkInfo *info);

	// Makes the Quick Launch folder exist for one test; removes it again
	// when this made it and it is empty.
	class QuickLaunchPresent
	{
	public:
		QuickLaunchPresent();
		~QuickLaunchPresent();

	private:
		std::wstring path;
		bool made = false;
	};

	// A test that stages a product in a fresh folder (setup.exe and
	// smooth.dll of this build copied in) and installs it through the wizard
	// into target. TearDown kills the installer, removes the paths in cleanup
	// (files or folders) and the target folder.
	class StagedInstall : public ::testing::Test
	{
	protected:
		InstallerFiles files;
		std::unique_ptr<TempFolder> stage;
		std::unique_ptr<WizardSession> wizard = std::make_unique<WizardSession>();
		std::wstring target;
		std::vector<std::wstring> cleanup;  // shortcut files and group folders this test may leave

		void SetUp() override;
		void TearDown() override;

		// Stages the product and starts its installer on the directory page.
		void Start(const Product &product);

		// Waits for the page; a failure names what was shown.
		PageView Expect(const wchar_t *title, DWORD timeout = kStepTimeout, bool requireNext = true);

		// Types the target folder, marks the extra components, sets the three
		// shortcut boxes and presses Next on the summary page: the run starts.
		void Walk(const std::vector<int> &extraEntries, bool startMenu, bool desktop, bool quickLaunch);

		// Finish on the finish page ends the program with exit code 0.
		void FinishAndExit();
	};
}
