// Hooks inside the platform library (not for programs): parts of the library
// that need start-up work (the Windows GUI) register it here from a static
// initialiser; Init runs the init hooks in registration order, Free runs the
// free hooks in reverse order. On Windows, COM is initialised for the calling
// thread before the first hook runs and released after the last free hook.
// When an init hook fails, the hooks already run are freed again and Init
// returns Error().
#pragma once

#include "definitions.h"

namespace smooth
{
	namespace Internal
	{
		// Either function may be null. Exported so that tests can observe the
		// order in which Init and Free run the hooks.
		SMOOTH_API void RegisterInitHook(Int (*init)(), Int (*free)());
	}
}
