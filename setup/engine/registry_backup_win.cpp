#include "registry_backup.h"

#include "uninstall_script.h"

#include <windows.h>

using namespace smooth;

bool Tolvane::ReadUninstallEntrySnapshot(const String &name, RegistrySnapshot &snapshot)
{
	snapshot = RegistrySnapshot();

	HKEY	 key	= nullptr;
	LONG	 opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallEntryKey(name).Wide(), 0, KEY_QUERY_VALUE, &key);

	if (opened == ERROR_FILE_NOT_FOUND) return true;
	if (opened != ERROR_SUCCESS) return false;

	snapshot.exists = true;

	bool	 ok = true;

	for (DWORD index = 0; ok; index++)
	{
		/* Value names are at most 16 383 characters long. */
		wchar_t			 valueName[16384];
		DWORD			 nameLength = 16384;
		DWORD			 type	    = 0;
		DWORD			 size	    = 0;
		LONG			 result	    = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, nullptr, &size);

		if (result == ERROR_NO_MORE_ITEMS) break;
		if (result != ERROR_SUCCESS) { ok = false; break; }

		std::string		 data(size, '\0');

		nameLength = 16384;
		result	   = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, size > 0 ? (BYTE *) &data[0] : nullptr, &size);

		/* A value that grew between the two calls: read it again. */
		if (result == ERROR_MORE_DATA) { index--; continue; }
		if (result != ERROR_SUCCESS) { ok = false; break; }

		data.resize(size);

		RegistryValue	 value;

		value.name = String(std::wstring(valueName, nameLength).c_str());
		value.type = UnsignedInt(type);
		value.data = data;

		snapshot.values.push_back(value);
	}

	RegCloseKey(key);

	return ok;
}

bool Tolvane::RestoreUninstallEntrySnapshot(const String &name, const RegistrySnapshot &snapshot)
{
	String	 path	 = UninstallEntryKey(name);
	LONG	 deleted = RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.Wide());

	if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return false;
	if (!snapshot.exists) return true;

	HKEY	 key = nullptr;

	if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.Wide(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;

	bool	 ok = true;

	for (const RegistryValue &value : snapshot.values)
	{
		ok = RegSetValueExW(key, value.name.Wide(), 0, DWORD(value.type), (const BYTE *) value.data.data(), DWORD(value.data.size())) == ERROR_SUCCESS && ok;
	}

	RegCloseKey(key);

	return ok;
}
