#include "uninstaller.h"
#include "uninstall_script.h"

#include <smooth/gui.h>

#include "upgrade.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>

using namespace smooth;

namespace
{
	const char *const RunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

	// Writes name = command (REG_SZ, with its terminator) under root's
	// RunOnce key, creating the key where a user's hive has none yet.
	bool WriteValue(HKEY root, const String &name, const String &command)
	{
		HKEY	 key	= nullptr;
		bool	 done	= false;

		if (Setup::enableUnicode)
		{
			if (RegCreateKeyExW(root, String(RunOnceKey).Wide(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;

			done = RegSetValueExW(key, name.Wide(), 0, REG_SZ, (const BYTE *) command.Wide(), DWORD(command.Length() * 2 + 2)) == ERROR_SUCCESS;
		}
		else
		{
			std::string	 narrowName    = name.Encode("CP_ACP");
			std::string	 narrowCommand = command.Encode("CP_ACP");

			if (RegCreateKeyExA(root, RunOnceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;

			done = RegSetValueExA(key, narrowName.c_str(), 0, REG_SZ, (const BYTE *) narrowCommand.c_str(), DWORD(narrowCommand.size() + 1)) == ERROR_SUCCESS;
		}

		RegCloseKey(key);

		return done;
	}

	// Whether path is the file of a module this process has loaded.
	bool IsOwnModule(const String &path)
	{
		HANDLE	 modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
		bool	 own	 = false;

		if (modules == INVALID_HANDLE_VALUE) return false;

		MODULEENTRY32W	 module = {};

		module.dwSize = sizeof(module);

		for (BOOL next = Module32FirstW(modules, &module); next && !own; next = Module32NextW(modules, &module))
		{
			own = Tolvane::PathKey(String(module.szExePath)) == Tolvane::PathKey(path);
		}

		CloseHandle(modules);

		return own;
	}

	class WindowsUninstallSystem : public Tolvane::UninstallSystem
	{
		public:
			Int ShowMessage(const String &text, const String &caption, Int buttons, Int icon) override
			{
				GUI::Dialogs::QuickMessage	 message(text, caption, buttons, icon);

				return message.ShowDialog();
			}

			bool StartProgram(const String &program, const String &parameters, const String &folder) override
			{
				HINSTANCE	 result;

				if (Setup::enableUnicode) result = ShellExecuteW(nullptr, L"open", program.Wide(), parameters.Wide(), folder.Wide(), SW_SHOWNORMAL);
				else			  result = ShellExecuteA(nullptr, "open", program.Encode("CP_ACP").c_str(), parameters.Encode("CP_ACP").c_str(), folder.Encode("CP_ACP").c_str(), SW_SHOWNORMAL);

				return INT_PTR(result) > 32;
			}

			bool WriteRunOnce(const String &name, const String &command) override
			{
				/* The machine's list needs administrator rights; without them
				 * the user's own list still runs the clean-up at the next logon.
				 */
				return WriteValue(HKEY_LOCAL_MACHINE, name, command) || WriteValue(HKEY_CURRENT_USER, name, command);
			}

			void WaitForProcess(Int processId, Int milliseconds) override
			{
				HANDLE	 process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(processId));

				if (process == nullptr) return;

				WaitForSingleObject(process, DWORD(milliseconds));
				CloseHandle(process);
			}

			bool DeleteUninstallEntry(const String &name) override
			{
				String	 path = Tolvane::UninstallEntryKey(name);

				return RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.Wide()) == ERROR_SUCCESS;
			}

			String GetProgramFile() override
			{
				wchar_t	 path[32768] = { 0 };
				DWORD	 length = GetModuleFileNameW(nullptr, path, 32767);

				return length > 0 && length < 32767 ? String(path) : String();
			}

			bool SetWorkingFolder(const String &folder) override
			{
				return SetCurrentDirectoryW(folder.Wide()) != 0;
			}

			UnsignedInt GetTickCount() override	{ return ::GetTickCount(); }
			Int GetProcessId() override		{ return Int(GetCurrentProcessId()); }
			String GetTempDirectory() override	{ return System::System::GetTempDirectory(); }

			String GetWorkingFolder() override
			{
				wchar_t	 path[32768] = { 0 };
				DWORD	 length = GetCurrentDirectoryW(32767, path);

				return length > 0 && length < 32767 ? String(path) : String();
			}

			/* The first instance runs as the installed uninstaller, with the
			 * installation's platform library loaded: those are ours, and go
			 * only once we have ended.
			 */
			std::vector<Tolvane::FileInUse> FindFilesInUse(const std::vector<String> &paths) override
			{
				std::vector<String>	 others;

				for (const String &path : paths) if (!IsOwnModule(path)) others.push_back(path);

				return Tolvane::FindFilesInUseOnSystem(others);
			}

			bool DeleteAtRestart(const String &path) override
			{
				return MoveFileExW(path.Wide(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
			}

			/* The removal runs on the window's own thread: between its steps
			 * the window takes what is waiting for it, so it paints and moves.
			 */
			void ShowProgress(const String &title, const String &text, Int percent) override
			{
				if (window == nullptr)
				{
					GUI::Rect	 monitor = System::MultiMonitor::GetActiveMonitorMetrics();

					window = new GUI::Window(title, GUI::Point(std::max(0, int(monitor.right - monitor.left - 400) / 2), std::max(0, int(monitor.bottom - monitor.top - 130) / 2)), GUI::Size(400, 130));
					titlebar = new GUI::Titlebar(4);
					label	 = new GUI::Text(text, GUI::Point(12, 42));
					bar	 = new GUI::Progressbar(GUI::Point(12, 70), GUI::Size(370, 0), GUI::OR_HORZ, 2, 0, 100, 0);

					window->Add(titlebar);
					window->Add(label);
					window->Add(bar);
					window->doQuit.Connect(std::function<Bool()>([] { return Bool(false); }));
					window->Show();

					shownAt = System::System::GetTickCount();
				}

				bar->SetValue(percent);

				GUI::PumpMessagesUntil([] { return Bool(true); }, 0);
			}

			void EndProgress() override
			{
				if (window == nullptr) return;

				/* A small installation goes in a blink: the full bar stays in
				 * sight for a second at least, so the user sees it end.
				 */
				GUI::PumpMessagesUntil([this] { return Bool(System::System::GetTickCount() - shownAt >= 1000); }, 20);

				window->Hide();

				Object::DeleteObject(window);
				Object::DeleteObject(titlebar);
				Object::DeleteObject(label);
				Object::DeleteObject(bar);

				window = nullptr;
			}
		private:
			GUI::Window		*window	  = nullptr;
			UnsignedInt		 shownAt  = 0;
			GUI::Titlebar		*titlebar = nullptr;
			GUI::Text		*label	  = nullptr;
			GUI::Progressbar	*bar	  = nullptr;
		public:

			bool RestoreRegistration(const String &name, const Tolvane::RegistrySnapshot &snapshot) override
			{
				return Tolvane::RestoreUninstallEntrySnapshot(name, snapshot);
			}
	};
}

Tolvane::UninstallSystem &Tolvane::GetUninstallSystem()
{
	static WindowsUninstallSystem	 system;

	return system;
}
