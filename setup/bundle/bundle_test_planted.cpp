// A DLL the bundle tests plant beside a bundle under a system DLL's name
// (version.dll): loaded into a process, it leaves planted-marker.txt beside
// itself, so a test sees whether anything loaded it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
	if (reason != DLL_PROCESS_ATTACH) return TRUE;

	wchar_t path[MAX_PATH + 32] = {0};
	DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
	while (length > 0 && path[length - 1] != L'\\') length--;
	if (length == 0) return TRUE;
	lstrcpyW(path + length, L"planted-marker.txt");
	HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
	if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
	return TRUE;
}
