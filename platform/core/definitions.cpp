#include "smooth/definitions.h"
#include "smooth/internal.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#  include <objbase.h>
#endif

namespace smooth
{
	void *hInstance	    = nullptr;
	void *hPrevInstance = nullptr;
	Int   iCmdShow	    = 0;

	namespace Setup
	{
		Bool enableUnicode = true;
	}
}

namespace
{
	struct Hook
	{
		smooth::Int (*init)();
		smooth::Int (*free)();
	};

	// Hooks are registered from static initialisers of other files, which may
	// run before this file's globals are constructed; a function-local static
	// is ready whenever it is first asked for.
	std::vector<Hook> &Hooks()
	{
		static std::vector<Hook> hooks;

		return hooks;
	}

	std::mutex &InitMutex()
	{
		static std::mutex mutex;

		return mutex;
	}

	int  initCount = 0;

#if defined(_WIN32)
	bool comStarted = false;
#endif

	// Frees the first count hooks, last registered first.
	void FreeHooks(size_t count)
	{
		std::vector<Hook> &hooks = Hooks();

		for (size_t i = count; i > 0; i--)
		{
			if (hooks[i - 1].free != nullptr) hooks[i - 1].free();
		}
	}
}

void smooth::Internal::RegisterInitHook(Int (*init)(), Int (*free)())
{
	std::lock_guard<std::mutex> guard(InitMutex());

	Hooks().push_back({ init, free });
}

smooth::Int smooth::Init()
{
	std::lock_guard<std::mutex> guard(InitMutex());

	if (initCount > 0) { initCount++; return Success(); }

#if defined(_WIN32)
	// S_FALSE (already initialised on this thread) still needs its matching
	// CoUninitialize; only a real failure does not.
	HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

	comStarted = SUCCEEDED(result);
#endif

	std::vector<Hook> &hooks = Hooks();

	for (size_t i = 0; i < hooks.size(); i++)
	{
		if (hooks[i].init == nullptr || hooks[i].init() == Success()) continue;

		// A half-initialised platform is worse than none: undo what worked.
		FreeHooks(i);

#if defined(_WIN32)
		if (comStarted) CoUninitialize();
		comStarted = false;
#endif

		return Error();
	}

	initCount = 1;

	return Success();
}

smooth::Int smooth::Free()
{
	std::lock_guard<std::mutex> guard(InitMutex());

	if (initCount == 0) return Error();
	if (--initCount > 0) return Success();

	FreeHooks(Hooks().size());

#if defined(_WIN32)
	if (comStarted) CoUninitialize();
	comStarted = false;
#endif

	return Success();
}

smooth::Int64 smooth::Math::Round(double value)
{
	// llround is undefined for values it cannot represent; clamp instead.
	if (std::isnan(value)) return 0;
	if (value >= 9223372036854775807.0)  return INT64_MAX;
	if (value <= -9223372036854775808.0) return INT64_MIN;

	return std::llround(value);
}

smooth::Object::Object()
{
}

smooth::Object::~Object()
{
}

smooth::Int smooth::Object::DeleteObject(Object *object)
{
	delete object;

	return Success();
}
