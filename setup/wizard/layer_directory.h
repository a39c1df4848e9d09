// The directory page (page 3): where the program is installed.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerDirectory : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::GroupBox	*directoryGroup;
			smooth::GUI::EditBox	*directoryEdit;
			smooth::GUI::Button	*browseButton;

			// The edit box starts with GetProgramFilesFolder() followed
			// directly by the configuration's defaultDir.
					 LayerDirectory();
			virtual		~LayerDirectory();
			LayerDirectory(const LayerDirectory &) = delete;
			LayerDirectory &operator =(const LayerDirectory &) = delete;

			// The folder in the edit box as typed or chosen; not tested.
			smooth::Directory	 GetTargetDirectory() const;

			// The Program Files folder, always ending with a backslash: the
			// registry's ProgramFilesDir of the local machine, else the
			// expansion of "%ProgramFiles%" (which stays "%ProgramFiles%" when
			// the variable is not defined), else just a backslash.
			static smooth::String	 GetProgramFilesFolder();

			// Browse: a folder dialog preset with the edit text; a chosen
			// folder replaces the text, a cancelled dialog leaves it.
			void			 OnBrowse();
	};
}
