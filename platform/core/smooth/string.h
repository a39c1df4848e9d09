// smooth::String, the text type used for every text, path and XML value.
#pragma once

#include "definitions.h"

#include <string>

namespace smooth
{
	// Text is held as wide characters (UTF-16 code units on Windows, UTF-32
	// elsewhere). Narrow text entering the class is decoded with the current
	// input format of the calling thread; narrow views are encoded with the
	// current output format. Known formats: "UTF-8", "ISO-8859-1" (and on
	// Windows "CP_ACP", the system's ANSI code page). Both default to "UTF-8".
	class SMOOTH_API String
	{
		public:
					 String();
					 String(const char *text);		// null: empty
					 String(const wchar_t *text);		// null: empty
					 String(const std::wstring &text);
					 String(const String &other);
					 String(String &&other) noexcept;
					~String();

			String		&operator =(const String &other);
			String		&operator =(String &&other) noexcept;

			// Sets the format used to decode narrow text (constructors, InputString
			// of streams) and returns the previous one. Unknown names are refused
			// (the format stays) and null is returned.
			static const char *SetInputFormat(const char *format);
			static const char *GetInputFormat();
			// Sets the format of narrow views and OutputString; returns the previous.
			static const char *SetOutputFormat(const char *format);
			static const char *GetOutputFormat();

			Int		 Length() const;

			// Character n; the non-const form grows the text with zeros when n is at
			// or beyond the end, so a text can be filled character by character.
			// A negative n yields a reference to a scratch character.
			wchar_t		&operator [](Int n);
			wchar_t		 operator [](Int n) const;

			String		&Append(const String &text);
			String		&operator +=(const String &text) { return Append(text); }
			String		 operator +(const String &text) const;

			// Replaces every occurrence of what (non-empty) with with; returns *this.
			String		&Replace(const String &what, const String &with);

			// Decimal conversions. ToInt reads an optional sign and the leading
			// digits and stops at the first other character (0 when there are none).
			static String	 FromInt(Int64 value);
			Int64		 ToInt() const;

			// 0 when equal; otherwise the sign of the first differing character.
			Int		 Compare(const String &other) const;

			Bool		 operator ==(const String &other) const;
			Bool		 operator ==(const char *other) const;		// null counts as empty
			Bool		 operator ==(const wchar_t *other) const;	// null counts as empty
			Bool		 operator ==(int zero) const;			// emptiness test: s == 0
			Bool		 operator !=(const String &other) const	{ return !(*this == other); }
			Bool		 operator !=(const char *other) const	{ return !(*this == other); }
			Bool		 operator !=(const wchar_t *other) const	{ return !(*this == other); }
			Bool		 operator !=(int zero) const		{ return !(*this == zero); }
			Bool		 operator <(const String &other) const	{ return Compare(other) < 0; }

			Bool		 StartsWith(const String &text) const;
			Bool		 EndsWith(const String &text) const;
			// Index of the first occurrence at or after start, or -1.
			Int		 Find(const String &text, Int start = 0) const;
			// Index of the last occurrence, or -1.
			Int		 FindLast(const String &text) const;
			// Characters [start, start + count), clipped to the text.
			String		 SubString(Int start, Int count) const;
			String		 Head(Int count) const	{ return SubString(0, count); }
			String		 Tail(Int count) const	{ return SubString(Length() - count, count); }

			// Standard CRC-32 (reflected, polynomial 0xEDB88320) of the text's UTF-8 bytes.
			UnsignedInt	 ComputeCRC32() const;

			// Views. Wide() is valid until the text changes. Narrow() and the UTF-8
			// view are encoded on each call; characters the output format cannot
			// hold become '?'.
			const wchar_t	*Wide() const;
			const std::wstring &WideString() const	{ return text; }
			std::string	 Narrow() const;				// in the current output format
			std::string	 Encode(const char *format) const;		// in the given format
			std::string	 ToUTF8() const;
			static String	 FromUTF8(const std::string &bytes);
			static String	 Decode(const std::string &bytes, const char *format);
		private:
			std::wstring	 text;
	};

	SMOOTH_API String operator +(const char *a, const String &b);
	// The program's command line (arguments only), set by the program entry.
	extern SMOOTH_API String szCmdLine;
	SMOOTH_API String operator +(const wchar_t *a, const String &b);
}
