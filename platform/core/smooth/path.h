// smooth::Path: separators and joining of paths and of archive entry names.
#pragma once

#include "string.h"

namespace smooth
{
	namespace Path
	{
		// '/' or '\': what separates the components of an entry name, and of
		// a path as people type it, on every system.
		SMOOTH_API Bool	 IsSeparator(wchar_t c);

		// What separates the components of a native path: '/' everywhere and
		// '\' too on Windows (on other systems '\' is an ordinary character
		// of a file name).
		SMOOTH_API Bool	 IsNativeSeparator(wchar_t c);

		// true when text ends with '/' or '\' (IsSeparator); false for "".
		SMOOTH_API Bool	 EndsWithSeparator(const String &text);

		// Position of the last '/' or '\' in text (IsSeparator), -1 when none.
		SMOOTH_API Int	 LastSeparator(const String &text);

		// Position of the last native separator in path, -1 when none.
		SMOOTH_API Int	 LastNativeSeparator(const String &path);

		// folder and name with one native separator between them: none is
		// added when folder already ends with a native separator; name alone
		// when folder is empty, folder alone when name is empty.
		SMOOTH_API String Join(const String &folder, const String &name);
	}
}
