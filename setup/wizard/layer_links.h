// The links page (page 5): which kinds of shortcuts to create.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"
#include "system_interface.h"

namespace Tolvane
{
	class LayerLinks : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::CheckBox	*startMenuCheck;
			smooth::GUI::CheckBox	*desktopCheck;
			smooth::GUI::CheckBox	*quickLaunchCheck;

			// Read when the installation starts. Start menu and desktop start
			// ticked, Quick Launch unticked; Quick Launch cannot be ticked when
			// its folder does not exist.
			bool			 createStartMenu;
			bool			 createDesktop;
			bool			 createQuickLaunch;

			// The boxes stand below the configured linksText, however many
			// lines it has; the system says (once, here) whether the user's
			// Quick Launch folder exists.
					 LayerLinks(const Configuration &config, SystemInterface &system);
			virtual		~LayerLinks();
			LayerLinks(const LayerLinks &) = delete;
			LayerLinks &operator =(const LayerLinks &) = delete;

			// Whether the user's Quick Launch folder (below the application-data
			// folder) exists; false when the application-data folder is unknown.
			static bool		 QuickLaunchFolderExists(SystemInterface &system);
	};
}
