// The installer's program entry; the program itself is RunInstaller.
#include "wizard.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showMode)
{
	return Tolvane::RunInstaller(instance, previousInstance, commandLine, showMode);
}
