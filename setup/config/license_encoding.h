// How a licence file's bytes become the licence page's text. A file that
// starts with a byte-order mark is read in the encoding the mark names
// (UTF-8, UTF-16 little or big endian); any other file is one byte, one
// character of the same code (0 to 255), as the page always showed it.
// Portable: the installer decodes with it and the publisher's checker finds
// with it the files that would show garbled.
#pragma once

#include <smooth.h>

#include <string>

namespace Tolvane
{
	// The UTF-8 byte-order mark.
	extern const char *const Utf8Mark;

	enum class LicenseEncoding
	{
		Bytes,		// no mark: each byte one character
		Utf8,		// EF BB BF
		Utf16LE,	// FF FE
		Utf16BE		// FE FF
	};

	// The encoding the first bytes announce, and in markLength how many bytes
	// the mark takes (0 for Bytes).
	LicenseEncoding	 LicenseEncodingOf(const std::string &bytes, size_t &markLength);

	// The text of a licence file's bytes, the mark left out. Never fails:
	// a malformed UTF-8 sequence, an unpaired surrogate and a last odd byte
	// of a UTF-16 file each become U+FFFD; characters beyond the basic plane
	// are kept whole (a surrogate pair where wide characters are 16 bits).
	// Line ends stay as stored.
	smooth::String	 DecodeLicenseText(const std::string &bytes);

	// Whether bytes have no mark and are valid UTF-8 throughout with at
	// least one character of more than one byte: the page would show each
	// of those bytes as a character of its own, and the mark in front would
	// make it show the text exactly. false for plain ASCII and for files in
	// a single-byte encoding such as Latin-1.
	bool		 IsUnmarkedUtf8(const std::string &bytes);
}
