// The configuration record: everything setup.xml says, read once at start.
#pragma once

#include "component.h"

namespace Tolvane
{
	// Page numbers of the wizard.
	const smooth::Int PAGE_INTRO		= 1;
	const smooth::Int PAGE_LICENSE		= 2;
	const smooth::Int PAGE_DIRECTORY	= 3;
	const smooth::Int PAGE_COMPONENTS	= 4;
	const smooth::Int PAGE_LINKS		= 5;
	const smooth::Int PAGE_SUMMARY		= 6;
	const smooth::Int PAGE_FINISH		= 7;
	const smooth::Int PAGE_REBOOT		= 8;

	class Configuration
	{
		public:
			smooth::String			 appName;
			smooth::String			 appVersion;
			smooth::String			 companyName;
			smooth::String			 logo;

			bool				 background;
			bool				 displayAppName;
			bool				 displayAppVersion;
			bool				 displayCompanyName;

			bool				 showIntro;
			bool				 showLicense;
			bool				 showDirectory;
			bool				 showComponents;
			bool				 showLinks;
			bool				 showSummary;
			bool				 showFinish;
			bool				 showReboot;

			smooth::String			 introTitle;
			smooth::String			 licenseTitle;
			smooth::String			 directoryTitle;
			smooth::String			 componentsTitle;
			smooth::String			 linksTitle;
			smooth::String			 summaryTitle;
			smooth::String			 installationTitle;
			smooth::String			 finishTitle;
			smooth::String			 rebootTitle;

			smooth::String			 introText;
			smooth::String			 licenseText;
			smooth::String			 directoryText;
			smooth::String			 componentsText;
			smooth::String			 linksText;
			smooth::String			 summaryText;
			smooth::String			 installationText;
			smooth::String			 finishText;
			smooth::String			 rebootText;

			smooth::String			 licenseFile;
			smooth::String			 defaultDir;

			bool				 copySmoothDll;

			smooth::Array<Component *>	 components;	// owned
			smooth::Array<Link *>		 links;		// owned

			smooth::String			 startMenuSubdir;

			smooth::GUI::Point		 appNamePos;
			smooth::GUI::Point		 companyPos;
			smooth::GUI::Font		 appNameFont;
			smooth::GUI::Font		 companyFont;

			bool				 createLog;
			smooth::Array<smooth::String>	 uninstallFiles;

							 Configuration();
			virtual				~Configuration();
			Configuration(const Configuration &) = delete;
			Configuration &operator =(const Configuration &) = delete;

			// Reads "setup.xml" from the current folder. A missing, unreadable or
			// malformed file leaves every field at its default; always Success().
			smooth::Int			 Load();
			// The same from a given file (Load uses "setup.xml").
			smooth::Int			 LoadFile(const smooth::String &fileName);

			// Flag, title and text of a page number 1 to 8 (false / empty otherwise).
			bool				 IsPageEnabled(smooth::Int page) const;
			const smooth::String		&GetPageTitle(smooth::Int page) const;
			const smooth::String		&GetPageText(smooth::Int page) const;
	};
}
