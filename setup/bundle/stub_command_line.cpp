#include "stub_command_line.h"

namespace Tolvane
{
	namespace
	{
		bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

		wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c; }

		// Whether the token [start, end), quotes left out, starts with
		// prefix (upper case).
		bool TokenStartsWith(const wchar_t *start, const wchar_t *end, const wchar_t *prefix)
		{
			const wchar_t *p = start;

			for (; *prefix != 0; prefix++, p++)
			{
				while (p < end && *p == L'"') p++;

				if (p == end || Upper(*p) != *prefix) return false;
			}

			return true;
		}

		// The unquoted token equals word (upper case).
		bool TokenIs(const wchar_t *start, const wchar_t *end, const wchar_t *word)
		{
			const wchar_t *p = start;

			for (;; p++)
			{
				while (p < end && *p == L'"') p++;

				if (p == end || *word == 0) return p == end && *word == 0;
				if (Upper(*p) != *word++) return false;
			}
		}
	}

	const wchar_t *CommandLineTail(const wchar_t *commandLine)
	{
		const wchar_t *p = commandLine;

		if (*p == L'"')
		{
			for (p++; *p != 0 && *p != L'"'; p++);

			if (*p == L'"') p++;
		}

		// Windows programs end an unquoted name (and what follows a quoted
		// one) at the first blank.
		while (*p != 0 && !IsBlank(*p)) p++;
		while (IsBlank(*p)) p++;

		return p;
	}

	StubOptions ParseStubTail(const wchar_t *tail, wchar_t *passOn, wchar_t *extractDir)
	{
		StubOptions options;
		wchar_t	   *out = passOn;

		*extractDir = 0;

		for (const wchar_t *p = tail; *p != 0;)
		{
			const wchar_t *blanks = p;

			while (IsBlank(*p)) p++;

			const wchar_t *start = p;
			bool	       quoted = false;

			for (; *p != 0 && (quoted || !IsBlank(*p)); p++)
				if (*p == L'"') quoted = !quoted;

			if (start == p)
			{
				// Blanks at the end of the line stay as they were given.
				for (const wchar_t *b = blanks; b < p; b++) *out++ = *b;

				break;
			}

			if (TokenIs(start, p, L"/S")) options.silent = true;

			if (!TokenStartsWith(start, p, L"/EXTRACTDIR="))
			{
				for (const wchar_t *c = blanks; c < p; c++) *out++ = *c;

				continue;
			}

			// The value: the token after the option's name, quotes removed.
			wchar_t	      *value = extractDir;
			const wchar_t *c     = start;

			for (int name = 0; name < 12; c++)
				if (*c != L'"') name++;

			for (; c < p; c++)
				if (*c != L'"') *value++ = *c;

			*value = 0;

			options.hasExtractDir	= true;
			options.emptyExtractDir = value == extractDir;

			// The blanks before it go with it, so no blank is doubled; when
			// nothing was passed on yet, those after it go instead.
			if (out == passOn)
				while (IsBlank(*p)) p++;
		}

		*out = 0;

		return options;
	}
}
