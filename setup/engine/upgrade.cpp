#include "upgrade.h"

#include <unordered_set>

using namespace smooth;

namespace
{
	bool IsDigit(wchar_t c)		{ return c >= '0' && c <= '9'; }
	bool IsSeparator(wchar_t c)	{ return c == '/' || c == '\\'; }

	std::wstring Trimmed(const String &text)
	{
		const std::wstring	&wide  = text.WideString();
		size_t			 first = wide.find_first_not_of(L" \t");

		if (first == std::wstring::npos) return std::wstring();

		return wide.substr(first, wide.find_last_not_of(L" \t") - first + 1);
	}

	std::vector<std::wstring> Pieces(const std::wstring &text)
	{
		std::vector<std::wstring>	 pieces;
		size_t				 start = 0;

		for (;;)
		{
			size_t	 dot = text.find(L'.', start);

			pieces.push_back(text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));

			if (dot == std::wstring::npos) return pieces;

			start = dot + 1;
		}
	}

	int Sign(int value)	{ return value < 0 ? -1 : (value > 0 ? 1 : 0); }

	// Digit runs compare without converting them, so a version of a hundred
	// digits neither overflows nor wraps: without leading zeros, the longer
	// run is the larger number, and runs of one length compare like text.
	int CompareNumbers(const std::wstring &a, const std::wstring &b)
	{
		size_t	 za = a.find_first_not_of(L'0');
		size_t	 zb = b.find_first_not_of(L'0');
		std::wstring	 x = za == std::wstring::npos ? std::wstring() : a.substr(za);
		std::wstring	 y = zb == std::wstring::npos ? std::wstring() : b.substr(zb);

		if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;

		return Sign(x.compare(y));
	}

	int ComparePieces(const std::wstring &a, const std::wstring &b)
	{
		if (a.empty() || b.empty() || !IsDigit(a[0]) || !IsDigit(b[0])) return Sign(a.compare(b));

		size_t	 na = 0, nb = 0;

		while (na < a.size() && IsDigit(a[na])) na++;
		while (nb < b.size() && IsDigit(b[nb])) nb++;

		int	 numbers = CompareNumbers(a.substr(0, na), b.substr(0, nb));

		if (numbers != 0) return numbers;

		return Sign(a.compare(na, std::wstring::npos, b, nb, std::wstring::npos));
	}

	// The upper-case letter Windows compares a file name's letter as, for
	// the scripts product names are written in; everything else stays.
	wchar_t Upper(wchar_t c)
	{
		if (c < 0x80) return c >= 'a' && c <= 'z' ? wchar_t(c - 0x20) : c;

		if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return wchar_t(c - 0x20);
		if (c == 0xFF) return 0x178;

		// Latin Extended-A: pairs of capital and small letter, the capital
		// even up to U+0137 and from U+014A, odd in between and at the end.
		if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (c & 1) ? wchar_t(c - 1) : c;
		if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : wchar_t(c - 1);

		// Greek: final sigma is a sigma; the accented small letters have
		// capitals of their own.
		if (c == 0x3C2) return 0x3A3;
		if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return wchar_t(c - 0x20);
		if (c == 0x3AC) return 0x386;
		if (c >= 0x3AD && c <= 0x3AF) return wchar_t(c - 0x25);
		if (c == 0x3CC) return 0x38C;
		if (c == 0x3CD || c == 0x3CE) return wchar_t(c - 0x3F);

		// Cyrillic.
		if (c >= 0x430 && c <= 0x44F) return wchar_t(c - 0x20);
		if (c >= 0x450 && c <= 0x45F) return wchar_t(c - 0x50);
		if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return (c & 1) ? wchar_t(c - 1) : c;

		// Full-width Latin.
		if (c >= 0xFF41 && c <= 0xFF5A) return wchar_t(c - 0x20);

		return c;
	}

	// Every folder key above key (a PathKey): "C:\A\B\f" gives "C:\A\B",
	// "C:\A" and "C:".
	template <typename Visit>
	void ForEachParent(const std::wstring &key, Visit visit)
	{
		for (size_t end = key.rfind(L'\\'); end != std::wstring::npos && end > 0; end = key.rfind(L'\\', end - 1))
		{
			visit(key.substr(0, end));
		}
	}
}

int Tolvane::CompareVersions(const String &a, const String &b)
{
	std::wstring	 ta = Trimmed(a);
	std::wstring	 tb = Trimmed(b);

	if (ta.empty() || tb.empty()) return ta.empty() ? (tb.empty() ? 0 : -1) : 1;

	std::vector<std::wstring>	 px = Pieces(ta);
	std::vector<std::wstring>	 py = Pieces(tb);

	for (size_t i = 0; i < px.size() || i < py.size(); i++)
	{
		static const std::wstring	 zero = L"0";

		/* "1..2" has an empty piece: as good as a missing one. */
		const std::wstring	&x = i < px.size() && !px[i].empty() ? px[i] : zero;
		const std::wstring	&y = i < py.size() && !py[i].empty() ? py[i] : zero;
		int			 order = ComparePieces(x, y);

		if (order != 0) return order;
	}

	return 0;
}

std::wstring Tolvane::PathKey(const String &path)
{
	const std::wstring	&text = path.WideString();
	std::wstring		 key;

	key.reserve(text.size());

	for (wchar_t c : text)
	{
		if (IsSeparator(c))
		{
			if (!key.empty() && key.back() == '\\') continue;

			key.push_back('\\');
		}
		else
		{
			key.push_back(Upper(c));
		}
	}

	/* A lone separator is the root of the current drive and stays one. */
	if (key.size() > 1 && key.back() == '\\') key.pop_back();

	return key;
}

bool Tolvane::IsShortcutFile(const String &path)
{
	std::wstring	 key = PathKey(path);

	return key.size() > 4 && key.compare(key.size() - 4, 4, L".LNK") == 0;
}

bool Tolvane::IsBelow(const String &path, const String &folder)
{
	std::wstring	 p = PathKey(path);
	std::wstring	 f = PathKey(folder);

	if (f.empty() || p.size() <= f.size() + 1 || p.compare(0, f.size(), f) != 0 || p[f.size()] != '\\') return false;

	/* "C:\App\..\Windows" starts like a path inside C:\App but is not. */
	for (size_t start = f.size() + 1; start <= p.size(); )
	{
		size_t		 end	   = p.find('\\', start);
		std::wstring	 component = p.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);

		if (component == L"." || component == L"..") return false;
		if (end == std::wstring::npos) break;

		start = end + 1;
	}

	return true;
}

std::vector<Tolvane::ScriptEntry> Tolvane::GetScriptEntries(const UninstallScript &script)
{
	std::vector<ScriptEntry>	 entries;
	XML::Node			*root = script.GetRootNode();

	for (Int i = 0; i < root->GetNOfNodes(); i++)
	{
		XML::Node	*node = root->GetNthNode(i);
		String		 name = node->GetName();

		if	(name == "directory") entries.push_back({ ScriptEntry::Kind::Folder, node->GetContent() });
		else if (name == "file")      entries.push_back({ ScriptEntry::Kind::File, node->GetContent() });
		else if (name == "registry")  entries.push_back({ ScriptEntry::Kind::RegistryKey, node->GetContent() });
	}

	return entries;
}

Tolvane::UpgradePlan Tolvane::PlanUpgrade(const RemovalList &earlier, const std::vector<ScriptEntry> &recorded, const std::vector<String> &keptFiles)
{
	UpgradePlan	 plan;

	/* Every path of the new installation, and every folder above one: an
	 * earlier folder in this set still holds something and stays.
	 */
	std::unordered_set<std::wstring>	 paths;
	std::unordered_set<std::wstring>	 parents;
	std::unordered_set<std::wstring>	 keys;

	auto	 Add = [&](const String &path)
	{
		std::wstring	 key = PathKey(path);

		ForEachParent(key, [&](const std::wstring &parent) { parents.insert(parent); });
		paths.insert(key);
	};

	for (const ScriptEntry &entry : recorded) if (entry.kind != ScriptEntry::Kind::RegistryKey) Add(entry.path);
	for (const String &file : keptFiles) Add(file);

	std::unordered_set<std::wstring>	 listed;

	auto	 List = [&](ScriptEntry::Kind kind, const String &path)
	{
		/* A folder and a file of one path are one thing on disk; a key is not. */
		std::wstring	 key = kind == ScriptEntry::Kind::RegistryKey ? L"registry:" + PathKey(path) : PathKey(path);

		if (listed.insert(key).second) plan.script.push_back({ kind, path });
	};

	for (const String &folder : earlier.folders)
	{
		std::wstring	 key = PathKey(folder);

		if (parents.count(key) != 0 && paths.count(key) == 0) List(ScriptEntry::Kind::Folder, folder);
		else if (paths.count(key) == 0)			      plan.leftovers.folders.push_back(folder);
	}

	for (const ScriptEntry &entry : recorded)
	{
		List(entry.kind, entry.path);

		if (entry.kind == ScriptEntry::Kind::RegistryKey) keys.insert(PathKey(entry.path));
	}

	std::unordered_set<std::wstring>	 kept;

	for (const String &file : keptFiles) kept.insert(PathKey(file));

	for (const String &file : earlier.files)
	{
		std::wstring	 key = PathKey(file);

		if (kept.count(key) != 0)	  List(ScriptEntry::Kind::File, file);
		else if (paths.count(key) == 0) plan.leftovers.files.push_back(file);
	}

	for (const String &key : earlier.registryKeys)
	{
		if (keys.count(PathKey(key)) == 0) plan.leftovers.registryKeys.push_back(key);
	}

	/* An earlier script that listed a path twice leaves it twice here. */
	auto	 Unique = [](std::vector<String> &list)
	{
		std::unordered_set<std::wstring>	 seen;
		std::vector<String>			 once;

		for (const String &path : list) if (seen.insert(PathKey(path)).second) once.push_back(path);

		list.swap(once);
	};

	Unique(plan.leftovers.files);
	Unique(plan.leftovers.folders);

	return plan;
}
