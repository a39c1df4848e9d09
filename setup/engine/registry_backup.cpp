#include "registry_backup.h"

#include <cstring>
#include <cwctype>

using namespace smooth;

namespace
{
	const char *const FirstLine = "registry 1\n";
	const char *const Hex	    = "0123456789abcdef";

	std::string HexBytes(const std::string &bytes)
	{
		std::string	 text;

		for (unsigned char byte : bytes) text.append(1, Hex[byte >> 4]).append(1, Hex[byte & 15]);

		return text;
	}

	bool FromHex(const std::string &text, std::string &bytes)
	{
		if (text.size() % 2 != 0) return false;

		bytes.clear();

		for (size_t i = 0; i < text.size(); i += 2)
		{
			const char	*high = strchr(Hex, text[i]);
			const char	*low  = strchr(Hex, text[i + 1]);

			if (text[i] == 0 || text[i + 1] == 0 || high == nullptr || low == nullptr) return false;

			bytes.push_back(char((high - Hex) * 16 + (low - Hex)));
		}

		return true;
	}

	bool SameName(const String &a, const String &b)
	{
		if (a.Length() != b.Length()) return false;

		for (Int i = 0; i < a.Length(); i++) if (std::towupper(a[i]) != std::towupper(b[i])) return false;

		return true;
	}
}

String Tolvane::RegistrySnapshot::GetText(const String &name) const
{
	for (const RegistryValue &value : values)
	{
		if ((value.type != 1 && value.type != 2) || !SameName(value.name, name)) continue;

		std::wstring	 text;

		for (size_t i = 0; i + 1 < value.data.size(); i += 2) text.push_back(wchar_t((unsigned char) value.data[i] | ((unsigned char) value.data[i + 1] << 8)));

		while (!text.empty() && text.back() == 0) text.pop_back();

		return String(text.c_str());
	}

	return String();
}

/* One value per line: its name's UTF-8 bytes, its type and its data, the
 * bytes in hexadecimal so that nothing in them can end a line; the last
 * line counts the values, so that a cut file never passes for a whole one.
 */
std::string Tolvane::EncodeRegistrySnapshot(const RegistrySnapshot &snapshot)
{
	std::string	 bytes = FirstLine;

	bytes += snapshot.exists ? "exists\n" : "missing\n";

	for (const RegistryValue &value : snapshot.values)
	{
		bytes += HexBytes(value.name.ToUTF8()) + " " + std::to_string(value.type) + " " + HexBytes(value.data) + "\n";
	}

	return bytes + "end " + std::to_string(snapshot.values.size()) + "\n";
}

bool Tolvane::DecodeRegistrySnapshot(const std::string &bytes, RegistrySnapshot &snapshot)
{
	snapshot = RegistrySnapshot();

	std::vector<std::string>	 lines;

	for (size_t start = 0; start < bytes.size(); )
	{
		size_t	 end = bytes.find('\n', start);

		if (end == std::string::npos) return false;

		lines.push_back(bytes.substr(start, end - start));
		start = end + 1;
	}

	if (lines.size() < 3 || lines[0] + "\n" != FirstLine || (lines[1] != "exists" && lines[1] != "missing")) return false;
	if (lines.back() != "end " + std::to_string(lines.size() - 3)) return false;

	snapshot.exists = lines[1] == "exists";

	for (size_t i = 2; i + 1 < lines.size(); i++)
	{
		const std::string	&line  = lines[i];
		size_t			 space = line.find(' ');
		size_t			 next  = space == std::string::npos ? std::string::npos : line.find(' ', space + 1);
		RegistryValue		 value;
		std::string		 name;

		if (next == std::string::npos || !FromHex(line.substr(0, space), name) || !FromHex(line.substr(next + 1), value.data)) return false;

		std::string	 type = line.substr(space + 1, next - space - 1);

		if (type.empty() || type.size() > 10 || type.find_first_not_of("0123456789") != std::string::npos || std::stoull(type) > 0xFFFFFFFFull) return false;

		value.name = String::FromUTF8(name);
		value.type = UnsignedInt(std::stoul(type));

		snapshot.values.push_back(value);
	}

	/* Values without a key are not a state the registry can be in. */
	return snapshot.exists || snapshot.values.empty();
}
