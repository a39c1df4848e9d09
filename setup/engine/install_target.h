// Whether a product may be installed into a folder, judged before anything
// is written: what the folder holds already, and what the machine's list of
// installed programs says about the product.
#pragma once

#include "registry_backup.h"

#include <smooth.h>

namespace Tolvane
{
	// What the product's own entry in the list of installed programs says
	// (an entry that does not exist says nothing).
	struct Registered
	{
		bool		 exists = false;
		smooth::String	 folder;		// InstallLocation
		smooth::String	 version;		// DisplayVersion
	};

	Registered	 ReadRegistered(const RegistrySnapshot &entry);

	// The verdict on installing a product into a folder.
	struct TargetCheck
	{
		enum class Verdict
		{
			Go,			// empty, new, or an installation of this product
			OtherProduct,		// the folder holds another product's installation
			InstalledElsewhere	// this product lives in another folder
		};

		Verdict		 verdict = Verdict::Go;
		smooth::String	 other;		// OtherProduct: the other product's name
		smooth::String	 elsewhere;	// InstalledElsewhere: where it lives

		// The message for the user (empty for Go).
		smooth::String	 Text(const smooth::String &application, const smooth::String &target) const;
	};

	// Judges installing application into target, reading the uninstall
	// scripts in target and in the registered folder. A registered folder
	// counts only while it holds this product's script: a folder the user
	// deleted leaves the product free to go elsewhere.
	TargetCheck	 CheckTarget(const smooth::String &application, const smooth::String &target, const Registered &registered);

	// Whether installing version over what is registered goes back to an
	// older version (CompareVersions; nothing registered: false).
	bool		 IsDowngrade(const smooth::String &version, const Registered &registered);

	// The question the wizard asks before a downgrade, and the silent log's
	// reason for refusing it.
	smooth::String	 DowngradeQuestion(const smooth::String &application, const smooth::String &version, const Registered &registered);
	smooth::String	 DowngradeRefusal(const smooth::String &application, const smooth::String &version, const Registered &registered);
}
