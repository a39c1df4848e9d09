#include "q_uninstall.h"

#include "install_log.h"
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

	Options	 options = ParseOptions(szCmdLine, false);

	if (options.refused != 0)
	{
		InstallLog	 log;

		if (options.logFile != 0 && log.Open(options.logFile)) log.Write(String("FAILED ").Append(options.refused));
		if (!options.silent && !options.passive) GetUninstallSystem().ShowMessage(String(options.refused).Append("\n\n").Append(OptionsHelp(false)), " Uninstaller", BOX_OK, 32513);

		return EXIT_REFUSED;
	}

	if (options.help)
	{
		GetUninstallSystem().ShowMessage(OptionsHelp(false), " Uninstaller", BOX_OK, 32516);

		return EXIT_OK;
	}

	return RunFirstInstance(GetUninstallSystem(), options);
}

int Tolvane::RunUninstaller(void *instance, void *previousInstance, const wchar_t *commandLine, int showMode)
{
	return RunProgram(instance, previousInstance, commandLine, showMode, &Main);
}
