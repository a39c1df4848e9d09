#include "driver.h"
#include "files.h"

// The build keeps windows.h lean; GDI+ needs the COM declarations it leaves out.
#include <objidl.h>
#include <tlhelp32.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <mutex>

namespace e2e
{
	bool WaitUntil(DWORD timeoutMs, const std::function<bool()> &cond, DWORD pollMs)
	{
		const ULONGLONG end = GetTickCount64() + timeoutMs;
		for (;;)
		{
			if (cond()) return true;
			if (GetTickCount64() >= end) return false;
			Sleep(pollMs);
		}
	}

	std::wstring ErrorText(DWORD code)
	{
		wchar_t *buffer = nullptr;
		DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
		                         nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
		std::wstring text = L"error " + std::to_wstring(code);
		if (n && buffer)
		{
			std::wstring message(buffer, n);
			while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) message.pop_back();
			text += L": " + message;
		}
		if (buffer) LocalFree(buffer);
		return text;
	}

	// ---- processes ----------------------------------------------------------

	Process::~Process()
	{
		Kill();
		if (info.hThread) CloseHandle(info.hThread);
		if (info.hProcess) CloseHandle(info.hProcess);
	}

	bool Process::Start(const std::wstring &exe, const std::wstring &args, const std::wstring &workDir, std::wstring *error)
	{
		if (Started())
		{
			if (error) *error = L"a process is already held";
			return false;
		}
		// CreateProcessW may write into the command line, so it gets its own buffer.
		std::wstring command = L"\"" + exe + L"\"";
		if (!args.empty()) command += L" " + args;
		std::vector<wchar_t> buffer(command.begin(), command.end());
		buffer.push_back(0);

		STARTUPINFOW startup{};
		startup.cb = sizeof(startup);
		if (!CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
		                    workDir.empty() ? nullptr : workDir.c_str(), &startup, &info))
		{
			DWORD code = GetLastError();
			info = PROCESS_INFORMATION{};
			if (error) *error = L"cannot start " + exe + L": " + ErrorText(code);
			return false;
		}
		return true;
	}

	bool Process::Running() const
	{
		return Started() && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
	}

	bool Process::WaitForExit(DWORD timeoutMs, DWORD *exitCode)
	{
		if (!Started()) return false;
		if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
		if (exitCode)
		{
			DWORD code = 0;
			GetExitCodeProcess(info.hProcess, &code);
			*exitCode = code;
		}
		return true;
	}

	void Process::Kill()
	{
		if (!Running()) return;
		TerminateProcess(info.hProcess, 0xDEAD);
		WaitForSingleObject(info.hProcess, kExitTimeout);
	}

	// ---- windows ------------------------------------------------------------

	std::wstring WindowText(HWND hwnd)
	{
		// WM_GETTEXT rather than GetWindowTextW: for another process's window
		// GetWindowTextW may return the cached caption only, while WM_GETTEXT
		// asks the control itself (edit boxes, statics) and is marshalled.
		DWORD_PTR length = 0;
		if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &length)) return std::wstring();
		std::vector<wchar_t> buffer(length + 2, 0);
		DWORD_PTR copied = 0;
		if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, kSendTimeout, &copied))
			return std::wstring();
		return std::wstring(buffer.data(), std::min<size_t>(copied, buffer.size() - 1));
	}

	std::wstring ClassOf(HWND hwnd)
	{
		wchar_t name[256] = {0};
		int n = GetClassNameW(hwnd, name, 256);
		return std::wstring(name, n > 0 ? n : 0);
	}

	namespace
	{
		struct TopLevelSearch
		{
			DWORD pid;
			std::vector<HWND> found;
		};

		BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param)
		{
			auto *search = reinterpret_cast<TopLevelSearch *>(param);
			DWORD owner = 0;
			GetWindowThreadProcessId(hwnd, &owner);
			if (owner == search->pid) search->found.push_back(hwnd);
			return TRUE;
		}

		BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param)
		{
			reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
			return TRUE;
		}

		bool SameIgnoringCase(const std::wstring &a, const wchar_t *b)
		{
			size_t n = wcslen(b);
			if (a.size() != n) return false;
			for (size_t i = 0; i < n; i++)
				if (std::towlower(a[i]) != std::towlower(b[i])) return false;
			return true;
		}

		bool IsDialogBox(HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }
	}

	std::vector<HWND> TopLevelWindows(DWORD pid)
	{
		TopLevelSearch search{pid, {}};
		EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
		return search.found;
	}

	std::vector<DWORD> ProcessTree(DWORD pid)
	{
		std::vector<DWORD> tree = {pid};
		HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
		if (snapshot == INVALID_HANDLE_VALUE) return tree;
		std::vector<PROCESSENTRY32W> all;
		PROCESSENTRY32W entry{};
		entry.dwSize = sizeof(entry);
		for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) all.push_back(entry);
		CloseHandle(snapshot);
		// Parents come before their children in the tree, so one pass over
		// the tree so far finds every generation.
		for (size_t i = 0; i < tree.size(); i++)
			for (const PROCESSENTRY32W &process : all)
				if (process.th32ParentProcessID == tree[i] && process.th32ProcessID != pid &&
				    std::find(tree.begin(), tree.end(), process.th32ProcessID) == tree.end())
					tree.push_back(process.th32ProcessID);
		return tree;
	}

	std::wstring DescribeWindows(DWORD pid)
	{
		std::wstring text;
		for (HWND hwnd : TopLevelWindows(pid))
		{
			text += L"  [" + ClassOf(hwnd) + L"] \"" + WindowText(hwnd) + L"\"" + (IsWindowVisible(hwnd) ? L" visible" : L" hidden") + L"\n";
		}
		if (text.empty()) text = L"  (no windows)\n";
		return text;
	}

	HWND WaitForWindow(DWORD pid, const std::function<bool(HWND)> &match, DWORD timeoutMs, HANDLE process)
	{
		HWND found = nullptr;
		WaitUntil(timeoutMs, [&] {
			for (HWND hwnd : TopLevelWindows(pid))
			{
				if (IsWindowVisible(hwnd) && match(hwnd))
				{
					found = hwnd;
					return true;
				}
			}
			// A process that has ended will not show anything any more.
			return process != nullptr && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
		});
		return found;
	}

	HWND WaitForWindowTitled(DWORD pid, const std::wstring &title, DWORD timeoutMs, HANDLE process)
	{
		return WaitForWindow(pid, [&](HWND hwnd) { return !IsDialogBox(hwnd) && WindowText(hwnd) == title; }, timeoutMs, process);
	}

	std::vector<Control> Controls(HWND parent)
	{
		std::vector<HWND> handles;
		EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&handles));
		std::vector<Control> controls;
		controls.reserve(handles.size());
		for (HWND hwnd : handles)
		{
			Control control;
			control.hwnd = hwnd;
			control.cls = ClassOf(hwnd);
			control.text = WindowText(hwnd);
			control.id = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
			control.style = GetWindowLongW(hwnd, GWL_STYLE);
			control.visible = IsWindowVisible(hwnd) != FALSE;
			control.enabled = IsWindowEnabled(hwnd) != FALSE;
			GetWindowRect(hwnd, &control.rect);
			controls.push_back(control);
		}
		return controls;
	}

	bool IsClass(const Control &control, const wchar_t *cls) { return SameIgnoringCase(control.cls, cls); }

	ButtonKind KindOf(const Control &control)
	{
		if (!IsClass(control, L"Button")) return ButtonKind::Other;
		switch (control.style & BS_TYPEMASK)
		{
		case BS_PUSHBUTTON:
		case BS_DEFPUSHBUTTON:
		case BS_OWNERDRAW:
			return ButtonKind::Push;
		case BS_CHECKBOX:
		case BS_AUTOCHECKBOX:
		case BS_3STATE:
		case BS_AUTO3STATE:
			return ButtonKind::Check;
		case BS_RADIOBUTTON:
		case BS_AUTORADIOBUTTON:
			return ButtonKind::Radio;
		case BS_GROUPBOX:
			return ButtonKind::Group;
		default:
			return ButtonKind::Other;
		}
	}

	std::wstring NormalizeLineEnds(const std::wstring &text)
	{
		std::wstring result;
		result.reserve(text.size());
		for (size_t i = 0; i < text.size(); i++)
		{
			if (text[i] == L'\r')
			{
				result += L'\n';
				if (i + 1 < text.size() && text[i + 1] == L'\n') i++;
			}
			else
				result += text[i];
		}
		return result;
	}

	const Control *FindControl(const std::vector<Control> &controls, const wchar_t *cls, const std::wstring &text)
	{
		const std::wstring wanted = NormalizeLineEnds(text);
		for (const Control &control : controls)
			if (IsClass(control, cls) && NormalizeLineEnds(control.text) == wanted) return &control;
		return nullptr;
	}

	std::vector<std::wstring> VisibleTexts(const std::vector<Control> &controls, const wchar_t *cls)
	{
		std::vector<std::wstring> texts;
		for (const Control &control : controls)
			if (control.visible && IsClass(control, cls)) texts.push_back(NormalizeLineEnds(control.text));
		return texts;
	}

	bool Sync(HWND hwnd)
	{
		DWORD_PTR result = 0;
		return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result) != 0;
	}

	bool Click(HWND button)
	{
		DWORD_PTR result = 0;
		return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result) != 0;
	}

	bool PostClick(HWND button) { return PostMessageW(button, BM_CLICK, 0, 0) != 0; }

	int CheckState(HWND button)
	{
		DWORD_PTR result = 0;
		if (!SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result)) return -1;
		return static_cast<int>(result);
	}

	bool SetText(HWND edit, const std::wstring &text)
	{
		DWORD_PTR result = 0;
		return SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kSendTimeout, &result) != 0 && result;
	}

	int ListCount(HWND list)
	{
		DWORD_PTR result = 0;
		if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result)) return LB_ERR;
		return static_cast<int>(static_cast<LRESULT>(result));
	}

	std::wstring ListText(HWND list, int index)
	{
		DWORD_PTR length = 0;
		if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kSendTimeout, &length)) return std::wstring();
		if (static_cast<LRESULT>(length) == LB_ERR) return std::wstring();
		std::vector<wchar_t> buffer(length + 2, 0);
		DWORD_PTR copied = 0;
		if (!SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, kSendTimeout, &copied))
			return std::wstring();
		if (static_cast<LRESULT>(copied) == LB_ERR) return std::wstring();
		return std::wstring(buffer.data(), std::min<size_t>(copied, buffer.size() - 1));
	}

	LRESULT ListItemData(HWND list, int index)
	{
		DWORD_PTR result = 0;
		if (!SendMessageTimeoutW(list, LB_GETITEMDATA, index, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result)) return LB_ERR;
		return static_cast<LRESULT>(result);
	}

	bool ListItemRect(HWND list, int index, RECT *rect)
	{
		RECT r{};
		DWORD_PTR result = 0;
		if (!SendMessageTimeoutW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r), SMTO_ABORTIFHUNG, kSendTimeout, &result)) return false;
		if (static_cast<LRESULT>(result) == LB_ERR) return false;
		*rect = r;
		return true;
	}

	bool ClickListEntry(HWND list, int index)
	{
		RECT r{};
		if (!ListItemRect(list, index, &r)) return false;
		// A point a little right of the entry's left edge: where the check
		// mark and the label are, so any hit test of the list takes it.
		int x = r.left + std::min<LONG>(8, (r.right - r.left) / 2);
		int y = (r.top + r.bottom) / 2;
		LPARAM at = MAKELPARAM(x, y);
		DWORD_PTR result = 0;
		// Sent, not posted: when the calls return, the list has handled the
		// whole click, so the caller can read the new state without guessing
		// how long to wait.
		if (!SendMessageTimeoutW(list, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_ABORTIFHUNG, kSendTimeout, &result)) return false;
		if (!SendMessageTimeoutW(list, WM_LBUTTONUP, 0, at, SMTO_ABORTIFHUNG, kSendTimeout, &result)) return false;
		return Sync(list);
	}

	bool HoverListEntry(HWND list, int index)
	{
		RECT r{};
		if (!ListItemRect(list, index, &r)) return false;
		POINT at{r.left + std::min<LONG>(8, (r.right - r.left) / 2), (r.top + r.bottom) / 2};
		POINT onScreen = at;
		if (!ClientToScreen(list, &onScreen) || !MovePointer(onScreen.x, onScreen.y)) return false;
		// The pointer's own move may reach the list later or, without a
		// window manager, not at all: the list hears of it at once as well.
		DWORD_PTR result = 0;
		if (!SendMessageTimeoutW(list, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y), SMTO_ABORTIFHUNG, kSendTimeout, &result)) return false;
		return Sync(list);
	}

	bool MovePointer(int x, int y) { return SetCursorPos(x, y) != FALSE; }

	// ---- message boxes ------------------------------------------------------

	namespace
	{
		MessageBoxInfo ReadMessageBox(HWND hwnd)
		{
			MessageBoxInfo box;
			box.hwnd = hwnd;
			box.caption = WindowText(hwnd);
			std::wstring firstStatic;
			for (const Control &control : Controls(hwnd))
			{
				if (IsClass(control, L"Static"))
				{
					// The message itself is the static with id 0xFFFF; the
					// icon is a static too, but without text.
					if (control.id == 0xFFFF) box.text = NormalizeLineEnds(control.text);
					else if (firstStatic.empty() && !control.text.empty()) firstStatic = NormalizeLineEnds(control.text);
				}
				else if (KindOf(control) == ButtonKind::Push && control.visible)
				{
					box.buttons.emplace_back(control.id, control.text);
				}
			}
			if (box.text.empty()) box.text = firstStatic;
			std::sort(box.buttons.begin(), box.buttons.end());
			return box;
		}
	}

	namespace
	{
		struct BoxSearch
		{
			const std::wstring *caption;
			DWORD exclude;
			HWND found;
		};

		// A window procedure's calling convention: a plain lambda is not one
		// in the 32-bit build.
		BOOL CALLBACK TakeBox(HWND hwnd, LPARAM param)
		{
			auto *s = reinterpret_cast<BoxSearch *>(param);
			DWORD owner = 0;
			GetWindowThreadProcessId(hwnd, &owner);
			if (owner == GetCurrentProcessId() || owner == s->exclude || !IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770" ||
			    WindowText(hwnd) != *s->caption)
				return TRUE;
			s->found = hwnd;
			return FALSE;
		}
	}

	HWND MessageBoxOfAnotherProcess(const std::wstring &caption, DWORD exclude, DWORD *pid)
	{
		BoxSearch search{&caption, exclude, nullptr};
		EnumWindows(&TakeBox, reinterpret_cast<LPARAM>(&search));
		if (search.found) GetWindowThreadProcessId(search.found, pid);
		return search.found;
	}

	std::vector<MessageBoxInfo> MessageBoxes(DWORD pid)
	{
		std::vector<MessageBoxInfo> boxes;
		for (HWND hwnd : TopLevelWindows(pid))
			if (IsDialogBox(hwnd) && IsWindowVisible(hwnd)) boxes.push_back(ReadMessageBox(hwnd));
		return boxes;
	}

	bool WaitForMessageBox(DWORD pid, const std::wstring &caption, DWORD timeoutMs, MessageBoxInfo *box, HANDLE process)
	{
		HWND hwnd = WaitForWindow(pid, [&](HWND w) { return IsDialogBox(w) && WindowText(w) == caption; }, timeoutMs, process);
		if (!hwnd) return false;
		// The dialog becomes visible before all its controls have their
		// texts; wait until the buttons are there.
		MessageBoxInfo read;
		WaitUntil(kSendTimeout, [&] {
			read = ReadMessageBox(hwnd);
			return !read.buttons.empty();
		});
		if (box) *box = read;
		return !read.buttons.empty();
	}

	bool AnswerMessageBox(const MessageBoxInfo &box, int buttonId, DWORD timeoutMs)
	{
		HWND button = GetDlgItem(box.hwnd, buttonId);
		if (!button) return false;
		// Posted: the box's owner continues in the same thread once the box
		// ends, and may start long work before a sent message would return.
		if (!PostClick(button)) return false;
		return WaitUntil(timeoutMs, [&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); });
	}

	// ---- screenshots --------------------------------------------------------

	namespace
	{
		// GDI+ is started once per process and left running: test programs
		// end right after their last screenshot.
		bool StartGdiplus()
		{
			static std::once_flag once;
			static bool ok = false;
			std::call_once(once, [] {
				Gdiplus::GdiplusStartupInput input;
				ULONG_PTR token = 0;
				ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
			});
			return ok;
		}

		bool PngEncoder(CLSID *clsid)
		{
			UINT count = 0, bytes = 0;
			if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
			std::vector<BYTE> buffer(bytes);
			auto *codecs = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buffer.data());
			if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
			for (UINT i = 0; i < count; i++)
			{
				if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0)
				{
					*clsid = codecs[i].Clsid;
					return true;
				}
			}
			return false;
		}

		bool MakeFolders(const std::wstring &folder)
		{
			if (folder.empty()) return true;
			DWORD attributes = GetFileAttributesW(folder.c_str());
			if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
			size_t cut = folder.find_last_of(L"\\/");
			if (cut != std::wstring::npos && cut > 0 && folder[cut - 1] != L':')
				if (!MakeFolders(folder.substr(0, cut))) return false;
			return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
		}
	}

	namespace
	{
		// Copies what the screen shows in area (screen coordinates) into
		// top-down rows of 32-bit BGRX pixels.
		bool CaptureArea(const RECT &area, std::vector<uint32_t> *pixels, std::wstring *why)
		{
			const int width = area.right - area.left, height = area.bottom - area.top;
			if (width <= 0 || height <= 0)
			{
				*why = L"nothing of the area is on the screen";
				return false;
			}
			HDC screen = GetDC(nullptr);
			HDC memory = CreateCompatibleDC(screen);
			BITMAPINFO bmi{};
			bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
			bmi.bmiHeader.biWidth = width;
			bmi.bmiHeader.biHeight = -height;  // top-down rows
			bmi.bmiHeader.biPlanes = 1;
			bmi.bmiHeader.biBitCount = 32;
			bmi.bmiHeader.biCompression = BI_RGB;
			void *bits = nullptr;
			HBITMAP dib = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
			bool ok = false;
			if (dib && bits)
			{
				HGDIOBJ old = SelectObject(memory, dib);
				ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
				SelectObject(memory, old);
				if (ok)
				{
					const uint32_t *first = static_cast<const uint32_t *>(bits);
					pixels->assign(first, first + static_cast<size_t>(width) * height);
				}
				else
					*why = L"BitBlt failed";
			}
			else
				*why = L"cannot make a bitmap of " + std::to_wstring(width) + L"x" + std::to_wstring(height);
			if (dib) DeleteObject(dib);
			DeleteDC(memory);
			ReleaseDC(nullptr, screen);
			return ok;
		}

		// The part of the screen that window (all of the screen when null)
		// covers; only that part can be read from the screen.
		bool ScreenAreaOf(HWND window, const RECT *part, RECT *area, std::wstring *why)
		{
			*area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
			if (!window) return true;
			RECT r;
			if (!GetWindowRect(window, &r))
			{
				*why = L"window is gone";
				return false;
			}
			if (part) r = RECT{r.left + part->left, r.top + part->top, r.left + part->right, r.top + part->bottom};
			if (!IntersectRect(area, area, &r))
			{
				*why = L"window is off the screen";
				return false;
			}
			return true;
		}
	}

	bool SaveScreenshot(HWND window, const std::wstring &path, std::wstring *error)
	{
		auto fail = [&](const std::wstring &why) {
			if (error) *error = why;
			return false;
		};
		if (!StartGdiplus()) return fail(L"GDI+ does not start");
		CLSID png;
		if (!PngEncoder(&png)) return fail(L"no PNG encoder");

		RECT area;
		std::wstring why;
		std::vector<uint32_t> pixels;
		if (!ScreenAreaOf(window, nullptr, &area, &why) || !CaptureArea(area, &pixels, &why)) return fail(why);
		const int width = area.right - area.left, height = area.bottom - area.top;

		size_t cut = path.find_last_of(L"\\/");
		if (cut != std::wstring::npos && !MakeFolders(path.substr(0, cut))) return fail(L"cannot create the folder of " + path);
		// The screen has no alpha: the pixels are saved as plain 32-bit RGB.
		Gdiplus::Bitmap image(width, height, width * 4, PixelFormat32bppRGB, reinterpret_cast<BYTE *>(pixels.data()));
		Gdiplus::Status status = image.Save(path.c_str(), &png, nullptr);
		if (status != Gdiplus::Ok) return fail(L"PNG encoding failed (status " + std::to_wstring(status) + L") for " + path);
		return true;
	}

	bool CaptureWindowPart(HWND window, const RECT &part, std::vector<COLORREF> *pixels)
	{
		RECT area;
		std::wstring why;
		std::vector<uint32_t> raw;
		if (!window || !ScreenAreaOf(window, &part, &area, &why) || !CaptureArea(area, &raw, &why)) return false;
		pixels->clear();
		pixels->reserve(raw.size());
		for (uint32_t bgrx : raw) pixels->push_back(RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF));
		return true;
	}

	bool ShowsOnTop(HWND window, const RECT &part)
	{
		RECT r;
		if (!window || !GetWindowRect(window, &r)) return false;
		const LONG left = r.left + part.left, top = r.top + part.top, right = r.left + part.right - 1, bottom = r.top + part.bottom - 1;
		const POINT points[] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}, {(left + right) / 2, (top + bottom) / 2}};
		for (POINT point : points)
		{
			HWND hit = WindowFromPoint(point);
			if (!hit || GetAncestor(hit, GA_ROOT) != window) return false;
		}
		return true;
	}

	bool ReadPixel(const std::wstring &path, int x, int y, COLORREF *color, SIZE *size)
	{
		if (!StartGdiplus()) return false;
		Gdiplus::Bitmap image(path.c_str());
		if (image.GetLastStatus() != Gdiplus::Ok) return false;
		const int width = static_cast<int>(image.GetWidth()), height = static_cast<int>(image.GetHeight());
		if (size) *size = SIZE{width, height};
		if (x < 0 || y < 0 || x >= width || y >= height) return false;
		Gdiplus::Color pixel;
		if (image.GetPixel(x, y, &pixel) != Gdiplus::Ok) return false;
		*color = RGB(pixel.GetR(), pixel.GetG(), pixel.GetB());
		return true;
	}

	std::wstring ModuleFolder()
	{
		std::vector<wchar_t> buffer(MAX_PATH);
		for (;;)
		{
			DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
			if (n == 0) return std::wstring();
			if (n < buffer.size())
			{
				std::wstring path(buffer.data(), n);
				size_t cut = path.find_last_of(L"\\/");
				return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
			}
			buffer.resize(buffer.size() * 2);
		}
	}

	std::string ConsoleOutput(const std::wstring &commandLine, const std::wstring &file, DWORD timeoutMs)
	{
		SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
		HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
		if (out == INVALID_HANDLE_VALUE) return "(cannot create " + Narrow(file) + ")";
		STARTUPINFOW startup{};
		startup.cb = sizeof(startup);
		startup.dwFlags = STARTF_USESTDHANDLES;
		startup.hStdOutput = startup.hStdError = out;
		PROCESS_INFORMATION info{};
		std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
		command.push_back(0);
		const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
		CloseHandle(out);
		if (!started) return "(cannot start " + Narrow(commandLine) + ")";
		const bool ended = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
		if (!ended) TerminateProcess(info.hProcess, 1);
		CloseHandle(info.hProcess);
		CloseHandle(info.hThread);
		std::string bytes;
		ReadFile(file, &bytes);
		// Wide text when it holds zero bytes.
		if (bytes.find('\0') != std::string::npos && bytes.size() % 2 == 0)
			bytes = Narrow(std::wstring(reinterpret_cast<const wchar_t *>(bytes.data()), bytes.size() / 2));
		return ended ? bytes : bytes + "(did not end)";
	}
}
