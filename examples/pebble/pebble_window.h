// The main window of pebble.exe: a top-level window titled with the product's
// name and version whose client area is one multi-line edit area for notes.
// The notes live in one UTF-8 text file (notes.ini beside the program, which
// the sample's uninstall script removes): read when the window opens, written
// when it closes (and when Windows ends the session).
#pragma once

#include <windows.h>

#include <string>

namespace Pebble
{
	// "<product name> <version>", as the sample's setup script names them.
	const wchar_t *WindowTitle();

	// notes.ini in the folder of the running program.
	std::wstring DefaultNotesPath();

	// Reads the notes file into *text (line ends as stored). A missing file
	// is no notes: true with *text empty. False with *error set (a Win32
	// error code) when the file exists but cannot be read.
	bool LoadNotes(const std::wstring &path, std::wstring *text, DWORD *error);

	// Writes text as UTF-8 to path through a temporary file beside it that
	// then replaces path, so a failed write never leaves a cut-off file in
	// place of the previous notes. False with *error set on failure; path is
	// then unchanged and no temporary file is left.
	bool SaveNotes(const std::wstring &path, const std::wstring &text, DWORD *error);

	// Registers the window class (once per process) and creates the main
	// window with the notes of notesPath, shown as show asks. The edit area
	// fills the client area and follows it when the window is resized; the
	// program's icon group 100 is used when instance has one.
	//
	// Closing the window saves changed notes to notesPath. When that fails,
	// a message box names the file and the cause and asks whether to close
	// anyway; No keeps the window open. When the notes file exists but cannot
	// be read, a message box says so at start and nothing is saved in this
	// session, so the unread notes are never overwritten.
	//
	// Null when the class or a window cannot be created.
	HWND CreateMainWindow(HINSTANCE instance, int show, const std::wstring &notesPath);

	// The edit area of a window made by CreateMainWindow; null for any other.
	HWND NotesEdit(HWND mainWindow);

	// Runs the thread's message loop until the main window is closed (it
	// posts the quit message when destroyed); returns the quit code, 0 after
	// a plain close.
	int RunMessageLoop();
}
