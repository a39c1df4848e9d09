#include "run_program.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <process.h>

namespace
{
	// The C runtime joins the arguments into one command line with spaces
	// and nothing else; the started program splits it again by the usual
	// rules, so each argument is quoted for them: backslashes are doubled
	// only in front of a quote, which is escaped.
	std::wstring Quote(const std::wstring &argument)
	{
		if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;

		std::wstring	 quoted = L"\"";
		size_t		 slashes = 0;

		for (wchar_t c : argument)
		{
			if (c == L'\\') { slashes++; continue; }

			quoted.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
			quoted += c;
			slashes = 0;
		}

		quoted.append(2 * slashes, L'\\');

		return quoted + L"\"";
	}
}

bool Tolvane::Tool::RunProgram(const std::vector<smooth::String> &arguments, int *exitCode, std::string *error)
{
	if (arguments.empty()) { *error = "no program named"; return false; }

	std::vector<std::wstring>	 texts;
	std::vector<const wchar_t *>	 argv;

	for (const smooth::String &argument : arguments) texts.push_back(Quote(argument.WideString()));
	for (const std::wstring &text : texts) argv.push_back(text.c_str());

	argv.push_back(nullptr);

	intptr_t	 result = _wspawnvp(_P_WAIT, arguments[0].WideString().c_str(), argv.data());

	if (result == -1) { *error = strerror(errno); return false; }

	*exitCode = int(result);

	return true;
}

// `tolvane test` drives Wine from linux; on Windows nothing is started in
// the background.
bool Tolvane::Tool::StartProgram(const std::vector<smooth::String> &, const ProgramOptions &, long *, std::string *error)
{
	*error = "not available on Windows";

	return false;
}

bool Tolvane::Tool::WaitProgram(long, int, int *exitCode)
{
	*exitCode = 128;

	return true;
}

void Tolvane::Tool::StopProgram(long)
{
}

void Tolvane::Tool::SetEnvironment(const std::string &name, const std::string &value)
{
	_wputenv_s(smooth::String::FromUTF8(name.c_str()).WideString().c_str(), smooth::String::FromUTF8(value.c_str()).WideString().c_str());
}
