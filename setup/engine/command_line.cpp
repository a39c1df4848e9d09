#include "command_line.h"

#include <cwctype>
#include <string>

using namespace smooth;

namespace
{
	bool StartsWithOption(const std::wstring &text, size_t at, const wchar_t *name)
	{
		for (size_t i = 0; name[i] != 0; i++)
		{
			if (at + i >= text.size() || towupper(text[at + i]) != towupper(name[i])) return false;
		}

		return true;
	}

	// Where an option of ours starts after position from (a blank, then '/'
	// and a known name), or npos.
	size_t NextOption(const std::wstring &text, size_t from)
	{
		for (size_t i = from; i + 1 < text.size(); i++)
		{
			if (text[i] != L' ' || text[i + 1] != L'/') continue;

			for (const wchar_t *name : { L"/S", L"/D=", L"/LOG=", L"/?", L"/ALLOWDOWNGRADE", L"/CLOSEAPPS", L"/P" })
			{
				size_t	 end = i + 1 + wcslen(name);

				if (StartsWithOption(text, i + 1, name) && (name[wcslen(name) - 1] == L'=' || end == text.size() || text[end] == L' ')) return i;
			}
		}

		return std::wstring::npos;
	}

	// One blank-separated token from at, quotes removed (a quoted part may
	// hold blanks). Moves at behind it.
	std::wstring Token(const std::wstring &text, size_t &at)
	{
		std::wstring	 token;
		bool		 quoted = false;

		for (; at < text.size() && (quoted || text[at] != L' '); at++)
		{
			if (text[at] == L'"') quoted = !quoted;
			else		      token += text[at];
		}

		return token;
	}
}

Tolvane::Options Tolvane::ParseOptions(const String &commandLine, bool allowTarget)
{
	Options		 options;
	std::wstring	 text = commandLine.WideString();
	size_t		 at   = 0;

	for (wchar_t &c : text) if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';

	while (true)
	{
		while (at < text.size() && text[at] == L' ') at++;

		if (at >= text.size()) break;

		/* /D= unquoted takes everything up to the next option of ours, or the
		 * end of the line: administrators write /D=C:\Program Files\X last.
		 */
		if (allowTarget && StartsWithOption(text, at, L"/D=") && at + 3 < text.size() && text[at + 3] != L'"')
		{
			size_t	 end = NextOption(text, at + 3);

			if (end == std::wstring::npos) end = text.size();

			std::wstring	 value = text.substr(at + 3, end - (at + 3));

			while (!value.empty() && value.back() == L' ') value.pop_back();

			/* Blanks alone name no folder: refused like "/D=" with nothing
			 * after it, not taken as an empty target.
			 */
			if (!value.empty())	     { options.target = String(value); options.hasTarget = true; }
			else if (options.refused == 0) options.refused = String("unknown option or option without a value: ").Append(String(text.substr(at, 3)));

			at = end;

			continue;
		}

		size_t		 start = at;
		std::wstring	 token = Token(text, at);
		std::wstring	 upper = token;

		for (wchar_t &c : upper) c = towupper(c);

		if	(upper == L"/S")				     options.silent = true;
		else if (upper == L"/?")				     options.help   = true;
		else if (allowTarget && upper == L"/CLOSEAPPS")		     options.closeApps = true;
		else if (upper == L"/P")				     options.passive = true;
		else if (upper.compare(0, 5, L"/LOG=") == 0 && token.size() > 5) options.logFile = String(token.substr(5));
		else if (allowTarget && upper == L"/ALLOWDOWNGRADE")		     options.allowDowngrade = true;
		else if (allowTarget && upper.compare(0, 3, L"/D=") == 0 && token.size() > 3) { options.target = String(token.substr(3)); options.hasTarget = true; }
		else if (options.refused == 0)
		{
			/* Refused, but read on: /S and /LOG= further along still decide
			 * whether the refusal goes to a message box or only to the log
			 * and the exit code.
			 */
			options.refused = String("unknown option or option without a value: ").Append(String(text.substr(start, at - start)));
		}
	}

	return options;
}

String Tolvane::OptionsHelp(bool setup)
{
	if (setup) return "setup [/S | /P] [/CLOSEAPPS] [/LOG=FILE] [/ALLOWDOWNGRADE] [/D=FOLDER]\n\n"
			  "/S\tinstall without any window: the default components, the\n\tproposed folder and the preset shortcuts\n"
			  "/P\tthe same, showing only the installation page\n"
			  "/CLOSEAPPS\twith /S or /P: ask programs that use files of the\n\tinstallation to close (waiting up to 30 seconds)\n"
			  "/LOG=FILE\twrite every step, path and failure to FILE (UTF-8)\n"
			  "/ALLOWDOWNGRADE\tinstall even when a newer version is installed\n"
			  "/D=FOLDER\tinstall into FOLDER; last on the line it may hold\n\tspaces unquoted, elsewhere quote it: /D=\"C:\\My Apps\\X\"\n\n"
			  "Exit codes: 0 done, 1 something failed and the installation was\ntaken back, 2 an option was refused, 3 no setup script, 4 the\nfolder holds another product, 5 a newer version is installed,\n6 the product is installed in another folder, 3010 done, but\nfiles in use are replaced when the computer restarts.";

	return "uninstall [/S | /P] [/LOG=FILE]\n\n"
	       "/S\tremove without a question or a report\n"
	       "/P\tthe same, showing only the removal's progress\n"
	       "/LOG=FILE\twrite every step, path and failure to FILE (UTF-8)\n\n"
	       "Exit codes: 0 done (the removal runs on in a temporary copy),\n2 an option was refused, 3 no uninstall script here, 3010 done,\nbut files in use are removed when the computer restarts.";
}
