// A product's entry in the machine's list of installed programs, kept as it
// was before a run changed it, so that taking the run back puts every value
// back, also values that other programs added to the entry.
#pragma once

#include <smooth.h>

#include <string>
#include <vector>

namespace Tolvane
{
	struct RegistryValue
	{
		smooth::String		 name;
		smooth::UnsignedInt	 type = 0;	// the system's value type (1: text, 4: number, ...)
		std::string		 data;		// the value's bytes as the system stores them

		bool operator ==(const RegistryValue &other) const { return name == other.name && type == other.type && data == other.data; }
	};

	// One key's values; exists is false for a key that was not there.
	struct RegistrySnapshot
	{
		bool				 exists = false;
		std::vector<RegistryValue>	 values;

		bool operator ==(const RegistrySnapshot &other) const { return exists == other.exists && values == other.values; }

		// The text of a value of type 1 (REG_SZ) or 2 (REG_EXPAND_SZ) named
		// name (case-insensitive), without its terminator; empty when there
		// is none.
		smooth::String			 GetText(const smooth::String &name) const;
	};

	// The snapshot as the bytes of a file and back. Decode returns false for
	// bytes that are not a whole snapshot (cut, damaged): nothing may then be
	// restored from them.
	std::string	 EncodeRegistrySnapshot(const RegistrySnapshot &snapshot);
	bool		 DecodeRegistrySnapshot(const std::string &bytes, RegistrySnapshot &snapshot);

	// Reads the entry name (a key directly below the list of installed
	// programs) of the local machine, its values only (an entry has no
	// subkeys). A missing key reads as a snapshot that does not exist; false
	// only when the key is there but cannot be read. Windows builds only.
	bool		 ReadUninstallEntrySnapshot(const smooth::String &name, RegistrySnapshot &snapshot);

	// Makes the entry name exactly what snapshot holds: removes it, and when
	// the snapshot exists writes it back with every value. false when that
	// cannot be done. Windows builds only.
	bool		 RestoreUninstallEntrySnapshot(const smooth::String &name, const RegistrySnapshot &snapshot);
}
