// The finish page (page 7): the text shown after the installation.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerBye : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;

			// Shows the configured finishText with "%VERSION%" replaced; reads config,
			// which must be loaded.
					 LayerBye();
			virtual		~LayerBye();
			LayerBye(const LayerBye &) = delete;
			LayerBye &operator =(const LayerBye &) = delete;
	};
}
