// pebble.exe: the sample product's program, a small notes window.
#include "pebble_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
	if (!Pebble::CreateMainWindow(instance, show, Pebble::DefaultNotesPath())) return 1;
	return Pebble::RunMessageLoop();
}
