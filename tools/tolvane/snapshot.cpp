#include "snapshot.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
	using namespace Tolvane::Tool;

	void AppendUTF8(std::string &text, unsigned long c)
	{
		if	(c < 0x80)    { text += char(c); }
		else if (c < 0x800)   { text += char(0xC0 | (c >> 6)); text += char(0x80 | (c & 0x3F)); }
		else if (c < 0x10000) { text += char(0xE0 | (c >> 12)); text += char(0x80 | ((c >> 6) & 0x3F)); text += char(0x80 | (c & 0x3F)); }
		else		      { text += char(0xF0 | (c >> 18)); text += char(0x80 | ((c >> 12) & 0x3F)); text += char(0x80 | ((c >> 6) & 0x3F)); text += char(0x80 | (c & 0x3F)); }
	}

	// Lower case of UTF-8 text, with separator (when not 0) for either slash.
	std::string Fold(const std::string &text, char separator)
	{
		std::string	 out;

		for (size_t i = 0; i < text.size(); )
		{
			unsigned char	 c = text[i];
			size_t		 length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
			unsigned long	 code = length == 1 ? c : c & (0x7F >> length);

			if (i + length > text.size()) length = 1, code = c;

			for (size_t j = 1; j < length; j++) code = (code << 6) | (text[i + j] & 0x3F);

			if (separator != 0 && (code == '/' || code == '\\')) code = (unsigned char) separator;

			AppendUTF8(out, code < 0x80 ? (unsigned long) tolower(int(code)) : (unsigned long) std::towlower(wint_t(code)));
			i += length;
		}

		return out;
	}

	std::vector<std::string> Steps(const std::string &text, char separator)
	{
		std::vector<std::string>	 steps;
		size_t				 from = 0;

		for (size_t end = text.find(separator); ; end = text.find(separator, from))
		{
			steps.push_back(text.substr(from, end == std::string::npos ? std::string::npos : end - from));

			if (end == std::string::npos) return steps;

			from = end + 1;
		}
	}

	bool Matches(const std::string &key, const std::vector<std::string> &patterns, char separator)
	{
		std::vector<std::string>	 have = Steps(key, separator);

		for (const std::string &pattern : patterns)
		{
			std::vector<std::string>	 want = Steps(pattern, separator);
			bool				 match = want.size() <= have.size();

			for (size_t i = 0; match && i < want.size(); i++) match = want[i] == "*" || want[i] == have[i];

			if (match) return true;
		}

		return false;
	}

	// A hive's escaped text up to its closing quote at *at (just after the
	// opening one); *at ends after the closing quote.
	std::string Unescape(const std::string &text, size_t *at, char close)
	{
		std::string	 out;
		size_t		 i = *at;

		for (; i < text.size() && text[i] != close; i++)
		{
			if (text[i] != '\\' || i + 1 >= text.size()) { out += text[i]; continue; }

			char	 c = text[++i];

			if	(c == 'n') out += '\n';
			else if (c == 'r') out += '\r';
			else if (c == 't') out += '\t';
			else if (c == '0') out += '\0';
			else if (c == 'x')
			{
				unsigned long	 code = 0;
				int		 digits = 0;

				while (digits < 4 && i + 1 < text.size() && isxdigit((unsigned char) text[i + 1])) code = code * 16 + std::stoul(std::string(1, text[++i]), nullptr, 16), digits++;

				AppendUTF8(out, code);
			}
			else out += c;
		}

		*at = i + 1;

		return out;
	}
}

std::string Tolvane::Tool::PathKey(const std::string &path)
{
	return Fold(path, '/');
}

bool Tolvane::Tool::IsIgnored(const std::string &path, const std::vector<std::string> &patterns)
{
	return Matches(path, patterns, '/');
}

void Tolvane::Tool::SnapshotTree(const std::string &root, const std::vector<std::string> &patterns, Snapshot *snapshot)
{
	std::error_code	 error;
	fs::path	 base = fs::u8path(root);

	for (fs::recursive_directory_iterator walk(base, fs::directory_options::skip_permission_denied, error), end; !error && walk != end; walk.increment(error))
	{
		SnapshotPath	 entry;
		std::error_code	 ignored;

		entry.name = walk->path().lexically_relative(base).generic_u8string();

		std::string	 key = PathKey(entry.name);

		if (IsIgnored(key, patterns))
		{
			if (walk->is_directory(ignored)) walk.disable_recursion_pending();

			continue;
		}

		entry.folder = walk->is_directory(ignored) && !walk->is_symlink(ignored);
		entry.size   = !entry.folder && walk->is_regular_file(ignored) ? uint64_t(walk->file_size(ignored)) : 0;

		snapshot->paths[key] = entry;
	}
}

bool Tolvane::Tool::HiveString(const std::string &value, std::string *text)
{
	size_t	 at = value.compare(0, 8, "str(2):\"") == 0 ? 8 : value.compare(0, 1, "\"") == 0 ? 1 : 0;

	if (at == 0) return false;

	*text = Unescape(value, &at, '"');

	return true;
}

void Tolvane::Tool::ReadHive(const std::string &text, const std::string &hive, const std::vector<std::string> &patterns, Snapshot *snapshot)
{
	SnapshotKey	*key = nullptr;
	size_t		 start = 0;

	while (start < text.size())
	{
		size_t		 end  = text.find('\n', start);
		std::string	 line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);

		start = end == std::string::npos ? text.size() : end + 1;

		if (!line.empty() && line.back() == '\r') line.pop_back();

		// A value's data may go on over lines ending in '\'.
		while (!line.empty() && line.back() == '\\' && line[0] != '[' && start < text.size())
		{
			size_t		 next = text.find('\n', start);
			std::string	 more = text.substr(start, next == std::string::npos ? std::string::npos : next - start);

			start = next == std::string::npos ? text.size() : next + 1;
			line.pop_back();
			line += more.substr(std::min(more.find_first_not_of(" \t"), more.size()));

			if (!line.empty() && line.back() == '\r') line.pop_back();
		}

		if (line.empty()) continue;

		if (line[0] == '[')
		{
			size_t		 at   = 1;
			std::string	 name = hive + "\\" + Unescape(line, &at, ']');
			std::string	 fold = Fold(name, 0);

			key = Matches(fold, patterns, '\\') ? nullptr : &snapshot->keys[fold];

			if (key != nullptr) key->name = name;

			continue;
		}

		if (key == nullptr || (line[0] != '"' && line[0] != '@')) continue;

		size_t		 at    = 1;
		std::string	 name  = line[0] == '@' ? std::string() : Unescape(line, &at, '"');

		if (at >= line.size() || line[at] != '=') continue;

		key->values[Fold(name, 0)] = line.substr(at + 1);
	}
}

Tolvane::Tool::SnapshotChanges Tolvane::Tool::CompareSnapshots(const Snapshot &before, const Snapshot &after)
{
	SnapshotChanges	 changes;

	for (const auto &path : after.paths)
	{
		auto	 was = before.paths.find(path.first);

		if	(was == before.paths.end())							   changes.addedPaths.push_back(path.second);
		else if (!path.second.folder && (was->second.folder || was->second.size != path.second.size)) changes.changedFiles.push_back(path.second);
	}

	for (const auto &path : before.paths) if (after.paths.count(path.first) == 0) changes.removedPaths.push_back(path.second);

	for (const auto &key : after.keys)
	{
		auto	 was = before.keys.find(key.first);

		if	(was == before.keys.end())		changes.addedKeys.push_back(key.second);
		else if (was->second.values != key.second.values) changes.changedKeys.push_back(key.second);
	}

	for (const auto &key : before.keys) if (after.keys.count(key.first) == 0) changes.removedKeys.push_back(key.second);

	return changes;
}
