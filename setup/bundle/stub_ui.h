// What the bundle stub shows: a progress window while it unpacks, and a
// message box when it fails. user32, gdi32 and comctl32 are loaded from the
// system folder the first time something is shown (the stub imports none of
// them), so a silent run loads none of them at all.
//
// Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

namespace Tolvane
{
	class StubUi
	{
	public:
		explicit StubUi(HINSTANCE instance) : instance(instance) {}
		~StubUi();
		StubUi(const StubUi &) = delete;
		StubUi &operator=(const StubUi &) = delete;

		// Shows string textId with its "%s" replaced by detail in a modal
		// error box, titled with IDS_CAPTION. Shows nothing when user32
		// cannot be loaded.
		void	 ShowError(UINT textId, const wchar_t *detail);

		// Reports done of total bytes unpacked. Once more than showAfterMs
		// have passed since the first call, a small window (IDS_CAPTION,
		// IDS_PREPARING, a progress bar) shows and follows the count; its
		// messages are handled here, as the stub has no other loop. A window
		// that cannot be made is simply not shown.
		void	 Progress(uint64_t done, uint64_t total, DWORD showAfterMs = 1000);

		// Closes the progress window when it is open.
		void	 CloseProgress();

	private:
		bool	 Load();
		bool	 OpenWindow();
		void	 Pump();

		HINSTANCE instance;
		bool	  tried = false, loaded = false, windowFailed = false;
		DWORD	  started = 0;
		bool	  timing = false;
		HWND	  window = nullptr, bar = nullptr;
		HFONT	  font = nullptr;
		int	  position = -1;
	};

	// The system DLL name (no path) loaded from the system folder only;
	// null when it cannot be. Used for every DLL the stub loads itself.
	HMODULE	 LoadSystemLibrary(const wchar_t *name);
}
