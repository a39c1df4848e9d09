// The welcome page (page 1): the script's introduction text.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerWelcome : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;

			// Shows the configured introText with "%VERSION%" replaced; reads config,
			// which must be loaded.
					 LayerWelcome();
			virtual		~LayerWelcome();
			LayerWelcome(const LayerWelcome &) = delete;
			LayerWelcome &operator =(const LayerWelcome &) = delete;
	};
}
