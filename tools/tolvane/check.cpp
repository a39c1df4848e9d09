#include "check.h"
#include "build.h"

#include <archive.h>
#include <configuration.h>
#include <installed_layout.h>
#include <license_encoding.h>
#include <script_layout.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <exception>
#include <map>
#include <set>

namespace
{
	using namespace smooth;
	using namespace Tolvane::Tool;

	namespace ScriptLayout = Tolvane::ScriptLayout;
	namespace Installed = Tolvane::Layout;

	const char	*ScriptName = ScriptLayout::FileName;

	// "a, b, c" of the names in a layout table, for messages.
	template <typename Table, typename Name> std::string NameList(const Table &table, Name name)
	{
		std::string	 list;

		for (const auto &entry : table) list += (list.empty() ? "" : ", ") + std::string(name(entry));

		return list;
	}

	std::string SectionOrder()	{ return NameList(ScriptLayout::Sections, [](const char *section) { return section; }); }
	std::string DialogIds()		{ return NameList(ScriptLayout::Dialogs, [](const ScriptLayout::Dialog &dialog) { return dialog.id; }); }

	const char	*fontAttributes[] = { "font", "size", "color", "weight", "italic", "underline" };

	std::string Quote(const std::string &text)	{ return "'" + text + "'"; }

	// An element's content as the loader takes it: its own text and CDATA.
	std::string Content(pugi::xml_node node)
	{
		std::string text;

		for (pugi::xml_node child : node.children()) if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();

		return text;
	}
	std::string Tag(const char *name)		{ return std::string("<") + name + ">"; }

	bool IsBlank(const char *text)
	{
		for (; *text != 0; text++) if (!strchr(" \t\r\n", *text)) return false;

		return true;
	}

	void AppendUTF8(std::string &text, unsigned long c)
	{
		if	(c < 0x80)    { text += char(c); }
		else if (c < 0x800)   { text += char(0xC0 | (c >> 6));	text += char(0x80 | (c & 0x3F)); }
		else if (c < 0x10000) { text += char(0xE0 | (c >> 12)); text += char(0x80 | ((c >> 6) & 0x3F)); text += char(0x80 | (c & 0x3F)); }
		else		      { text += char(0xF0 | (c >> 18)); text += char(0x80 | ((c >> 12) & 0x3F)); text += char(0x80 | ((c >> 6) & 0x3F)); text += char(0x80 | (c & 0x3F)); }
	}

	/* The parser reports offsets into its own UTF-8 copy of the file. For
	 * the line and column of an offset we need that copy untouched (the
	 * parse changes it in place), so a script in another encoding is
	 * converted here the way the parser converts it: every code unit,
	 * byte-order mark included, invalid UTF-16 units skipped.
	 */
	std::string ParserText(const std::string &bytes, pugi::xml_encoding encoding)
	{
		const unsigned char	*data = reinterpret_cast<const unsigned char *>(bytes.data());
		size_t			 size = bytes.size();
		std::string		 text;

		switch (encoding)
		{
			case pugi::encoding_utf16_le:
			case pugi::encoding_utf16_be:
			{
				bool	 le = encoding == pugi::encoding_utf16_le;
				auto	 unit = [&](size_t i) { return le ? unsigned(data[i] | data[i + 1] << 8) : unsigned(data[i] << 8 | data[i + 1]); };

				for (size_t i = 0; i + 1 < size; i += 2)
				{
					unsigned lead = unit(i);

					if (lead < 0xD800 || lead > 0xDFFF) { AppendUTF8(text, lead); continue; }

					if (lead <= 0xDBFF && i + 3 < size)
					{
						unsigned next = unit(i + 2);

						if (next >= 0xDC00 && next <= 0xDFFF) { AppendUTF8(text, 0x10000 + ((lead & 0x3FF) << 10) + (next & 0x3FF)); i += 2; }
					}
				}

				return text;
			}
			case pugi::encoding_utf32_le:
			case pugi::encoding_utf32_be:
				for (size_t i = 0; i + 3 < size; i += 4)
				{
					unsigned long c = encoding == pugi::encoding_utf32_le ? (data[i] | data[i + 1] << 8 | data[i + 2] << 16 | (unsigned long) data[i + 3] << 24)
											      : ((unsigned long) data[i] << 24 | data[i + 1] << 16 | data[i + 2] << 8 | data[i + 3]);

					AppendUTF8(text, c);
				}

				return text;
			case pugi::encoding_latin1:
				for (size_t i = 0; i < size; i++) AppendUTF8(text, data[i]);

				return text;
			default:
				return bytes;
		}
	}

	// Line and column of offsets into the parser's text.
	class SourceMap
	{
		public:
			void Set(const std::string &parserText)
			{
				text = parserText;
				lineStarts.assign(1, 0);

				for (size_t i = 0; i < text.size(); i++)
				{
					// "\r\n", "\n" and a lone "\r" each end a line.
					if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) lineStarts.push_back(i + 1);
				}
			}

			void Position(size_t offset, int &line, int &column) const
			{
				offset	   = std::min(offset, text.size());
				size_t	 n = size_t(std::upper_bound(lineStarts.begin(), lineStarts.end(), offset) - lineStarts.begin()) - 1;
				size_t	 start = lineStarts[n];

				// Columns count characters; a byte-order mark is none.
				if (n == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0 && offset >= 3) start = 3;

				column = 1;

				for (size_t i = start; i < offset; i++) if ((text[i] & 0xC0) != 0x80) column++;

				line = int(n + 1);
			}

			// Where token stands in the file, searching from offset; offset when
			// it is not found (an entity inside the token, say).
			size_t Find(const std::string &token, size_t offset) const
			{
				size_t	 at = text.find(token, offset);

				return at != std::string::npos ? at : offset;
			}
		private:
			std::string		 text;
			std::vector<size_t>	 lineStarts;
	};

	// Names compare as Windows compares file names: either separator, any
	// case, "." steps ignored and ".." steps taken.
	std::wstring Fold(const std::wstring &text)
	{
		std::wstring folded = text;

		for (wchar_t &c : folded) c = wchar_t(towupper(wint_t(c)));

		return folded;
	}

	std::vector<std::wstring> Steps(const String &name)
	{
		std::vector<std::wstring> steps;
		std::wstring		  step;

		for (wchar_t c : name.WideString())
		{
			if (!Path::IsSeparator(c)) { step += c; continue; }

			if (!step.empty()) steps.push_back(step);

			step.clear();
		}

		if (!step.empty()) steps.push_back(step);

		return steps;
	}

	std::wstring PathKey(const String &name)
	{
		std::vector<std::wstring> kept;

		for (const std::wstring &step : Steps(name))
		{
			if	(step == L".") continue;
			else if (step == L".." && !kept.empty() && kept.back() != L"..") kept.pop_back();
			else	kept.push_back(Fold(step));
		}

		std::wstring key;

		for (const std::wstring &step : kept) key += (key.empty() ? L"" : L"/") + step;

		return key;
	}

	/* The installer opens names from its working folder on Windows, where
	 * letters match in any case; the publisher may check on a system where
	 * they do not. So a step that is not there as written is looked for
	 * among the folder's names. true, with the native path, when found.
	 */
	bool Locate(const String &dir, const String &name, bool folder, String &path)
	{
		std::vector<std::wstring> steps = Steps(name);

		if (steps.empty()) return false;

		path = dir;

		for (size_t i = 0; i < steps.size(); i++)
		{
			bool	 last	 = i + 1 == steps.size();
			bool	 wanted	 = last && !folder;
			String	 exact	 = Path::Join(path, String(steps[i]));

			if (steps[i] == L"." || steps[i] == L".." || (wanted ? File(exact).Exists() : Directory(exact).Exists())) { path = exact; continue; }

			std::vector<String> names = wanted ? Directory(path).GetFiles() : Directory(path).GetDirectories();
			auto		    match = std::find_if(names.begin(), names.end(), [&](const String &n) { return Fold(n.WideString()) == Fold(steps[i]); });

			if (match == names.end()) return false;

			path = Path::Join(path, *match);
		}

		return folder ? Directory(path).Exists() : File(path).Exists();
	}

	// Every file below folder, as '/' names relative to it.
	void ListFiles(const String &folder, const String &prefix, std::vector<String> &names)
	{
		for (const String &name : Directory(folder).GetFiles()) names.push_back(String(prefix).Append(name));

		for (const String &name : Directory(folder).GetDirectories()) ListFiles(Path::Join(folder, name), String(prefix).Append(name).Append("/"), names);
	}

	// Levenshtein distance with transpositions, for telling a misspelt
	// placeholder from an ordinary word.
	size_t Distance(const std::string &a, const std::string &b)
	{
		std::vector<std::vector<size_t> > d(a.size() + 1, std::vector<size_t>(b.size() + 1));

		for (size_t i = 0; i <= a.size(); i++) d[i][0] = i;
		for (size_t j = 0; j <= b.size(); j++) d[0][j] = j;

		for (size_t i = 1; i <= a.size(); i++)
		{
			for (size_t j = 1; j <= b.size(); j++)
			{
				d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1) });

				if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
			}
		}

		return d[a.size()][b.size()];
	}

	bool LooksLikeVersion(const std::string &word)
	{
		std::string upper = word;

		for (char &c : upper) c = char(toupper((unsigned char) c));

		return upper.size() >= 5 && upper.size() <= 9 && Distance(upper, "VERSION") <= 2;
	}

	// What a link needs to know of a component: its id, and whether the
	// loader made it required.
	struct ComponentInfo
	{
		pugi::xml_node	 node;
		std::string	 id;
		Int		 mode = Tolvane::COMPONENT_OPTIONAL;
	};

	class Checker
	{
		public:
			Checker(const String &dir, const CheckOptions &options) : dir(dir), options(options) {}

			std::vector<Diagnostic> Run();
		private:
			const String		&dir;
			const CheckOptions	&options;
			Tolvane::Configuration	 config;
			SourceMap		 source;
			const char		*base = nullptr;	// start of the parser's buffer
			std::vector<Diagnostic>	 found;

			std::vector<ComponentInfo> components;
			// Installed path (PathKey) -> indices of the components installing
			// it; -1 for what every installation writes.
			std::map<std::wstring, std::set<int> > installed;

			void	 Report(Diagnostic::Severity severity, size_t offset, const std::string &message);
			size_t	 At(const char *pointer) const	{ return base != nullptr && pointer >= base ? size_t(pointer - base) : 0; }
			size_t	 At(pugi::xml_node node) const	{ return node.type() == pugi::node_element ? At(node.name()) - 1 : At(node.value()); }
			size_t	 At(pugi::xml_attribute a) const { return At(a.name()); }
			void	 Error(size_t offset, const std::string &message)	{ Report(Diagnostic::Error, offset, message); }
			void	 Warning(size_t offset, const std::string &message)	{ Report(Diagnostic::Warning, offset, message); }

			void	 CheckAttributes(pugi::xml_node node, std::initializer_list<const char *> known, const char *substituted = nullptr);
			void	 CheckBoolean(pugi::xml_attribute attribute);
			void	 CheckNumber(pugi::xml_attribute attribute);
			void	 CheckContainer(pugi::xml_node node);
			void	 CheckText(pugi::xml_node node, bool substituted);
			void	 CheckPlaceholders(const char *text, size_t offset, const std::string &where, bool substituted);
			void	 CheckFile(pugi::xml_node node, const char *what);
			void	 CheckLicense(pugi::xml_node node);
			bool	 Repeated(std::set<std::string> &seen, pugi::xml_node node, const char *which);

			void	 CheckSetup(pugi::xml_node section);
			void	 CheckApplication(pugi::xml_node section);
			void	 CheckPlacement(pugi::xml_node node);
			void	 CheckUninstall(pugi::xml_node section);
			void	 CheckDialogs(pugi::xml_node section);
			void	 CheckComponents(pugi::xml_node section);
			void	 CollectEntries(int index, pugi::xml_node archive);
			void	 CheckLinks(pugi::xml_node section);
			void	 CheckLink(pugi::xml_node link);
	};

	void Checker::Report(Diagnostic::Severity severity, size_t offset, const std::string &message)
	{
		Diagnostic	 diagnostic;

		diagnostic.file	    = ScriptName;
		diagnostic.severity = severity;
		diagnostic.message  = message;

		source.Position(offset, diagnostic.line, diagnostic.column);

		found.push_back(diagnostic);
	}

	void Checker::CheckAttributes(pugi::xml_node node, std::initializer_list<const char *> known, const char *substituted)
	{
		for (pugi::xml_attribute attribute : node.attributes())
		{
			if (std::none_of(known.begin(), known.end(), [&](const char *name) { return strcmp(name, attribute.name()) == 0; }))
			{
				Warning(At(attribute), "unknown attribute " + Quote(attribute.name()) + " on " + Tag(node.name()) + " is ignored");

				continue;
			}

			CheckPlaceholders(attribute.value(), At(attribute.value()), "the attribute " + Quote(attribute.name()), substituted != nullptr && strcmp(substituted, attribute.name()) == 0);
		}
	}

	void Checker::CheckBoolean(pugi::xml_attribute attribute)
	{
		if (!attribute || strcmp(attribute.value(), "true") == 0 || strcmp(attribute.value(), "false") == 0) return;

		Error(At(attribute), Quote(attribute.name()) + " is " + Quote(attribute.value()) + ", neither true nor false: the installer reads it as false");
	}

	void Checker::CheckNumber(pugi::xml_attribute attribute)
	{
		const char	*text = attribute.value();
		const char	*digits = text + (*text == '+' || *text == '-' ? 1 : 0);

		if (*digits != 0 && strspn(digits, "0123456789") == strlen(digits)) return;

		Warning(At(attribute), Quote(attribute.name()) + " is " + Quote(text) + ", not a whole number: the installer reads it as " + std::to_string(String::FromUTF8(text).ToInt()));
	}

	// Sections, dialogs, components and link groups hold elements only.
	void Checker::CheckContainer(pugi::xml_node node)
	{
		for (pugi::xml_node child : node.children())
		{
			if ((child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) && !IsBlank(child.value())) Warning(At(child), "text in " + Tag(node.name()) + " is ignored");
		}
	}

	// An element whose content the loader reads: only its own text counts.
	void Checker::CheckText(pugi::xml_node node, bool substituted)
	{
		for (pugi::xml_node child : node.children())
		{
			if (child.type() == pugi::node_element) Warning(At(child), Tag(child.name()) + " inside " + Tag(node.name()) + " is ignored, and its text with it");
			else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) CheckPlaceholders(child.value(), At(child), Tag(node.name()), substituted);
		}
	}

	void Checker::CheckPlaceholders(const char *text, size_t offset, const std::string &where, bool substituted)
	{
		std::string	 value = text;
		size_t		 searched = offset;

		auto report = [&](size_t at, size_t length, bool known)
		{
			std::string	 token = value.substr(at, length);

			searched = source.Find(token, std::max(searched, offset + at));

			if (known) Warning(searched, "%VERSION% is not replaced in " + where + ": it is shown as written");
			else	   Warning(searched, Quote(token) + " is not the placeholder %VERSION%: it is shown as written");

			searched += token.size();
		};

		for (size_t i = 0; i < value.size(); i++)
		{
			bool	 opening = value[i] == '%';
			size_t	 start	 = opening ? i + 1 : i;

			// A word that starts here: after '%', or at a word's beginning.
			if (!opening && (i > 0 && (isalpha((unsigned char) value[i - 1]) || value[i - 1] == '%'))) continue;

			size_t	 end = start;

			while (end < value.size() && isalpha((unsigned char) value[end])) end++;

			std::string	 word	 = value.substr(start, end - start);
			bool		 closing = end < value.size() && value[end] == '%';

			if (word.empty() || !LooksLikeVersion(word) || (!opening && !closing)) continue;

			if (opening && closing && word == "VERSION") { if (!substituted) report(i, end + 1 - i, true); }
			else report(i, end + (closing ? 1 : 0) - i, false);

			i = closing ? end : end - 1;
		}
	}

	// A file the installer opens by the element's text, from its folder.
	void Checker::CheckFile(pugi::xml_node node, const char *what)
	{
		String	 name = String::FromUTF8(Content(node));
		String	 path;

		if (name != 0 && !Locate(dir, name, false, path)) Error(At(node), std::string(what) + " " + Quote(name.ToUTF8()) + " is missing");
	}

	// The licence file as CheckFile checks it; a file the page would show
	// garbled is a warning.
	void Checker::CheckLicense(pugi::xml_node node)
	{
		CheckFile(node, "licence file");

		String		 name = String::FromUTF8(Content(node));
		String		 path;
		std::string	 bytes;

		if (name == 0 || !Locate(dir, name, false, path) || !ReadLicenseBytes(path, bytes) || !Tolvane::IsUnmarkedUtf8(bytes)) return;

		Warning(At(node), "licence file " + Quote(name.ToUTF8()) + " is UTF-8 without a byte-order mark: the licence page would show each byte of its non-ASCII letters as a character of its own; "
				  "save it as UTF-8 with a byte-order mark (BOM), or build with --mark-licence");
	}

	// true (after the warning) when an element of this name was seen before.
	bool Checker::Repeated(std::set<std::string> &seen, pugi::xml_node node, const char *which)
	{
		if (seen.insert(node.name()).second) return false;

		Warning(At(node), "repeated " + Tag(node.name()) + ": only the " + which + " one counts");

		return true;
	}

	void Checker::CheckSetup(pugi::xml_node section)
	{
		std::set<std::string>	 seen;

		for (pugi::xml_node node : section.children())
		{
			if (node.type() != pugi::node_element) continue;

			if (std::none_of(std::begin(ScriptLayout::Switches), std::end(ScriptLayout::Switches), [&](const ScriptLayout::Switch &known) { return strcmp(known.name, node.name()) == 0; }))
			{
				Warning(At(node), "unknown element " + Tag(node.name()) + " in <setup> is ignored");

				continue;
			}

			Repeated(seen, node, "last");
			CheckAttributes(node, { "value" });
			CheckContainer(node);
			CheckText(node, false);

			if (!node.attribute("value")) Warning(At(node), Tag(node.name()) + " has no 'value': it is ignored");
			else			      CheckBoolean(node.attribute("value"));
		}
	}

	void Checker::CheckApplication(pugi::xml_node section)
	{
		std::set<std::string>	 seen;

		for (pugi::xml_node node : section.children())
		{
			if (node.type() != pugi::node_element) continue;

			std::string	 name = node.name();

			if (name != "name" && name != "version" && name != "company" && name != "logo")
			{
				Warning(At(node), "unknown element " + Tag(node.name()) + " in <application> is ignored");

				continue;
			}

			Repeated(seen, node, "last");
			CheckText(node, false);

			if (name == "name" || name == "company") CheckPlacement(node);
			else					 CheckAttributes(node, {});

			if (name == "logo") CheckFile(node, "logo file");
		}
	}

	void Checker::CheckPlacement(pugi::xml_node node)
	{
		CheckAttributes(node, { "xpos", "ypos", "font", "size", "color", "weight", "italic", "underline" });

		pugi::xml_attribute	 x = node.attribute("xpos");
		pugi::xml_attribute	 y = node.attribute("ypos");

		if (x && !y) Warning(At(x), "'xpos' without 'ypos': the position is ignored");
		if (y && !x) Warning(At(y), "'ypos' without 'xpos': the position is ignored");

		std::string	 missing;
		int		 present = 0;

		for (const char *name : fontAttributes)
		{
			if (node.attribute(name)) present++;
			else			  missing += (missing.empty() ? "" : ", ") + std::string(name);
		}

		if (present > 0 && !missing.empty()) Warning(At(node), "the font of " + Tag(node.name()) + " lacks " + missing + ": the default font is used");

		for (const char *name : { "xpos", "ypos", "size", "color", "weight" }) if (node.attribute(name)) CheckNumber(node.attribute(name));

		CheckBoolean(node.attribute("italic"));
		CheckBoolean(node.attribute("underline"));
	}

	void Checker::CheckUninstall(pugi::xml_node section)
	{
		CheckAttributes(section, { "createLog" });
		CheckBoolean(section.attribute("createLog"));

		for (pugi::xml_node node : section.children())
		{
			if (node.type() != pugi::node_element) continue;

			if (strcmp(node.name(), "file") != 0) { Warning(At(node), "unknown element " + Tag(node.name()) + " in <uninstall> is ignored"); continue; }

			CheckAttributes(node, {});
			CheckText(node, false);
		}
	}

	void Checker::CheckDialogs(pugi::xml_node section)
	{
		std::set<std::string>	 ids;

		for (pugi::xml_node node : section.children())
		{
			if (node.type() != pugi::node_element) continue;

			if (strcmp(node.name(), "dialog") != 0) { Warning(At(node), "unknown element " + Tag(node.name()) + " in <dialogs> is ignored"); continue; }

			CheckAttributes(node, { "id" });
			CheckContainer(node);

			pugi::xml_attribute	 id    = node.attribute("id");
			const char		*extra = nullptr;
			bool			 known = false;

			for (const ScriptLayout::Dialog &dialog : ScriptLayout::Dialogs) if (id && strcmp(id.value(), dialog.id) == 0) { known = true; extra = dialog.extraChild; }

			std::string	 missing;

			if (!id)		     missing += "'id'";
			if (!node.child("title")) missing += std::string(missing.empty() ? "" : ", ") + "<title>";
			if (!node.child("text"))  missing += std::string(missing.empty() ? "" : ", ") + "<text>";

			if (!missing.empty())	Error(At(node), "dialog without " + missing + " is ignored, and its page with it");
			else if (!known)	Error(At(id), "unknown dialog id " + Quote(id.value()) + " is ignored (the ids are " + DialogIds() + ")");
			else if (!ids.insert(id.value()).second) Warning(At(node), "repeated dialog " + Quote(id.value()) + ": it replaces the earlier one");

			std::set<std::string>	 seen;

			for (pugi::xml_node child : node.children())
			{
				if (child.type() != pugi::node_element) continue;

				std::string	 name = child.name();

				if (name != "title" && name != "text" && (extra == nullptr || name != extra))
				{
					Warning(At(child), "unknown element " + Tag(child.name()) + " in dialog " + Quote(id.value()) + " is ignored");

					continue;
				}

				if (Repeated(seen, child, "first")) continue;

				CheckAttributes(child, {});
				CheckText(child, name == "text");

				if (name == "licensefile" && missing.empty() && Content(child) != "nolicense") CheckLicense(child);
			}
		}
	}

	void Checker::CheckComponents(pugi::xml_node section)
	{
		for (pugi::xml_node node : section.children())
		{
			if (node.type() != pugi::node_element) continue;

			if (strcmp(node.name(), "component") != 0) { Warning(At(node), "unknown element " + Tag(node.name()) + " in <components> is ignored"); continue; }

			ComponentInfo	 info;

			info.node = node;
			info.id	  = node.attribute("id").value();

			if (size_t(config.components.Length()) > components.size()) info.mode = config.components.GetNth(Int(components.size()))->mode;

			components.push_back(info);

			CheckAttributes(node, { "name", "id", "subdir", "default", "required" }, "name");
			CheckBoolean(node.attribute("default"));
			CheckBoolean(node.attribute("required"));
			CheckContainer(node);

			// Joined to the target folder as written, so it must stay below it.
			pugi::xml_attribute	 subdir = node.attribute("subdir");
			String			 folder = String::FromUTF8(subdir.value());

			if (subdir && folder != 0 && folder != "." && !ZBK::IsSafeName(folder)) Error(At(subdir), "subdir " + Quote(subdir.value()) + " is not a folder below the installation folder");

			std::set<std::string>	 seen;
			pugi::xml_node		 archive;

			for (pugi::xml_node child : node.children())
			{
				if (child.type() != pugi::node_element) continue;

				std::string	 name = child.name();

				if (name != "archive" && name != "text" && name != "file") { Warning(At(child), "unknown element " + Tag(child.name()) + " in <component> is ignored"); continue; }

				if (name != "file") Repeated(seen, child, "last");

				// "source" is where the build takes the archive's files from.
				CheckAttributes(child, name == "archive" ? std::initializer_list<const char *>{ "source" } : std::initializer_list<const char *>{});
				CheckText(child, false);

				if (name == "archive") archive = child;

				if (name == "file" && Content(child) != Installed::LibraryName) Warning(At(child), "<file> " + Quote(Content(child)) + " has no effect: only " + Installed::LibraryName + " is copied");
			}

			if (!archive || Content(archive).empty()) Error(At(node), "component" + (info.id.empty() ? std::string() : " " + Quote(info.id)) + " has no archive: it installs nothing");
			else									    CollectEntries(int(components.size()) - 1, archive);
		}
	}

	void Checker::CollectEntries(int index, pugi::xml_node archive)
	{
		std::string		 text	= Content(archive);
		String			 name	= String::FromUTF8(text);
		std::vector<String>	 entries;
		String			 path;

		if (pugi::xml_attribute source = archive.attribute("source"))
		{
			if (!Locate(dir, String::FromUTF8(source.value()), true, path)) Error(At(source), "source folder " + Quote(source.value()) + " is missing");
			else								 ListFiles(path, "", entries);
		}
		else if (!Locate(dir, name, false, path))
		{
			Error(At(archive), "archive " + Quote(text) + " is missing");
		}
		else
		{
			ZBK::Archive	 reader;

			if (!reader.Open(path) || reader.GetLastStatus() != ZBK::Status::Ok)
			{
				Error(At(archive), "archive " + Quote(text) + " cannot be read: " + ZBK::StatusText(reader.GetLastStatus()));
			}

			for (Int n = 0; n < reader.GetNumberOfFiles(); n++)
			{
				String	 entry = reader.GetFileName(n);

				if (ZBK::IsSafeName(entry)) entries.push_back(entry);
				else			    Error(At(archive), "archive " + Quote(text) + " holds " + Quote(entry.ToUTF8()) + ", a name the installer refuses to install");
			}
		}

		for (const auto &extra : options.extraEntries) if (PathKey(extra.first) == PathKey(name)) entries.push_back(extra.second);

		// Installed as target\subdir\entry, with every folder on the way.
		std::wstring	 prefix = PathKey(String::FromUTF8(archive.parent().attribute("subdir").value()));

		if (!prefix.empty()) installed[prefix].insert(index);

		for (const String &entry : entries)
		{
			std::wstring	 key = PathKey(String(prefix.c_str()).Append("/").Append(entry));

			for (size_t slash = key.find(L'/'); slash != std::wstring::npos; slash = key.find(L'/', slash + 1)) installed[key.substr(0, slash)].insert(index);

			installed[key].insert(index);
		}
	}

	void Checker::CheckLinks(pugi::xml_node section)
	{
		pugi::xml_attribute	 folder;

		for (pugi::xml_node group : section.children())
		{
			if (group.type() != pugi::node_element) continue;

			auto	 kind = std::find_if(std::begin(ScriptLayout::LinkGroups), std::end(ScriptLayout::LinkGroups), [&](const ScriptLayout::LinkGroup &known) { return strcmp(known.name, group.name()) == 0; });

			if (kind == std::end(ScriptLayout::LinkGroups)) { Warning(At(group), "unknown element " + Tag(group.name()) + " in <links> is ignored"); continue; }

			CheckAttributes(group, { "subdir" });
			CheckContainer(group);

			// One Start-menu folder for all links, set by whichever group names one last.
			if (pugi::xml_attribute subdir = group.attribute("subdir"))
			{
				if (kind->type != Tolvane::LINK_STARTMENU) Warning(At(subdir), "'subdir' on " + Tag(group.name()) + " sets the folder of the Start-menu links, not of these");

				if (folder && strcmp(folder.value(), subdir.value()) != 0) Warning(At(subdir), "'subdir' " + Quote(subdir.value()) + " replaces " + Quote(folder.value()) + " as the folder of every Start-menu link");

				folder = subdir;
			}

			for (pugi::xml_node link : group.children())
			{
				if (link.type() != pugi::node_element) continue;

				if (strcmp(link.name(), "link") != 0) { Warning(At(link), "unknown element " + Tag(link.name()) + " in " + Tag(group.name()) + " is ignored"); continue; }

				CheckLink(link);
			}
		}
	}

	void Checker::CheckLink(pugi::xml_node link)
	{
		CheckAttributes(link, { "file", "depends" });
		CheckText(link, true);

		pugi::xml_attribute	 file	 = link.attribute("file");
		pugi::xml_attribute	 depends = link.attribute("depends");
		bool			 dependsKnown = false;

		if (depends && *depends.value() != 0)
		{
			dependsKnown = std::any_of(components.begin(), components.end(), [&](const ComponentInfo &c) { return c.id == depends.value(); });

			if (!dependsKnown) Error(At(depends), "depends " + Quote(depends.value()) + " names no component: the shortcut is always created");
		}

		if (*file.value() == 0) { Warning(At(link), "link without 'file': the shortcut opens the installation folder"); return; }

		auto	 target = installed.find(PathKey(String::FromUTF8(file.value())));

		if (target == installed.end()) { Error(At(file), "link target " + Quote(file.value()) + " is not installed by any component"); return; }

		// Whether the target is there whenever the shortcut is made.
		for (int index : target->second)
		{
			if (index < 0 || components[size_t(index)].mode == Tolvane::COMPONENT_REQUIRED) return;
			if (dependsKnown && components[size_t(index)].id == depends.value()) return;
		}

		std::string	 optional;

		for (int index : target->second) optional += (optional.empty() ? "" : ", ") + Quote(components[size_t(index)].id);

		Warning(At(link), "link target " + Quote(file.value()) + " is installed only by optional " + optional + ": without depends on it the shortcut can point at nothing");
	}

	std::vector<Diagnostic> Checker::Run()
	{
		String		 script = Path::Join(dir, ScriptName);
		IO::InStream	 in(IO::STREAM_FILE, script, IO::IS_READ_ONLY);
		Int64		 size = in.Size();

		if (in.GetLastError() != IO::IO_ERROR_OK || size < 0 || size > 0x7FFFFFFF)
		{
			Diagnostic	 diagnostic;

			diagnostic.file	   = ScriptName;
			diagnostic.message = "cannot read " + script.ToUTF8() + ": the installer would show no page at all";

			return { diagnostic };
		}

		std::string	 bytes(size_t(size), '\0');

		if (size > 0 && in.InputData(&bytes[0], Int(size)) != Int(size))
		{
			Diagnostic	 diagnostic;

			diagnostic.file	   = ScriptName;
			diagnostic.message = "cannot read " + script.ToUTF8();

			return { diagnostic };
		}

		// The loader's parse: the same library, the same options.
		pugi::xml_document	 document;
		pugi::xml_parse_result	 result = document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);

		source.Set(ParserText(bytes, result.encoding));

		pugi::xml_node	 root = document.document_element();

		if (!result || !root)
		{
			Error(size_t(result.offset), std::string("malformed XML: ") + (result ? "no root element" : result.description()) + "; the installer would show no page at all");

			return found;
		}

		base = root.name() - std::max<ptrdiff_t>(root.offset_debug(), 0);

		config.LoadFile(script);

		pugi::xml_node	 first[ScriptLayout::SectionCount];
		int		 latest = -1;

		for (pugi::xml_node node : root.children())
		{
			if ((node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) && !IsBlank(node.value())) Warning(At(node), "text in " + Tag(root.name()) + " is ignored");

			if (node.type() != pugi::node_element) continue;

			const auto	&sections = ScriptLayout::Sections;
			int		 index	  = int(std::find_if(std::begin(sections), std::end(sections), [&](const char *name) { return strcmp(name, node.name()) == 0; }) - std::begin(sections));

			if (index == ScriptLayout::SectionCount) { Warning(At(node), "unknown section " + Tag(node.name()) + " is ignored (the sections are " + SectionOrder() + ")"); continue; }
			if (first[index])	{ Warning(At(node), "repeated section " + Tag(node.name()) + " is ignored: only the first one counts"); continue; }

			first[index] = node;

			if (index < latest) Warning(At(node), "section " + Tag(node.name()) + " after " + Tag(sections[latest]) + ": the installer reads the sections in the order " + SectionOrder());

			latest = std::max(latest, index);
		}

		for (int index = 0; index < ScriptLayout::SectionCount; index++)
		{
			if (!first[index]) continue;

			// Only <uninstall> has an attribute of its own, checked with it.
			if (index != ScriptLayout::SectionUninstall) CheckAttributes(first[index], {});

			CheckContainer(first[index]);
		}

		if (first[ScriptLayout::SectionSetup])	     CheckSetup(first[ScriptLayout::SectionSetup]);
		if (first[ScriptLayout::SectionApplication]) CheckApplication(first[ScriptLayout::SectionApplication]);
		if (first[ScriptLayout::SectionUninstall])   CheckUninstall(first[ScriptLayout::SectionUninstall]);
		if (first[ScriptLayout::SectionDialogs])     CheckDialogs(first[ScriptLayout::SectionDialogs]);
		if (first[ScriptLayout::SectionComponents])  CheckComponents(first[ScriptLayout::SectionComponents]);

		// What every installation writes besides the archives' files.
		if (config.copySmoothDll) installed[PathKey(Installed::LibraryName)].insert(-1);
		if (config.createLog)	  installed[PathKey(Installed::ScriptEntry)].insert(-1), installed[PathKey(Installed::UninstallFolder)].insert(-1);

		if (first[ScriptLayout::SectionLinks]) CheckLinks(first[ScriptLayout::SectionLinks]);

		return found;
	}
}

std::vector<Diagnostic> Tolvane::Tool::CheckScript(const String &dir, const CheckOptions &options)
{
	std::vector<Diagnostic>	 found;

	// The parser and the archive module may throw (out of memory); the
	// tool reports that instead of ending.
	try
	{
		found = Checker(dir, options).Run();
	}
	catch (const std::exception &exception)
	{
		Diagnostic	 diagnostic;

		diagnostic.file	   = ScriptName;
		diagnostic.message = std::string("check stopped: ") + exception.what();

		found.push_back(diagnostic);
	}

	std::stable_sort(found.begin(), found.end(), [](const Diagnostic &a, const Diagnostic &b) { return a.line != b.line ? a.line < b.line : a.column < b.column; });

	return found;
}

std::string Tolvane::Tool::FormatDiagnostic(const Diagnostic &diagnostic)
{
	std::string	 text = diagnostic.file + ":";

	if (diagnostic.line > 0) text += std::to_string(diagnostic.line) + ":" + std::to_string(diagnostic.column) + ":";

	return text + (diagnostic.severity == Diagnostic::Error ? " error: " : " warning: ") + diagnostic.message;
}

bool Tolvane::Tool::HasErrors(const std::vector<Diagnostic> &diagnostics)
{
	return std::any_of(diagnostics.begin(), diagnostics.end(), [](const Diagnostic &d) { return d.severity == Diagnostic::Error; });
}

int Tolvane::Tool::RunCheck(const std::vector<String> &arguments, Console &console)
{
	CheckOptions	 options;
	std::vector<String> folders;

	for (size_t i = 0; i < arguments.size(); i++)
	{
		if (arguments[i] != "--entry") { folders.push_back(arguments[i]); continue; }

		Int	 equals = i + 1 < arguments.size() ? arguments[i + 1].Find("=") : -1;

		if (equals <= 0 || equals + 1 >= arguments[i + 1].Length()) return UsageError(console, "check: --entry needs ARCHIVE=NAME");

		options.extraEntries.emplace_back(arguments[i + 1].Head(equals), arguments[i + 1].SubString(equals + 1, arguments[i + 1].Length()));

		i++;
	}

	if (folders.size() != 1) return UsageError(console, folders.empty() ? "check: no folder given" : "check: one folder only");

	// What build adds (the uninstaller) is part of the product, so a folder
	// that build accepts passes the check.
	BuiltInEntries(folders[0], &options.extraEntries);

	std::vector<Diagnostic>	 diagnostics = CheckScript(folders[0], options);

	for (const Diagnostic &diagnostic : diagnostics) console.out(FormatDiagnostic(diagnostic) + "\n");

	return HasErrors(diagnostics) ? ExitFailure : ExitOK;
}

bool Tolvane::Tool::ReadLicenseBytes(const String &path, std::string &bytes)
{
	IO::InStream	 in(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
	Int64		 size = in.Size();

	bytes.clear();

	if (in.GetLastError() != IO::IO_ERROR_OK || size < 0 || size > 0x7FFFFFFF) return false;

	bytes.resize(size_t(size));

	return size == 0 || in.InputData(&bytes[0], Int(size)) == Int(size);
}

bool Tolvane::Tool::LocateName(const String &dir, const String &name, bool folder, String &path)
{
	return Locate(dir, name, folder, path);
}

std::vector<String> Tolvane::Tool::FilesBelow(const String &folder)
{
	std::vector<String>	 names;

	ListFiles(folder, String(), names);

	std::sort(names.begin(), names.end(), [](const String &a, const String &b) { return a.ToUTF8() < b.ToUTF8(); });

	return names;
}
