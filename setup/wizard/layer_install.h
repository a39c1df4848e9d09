// The installation page: shown only while the installation runs, beside the main window's progress bars.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerInstall : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;

			// Shows the configured installationText with "%VERSION%" replaced; reads config,
			// which must be loaded.
					 LayerInstall();
			virtual		~LayerInstall();
			LayerInstall(const LayerInstall &) = delete;
			LayerInstall &operator =(const LayerInstall &) = delete;
	};
}
