#include "shell_link.h"

#include <cstdint>

namespace
{
	using namespace Tolvane::Tool;

	// The header's fixed size and class id; the flags that say which parts
	// follow it.
	const size_t		 HeaderSize = 0x4C;
	const unsigned char	 LinkClass[16] = { 0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 };

	enum : uint32_t { HasItemList = 0x01, HasLinkInfo = 0x02, HasName = 0x04, HasRelativePath = 0x08, HasWorkingFolder = 0x10, HasArguments = 0x20, HasIconLocation = 0x40, IsUnicode = 0x80 };

	// Every read is checked against the end of the part it belongs to, so a
	// size field pointing anywhere only ever gives Truncated.
	class Bytes
	{
		public:
			Bytes(const std::string &iText, size_t iBegin, size_t iEnd) : text(iText), begin(iBegin), end(iEnd) {}

			bool	 Has(size_t offset, size_t count) const	{ return offset <= end - begin && count <= end - begin - offset; }
			uint16_t U16(size_t offset) const		{ return uint16_t(Byte(offset) | Byte(offset + 1) << 8); }
			uint32_t U32(size_t offset) const		{ return uint32_t(U16(offset)) | uint32_t(U16(offset + 2)) << 16; }
			unsigned Byte(size_t offset) const		{ return (unsigned char) text[begin + offset]; }
			size_t	 Size() const				{ return end - begin; }
			Bytes	 Part(size_t offset, size_t count) const	{ return Bytes(text, begin + offset, begin + offset + count); }

			// A NUL-terminated string at offset, to the part's end at most;
			// false when no NUL ends it inside the part.
			bool	 Ansi(size_t offset, std::string *out) const;
			bool	 Wide(size_t offset, std::string *out) const;
		private:
			const std::string	&text;
			size_t			 begin, end;
	};

	void AppendUTF8(uint32_t c, std::string *out)
	{
		if	(c < 0x80)    *out += char(c);
		else if (c < 0x800)   *out += char(0xC0 | c >> 6), *out += char(0x80 | (c & 0x3F));
		else if (c < 0x10000) *out += char(0xE0 | c >> 12), *out += char(0x80 | (c >> 6 & 0x3F)), *out += char(0x80 | (c & 0x3F));
		else		      *out += char(0xF0 | c >> 18), *out += char(0x80 | (c >> 12 & 0x3F)), *out += char(0x80 | (c >> 6 & 0x3F)), *out += char(0x80 | (c & 0x3F));
	}

	// Windows-1252's row 0x80-0x9F; the rest of its upper half is Latin-1.
	void AppendAnsi(unsigned c, std::string *out)
	{
		static const uint16_t	 row[32] = { 0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
						     0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178 };

		AppendUTF8(c >= 0x80 && c < 0xA0 ? row[c - 0x80] : c, out);
	}

	// UTF-16 units to UTF-8; a surrogate without its partner becomes U+FFFD.
	void AppendWide(const std::u16string &units, std::string *out)
	{
		for (size_t i = 0; i < units.size(); i++)
		{
			uint32_t	 c = units[i];

			if	(c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
			else if (c >= 0xD800 && c < 0xE000)													       c = 0xFFFD;

			AppendUTF8(c, out);
		}
	}

	bool Bytes::Ansi(size_t offset, std::string *out) const
	{
		std::string	 text;

		for (size_t i = offset; Has(i, 1); i++)
		{
			if (Byte(i) == 0) { *out = text; return true; }

			AppendAnsi(Byte(i), &text);
		}

		return false;
	}

	bool Bytes::Wide(size_t offset, std::string *out) const
	{
		std::u16string	 units;

		for (size_t i = offset; Has(i, 2); i += 2)
		{
			if (U16(i) == 0) { out->clear(); AppendWide(units, out); return true; }

			units += char16_t(U16(i));
		}

		return false;
	}

	// One item of the item list as a step of a path: a drive ("C:\"), or a
	// folder's or file's name; false for any other item (the root, a network
	// place, ...), which gives no path.
	bool ItemName(const Bytes &item, bool *drive, std::string *name)
	{
		unsigned	 type = item.Byte(2);

		*drive = (type & 0x70) == 0x20;

		if (*drive) return item.Ansi(3, name);
		if ((type & 0x70) != 0x30 || !item.Has(14, 1)) return false;

		// The short name, then (after padding to an even offset) extension
		// blocks; the item's last two bytes give the first block's offset.
		// The block that carries the long name ends with it: UTF-16, its NUL,
		// then those two bytes.
		bool	 wide = (type & 0x04) != 0;

		if (!(wide ? item.Wide(14, name) : item.Ansi(14, name))) return false;

		size_t	 size  = item.Size();
		size_t	 block = item.U16(size - 2);

		if (size < 16 || block < 14 || block + 8 > size - 4 || item.U16(block) != size - block) return true;

		size_t	 start = size - 4;

		while (start >= block + 8 + 2 && item.U16(start - 2) != 0) start -= 2;

		if (start < size - 4) item.Wide(start, name);

		return true;
	}

	// The path the item list leads to; empty when it leads elsewhere.
	std::string ItemListPath(const Bytes &list)
	{
		std::string	 path;

		for (size_t at = 0; list.Has(at, 2) && list.U16(at) != 0; at += list.U16(at))
		{
			size_t		 size = list.U16(at);
			std::string	 name;
			bool		 drive = false;

			if (size < 3 || !list.Has(at, size)) return std::string();

			if (at == 0 && list.Byte(at + 2) == 0x1F) continue;	// the computer itself

			if (!ItemName(list.Part(at, size), &drive, &name) || drive != path.empty() || name.empty()) return std::string();

			path += (path.empty() || path.back() == '\\' ? "" : "\\") + name;
		}

		return path;
	}

	// The local path of the link information: UTF-16 where it has it, else
	// ANSI (then *doubtful: the code page may have changed letters). false when the part is
	// damaged; true with an empty path when it holds no local path.
	bool LinkInfoPath(const Bytes &info, std::string *path, bool *doubtful)
	{
		size_t	 header = info.U32(4);

		if (header < 0x1C || header > info.Size()) return false;

		size_t	 base = info.U32(16), suffix = info.U32(24);
		bool	 local = (info.U32(8) & 1) != 0;
		std::string	 first, second;

		if (!local) return true;

		if (header >= 0x24 && info.U32(28) != 0)
		{
			if (!info.Wide(info.U32(28), &first) || (info.U32(32) != 0 && !info.Wide(info.U32(32), &second))) return false;

			*path = first + second;

			return true;
		}

		if (!info.Ansi(base, &first) || (suffix != 0 && !info.Ansi(suffix, &second))) return false;

		/* The ANSI path is the name in the writer's code page, which may
		 * have put a look-alike in place of a letter it lacks ("Omega" for
		 * "Ωmega"): whole-looking text can still be the wrong name, so the
		 * item list's own names come first when there is one.
		 */
		*path	  = first + second;
		*doubtful = true;

		return true;
	}
}

Tolvane::Tool::ShellLinkStatus Tolvane::Tool::ReadShellLink(const std::string &text, ShellLink *link)
{
	Bytes	 bytes(text, 0, text.size());

	*link = ShellLink();

	if (!bytes.Has(0, HeaderSize) || bytes.U32(0) != HeaderSize) return bytes.Has(0, 4) && bytes.U32(0) == HeaderSize ? ShellLinkStatus::Truncated : ShellLinkStatus::NotALink;

	for (size_t i = 0; i < 16; i++) if (bytes.Byte(4 + i) != LinkClass[i]) return ShellLinkStatus::NotALink;

	uint32_t	 flags = bytes.U32(0x14);
	size_t		 at    = HeaderSize;
	std::string	 fromList, fromInfo;
	bool		 doubtful = false;

	if (flags & HasItemList)
	{
		if (!bytes.Has(at, 2) || !bytes.Has(at + 2, bytes.U16(at))) return ShellLinkStatus::Truncated;

		fromList = ItemListPath(bytes.Part(at + 2, bytes.U16(at)));
		at	+= 2 + bytes.U16(at);
	}

	if (flags & HasLinkInfo)
	{
		if (!bytes.Has(at, 4) || bytes.U32(at) < 0x1C || !bytes.Has(at, bytes.U32(at)) || !LinkInfoPath(bytes.Part(at, bytes.U32(at)), &fromInfo, &doubtful)) return ShellLinkStatus::Truncated;

		at += bytes.U32(at);
	}

	ShellLink	 found;
	std::string	*strings[] = { nullptr, nullptr, &found.workingFolder, &found.arguments, nullptr };
	uint32_t	 present[] = { HasName, HasRelativePath, HasWorkingFolder, HasArguments, HasIconLocation };
	size_t		 unit	   = (flags & IsUnicode) ? 2 : 1;

	for (size_t i = 0; i < 5; i++)
	{
		if (!(flags & present[i])) continue;

		if (!bytes.Has(at, 2) || !bytes.Has(at + 2, bytes.U16(at) * unit)) return ShellLinkStatus::Truncated;

		size_t		 count = bytes.U16(at);
		std::u16string	 units;
		std::string	 value;

		// Wine counts the string's NUL too; the text ends there.
		for (size_t c = 0, ended = false; c < count && !ended; c++)
		{
			unsigned	 code = unit == 2 ? bytes.U16(at + 2 + 2 * c) : bytes.Byte(at + 2 + c);

			if	(code == 0)  ended = true;
			else if (unit == 2)  units += char16_t(code);
			else		     AppendAnsi(code, &value);
		}

		if (unit == 2) AppendWide(units, &value);
		if (strings[i] != nullptr) *strings[i] = value;

		at += 2 + count * unit;
	}

	// Extra data blocks, each with its size, up to a block of less than four
	// bytes: a file that ends before that block was cut short.
	for (;;)
	{
		if (!bytes.Has(at, 4)) return ShellLinkStatus::Truncated;
		if (bytes.U32(at) < 4) break;
		if (!bytes.Has(at, bytes.U32(at))) return ShellLinkStatus::Truncated;

		at += bytes.U32(at);
	}

	found.target = fromInfo.empty() || (doubtful && !fromList.empty()) ? fromList : fromInfo;
	*link	     = found;

	return ShellLinkStatus::Ok;
}

const char *Tolvane::Tool::ShellLinkStatusText(ShellLinkStatus status)
{
	switch (status)
	{
		case ShellLinkStatus::Ok:	 return "a readable shell link";
		case ShellLinkStatus::NotALink:	 return "no shell link";
		case ShellLinkStatus::Truncated: return "a truncated shell link";
	}

	return "no shell link";
}
