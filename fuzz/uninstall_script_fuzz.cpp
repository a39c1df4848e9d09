// Reads arbitrary bytes as an installed uninstall script and confines its
// removal list to an installation in C:\Apps\Pebble, as the uninstaller does
// before it hands the script to its copy. Beyond the sanitizers' findings it
// traps when the confined list names a file outside the installation folder
// that is not a shortcut, a folder that is neither the installation's, one
// above it nor one holding a kept shortcut, or a registry key that is not
// one entry directly below the list of installed programs; and when the
// confined list is not a part of the script's list in the same order.
#include <uninstall_script.h>
#include <upgrade.h>

#include <string>
#include <vector>

using namespace smooth;
using namespace Tolvane;

namespace
{
	const wchar_t *const Installation = L"C:\\Apps\\Pebble";

	// The path's components in the file system's case, separators alike;
	// empty ones (runs of separators, a trailing one) left out.
	std::vector<std::wstring> Components(const String &path)
	{
		std::vector<std::wstring> parts;
		std::wstring		  key = PathKey(path);
		size_t			  start = 0;

		for (size_t end; start <= key.size(); start = end + 1)
		{
			end = key.find(L'\\', start);

			if (end == std::wstring::npos) end = key.size();
			if (end > start) parts.push_back(key.substr(start, end - start));
		}

		return parts;
	}

	bool HasDots(const std::vector<std::wstring> &parts)
	{
		for (const std::wstring &part : parts)
			if (part == L"." || part == L"..") return true;

		return false;
	}

	// Whether inner's components start with all of outer's (strictly more
	// of them when strict), neither with a "." or "..".
	bool Starts(const String &inner, const String &outer, bool strict)
	{
		const std::vector<std::wstring> a = Components(inner), b = Components(outer);

		if (HasDots(a) || HasDots(b) || b.empty() || a.size() < b.size() + (strict ? 1 : 0)) return false;

		for (size_t i = 0; i < b.size(); i++)
			if (a[i] != b[i]) return false;

		return true;
	}

	bool IsLink(const String &path)
	{
		const std::wstring key = PathKey(path);

		return key.size() > 4 && key.compare(key.size() - 4, 4, L".LNK") == 0;
	}

	// Whether part is list with some elements left out.
	bool IsPartOf(const std::vector<String> &part, const std::vector<String> &list)
	{
		size_t at = 0;

		for (const String &item : part)
		{
			while (at < list.size() && list[at] != item) at++;

			if (at++ >= list.size()) return false;
		}

		return true;
	}

	void CheckConfined(const RemovalList &list)
	{
		const RemovalList confined = ConfinedRemovalList(list, Installation);

		if (!IsPartOf(confined.files, list.files) || !IsPartOf(confined.folders, list.folders) || !IsPartOf(confined.registryKeys, list.registryKeys)) __builtin_trap();

		for (const String &file : confined.files)
			if (!Starts(file, Installation, true) && !IsLink(file)) __builtin_trap();

		for (const String &folder : confined.folders)
		{
			bool ours = Starts(folder, Installation, false) || Starts(Installation, folder, false);

			for (const String &file : confined.files) ours = ours || (IsLink(file) && Starts(file, folder, true));

			if (!ours) __builtin_trap();
		}

		const std::wstring prefix = String(UninstallKeyPath).WideString();

		for (const String &key : confined.registryKeys)
		{
			const std::wstring &text = key.WideString();

			if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0) __builtin_trap();
			if (text.find(L'\\', prefix.size()) != std::wstring::npos || text == prefix + L"..") __builtin_trap();
		}
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	ScriptContents contents;

	if (!ParseUninstallScript(std::string(reinterpret_cast<const char *>(data), size), contents))
	{
		if (contents.application != 0 || !contents.removal.files.empty() || !contents.removal.folders.empty()) __builtin_trap();

		return 0;
	}

	CheckConfined(contents.removal);

	return 0;
}
