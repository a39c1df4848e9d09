#include "run_program.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

bool Tolvane::Tool::RunProgram(const std::vector<smooth::String> &arguments, int *exitCode, std::string *error)
{
	if (arguments.empty()) { *error = "no program named"; return false; }

	std::vector<std::string>	 texts;
	std::vector<char *>		 argv;

	for (const smooth::String &argument : arguments) texts.push_back(argument.ToUTF8());
	for (std::string &text : texts) argv.push_back(&text[0]);

	argv.push_back(nullptr);

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
