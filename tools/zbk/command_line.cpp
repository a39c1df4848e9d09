#include "command_line.h"

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		bool Parse(const std::vector<String> &arguments, const std::vector<const char *> &allowed, CommandLine &line, Console &console)
		{
			bool options = true;

			for (size_t i = 1; i < arguments.size(); i++)
			{
				const String &argument = arguments[i];

				if (options && (argument == "--help" || argument == "-h")) { line.help = true; continue; }
				if (options && argument == "--") { options = false; continue; }

				if (options && argument.Length() > 1 && argument[0] == L'-')
				{
					bool known = std::any_of(allowed.begin(), allowed.end(), [&](const char *option) { return argument == option; });

					if (!known)			{ UsageError(console, String(line.command).Append(": unknown option ").Append(argument)); return false; }
					if (i + 1 >= arguments.size())	{ UsageError(console, String(line.command).Append(": ").Append(argument).Append(" needs a value")); return false; }

					if (argument == "-C")		{ line.folder = arguments[++i]; line.haveFolder = true; }
					else if (argument == "--jobs")
					{
						const String &value = arguments[++i];
						std::string   digits = value.ToUTF8();

						// Digits only, 1 to 9999: a count of threads, not a number the
						// platform may read partly or as something else.
						if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos || atoi(digits.c_str()) < 1)
						{
							UsageError(console, String(line.command).Append(": --jobs needs a whole number from 1 to 9999, not \"").Append(value).Append("\""));

							return false;
						}

						line.jobs = atoi(digits.c_str());
					}
					else				{ line.as     = arguments[++i]; line.haveAs	= true; }

					continue;
				}

				line.positional.push_back(argument);
			}

			return true;
		}

		bool RelativeName(const String &path, String &name)
		{
			std::wstring text = path.WideString();

			std::replace(text.begin(), text.end(), L'\\', L'/');

			if (!text.empty() && text[0] == L'/') return false;
			if (text.size() >= 2 && text[1] == L':') return false;

			std::wstring result;
			size_t	     start = 0;

			while (start <= text.size())
			{
				size_t	     end       = text.find(L'/', start);
				if (end == std::wstring::npos) end = text.size();
				std::wstring component = text.substr(start, end - start);

				if (component == L"..") return false;

				if (!component.empty() && component != L".")
				{
					if (!result.empty()) result += L'/';
					result += component;
				}

				start = end + 1;
			}

			name = String(result);

			return true;
		}
	}
}
