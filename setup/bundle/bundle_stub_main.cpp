// The bundle stub's entry: the whole run is RunStub (stub.cpp).
#include "stub.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
	return int(Tolvane::RunStub(instance));
}
