#include "pebble_window.h"

#include "pebble_product.h"

#include <vector>

namespace Pebble
{
	namespace
	{
		const wchar_t *const kClassName = L"PebbleNotesMainWindow";
		const int kEditId = 1;
		const UINT kUnreadableNotes = WM_APP + 1; // wParam: the Win32 error

		// What one main window owns besides its child windows.
		struct WindowState
		{
			HWND edit = nullptr;
			HFONT font = nullptr;
			std::wstring notesPath;
			bool maySave = true; // false when the notes on disk could not be read
		};

		WindowState *StateOf(HWND hwnd) { return reinterpret_cast<WindowState *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

		std::wstring SystemMessage(DWORD error)
		{
			wchar_t *text = nullptr;
			DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
			                         error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
			std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(error);
			if (text) LocalFree(text);
			while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) message.pop_back();
			return message;
		}

		// The font the system uses for message text, so the notes read like
		// the rest of the desktop; null (the stock GUI font then) when the
		// system does not say.
		HFONT CreateNotesFont()
		{
			NONCLIENTMETRICSW metrics = {};
			metrics.cbSize = sizeof(metrics);
			if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
				return CreateFontIndirectW(&metrics.lfMessageFont);
			return nullptr;
		}

		void FitEditToClient(HWND hwnd, HWND edit)
		{
			RECT client;
			GetClientRect(hwnd, &client);
			MoveWindow(edit, 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
		}

		std::wstring EditText(HWND edit)
		{
			std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
			text.resize(static_cast<size_t>(GetWindowTextW(edit, &text[0], static_cast<int>(text.size()))));
			return text;
		}

		bool OnCreate(HWND hwnd, const CREATESTRUCTW *create)
		{
			WindowState *state = new WindowState;
			SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
			state->notesPath = *static_cast<const std::wstring *>(create->lpCreateParams);

			// No horizontal scrolling: long lines wrap at the window's edge.
			state->edit = CreateWindowExW(0, L"EDIT", L"",
			                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
			                              0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), create->hInstance,
			                              nullptr);
			if (!state->edit) return false;

			state->font = CreateNotesFont();
			SendMessageW(state->edit, WM_SETFONT,
			             reinterpret_cast<WPARAM>(state->font ? state->font : GetStockObject(DEFAULT_GUI_FONT)), FALSE);
			// A multi-line edit takes about 32 K characters by default: lift
			// that, notes have no natural size.
			SendMessageW(state->edit, EM_SETLIMITTEXT, 0, 0);
			SendMessageW(state->edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(6, 6));
			FitEditToClient(hwnd, state->edit);

			std::wstring notes;
			DWORD error = 0;
			if (LoadNotes(state->notesPath, &notes, &error))
				SetWindowTextW(state->edit, notes.c_str());
			else
				state->maySave = false;
			SendMessageW(state->edit, EM_SETMODIFY, FALSE, 0);
			// Told once the window is on screen, so the box has its owner.
			if (!state->maySave) PostMessageW(hwnd, kUnreadableNotes, error, 0);
			return true;
		}

		// Saves changed notes; when that fails, asks whether to close anyway.
		// Returns whether the window may close.
		bool SaveBeforeClose(HWND hwnd, WindowState *state)
		{
			if (!state->maySave || !SendMessageW(state->edit, EM_GETMODIFY, 0, 0)) return true;
			DWORD error = 0;
			if (SaveNotes(state->notesPath, EditText(state->edit), &error))
			{
				SendMessageW(state->edit, EM_SETMODIFY, FALSE, 0);
				return true;
			}
			const std::wstring text = L"Your notes could not be saved to\n" + state->notesPath + L"\n" + SystemMessage(error) +
			                          L"\n\nClose anyway and lose the changes?";
			return MessageBoxW(hwnd, text.c_str(), WindowTitle(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
		}

		LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
		{
			WindowState *state = StateOf(hwnd);
			switch (message)
			{
			case WM_CREATE:
				return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW *>(lParam)) ? 0 : -1;
			case WM_SIZE:
				if (state && state->edit) FitEditToClient(hwnd, state->edit);
				return 0;
			case WM_SETFOCUS:
				if (state && state->edit) SetFocus(state->edit);
				return 0;
			case kUnreadableNotes:
				if (state)
				{
					const std::wstring text = L"Your notes in\n" + state->notesPath + L"\ncould not be read: " +
					                          SystemMessage(static_cast<DWORD>(wParam)) +
					                          L"\n\nChanges you make now will not be saved, so the notes in that file are kept.";
					MessageBoxW(hwnd, text.c_str(), WindowTitle(), MB_OK | MB_ICONWARNING);
				}
				return 0;
			case WM_CLOSE:
				if (state && state->edit && !SaveBeforeClose(hwnd, state)) return 0;
				DestroyWindow(hwnd);
				return 0;
			case WM_ENDSESSION:
				// Windows is logging off and asks nobody: save what can be saved.
				if (wParam && state && state->edit && state->maySave && SendMessageW(state->edit, EM_GETMODIFY, 0, 0))
				{
					DWORD error = 0;
					if (SaveNotes(state->notesPath, EditText(state->edit), &error)) SendMessageW(state->edit, EM_SETMODIFY, FALSE, 0);
				}
				return 0;
			case WM_DESTROY:
				PostQuitMessage(0);
				return 0;
			case WM_NCDESTROY:
				// The edit area, a child, is gone by now; its font can go too.
				if (state)
				{
					if (state->font) DeleteObject(state->font);
					delete state;
					SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
				}
				break;
			}
			return DefWindowProcW(hwnd, message, wParam, lParam);
		}

		bool RegisterClassOnce(HINSTANCE instance)
		{
			WNDCLASSEXW existing = {};
			existing.cbSize = sizeof(existing);
			if (GetClassInfoExW(instance, kClassName, &existing)) return true;

			WNDCLASSEXW wc = {};
			wc.cbSize = sizeof(wc);
			wc.lpfnWndProc = WindowProc;
			wc.hInstance = instance;
			wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(100), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
			                                         GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
			wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(100), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
			                                           GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
			wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
			wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
			wc.lpszClassName = kClassName;
			return RegisterClassExW(&wc) != 0;
		}
	}

	const wchar_t *WindowTitle() { return L"" PEBBLE_NAME " " PEBBLE_VERSION; }

	std::wstring DefaultNotesPath()
	{
		std::vector<wchar_t> buffer(MAX_PATH);
		DWORD n;
		while ((n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) >= buffer.size())
			buffer.resize(buffer.size() * 2);
		std::wstring program(buffer.data(), n);
		size_t slash = program.find_last_of(L"\\/");
		return (slash == std::wstring::npos ? std::wstring() : program.substr(0, slash + 1)) + L"notes.ini";
	}

	bool LoadNotes(const std::wstring &path, std::wstring *text, DWORD *error)
	{
		text->clear();
		HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
		if (file == INVALID_HANDLE_VALUE)
		{
			DWORD why = GetLastError();
			if (why == ERROR_FILE_NOT_FOUND) return true;
			*error = why;
			return false;
		}
		std::string bytes;
		char chunk[65536];
		DWORD got = 0;
		bool ok = true;
		while ((ok = ReadFile(file, chunk, sizeof(chunk), &got, nullptr) != FALSE) && got > 0) bytes.append(chunk, got);
		if (!ok) *error = GetLastError();
		CloseHandle(file);
		if (!ok) return false;

		size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
		if (bytes.size() <= start) return true;
		// Notes are written as UTF-8; a file from elsewhere that is not UTF-8
		// is read in the system's code page rather than refused.
		const char *data = bytes.data() + start;
		const int size = static_cast<int>(bytes.size() - start);
		UINT codePage = CP_UTF8;
		int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
		if (n == 0)
		{
			codePage = CP_ACP;
			n = MultiByteToWideChar(codePage, 0, data, size, nullptr, 0);
		}
		text->resize(static_cast<size_t>(n));
		if (n > 0) MultiByteToWideChar(codePage, 0, data, size, &(*text)[0], n);
		return true;
	}

	bool SaveNotes(const std::wstring &path, const std::wstring &text, DWORD *error)
	{
		std::string bytes;
		if (!text.empty())
		{
			int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
			bytes.resize(static_cast<size_t>(n));
			if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
		}

		const std::wstring temporary = path + L".new";
		HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
		if (file == INVALID_HANDLE_VALUE)
		{
			*error = GetLastError();
			return false;
		}
		size_t written = 0;
		bool ok = true;
		while (ok && written < bytes.size())
		{
			DWORD n = 0;
			DWORD part = static_cast<DWORD>(bytes.size() - written > (1u << 20) ? (1u << 20) : bytes.size() - written);
			ok = WriteFile(file, bytes.data() + written, part, &n, nullptr) != FALSE && n == part;
			written += n;
		}
		ok = ok && FlushFileBuffers(file) != FALSE;
		DWORD why = ok ? 0 : GetLastError();
		CloseHandle(file);
		if (ok && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
		{
			ok = false;
			why = GetLastError();
		}
		if (!ok)
		{
			DeleteFileW(temporary.c_str());
			*error = why ? why : ERROR_WRITE_FAULT;
		}
		return ok;
	}

	HWND CreateMainWindow(HINSTANCE instance, int show, const std::wstring &notesPath)
	{
		if (!RegisterClassOnce(instance)) return nullptr;
		HWND hwnd = CreateWindowExW(0, kClassName, WindowTitle(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr,
		                            nullptr, instance, const_cast<std::wstring *>(&notesPath));
		if (!hwnd) return nullptr;
		ShowWindow(hwnd, show);
		UpdateWindow(hwnd);
		return hwnd;
	}

	HWND NotesEdit(HWND mainWindow)
	{
		wchar_t name[64] = {0};
		if (!mainWindow || !GetClassNameW(mainWindow, name, 64) || lstrcmpW(name, kClassName) != 0) return nullptr;
		WindowState *state = StateOf(mainWindow);
		return state ? state->edit : nullptr;
	}

	int RunMessageLoop()
	{
		MSG msg;
		BOOL got;
		while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0)
		{
			if (got == -1) return 1;
			TranslateMessage(&msg);
			DispatchMessageW(&msg);
		}
		return static_cast<int>(msg.wParam);
	}
}
