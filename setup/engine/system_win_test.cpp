// The Windows side of the system interface, for real: the registry, the
// shell's special folders and shortcut files read back through the shell.
#include "system_interface.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

using namespace smooth;

namespace
{
	// Loads a shortcut file back through the shell: its target and working folder.
	bool ReadLink(const String &link, std::wstring &target, std::wstring &folder)
	{
		CoInitialize(nullptr);

		IShellLinkW	*shellLink = nullptr;
		IPersistFile	*file	   = nullptr;
		bool		 ok	   = false;

		if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **) &shellLink)))
		{
			wchar_t	 buffer[MAX_PATH] = { 0 }, work[MAX_PATH] = { 0 };

			ok = SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void **) &file)) &&
			     SUCCEEDED(file->Load(link.Wide(), STGM_READ)) &&
			     SUCCEEDED(shellLink->GetPath(buffer, MAX_PATH, nullptr, 0)) &&
			     SUCCEEDED(shellLink->GetWorkingDirectory(work, MAX_PATH));

			/* The item list holds the target's names as the file system has
			 * them; the plain path is kept in the ANSI code page by some
			 * shells. Prefer the item list when it gives a path.
			 */
			LPITEMIDLIST	 list = nullptr;

			if (ok && SUCCEEDED(shellLink->GetIDList(&list)) && list != nullptr)
			{
				wchar_t	 fromList[MAX_PATH] = { 0 };

				if (SHGetPathFromIDListW(list, fromList)) wcscpy(buffer, fromList);

				CoTaskMemFree(list);
			}

			target = buffer;
			folder = work;

			if (file != nullptr) file->Release();

			shellLink->Release();
		}

		CoUninitialize();

		return ok;
	}

	TEST(WindowsSystem, FoldersPlatformAndProgramFiles)
	{
		Tolvane::SystemInterface	&system = Tolvane::GetSystem();

		EXPECT_EQ(Tolvane::PLATFORM_NT, system.GetPlatformId());

		for (Int folder : { Tolvane::FOLDER_DESKTOP, Tolvane::FOLDER_PROGRAMS, Tolvane::FOLDER_COMMON_PROGRAMS, Tolvane::FOLDER_COMMON_DESKTOP, Tolvane::FOLDER_APPDATA })
		{
			String	 path;

			ASSERT_TRUE(system.GetSpecialFolder(folder, path)) << folder;
			EXPECT_TRUE(Directory(path).Exists()) << folder << ": " << path.ToUTF8();
			EXPECT_NE('\\', path[path.Length() - 1]);
		}

		String	 unknown = "unchanged";

		EXPECT_FALSE(system.GetSpecialFolder(0x7F, unknown));
		EXPECT_TRUE(unknown == "unchanged");

		String	 programFiles = system.GetProgramFilesFolder();

		EXPECT_TRUE(programFiles.EndsWith("\\"));
		EXPECT_TRUE(Directory(programFiles).Exists()) << programFiles.ToUTF8();
	}

	TEST(WindowsSystem, ShortcutsLoadBackUnderTheirRealNames)
	{
		smooth_test::ScratchFolder	 scratch;

		struct { const wchar_t *title; bool unicode; } cases[] = {
			{ L"Pebble Notes 2.5", true },
			{ L"Pebble Notes 2.5 narrow", false },
			{ L"\x03A0\x03B5\x03B2\x03B2\x03BB\x03B5 \x30E1\x30E2", true },	// Greek and Japanese
		};

		for (const auto &c : cases)
		{
			Setup::enableUnicode = c.unicode;

			String	 target = String(scratch.Root()).Append("\\").Append(c.title).Append(".exe");
			String	 link	= String(scratch.Root()).Append("\\").Append(c.title).Append(".lnk");

			scratch.Write(String(c.title).Append(".exe"), "MZ");

			EXPECT_EQ("", Tolvane::GetSystem().CreateShellLink(target, link, scratch.Root()).ToUTF8());

			std::wstring	 readTarget, readFolder;

			ASSERT_TRUE(File(link).Exists()) << String(c.title).ToUTF8();
			ASSERT_TRUE(ReadLink(link, readTarget, readFolder));
			EXPECT_EQ(0, _wcsicmp(target.Wide(), readTarget.c_str())) << String(readTarget).ToUTF8();
			EXPECT_EQ(0, _wcsicmp(scratch.Root().Wide(), readFolder.c_str())) << String(readFolder).ToUTF8();
		}

		Setup::enableUnicode = true;

		// The cause names the shell's result code: "0x" and eight hex digits.
		std::string	 cause	= Tolvane::GetSystem().CreateShellLink("C:\\x.exe", String(scratch.Root()).Append("\\no such folder\\x.lnk"), "C:\\").ToUTF8();
		std::string	 prefix = "the shell refused the shortcut (0x";

		ASSERT_EQ(prefix.size() + 9, cause.size()) << cause;
		EXPECT_EQ(prefix, cause.substr(0, prefix.size())) << cause;
		EXPECT_EQ(std::string::npos, cause.substr(prefix.size(), 8).find_first_not_of("0123456789ABCDEF")) << cause;
		EXPECT_EQ(')', cause.back()) << cause;
	}
}

namespace
{
	TEST(WindowsSystem, UninstallEntryHoldsEveryValue)
	{
		Tolvane::UninstallEntry	 entry;

		entry.displayName	   = L"Pebble \x03A9 Notes";
		entry.displayVersion	   = "2.6";
		entry.publisher		   = "Example Works";
		entry.installLocation	   = "C:\\Program Files\\Pebble";
		entry.uninstallString	   = "\"C:\\Program Files\\Pebble\\uninstall\\uninstall.exe\"";
		entry.quietUninstallString = "\"C:\\Program Files\\Pebble\\uninstall\\uninstall.exe\" /S";
		entry.displayIcon	   = "C:\\Program Files\\Pebble\\uninstall\\uninstall.exe";
		entry.installDate	   = "20261207";
		entry.estimatedSize	   = 1234;

		String	 name = String("TolvaneTest").Append(String::FromInt(GetCurrentProcessId()));

		ASSERT_EQ("", Tolvane::GetSystem().WriteUninstallEntry(name, entry).ToUTF8());

		std::wstring	 path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name.WideString();
		HKEY		 key  = nullptr;

		ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key));

		struct { const wchar_t *value; String text; } texts[] = {
			{ L"DisplayName", entry.displayName }, { L"DisplayVersion", entry.displayVersion }, { L"Publisher", entry.publisher },
			{ L"InstallLocation", entry.installLocation }, { L"UninstallString", entry.uninstallString },
			{ L"QuietUninstallString", entry.quietUninstallString }, { L"DisplayIcon", entry.displayIcon }, { L"InstallDate", entry.installDate },
		};

		for (const auto &t : texts)
		{
			wchar_t	 value[512] = { 0 };
			DWORD	 size = sizeof(value) - 2, type = 0;

			EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, t.value, nullptr, &type, (BYTE *) value, &size));
			EXPECT_EQ(DWORD(REG_SZ), type);
			EXPECT_EQ(t.text.WideString(), std::wstring(value)) << String(t.value).ToUTF8();
		}

		struct { const wchar_t *value; DWORD number; } numbers[] = { { L"EstimatedSize", 1234 }, { L"NoModify", 1 }, { L"NoRepair", 1 } };

		for (const auto &n : numbers)
		{
			DWORD	 value = 0, size = sizeof(value), type = 0;

			EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, n.value, nullptr, &type, (BYTE *) &value, &size));
			EXPECT_EQ(DWORD(REG_DWORD), type);
			EXPECT_EQ(n.number, value);
		}

		RegCloseKey(key);
		RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
	}
}
