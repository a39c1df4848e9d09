#include "registry_backup.h"

// Systems without a registry: nothing to read, nothing to put back.

bool Tolvane::ReadUninstallEntrySnapshot(const smooth::String &, RegistrySnapshot &snapshot)
{
	snapshot = RegistrySnapshot();

	return false;
}

bool Tolvane::RestoreUninstallEntrySnapshot(const smooth::String &, const RegistrySnapshot &)
{
	return false;
}
