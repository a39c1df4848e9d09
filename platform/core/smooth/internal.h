// Hooks inside the platform library (not for programs): parts of the library
// that need start-up work (the Windows GUI) register it here from a static
// initialiser; Init runs the init hooks in registration order, Free runs the
// free hooks in reverse order.
#pragma once

#include "definitions.h"

namespace smooth
{
	namespace Internal
	{
		void RegisterInitHook(Int (*init)(), Int (*free)());
	}
}
