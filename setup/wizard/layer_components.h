// The components page (page 4): one marked or unmarked list entry per
// component of the script, and a description box that follows the mouse.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"

namespace Tolvane
{
	class LayerComponents : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::GroupBox	*componentsGroup;
			smooth::GUI::ListBox	*componentList;
			smooth::GUI::GroupBox	*descriptionGroup;
			smooth::GUI::Text	*descriptionText;

			// Entry i stands for component i of config for the page's whole
			// life, as EntryOfComponent says: required components marked and
			// locked, default ones marked, optional ones unmarked. config must
			// outlive the page (the descriptions are read from it).
					 LayerComponents(const Configuration &config);
			virtual		~LayerComponents();
			LayerComponents(const LayerComponents &) = delete;
			LayerComponents &operator =(const LayerComponents &) = delete;

			// Whether entry index is marked; false for an index outside the list.
			bool			 IsComponentSelected(int index) const;

			// Shows the description of the component under the mouse, or the
			// hint when the mouse is over none.
			void			 UpdateDescription();
		private:
			const Configuration	&config;
	};
}
