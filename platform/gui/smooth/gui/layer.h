// smooth::GUI::Layer, a container without a native window of its own.
#pragma once

#include "widget.h"

namespace smooth
{
	namespace GUI
	{
		// A layer groups widgets. It covers its container's whole client area
		// (unless given a position and size), so its children are placed as if
		// they were in the container itself. Hiding a layer hides its children;
		// showing it shows those whose own flag is set.
		class SMOOTH_API Layer : public Widget
		{
			public:
						 Layer(const String &name = String());
						~Layer();

				Int		 Show() override;
				Int		 Hide() override;
				Size		 GetSize() const override;
			protected:
				Size		 GetChildArea() const override;
		};
	}
}
