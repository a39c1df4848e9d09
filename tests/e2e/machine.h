// What an end-to-end test sees of the whole machine, and the fixture of the
// tests that install a registered product without windows: drive C: and the
// list of installed programs as one comparable snapshot, the registry's
// values, the programs started silently and watched for windows, and their
// logs. Shared by the administrator's and the upgrade suites; compiled into
// each test program (it uses GoogleTest assertions).
#pragma once

#include "product.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace e2e
{
	extern const wchar_t *const kUninstallKey;  // below HKEY_LOCAL_MACHINE
	extern const wchar_t *const kRunOnceKey;    // below either hive
	constexpr DWORD kRunTimeout = 60000;        // one whole silent installation or removal

	std::wstring Lower(std::wstring text);

	// The temporary folder, without a trailing separator.
	std::wstring TempPath();

	// ---- the registry ---------------------------------------------------------

	bool KeyExists(HKEY hive, const std::wstring &path);

	// A value of HKEY_LOCAL_MACHINE\path as "sz <text>", "dword <number>" or
	// "type <n> <hex bytes>"; "(missing)" when the key or value is absent.
	std::string Value(const std::wstring &path, const wchar_t *name);

	// Every value of HKEY_LOCAL_MACHINE\path by name, as Value gives it;
	// empty when the key is absent.
	std::map<std::wstring, std::string> Values(const std::wstring &path);

	std::vector<std::wstring> SubKeys(HKEY hive, const wchar_t *path);

	// "HKLM\name" / "HKCU\name" of every RunOnce value.
	std::set<std::wstring> RunOnceNames();

	// ---- drive C: and the list of installed programs ----------------------------

	// Lower-case path -> what is there: "folder" for a folder; size, time of
	// last write and a hash of the bytes for a file; "key" for each entry of
	// the list of installed programs (HKLM), and each of its values as
	// Value gives it ("hklm uninstall\<entry>\<value>").
	using MachineState = std::map<std::wstring, std::wstring>;

	// Left out: the system folder, which Wine keeps changing (registry
	// flushes, fonts, its services' files); the temporary folder, where the
	// tests stage their products; and the user's document folders, which
	// Wine links to the machine's home folder outside the prefix. Links
	// (reparse points) are not followed for the same reason.
	MachineState Snapshot();

	// One line per path that appeared, went or changed (with both states);
	// empty when the two are equal.
	std::string Differences(const MachineState &before, const MachineState &after);

	// FNV-1a of bytes, as 16 hexadecimal digits.
	std::wstring HashText(const std::string &bytes);

	// ---- programs without windows ------------------------------------------------

	struct Ended
	{
		bool ended = false;
		DWORD code = 0xFFFF;
		DWORD pid = 0;                     // its process id, 0 when it did not start
		std::vector<std::string> windows;  // visible top-level windows seen while it ran
	};

	// Runs exe and watches it for visible top-level windows until it ends, or
	// a moment after the first one showed (nobody is there to answer it; the
	// program is then killed).
	Ended RunWatched(const std::wstring &exe, const std::wstring &args, const std::wstring &folder);

	// The lines of a text file (UTF-8 mark and CR taken off); empty when it
	// cannot be read.
	std::vector<std::string> Lines(const std::wstring &path);
	bool HasLineStarting(const std::vector<std::string> &lines, const std::string &prefix);
	// A FAILED line that names what.
	bool HasFailedLine(const std::vector<std::string> &lines, const std::string &what);
	// The lines indented, one a line, for failure messages.
	std::string JoinLines(const std::vector<std::string> &lines);

	// ---- the fixture ----------------------------------------------------------

	// A product of its own name ("<prefix> <run tag>") staged with setup.exe
	// and smooth.dll of this build, installed and removed without windows.
	// The Start-menu group and the desktop link carry the product's name.
	// TearDown removes, besides what StagedInstall removes, the product's
	// entry in the list of installed programs and what the uninstaller's
	// copies leave for the next logon (their folders in the temporary folder
	// and the RunOnce commands that would remove them).
	class RegisteredInstall : public StagedInstall
	{
	protected:
		explicit RegisteredInstall(const std::string &prefix);

		std::string tag, app;
		std::wstring key;                               // the entry below HKEY_LOCAL_MACHINE
		std::wstring programs, desktopLink, quickLink;  // the group folder and the links named after app
		std::set<std::wstring> tempBefore, runOnceBefore;

		void SetUp() override;
		void TearDown() override;

		// A fresh folder with setup.exe and smooth.dll; setup.xml and the
		// archives of product (named app, with version) unless product is null.
		std::unique_ptr<TempFolder> StageIn(const Product *product, const std::string &version);
		// The same as this test's stage.
		void Stage(const Product *product, const std::string &version) { stage = StageIn(product, version); }

		// setup.exe of folder (this test's stage when empty) with args; no
		// window may show. False when it did not end by itself. *pid, when
		// given, gets its process id.
		bool InstallSilently(const std::wstring &args, DWORD expectedCode, const std::wstring &folder = L"", DWORD *pid = nullptr);

		// Waits until the installation, its entry and its shortcuts are gone.
		void ExpectAllGone();

	private:
		static std::set<std::wstring> TempNames();
	};
}
