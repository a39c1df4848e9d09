// The uninstaller's program entry; the program itself is RunUninstaller.
#include "q_uninstall.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showMode)
{
	return Tolvane::RunUninstaller(instance, previousInstance, commandLine, showMode);
}
