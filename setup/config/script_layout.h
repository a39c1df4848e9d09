// The layout of setup.xml as the installer reads it: the sections in their
// order, the dialogs with their pages and further children, the switches
// of <setup> and the kinds of link group, each with the place in the
// configuration record that takes it. The loader fills the record from
// these tables and the publisher's check reports against the same tables,
// so what one accepts the other knows.
#pragma once

#include "configuration.h"

namespace Tolvane
{
	namespace ScriptLayout
	{
		// The script's name in the installer's working folder.
		inline constexpr const char *FileName = "setup.xml";

		// The sections below the root element, in the order the loader reads
		// them whatever their order in the file; only the first section of
		// each name counts.
		enum Section { SectionSetup, SectionApplication, SectionUninstall, SectionDialogs, SectionComponents, SectionLinks, SectionCount };

		inline constexpr const char *Sections[SectionCount] = { "setup", "application", "uninstall", "dialogs", "components", "links" };

		// A <dialog id="ID"> in <dialogs>, read only when it has the id, a
		// <title> and a <text>; a later dialog of the same id replaces an
		// earlier one.
		struct Dialog
		{
			const char			*id;
			smooth::Int			 page;		// PAGE_*; 0 for the installation's own page, which has no number
			const char			*extraChild;	// the one further child read, or null
			bool		 Configuration::*shown;		// set when the dialog is read; null for page 0
			smooth::String	 Configuration::*title;
			smooth::String	 Configuration::*text;
			smooth::String	 Configuration::*extra;		// takes extraChild's text; null with it
		};

		// In the order in which the loader compares a dialog's id.
		inline constexpr Dialog Dialogs[] = {
			{ "intro",	  PAGE_INTRO,	   nullptr,	  &Configuration::showIntro,	  &Configuration::introTitle,	     &Configuration::introText,	       nullptr },
			{ "license",	  PAGE_LICENSE,	   "licensefile", &Configuration::showLicense,	  &Configuration::licenseTitle,	     &Configuration::licenseText,      &Configuration::licenseFile },
			{ "directory",	  PAGE_DIRECTORY,  "defaultdir",  &Configuration::showDirectory,  &Configuration::directoryTitle,    &Configuration::directoryText,    &Configuration::defaultDir },
			{ "components",	  PAGE_COMPONENTS, nullptr,	  &Configuration::showComponents, &Configuration::componentsTitle,   &Configuration::componentsText,   nullptr },
			{ "links",	  PAGE_LINKS,	   nullptr,	  &Configuration::showLinks,	  &Configuration::linksTitle,	     &Configuration::linksText,	       nullptr },
			{ "summary",	  PAGE_SUMMARY,	   nullptr,	  &Configuration::showSummary,	  &Configuration::summaryTitle,	     &Configuration::summaryText,      nullptr },
			{ "installation", 0,		   nullptr,	  nullptr,			  &Configuration::installationTitle, &Configuration::installationText, nullptr },
			{ "finish",	  PAGE_FINISH,	   nullptr,	  &Configuration::showFinish,	  &Configuration::finishTitle,	     &Configuration::finishText,       nullptr },
			{ "reboot",	  PAGE_REBOOT,	   nullptr,	  &Configuration::showReboot,	  &Configuration::rebootTitle,	     &Configuration::rebootText,       nullptr },
		};

		// The switches of <setup>, each an element <NAME value="true"/>.
		struct Switch
		{
			const char		 *name;
			bool	 Configuration::*field;
		};

		inline constexpr Switch Switches[] = {
			{ "background",		&Configuration::background },
			{ "displayAppName",	&Configuration::displayAppName },
			{ "displayAppVersion",	&Configuration::displayAppVersion },
			{ "displayCompanyName",	&Configuration::displayCompanyName },
		};

		// The groups of <links>, each holding <link> elements of one kind.
		struct LinkGroup
		{
			const char	*name;
			smooth::Int	 type;	// LINK_*
		};

		inline constexpr LinkGroup LinkGroups[] = {
			{ "desktop",	 LINK_DESKTOP },
			{ "startmenu",	 LINK_STARTMENU },
			{ "quicklaunch", LINK_QUICKLAUNCH },
		};
	}
}
