#include "run_program.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace
{
	// posix_spawn's argument vector, pointing into texts.
	std::vector<char *> ArgumentVector(const std::vector<smooth::String> &arguments, std::vector<std::string> &texts)
	{
		std::vector<char *>	 argv;

		for (const smooth::String &argument : arguments) texts.push_back(argument.ToUTF8());
		for (std::string &text : texts) argv.push_back(&text[0]);

		argv.push_back(nullptr);

		return argv;
	}
}

bool Tolvane::Tool::RunProgram(const std::vector<smooth::String> &arguments, int *exitCode, std::string *error)
{
	if (arguments.empty()) { *error = "no program named"; return false; }

	std::vector<std::string>	 texts;
	std::vector<char *>		 argv = ArgumentVector(arguments, texts);

	pid_t	 pid	= 0;
	int	 result = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);

	if (result != 0) { *error = strerror(result); return false; }

	int	 status = 0;

	while (waitpid(pid, &status, 0) < 0)
	{
		if (errno != EINTR) { *error = strerror(errno); return false; }
	}

	*exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

	return true;
}

bool Tolvane::Tool::StartProgram(const std::vector<smooth::String> &arguments, const ProgramOptions &options, long *process, std::string *error)
{
	if (arguments.empty()) { *error = "no program named"; return false; }

	std::vector<std::string>	 texts;
	std::vector<char *>		 argv = ArgumentVector(arguments, texts);

	posix_spawn_file_actions_t	 actions;
	std::string			 folder = options.workingFolder.ToUTF8(), output = options.output.ToUTF8();

	posix_spawn_file_actions_init(&actions);

	if (!output.empty())
	{
		posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
		posix_spawn_file_actions_adddup2(&actions, 1, 2);
	}

	if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

	pid_t	 pid	= 0;
	int	 result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);

	posix_spawn_file_actions_destroy(&actions);

	if (result != 0) { *error = strerror(result); return false; }

	*process = long(pid);

	return true;
}

bool Tolvane::Tool::WaitProgram(long process, int milliseconds, int *exitCode)
{
	int		 status = 0;
	struct timespec	 step = { 0, 20 * 1000 * 1000 };

	for (int waited = 0; ; waited += 20)
	{
		pid_t	 done = waitpid(pid_t(process), &status, milliseconds < 0 ? 0 : WNOHANG);

		if (done < 0 && errno == EINTR) continue;
		if (done < 0) { *exitCode = 128; return true; }

		if (done == pid_t(process))
		{
			*exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

			return true;
		}

		if (waited >= milliseconds) return false;

		nanosleep(&step, nullptr);
	}
}

void Tolvane::Tool::StopProgram(long process)
{
	int	 code = 0;

	kill(pid_t(process), SIGKILL);
	WaitProgram(process, -1, &code);
}

void Tolvane::Tool::SetEnvironment(const std::string &name, const std::string &value)
{
	setenv(name.c_str(), value.c_str(), 1);
}
