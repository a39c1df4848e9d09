// Conversions between the String's wide text and narrow byte formats, shared
// by the files of the platform core (not part of the library's interface).
#pragma once

#include "smooth/definitions.h"

#include <string>

namespace smooth
{
	namespace Unicode
	{
		enum Format { FormatUTF8, FormatLatin1, FormatSystem };

		// The format of a known name (case-insensitive), or false.
		bool		 FormatByName(const char *name, Format &format);
		const char	*FormatName(Format format);

		// Appends the decoded bytes to text. Malformed UTF-8 yields U+FFFD for
		// each maximal invalid part; nothing is read outside [data, data + size).
		void		 Decode(const char *data, size_t size, Format format, std::wstring &text);
		// Appends the encoded text to bytes; characters the format cannot hold
		// become '?' (U+FFFD in UTF-8, for lone surrogates and invalid values).
		void		 Encode(const wchar_t *text, size_t size, Format format, std::string &bytes);
	}
}
