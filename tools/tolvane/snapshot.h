// What `tolvane test` compares: the state of a Windows machine's drive and
// registry before and after an installer ran, as plain data. Taking one is
// portable: the drive is a folder (a Wine prefix's drive_c), the registry
// the text of Wine's hive files (system.reg, user.reg), so the comparison
// and everything that reads it are tested natively.
//
// Paths and key names compare as Windows compares them: letters in any case,
// '\' and '/' alike. Every key of a map below is such a comparison form
// (lower case, '/' for paths, '\' for keys); the entries keep the names as
// written.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		struct SnapshotPath
		{
			std::string	 name;		// as on disk, '/' separated, relative to the drive's root
			bool		 folder = false;
			uint64_t	 size = 0;	// files only
		};

		struct SnapshotKey
		{
			std::string				 name;		// "HKLM\Software\..." as written
			std::map<std::string, std::string>	 values;	// value name (lower case; "" the default) -> its text as the hive writes it
		};

		struct Snapshot
		{
			std::map<std::string, SnapshotPath>	 paths;
			std::map<std::string, SnapshotKey>	 keys;
		};

		// The comparison form of a path ('/', lower case: ASCII letters, and
		// others as the C library's current locale lowers them; other UTF-8
		// bytes pass unchanged).
		std::string	 PathKey(const std::string &path);

		// Whether path (comparison form) is ignored by one of patterns: a
		// pattern is a path in comparison form whose steps may be "*" (any one
		// step); it ignores itself and everything below it.
		bool		 IsIgnored(const std::string &path, const std::vector<std::string> &patterns);

		// Adds every file and folder below root (UTF-8 path of a folder) to
		// *snapshot, except those patterns ignore. Links are recorded, not
		// followed. Unreadable parts are skipped.
		void		 SnapshotTree(const std::string &root, const std::vector<std::string> &patterns, Snapshot *snapshot);

		// Adds the keys of a Wine hive file's text (as read, UTF-8 or ASCII)
		// to *snapshot, each named hive + "\" + its key, with its values
		// unescaped ("\\", "\"", "\n", "\xHHHH" in strings); keys below one
		// of patterns (same rules as IsIgnored, with '\' between steps) are
		// left out. Lines that are no key or value are skipped, so a damaged
		// hive gives what can be read.
		void		 ReadHive(const std::string &text, const std::string &hive, const std::vector<std::string> &patterns, Snapshot *snapshot);

		// The string a value holds, as the hive text gives it ("\"text\"",
		// or "str(2):\"text\"" for an expandable one), unescaped; false for
		// any other type.
		bool		 HiveString(const std::string &value, std::string *text);

		// What changed from before to after, each list sorted by comparison
		// form: paths and keys that are new, that are gone, files whose size
		// changed and keys whose values changed (added, removed or other text).
		struct SnapshotChanges
		{
			std::vector<SnapshotPath>	 addedPaths, removedPaths, changedFiles;
			std::vector<SnapshotKey>	 addedKeys, removedKeys, changedKeys;

			bool Empty() const { return addedPaths.empty() && removedPaths.empty() && changedFiles.empty() && addedKeys.empty() && removedKeys.empty() && changedKeys.empty(); }
		};

		SnapshotChanges	 CompareSnapshots(const Snapshot &before, const Snapshot &after);
	}
}
