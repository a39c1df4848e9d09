#include "layer_reboot.h"

#include "layer_text.h"
#include "page_text.h"
#include "wizard_model.h"

#include <windows.h>

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerReboot::LayerReboot(const Configuration &config, long *restartChoice) : Layer(String())
{
	EnableShutdownPrivilege();

	/* The text takes the place where other pages show the icon. */
	pageText	   = new Text(PageText(config.rebootText, config.appVersion), Point(9, 63));
	restartNowOption   = new OptionBox("Yes, restart the computer now!", Point(37, 92), LabelSize("Yes, restart the computer now!", 200), restartChoice, RESTART_NOW);
	restartLaterOption = new OptionBox("No, I will restart my computer later!", Point(37, 115), LabelSize("No, I will restart my computer later!", 200), restartChoice, RESTART_LATER);

	Add(pageText);
	Add(restartNowOption);
	Add(restartLaterOption);
}

Tolvane::LayerReboot::~LayerReboot()
{
	DeleteObject(pageText);
	DeleteObject(restartNowOption);
	DeleteObject(restartLaterOption);
}

void Tolvane::EnableShutdownPrivilege()
{
	OSVERSIONINFOA	 version;

	ZeroMemory(&version, sizeof(version));
	version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);

	if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return;

	HANDLE	 token = nullptr;

	/* Without a token there is nothing to adjust; the restart request may
	 * then be refused, which the navigation accepts silently.
	 */
	if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;

	TOKEN_PRIVILEGES privileges;

	ZeroMemory(&privileges, sizeof(privileges));

	BOOL	 found;

	if (Setup::enableUnicode) found = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
	else			  found = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);

	if (found)
	{
		privileges.PrivilegeCount	    = 1;
		privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

		AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
	}

	CloseHandle(token);
}
