#include "q_uninstall.h"

#include "startup.h"
#include "uninstaller.h"

using namespace smooth;

Tolvane::qUninstall::qUninstall() : Application(String())
{
	RunRemovalInstance(GetUninstallSystem(), szCmdLine);
}

Tolvane::qUninstall::~qUninstall()
{
}

Int Tolvane::Main()
{
	if (IsTempStart(szCmdLine))
	{
		qUninstall	*application = new qUninstall();

		/* No window holds the loop open: it only takes what the report's
		 * box left in the queue.
		 */
		application->Loop();

		Object::DeleteObject(application);

		return 0;
	}

	return RunFirstInstance(GetUninstallSystem());
}

int Tolvane::RunUninstaller(void *instance, void *previousInstance, const char *commandLine, int showMode)
{
	return RunProgram(instance, previousInstance, commandLine, showMode, &Main);
}
