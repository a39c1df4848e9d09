#include "system_interface.h"

#include "files_in_use.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <memory>
#include <string>

using namespace smooth;

namespace
{
	String ErrorText(HRESULT result)
	{
		// "0x" and eight hex digits. Written out here: swprintf would bring
		// the C runtime's whole wide printf (some 12 KB) into the program.
		wchar_t		 code[11] = L"0x";
		unsigned long	 value	  = (unsigned long) result;

		for (int i = 9; i >= 2; i--, value >>= 4) code[i] = L"0123456789ABCDEF"[value & 0xF];

		code[10] = 0;

		return String("the shell refused the shortcut (").Append(code).Append(")");
	}

	// Whether text survives a round trip through the ANSI code page: when it
	// does not, the narrow shell-link interface would save a different name.
	bool FitsCodePage(const String &text)
	{
		BOOL	 lossy = FALSE;
		int	 size  = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.Wide(), -1, nullptr, 0, nullptr, &lossy);

		return size > 0 && !lossy;
	}

	std::string Narrow(const String &text)
	{
		int		 size = WideCharToMultiByte(CP_ACP, 0, text.Wide(), -1, nullptr, 0, nullptr, nullptr);
		std::string	 bytes(size > 0 ? size_t(size) : 1, '\0');

		if (size > 0) WideCharToMultiByte(CP_ACP, 0, text.Wide(), -1, &bytes[0], size, nullptr, nullptr);

		return std::string(bytes.c_str());
	}

	// COM for the calling thread, balanced when the object goes.
	class ComScope
	{
		public:
			ComScope() : result(CoInitialize(nullptr)) { }
			~ComScope() { if (SUCCEEDED(result)) CoUninitialize(); }
		private:
			HRESULT	 result;
	};

	// The ids come from the headers through __uuidof: the uuid library holds
	// its ids in one object of some 30 KB that the program would carry whole.
	template <class LinkInterface, class Text> HRESULT SaveLink(const Text &target, const Text &workingFolder, const String &link)
	{
		LinkInterface	*shellLink = nullptr;
		HRESULT		 result	   = CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(LinkInterface), (void **) &shellLink);

		if (FAILED(result)) return result;

		IPersistFile	*file = nullptr;

		result = shellLink->QueryInterface(__uuidof(IPersistFile), (void **) &file);

		if (SUCCEEDED(result)) result = shellLink->SetPath(target.c_str());
		if (SUCCEEDED(result)) result = shellLink->SetWorkingDirectory(workingFolder.c_str());
		if (SUCCEEDED(result)) result = file->Save(link.Wide(), TRUE);

		if (file != nullptr) file->Release();

		shellLink->Release();

		return result;
	}

	bool SetText(HKEY key, const wchar_t *name, const String &value)
	{
		return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE *) value.Wide(), DWORD(value.Length() * 2 + 2)) == ERROR_SUCCESS;
	}

	bool SetNumber(HKEY key, const wchar_t *name, DWORD value)
	{
		return RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE *) &value, sizeof(value)) == ERROR_SUCCESS;
	}

	class WindowsSystem : public Tolvane::SystemInterface
	{
		public:
			Int GetPlatformId() override
			{
				OSVERSIONINFOA	 version;

				memset(&version, 0, sizeof(version));

				version.dwOSVersionInfoSize = sizeof(version);

				if (!GetVersionExA(&version)) return 0;

				return Int(version.dwPlatformId);
			}

			bool GetSpecialFolder(Int folder, String &path) override
			{
				LPITEMIDLIST	 list = nullptr;

				if (SHGetSpecialFolderLocation(nullptr, folder, &list) != S_OK || list == nullptr) return false;

				bool	 found = false;

				if (Setup::enableUnicode)
				{
					wchar_t	 buffer[MAX_PATH + 1];

					memset(buffer, 0, sizeof(buffer));

					if ((found = SHGetPathFromIDListW(list, buffer))) path = buffer;
				}
				else
				{
					char	 buffer[MAX_PATH + 1];

					memset(buffer, 0, sizeof(buffer));

					if ((found = SHGetPathFromIDListA(list, buffer))) path = String::Decode(buffer, "CP_ACP");
				}

				/* The shell hands the item list over to us. */
				CoTaskMemFree(list);

				return found && path != 0;
			}

			String GetProgramFilesFolder() override
			{
				String	 folder;
				HKEY	 key;

				if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
				{
					/* The stored value need not end with a terminator, and a
					 * failed read leaves the buffer as it was: a zeroed buffer
					 * one character longer than we let the registry fill keeps
					 * the text terminated in every case. Read wide where we
					 * can: the folder may be named outside the ANSI code page.
					 */
					if (Setup::enableUnicode)
					{
						wchar_t	 buffer[261];
						DWORD	 size = 260 * sizeof(wchar_t);

						memset(buffer, 0, sizeof(buffer));

						if (RegQueryValueExW(key, L"ProgramFilesDir", nullptr, nullptr, (BYTE *) buffer, &size) == ERROR_SUCCESS) folder = buffer;
					}
					else
					{
						char	 buffer[261];
						DWORD	 size = 260;

						memset(buffer, 0, sizeof(buffer));

						if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, (BYTE *) buffer, &size) == ERROR_SUCCESS) folder = String::Decode(buffer, "CP_ACP");
					}

					RegCloseKey(key);
				}

				if (folder == 0)
				{
					if (Setup::enableUnicode)
					{
						wchar_t	 buffer[261];

						memset(buffer, 0, sizeof(buffer));

						if (ExpandEnvironmentStringsW(L"%ProgramFiles%", buffer, 260) <= 260) folder = buffer;
					}
					else
					{
						char	 buffer[261];

						memset(buffer, 0, sizeof(buffer));

						if (ExpandEnvironmentStringsA("%ProgramFiles%", buffer, 260) <= 260) folder = String::Decode(buffer, "CP_ACP");
					}
				}

				if (folder.Length() == 0 || folder[folder.Length() - 1] != '\\') folder.Append("\\");

				return folder;
			}

			String CreateShellLink(const String &target, const String &link, const String &workingFolder) override
			{
				ComScope	 com;
				HRESULT		 result;

				/* The narrow interface is the one every system has; a name the
				 * ANSI code page cannot hold (Greek on a Western system, say)
				 * would come out as question marks there, so such shortcuts
				 * take the wide one.
				 */
				bool	 wide = Setup::enableUnicode && !(FitsCodePage(target) && FitsCodePage(link) && FitsCodePage(workingFolder));

				if (wide) result = SaveLink<IShellLinkW>(target.WideString(), workingFolder.WideString(), link);
				else	  result = SaveLink<IShellLinkA>(Narrow(target), Narrow(workingFolder), link);

				if (FAILED(result)) return ErrorText(result);

				return String();
			}

			String WriteUninstallEntry(const String &name, const Tolvane::UninstallEntry &entry) override
			{
				String	 path = Tolvane::UninstallEntryKey(name);
				HKEY	 key  = nullptr;
				LONG	 result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.Wide(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);

				if (result != ERROR_SUCCESS) return String("cannot register the program (").Append(System::System::GetErrorText(result)).Append(")");

				bool	 done = SetText(key, L"DisplayName", entry.displayName) && SetText(key, L"DisplayVersion", entry.displayVersion) &&
						SetText(key, L"Publisher", entry.publisher) && SetText(key, L"InstallLocation", entry.installLocation) &&
						SetText(key, L"UninstallString", entry.uninstallString) && SetText(key, L"QuietUninstallString", entry.quietUninstallString) &&
						SetText(key, L"DisplayIcon", entry.displayIcon) && SetText(key, L"InstallDate", entry.installDate) &&
						SetNumber(key, L"EstimatedSize", entry.estimatedSize) && SetNumber(key, L"NoModify", 1) && SetNumber(key, L"NoRepair", 1);

				RegCloseKey(key);

				return done ? String() : String("cannot write the program's registration");
			}

			bool DeleteUninstallEntry(const String &name) override
			{
				String	 path = Tolvane::UninstallEntryKey(name);

				return RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.Wide()) == ERROR_SUCCESS;
			}

			bool ReadUninstallEntry(const String &name, Tolvane::RegistrySnapshot &snapshot) override
			{
				return Tolvane::ReadUninstallEntrySnapshot(name, snapshot);
			}

			std::vector<Tolvane::FileInUse> FindFilesInUse(const std::vector<String> &paths) override
			{
				return Tolvane::FindFilesInUseOnSystem(paths);
			}

			std::vector<Tolvane::FileInUse> ClosePrograms(const std::vector<Tolvane::FileInUse> &uses, Int waitMs) override
			{
				return Tolvane::CloseProgramsOnSystem(uses, waitMs);
			}

			// Pending replacements go into the list the session manager works
			// through at the next start, in the order they were asked for.
			bool ReplaceAtRestart(const String &source, const String &destination) override
			{
				return MoveFileExW(source.Wide(), destination.Wide(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
			}

			bool DeleteAtRestart(const String &path) override
			{
				return MoveFileExW(path.Wide(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
			}

			bool RestoreUninstallEntry(const String &name, const Tolvane::RegistrySnapshot &snapshot) override
			{
				return Tolvane::RestoreUninstallEntrySnapshot(name, snapshot);
			}
	};
}

std::function<void(const std::string &)> Tolvane::KillHookFromEnvironment()
{
	wchar_t		 value[1024] = { 0 };
	DWORD		 length	     = GetEnvironmentVariableW(L"TOLVANE_KILL_AT", value, 1024);

	if (length == 0 || length >= 1024) return nullptr;

	std::string	 text  = String(value).ToUTF8();
	size_t		 mark  = text.rfind('#');
	long		 wanted = 1;

	/* At most nine digits: the count is a long without overflow, and
	 * nothing here throws.
	 */
	if (mark != std::string::npos && mark + 1 < text.size() && text.size() - mark - 1 <= 9 && text.find_first_not_of("0123456789", mark + 1) == std::string::npos)
	{
		wanted = std::stol(text.substr(mark + 1));
		text   = text.substr(0, mark);
	}

	auto	 seen = std::make_shared<long>(0);

	return [text, wanted, seen](const std::string &line)
	{
		if (line.find(text) != std::string::npos && ++*seen == wanted) TerminateProcess(GetCurrentProcess(), 9);
	};
}

Tolvane::SystemInterface &Tolvane::GetSystem()
{
	static WindowsSystem	 system;

	return system;
}
