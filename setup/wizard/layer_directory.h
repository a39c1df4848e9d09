// The directory page (page 3): where the program is installed.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"
#include "system_interface.h"

namespace Tolvane
{
	class LayerDirectory : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::GroupBox	*directoryGroup;
			smooth::GUI::EditBox	*directoryEdit;
			smooth::GUI::Button	*browseButton;

			// The edit box starts with the system's Program Files folder
			// followed directly by the configuration's defaultDir; the system
			// is asked once, here.
					 LayerDirectory(const Configuration &config, SystemInterface &system);
			virtual		~LayerDirectory();
			LayerDirectory(const LayerDirectory &) = delete;
			LayerDirectory &operator =(const LayerDirectory &) = delete;

			// The folder in the edit box as typed or chosen; not tested.
			smooth::Directory	 GetTargetDirectory() const;

			// Browse: a folder dialog over the page's window, preset with the
			// edit text; a chosen folder replaces the text, a cancelled dialog
			// leaves it.
			void			 OnBrowse();
	};
}
