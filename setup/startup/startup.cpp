#include "startup.h"

#include <smooth/gui.h>

#include <windows.h>

using namespace smooth;
using namespace smooth::GUI;

bool Tolvane::CheckLibraryVersion(const String &version)
{
	if (version == "0.8.70.0") return true;

	Dialogs::QuickMessage	 message("This program might not be compatible with the smooth library\ninstalled on your system. Continue execution?", "Warning", MB_YESNO, 32514);

	return message.ShowDialog() != IDNO;
}

int Tolvane::RunProgram(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode, Int (*main)())
{
	/* Taken as the system has it, wide: folder and file names in any script
	 * reach the options as the user typed them. The ANSI copy of the line
	 * has a question mark for every character outside the code page.
	 */
	hInstance	= instance;
	hPrevInstance	= previousInstance;
	szCmdLine	= String(commandLine != nullptr ? commandLine : L"");
	iCmdShow	= showMode;

	Init();

	if (!CheckLibraryVersion(System::System::GetAPIVersion()))
	{
		Free();

		return -1;
	}

	Application::GetStartupDirectory();
	Application::GetApplicationDirectory();

	Int	 result = main();

	Free();

	return result;
}
