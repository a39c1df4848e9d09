// tolvane on Windows: wide arguments (linked with -municode), so folder
// names outside the ANSI code page reach the tool intact. Output is UTF-8.
#include "tool.h"

#include <cstdio>
#include <io.h>

int wmain(int argc, wchar_t **argv)
{
	smooth::Init();

	std::vector<smooth::String> arguments;

	for (int i = 1; i < argc; i++) arguments.push_back(smooth::String(argv[i]));

	Tolvane::Tool::Console console;

	console.out = [](const std::string &text) { fwrite(text.data(), 1, text.size(), stdout); };
	console.err = [](const std::string &text) { fwrite(text.data(), 1, text.size(), stderr); };
	console.progress = _isatty(2) != 0;

	int result = Tolvane::Tool::RunTool(arguments, console);

	fflush(stdout);
	smooth::Free();

	return result;
}
