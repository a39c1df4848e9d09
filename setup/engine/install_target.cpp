#include "install_target.h"

#include "installed_layout.h"
#include "uninstall_script.h"
#include "upgrade.h"

using namespace smooth;

namespace
{
	// The application a folder's uninstall script names; false when the
	// folder has no script that loads.
	bool ScriptApplication(const String &folder, String &application)
	{
		Tolvane::ScriptContents	 contents;
		String		 script = Path::Join(Path::Join(folder, Tolvane::Layout::UninstallFolder), Tolvane::Layout::ScriptName);

		if (!File(script).Exists() || !Tolvane::ReadUninstallScript(script, contents)) return false;

		application = contents.application;

		return true;
	}
}

Tolvane::Registered Tolvane::ReadRegistered(const RegistrySnapshot &entry)
{
	Registered	 registered;

	registered.exists  = entry.exists;
	registered.folder  = entry.GetText("InstallLocation");
	registered.version = entry.GetText("DisplayVersion");

	return registered;
}

String Tolvane::TargetCheck::Text(const String &application, const String &target) const
{
	switch (verdict)
	{
		case Verdict::OtherProduct:	  return String("The folder ").Append(target).Append(" holds an installation of ").Append(other).Append(".\n\nPlease choose another folder.");
		case Verdict::InstalledElsewhere: return String(application).Append(" is already installed in ").Append(elsewhere).Append(".\n\nSetup can update it only there; to install it elsewhere, remove it first.");
		default:			  return String();
	}
}

Tolvane::TargetCheck Tolvane::CheckTarget(const String &application, const String &target, const Registered &registered)
{
	TargetCheck	 check;
	String		 found;

	/* Installing over another product's files would make our uninstaller
	 * remove theirs, and theirs ours.
	 */
	if (ScriptApplication(target, found) && found != application)
	{
		check.verdict = TargetCheck::Verdict::OtherProduct;
		check.other   = found != 0 ? found : String("another program");

		return check;
	}

	/* One registration per product: a second folder would share it, and
	 * removing either would take it from both.
	 */
	if (registered.exists && registered.folder != 0 && PathKey(registered.folder) != PathKey(target) &&
	    ScriptApplication(registered.folder, found) && found == application)
	{
		check.verdict	= TargetCheck::Verdict::InstalledElsewhere;
		check.elsewhere = registered.folder;
	}

	return check;
}

bool Tolvane::IsDowngrade(const String &version, const Registered &registered)
{
	return registered.exists && registered.version != 0 && CompareVersions(version, registered.version) < 0;
}

String Tolvane::DowngradeQuestion(const String &application, const String &version, const Registered &registered)
{
	return String(application).Append(" ").Append(registered.version).Append(" is installed, which is newer than ").Append(version)
		.Append(".\n\nDo you want to replace it with the older version?");
}

String Tolvane::DowngradeRefusal(const String &application, const String &version, const Registered &registered)
{
	return String(application).Append(" ").Append(registered.version).Append(" is installed, which is newer than ").Append(version)
		.Append("; /ALLOWDOWNGRADE installs it anyway");
}
