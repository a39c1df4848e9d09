// tolvane on linux: arguments arrive as UTF-8 bytes.
#include "tool.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
	smooth::Init();

	std::vector<smooth::String> arguments;

	for (int i = 1; i < argc; i++) arguments.push_back(smooth::String::FromUTF8(argv[i]));

	Tolvane::Tool::Console console;

	console.out = [](const std::string &text) { fwrite(text.data(), 1, text.size(), stdout); };
	console.err = [](const std::string &text) { fwrite(text.data(), 1, text.size(), stderr); };
	console.progress = isatty(2) != 0;

	int result = Tolvane::Tool::RunTool(arguments, console);

	fflush(stdout);
	smooth::Free();

	return result;
}
