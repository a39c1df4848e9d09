// Installing over an earlier installation of the same product: which of the
// two versions is newer, when two recorded paths name the same file, and what
// the earlier installation leaves behind once the new one is in place.
#pragma once

#include "uninstall_script.h"

#include <string>
#include <vector>

namespace Tolvane
{
	// Orders two version texts: negative when a is older than b, 0 when they
	// are the same version, positive when a is newer. The texts are split at
	// '.'; pieces compare one by one from the left. Two pieces that start
	// with digits compare by that number first (so 2.10 is newer than 2.9,
	// and 007 equals 7, however many digits), then by what follows it as
	// text; any other pair compares as text, code point by code point. A
	// missing or empty piece counts as 0, so 2 and 2.0 are the same version; a text
	// piece (2.0.beta) is newer than a missing one. Surrounding spaces are
	// ignored; an empty text is older than every other.
	int		 CompareVersions(const smooth::String &a, const smooth::String &b);

	// The form in which the file system compares a path: letters folded to
	// one case (Latin, Greek and Cyrillic, as Windows folds them), '/' and
	// '\' alike, runs of separators as one, no trailing separator. Two
	// recorded paths name the same file or folder exactly when their keys
	// are equal.
	std::wstring	 PathKey(const smooth::String &path);

	// Whether path names a shortcut file (ending ".lnk" in any case).
	bool		 IsShortcutFile(const smooth::String &path);

	// Whether path lies inside folder (not folder itself), compared as
	// PathKey compares. A path with a "." or ".." component is never inside.
	bool		 IsBelow(const smooth::String &path, const smooth::String &folder);

	// One entry of an uninstall script, in recording order.
	struct ScriptEntry
	{
		enum class Kind { Folder, File, RegistryKey };

		Kind		 kind;
		smooth::String	 path;

		bool operator ==(const ScriptEntry &other) const { return kind == other.kind && path == other.path; }
	};

	// The "directory", "file" and "registry" entries of a script in memory,
	// in document order.
	std::vector<ScriptEntry> GetScriptEntries(const UninstallScript &script);

	// What to do with an earlier installation's script once a run over it
	// has succeeded.
	struct UpgradePlan
	{
		// The entries of the new script, each path once: first the earlier
		// script's folders that still hold something of the new installation
		// (they existed before this run, so the run did not record them, and
		// the uninstaller must still take them away; listed first, so that
		// the removal walk, which goes backwards, meets them after the
		// folders this run made inside them), then everything this run
		// recorded, in its order, each path the first time only, then the
		// earlier script's kept data files that this run did not record.
		std::vector<ScriptEntry> script;

		// What the earlier installation had and the new one has not, to be
		// removed after the run: files (and links) last to first, then folders
		// last to first, each only when empty, then the registry keys.
		RemovalList	 leftovers;
	};

	// The plan for earlier (the earlier script's list), recorded (this run's
	// entries) and keptFiles (full paths of the program's own data files that
	// the setup script's uninstall element names: removed by the uninstaller,
	// never by an upgrade). Paths compare as PathKey does. An earlier folder
	// stays when something recorded or kept lies inside it; an earlier file
	// or key stays when this run recorded it too, or it is a kept file.
	UpgradePlan	 PlanUpgrade(const RemovalList &earlier, const std::vector<ScriptEntry> &recorded, const std::vector<smooth::String> &keptFiles);
}
