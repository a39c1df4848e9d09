// The installer's program entry; the program itself is RunInstaller.
#include "wizard.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showMode)
{
	return Tolvane::RunInstaller(instance, previousInstance, commandLine, showMode);
}
