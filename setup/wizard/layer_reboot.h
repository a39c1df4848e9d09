// The restart page (page 8): restart now or later. Building it enables the
// process's shutdown privilege, so that a restart at Finish can succeed.
#pragma once

#include <smooth.h>
#include <smooth/gui.h>

#include "configuration.h"

namespace Tolvane
{
	// Enables the shutdown privilege of the process on NT-family systems; does
	// nothing elsewhere. Failures leave the privilege as it was.
	void EnableShutdownPrivilege();

	class LayerReboot : public smooth::GUI::Layer
	{
		public:
			smooth::GUI::Text	*pageText;
			smooth::GUI::OptionBox	*restartNowOption;
			smooth::GUI::OptionBox	*restartLaterOption;

			// Shows the configured rebootText; both options are bound to
			// *restartChoice (RESTART_NOW, RESTART_LATER), which the caller
			// owns and keeps alive as long as the page.
					 LayerReboot(const Configuration &config, long *restartChoice);
			virtual		~LayerReboot();
			LayerReboot(const LayerReboot &) = delete;
			LayerReboot &operator =(const LayerReboot &) = delete;
	};
}
