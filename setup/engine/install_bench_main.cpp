// engine_bench TARGET_FOLDER: the installation run without the wizard, for
// bench/install.sh. Reads setup.xml from the working folder, marks every
// component, creates no shortcuts, installs into TARGET_FOLDER and prints
// the failures and the process's peak working set. Exit code 0 only when
// nothing failed.
#include "install_run.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace
{
	// The bench only needs the bars to be driven, not shown.
	class LastValue : public Tolvane::ProgressBar
	{
		public:
			void		 SetValue(smooth::Int percent) override { value = percent; }

			smooth::Int	 value = 0;
	};
}

int wmain(int argc, wchar_t **argv)
{
	if (argc != 2)
	{
		fprintf(stderr, "usage: engine_bench TARGET_FOLDER (in a folder with setup.xml and its archives)\n");

		return 2;
	}

	smooth::Init();

	int	 result = 0;
	{
		Tolvane::Configuration	 config;
		Tolvane::InstallChoices	 choices;

		config.Load();

		choices.targetFolder = smooth::String(argv[1]);
		choices.selected.assign(size_t(config.components.Length()), true);

		LastValue		 fileBar;
		LastValue		 totalBar;
		Tolvane::InstallRun	 run(config, choices, Tolvane::GetSystem(), fileBar, totalBar);

		run.Run();

		const std::vector<Tolvane::InstallFailure> &failures = run.GetFailures();

		printf("components: %d, failures: %u, total bar: %d\n", int(config.components.Length()), unsigned(failures.size()), int(totalBar.value));

		for (size_t i = 0; i < failures.size() && i < 5; i++) printf("  %s: %s\n", failures[i].path.ToUTF8().c_str(), failures[i].cause.ToUTF8().c_str());

		/* A missing or unreadable setup.xml loads as a script without
		 * components, and a run of nothing would time as a fast success.
		 */
		if (config.components.Length() == 0) fprintf(stderr, "engine_bench: setup.xml has no components\n");

		result = failures.empty() && config.components.Length() > 0 ? 0 : 1;
	}

	// Wine's launcher is all an outside timer sees, so the peak is read here.
	PROCESS_MEMORY_COUNTERS	 counters = {};

	counters.cb = sizeof(counters);

	if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) printf("peak working set: %llu KiB\n", (unsigned long long) (counters.PeakWorkingSetSize / 1024));

	fflush(stdout);
	smooth::Free();

	return result;
}
