// The summary page (page 6): the text shown before the installation starts.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

namespace Tolvane
{
	class LayerSummary : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;

			// Shows the configured summaryText with "%VERSION%" replaced; reads config,
			// which must be loaded.
					 LayerSummary();
			virtual		~LayerSummary();
			LayerSummary(const LayerSummary &) = delete;
			LayerSummary &operator =(const LayerSummary &) = delete;
	};
}
