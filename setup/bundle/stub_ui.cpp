#include "stub_ui.h"

#include "stub_resources.h"

#include <commctrl.h>

#include <cstdlib>

namespace Tolvane
{
	namespace
	{
		// The window functions the stub uses, bound at run time: a static
		// import would load user32 (and under Wine, version.dll with it)
		// while the process starts, before the stub could restrict the DLL
		// search to the system folder.
		struct Functions
		{
			decltype(&RegisterClassExW)	   registerClassEx;
			decltype(&CreateWindowExW)	   createWindowEx;
			decltype(&DestroyWindow)	   destroyWindow;
			decltype(&DefWindowProcW)	   defWindowProc;
			decltype(&ShowWindow)		   showWindow;
			decltype(&UpdateWindow)		   updateWindow;
			decltype(&PeekMessageW)		   peekMessage;
			decltype(&TranslateMessage)	   translateMessage;
			decltype(&DispatchMessageW)	   dispatchMessage;
			decltype(&SendMessageW)		   sendMessage;
			decltype(&MessageBoxW)		   messageBox;
			decltype(&LoadStringW)		   loadString;
			decltype(&LoadIconW)		   loadIcon;
			decltype(&LoadCursorW)		   loadCursor;
			decltype(&GetSystemMetrics)	   getSystemMetrics;
			decltype(&SystemParametersInfoW)   systemParametersInfo;
			decltype(&AdjustWindowRectEx)	   adjustWindowRectEx;
			decltype(&GetDC)		   getDC;
			decltype(&ReleaseDC)		   releaseDC;
			decltype(&GetDeviceCaps)	   getDeviceCaps;
			decltype(&CreateFontIndirectW)	   createFontIndirect;
			decltype(&DeleteObject)		   deleteObject;
			decltype(&InitCommonControlsEx)	   initCommonControlsEx;	// may stay null: no bar then
		} api;

		template <typename T> bool Bind(HMODULE module, const char *name, T *function)
		{
			*function = module ? reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;

			return *function != nullptr;
		}

		const wchar_t kWindowClass[] = L"TolvaneBundleProgress";

		LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
		{
			// Unpacking cannot be stopped half-way without leaving a
			// half-unpacked folder to clear up: the window stays until done.
			if (message == WM_CLOSE) return 0;

			return api.defWindowProc(hwnd, message, wParam, lParam);
		}

		// A string resource; empty when missing. The pointer is the
		// resource's own memory (LoadString with length 0), not terminated.
		size_t ResourceString(HINSTANCE instance, UINT id, const wchar_t **text)
		{
			const int length = api.loadString(instance, id, reinterpret_cast<wchar_t *>(text), 0);

			return length > 0 ? size_t(length) : 0;
		}

		// A string resource into buffer, cut to its capacity.
		void CopyString(HINSTANCE instance, UINT id, wchar_t *buffer, size_t capacity)
		{
			const wchar_t *text = L"";
			size_t	       size = ResourceString(instance, id, &text);

			if (size >= capacity) size = capacity - 1;

			for (size_t i = 0; i < size; i++) buffer[i] = text[i];

			buffer[size] = 0;
		}
	}

	HMODULE LoadSystemLibrary(const wchar_t *name)
	{
		// LOAD_LIBRARY_SEARCH_SYSTEM32 needs the update that brought
		// SetDefaultDllDirectories; without it, the full path of the system
		// folder does the same.
		if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
			return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

		wchar_t	   path[MAX_PATH + 32];
		const UINT length = GetSystemDirectoryW(path, MAX_PATH);

		if (length == 0 || length >= MAX_PATH || lstrlenW(name) > 30) return nullptr;

		path[length] = L'\\';
		lstrcpyW(path + length + 1, name);

		return LoadLibraryW(path);
	}

	StubUi::~StubUi()
	{
		CloseProgress();
	}

	bool StubUi::Load()
	{
		if (tried) return loaded;

		tried = true;

		const HMODULE user = LoadSystemLibrary(L"user32.dll"), gdi = LoadSystemLibrary(L"gdi32.dll");

		loaded = Bind(user, "RegisterClassExW", &api.registerClassEx) && Bind(user, "CreateWindowExW", &api.createWindowEx) &&
		         Bind(user, "DestroyWindow", &api.destroyWindow) && Bind(user, "DefWindowProcW", &api.defWindowProc) &&
		         Bind(user, "ShowWindow", &api.showWindow) && Bind(user, "UpdateWindow", &api.updateWindow) &&
		         Bind(user, "PeekMessageW", &api.peekMessage) && Bind(user, "TranslateMessage", &api.translateMessage) &&
		         Bind(user, "DispatchMessageW", &api.dispatchMessage) && Bind(user, "SendMessageW", &api.sendMessage) &&
		         Bind(user, "MessageBoxW", &api.messageBox) && Bind(user, "LoadStringW", &api.loadString) &&
		         Bind(user, "LoadIconW", &api.loadIcon) && Bind(user, "LoadCursorW", &api.loadCursor) &&
		         Bind(user, "GetSystemMetrics", &api.getSystemMetrics) && Bind(user, "SystemParametersInfoW", &api.systemParametersInfo) &&
		         Bind(user, "AdjustWindowRectEx", &api.adjustWindowRectEx) && Bind(user, "GetDC", &api.getDC) &&
		         Bind(user, "ReleaseDC", &api.releaseDC) && Bind(gdi, "GetDeviceCaps", &api.getDeviceCaps) &&
		         Bind(gdi, "CreateFontIndirectW", &api.createFontIndirect) && Bind(gdi, "DeleteObject", &api.deleteObject);

		// The manifest asks for common controls 6: loaded by name, the
		// activation context picks that version.
		if (loaded) Bind(LoadSystemLibrary(L"comctl32.dll"), "InitCommonControlsEx", &api.initCommonControlsEx);

		return loaded;
	}

	void StubUi::ShowError(UINT textId, const wchar_t *detail)
	{
		if (!Load()) return;

		CloseProgress();

		const wchar_t *caption = L"", *text = L"";
		const size_t   captionSize = ResourceString(instance, IDS_CAPTION, &caption);
		const size_t   textSize	   = ResourceString(instance, textId, &text);
		const size_t   detailSize  = lstrlenW(detail);
		wchar_t	      *message	   = static_cast<wchar_t *>(malloc((textSize + detailSize + 1) * sizeof(wchar_t)));
		wchar_t	      *title	   = static_cast<wchar_t *>(malloc((captionSize + 1) * sizeof(wchar_t)));

		if (message && title)
		{
			size_t out = 0;

			for (size_t i = 0; i < textSize; i++)
			{
				if (text[i] == L'%' && i + 1 < textSize && text[i + 1] == L's')
				{
					for (size_t k = 0; k < detailSize; k++) message[out++] = detail[k];

					i++;
				}
				else message[out++] = text[i];
			}

			message[out] = 0;

			for (size_t i = 0; i < captionSize; i++) title[i] = caption[i];

			title[captionSize] = 0;

			api.messageBox(nullptr, message, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
		}

		free(message);
		free(title);
	}

	bool StubUi::OpenWindow()
	{
		if (!Load() || !api.initCommonControlsEx) return false;

		INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};

		if (!api.initCommonControlsEx(&controls)) return false;

		WNDCLASSEXW windowClass = {};

		windowClass.cbSize	  = sizeof(windowClass);
		windowClass.lpfnWndProc	  = WindowProc;
		windowClass.hInstance	  = instance;
		windowClass.hIcon	  = api.loadIcon(instance, MAKEINTRESOURCEW(IDI_STUB));
		windowClass.hCursor	  = api.loadCursor(nullptr, MAKEINTRESOURCEW(32514));	// IDC_APPSTARTING: busy, still usable
		windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
		windowClass.lpszClassName = kWindowClass;

		if (!api.registerClassEx(&windowClass)) return false;

		// Sizes in dialog-like units of 96 DPI, scaled by the system's DPI.
		const HDC dc  = api.getDC(nullptr);
		const int dpi = dc ? api.getDeviceCaps(dc, LOGPIXELSY) : 96;

		if (dc) api.releaseDC(nullptr, dc);

		auto scale = [dpi](int value) { return MulDiv(value, dpi > 0 ? dpi : 96, 96); };

		NONCLIENTMETRICSW metrics = {};

		metrics.cbSize = sizeof(metrics);

		if (api.systemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) font = api.createFontIndirect(&metrics.lfMessageFont);

		const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME;
		RECT	    frame = {0, 0, scale(360), scale(84)};

		api.adjustWindowRectEx(&frame, style, FALSE, exStyle);

		const int width = frame.right - frame.left, height = frame.bottom - frame.top;
		const int x = (api.getSystemMetrics(SM_CXSCREEN) - width) / 2, y = (api.getSystemMetrics(SM_CYSCREEN) - height) / 2;

		wchar_t caption[128], preparing[256];

		CopyString(instance, IDS_CAPTION, caption, 128);
		CopyString(instance, IDS_PREPARING, preparing, 256);

		window = api.createWindowEx(exStyle, kWindowClass, caption, style, x, y, width, height, nullptr, nullptr, instance, nullptr);

		if (!window) return false;

		const HWND label = api.createWindowEx(0, L"STATIC", preparing, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, scale(14), scale(14),
		                                      scale(332), scale(20), window, nullptr, instance, nullptr);

		bar = api.createWindowEx(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, scale(14), scale(44), scale(332), scale(18), window, nullptr,
		                         instance, nullptr);

		if (font && label) api.sendMessage(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
		if (bar) api.sendMessage(bar, PBM_SETRANGE32, 0, 1000);

		api.showWindow(window, SW_SHOWNORMAL);
		api.updateWindow(window);

		return true;
	}

	void StubUi::Pump()
	{
		MSG message;

		while (api.peekMessage(&message, nullptr, 0, 0, PM_REMOVE))
		{
			api.translateMessage(&message);
			api.dispatchMessage(&message);
		}
	}

	void StubUi::Progress(uint64_t done, uint64_t total, DWORD showAfterMs)
	{
		if (!timing)
		{
			timing	= true;
			started = GetTickCount();
		}

		if (!window && !windowFailed && GetTickCount() - started >= showAfterMs) windowFailed = !OpenWindow();

		if (!window) return;

		const int now = total ? int(done * 1000 / total) : 1000;

		if (bar && now != position) api.sendMessage(bar, PBM_SETPOS, WPARAM(now), 0);

		position = now;
		Pump();
	}

	void StubUi::CloseProgress()
	{
		if (window)
		{
			api.destroyWindow(window);
			window = bar = nullptr;
			Pump();
		}

		if (font)
		{
			api.deleteObject(font);
			font = nullptr;
		}
	}
}
