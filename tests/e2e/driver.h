// Drives a Windows program from outside, as a person at the screen would:
// start it, find its windows, read and click its controls, answer its message
// boxes, wait for its end and take screenshots. Everything goes through plain
// Win32 calls from a second process, so it works against any program,
// including one under Wine on a display without a window manager.
//
// Every wait polls until its condition holds or its time is up; none of them
// sleeps for a fixed long time. Functions that talk to another process's
// window use SendMessageTimeout, so a hung target makes them fail instead of
// hanging the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e
{
	// Time limits in milliseconds.
	constexpr DWORD kWindowTimeout = 30000;  // first window of a fresh process (Wine needs a few seconds)
	constexpr DWORD kStepTimeout   = 15000;  // one page change, one message box
	constexpr DWORD kExitTimeout   = 20000;  // end of a program after its last action
	constexpr DWORD kSendTimeout   = 5000;   // one synchronous message to another process

	// Polls cond every pollMs until it returns true (result true) or timeoutMs
	// have passed (result false). cond is called at least once.
	bool WaitUntil(DWORD timeoutMs, const std::function<bool()> &cond, DWORD pollMs = 20);

	// A program started by the test. The destructor kills it when it still
	// runs, so a failing test never leaves a process behind.
	class Process
	{
	public:
		Process() = default;
		~Process();
		Process(const Process &) = delete;
		Process &operator=(const Process &) = delete;

		// Starts exe (full path) with the given argument text (quoted by the
		// caller as needed) and workDir as its current folder. Returns false
		// and sets *error to a readable cause when CreateProcessW fails or a
		// process is already held.
		bool Start(const std::wstring &exe, const std::wstring &args, const std::wstring &workDir, std::wstring *error = nullptr);

		bool Started() const { return info.hProcess != nullptr; }
		DWORD Id() const { return info.dwProcessId; }
		HANDLE Handle() const { return info.hProcess; }

		// True while the process has not ended (false when never started).
		bool Running() const;

		// Waits up to timeoutMs for the end. Returns true and sets *exitCode
		// when it ended; false on timeout, when the process keeps running.
		bool WaitForExit(DWORD timeoutMs, DWORD *exitCode = nullptr);

		// Terminates a still running process (exit code 0xDEAD) and waits for
		// it to be gone. Safe when not started or already ended.
		void Kill();

	private:
		PROCESS_INFORMATION info{};
	};

	// Texts and classes of any window, also of other processes. Empty when the
	// window is gone or does not answer within kSendTimeout.
	std::wstring WindowText(HWND hwnd);
	std::wstring ClassOf(HWND hwnd);

	// Top-level windows owned by process pid (visible or not), in z-order
	// from the top.
	std::vector<HWND> TopLevelWindows(DWORD pid);
	// The process pid and every process it started, and those started, ...
	// (those still running), pid first.
	std::vector<DWORD> ProcessTree(DWORD pid);

	// What commandLine, started without a window, writes to its standard
	// output and error, through file (replaced); UTF-16 text (as Wine's
	// programs may write it) comes back as UTF-8. "(did not end)" is added
	// when it runs longer than timeoutMs (it is then ended), "(cannot ...)"
	// is all when it cannot be started.
	std::string ConsoleOutput(const std::wstring &commandLine, const std::wstring &file, DWORD timeoutMs = kExitTimeout);

	// One line per top-level window of pid: class, title, visibility. For
	// failure messages.
	std::wstring DescribeWindows(DWORD pid);

	// Waits for a visible top-level window of pid for which match returns
	// true. Returns null on timeout or when process (if given) ends first.
	HWND WaitForWindow(DWORD pid, const std::function<bool(HWND)> &match, DWORD timeoutMs, HANDLE process = nullptr);

	// A visible top-level window of pid whose title is exactly title; message
	// boxes (#32770) are not taken.
	HWND WaitForWindowTitled(DWORD pid, const std::wstring &title, DWORD timeoutMs, HANDLE process = nullptr);

	// A child control as seen from outside.
	struct Control
	{
		HWND hwnd = nullptr;
		std::wstring cls;      // window class, e.g. "Button", "Edit", "Static", "ListBox"
		std::wstring text;     // window text
		int id = 0;            // control id (GWLP_ID)
		LONG style = 0;        // GWL_STYLE
		bool visible = false;  // IsWindowVisible: own flag and all parents
		bool enabled = false;  // IsWindowEnabled
		RECT rect{};           // screen coordinates
	};

	// Every descendant control of parent, in the order EnumChildWindows gives.
	std::vector<Control> Controls(HWND parent);

	// Class names compared without regard to case ("Button" == "BUTTON").
	bool IsClass(const Control &control, const wchar_t *cls);

	// The kind of a BUTTON-class control by its style.
	enum class ButtonKind { Push, Check, Radio, Group, Other };
	ButtonKind KindOf(const Control &control);

	// First control of class cls whose text equals text (after turning CR LF
	// into LF on both sides); null when there is none.
	const Control *FindControl(const std::vector<Control> &controls, const wchar_t *cls, const std::wstring &text);

	// Texts of all visible controls of class cls (CR LF turned into LF).
	std::vector<std::wstring> VisibleTexts(const std::vector<Control> &controls, const wchar_t *cls);

	// CR LF and lone CR become LF.
	std::wstring NormalizeLineEnds(const std::wstring &text);

	// Clicks a button with BM_CLICK. Click waits until the target has handled
	// it (returns false when it does not within kSendTimeout); PostClick only
	// queues it and returns at once: use it when the click opens a modal box
	// or starts long work.
	bool Click(HWND button);
	bool PostClick(HWND button);

	// BM_GETCHECK of a check box or option box: BST_CHECKED / BST_UNCHECKED,
	// or -1 when the window does not answer.
	int CheckState(HWND button);

	// Replaces the text of an edit control (WM_SETTEXT), as typing over it
	// would. False when the target does not answer.
	bool SetText(HWND edit, const std::wstring &text);

	// List boxes. Count and data are -1 (LB_ERR) when the window does not
	// answer or the index is out of range.
	int ListCount(HWND list);
	std::wstring ListText(HWND list, int index);
	LRESULT ListItemData(HWND list, int index);
	bool ListItemRect(HWND list, int index, RECT *rect);

	// A left click at the middle of entry index: WM_LBUTTONDOWN and
	// WM_LBUTTONUP delivered synchronously, so the list has handled both when
	// this returns. False when the entry has no rectangle or the target does
	// not answer.
	bool ClickListEntry(HWND list, int index);

	// Moves the mouse pointer to the middle of entry index of list and tells
	// the list it moved there (WM_MOUSEMOVE, sent), as a person pointing at
	// the entry would. False when the entry has no rectangle, the pointer
	// cannot be moved or the target does not answer.
	bool HoverListEntry(HWND list, int index);

	// Moves the mouse pointer to (x, y) on the screen, for instance away from
	// a control that watches the pointer leave.
	bool MovePointer(int x, int y);

	// Returns once the window's thread has handled every message sent before
	// (a WM_NULL round trip). False when it does not answer.
	bool Sync(HWND hwnd);

	// A standard message box (dialog class #32770) of another process.
	struct MessageBoxInfo
	{
		HWND hwnd = nullptr;
		std::wstring caption;
		std::wstring text;                                     // the message, line ends as LF
		std::vector<std::pair<int, std::wstring>> buttons;     // id and text of each push button
	};

	// Open message boxes of pid, topmost first.
	std::vector<MessageBoxInfo> MessageBoxes(DWORD pid);

	// A visible message box with caption of a process other than this one
	// and other than exclude (a program that started it, say); its process
	// id in *pid. Null when there is none.
	HWND MessageBoxOfAnotherProcess(const std::wstring &caption, DWORD exclude, DWORD *pid);

	// Waits for a visible message box of pid with the given caption; true
	// and *box filled when one appeared within timeoutMs.
	bool WaitForMessageBox(DWORD pid, const std::wstring &caption, DWORD timeoutMs, MessageBoxInfo *box, HANDLE process = nullptr);

	// Clicks the button with id buttonId (IDOK, IDCANCEL, IDYES, IDNO) of the
	// box and waits until the box is gone. False when it has no such button
	// or stays open past timeoutMs.
	bool AnswerMessageBox(const MessageBoxInfo &box, int buttonId, DWORD timeoutMs = kStepTimeout);

	// Saves a PNG of what the screen shows in the window's rectangle (the
	// whole screen when window is null), creating missing folders of path.
	// False with *error set when capturing or encoding fails.
	bool SaveScreenshot(HWND window, const std::wstring &path, std::wstring *error = nullptr);

	// What the screen shows of part (in coordinates relative to the window's
	// top-left outer corner), as rows of colours from the top; cut to the
	// screen. False when the window is gone or nothing of part is on screen.
	bool CaptureWindowPart(HWND window, const RECT &part, std::vector<COLORREF> *pixels);

	// Whether window itself is what the screen shows at the corners and the
	// middle of part (relative to the window's top-left outer corner), so a
	// capture of part shows this window and not another one over it.
	bool ShowsOnTop(HWND window, const RECT &part);

	// Reads the colour of pixel (x, y) of an image file (any format GDI+
	// reads). False when the file cannot be read or the point is outside.
	bool ReadPixel(const std::wstring &path, int x, int y, COLORREF *color, SIZE *size = nullptr);

	// Folder of the running executable, ending without a separator.
	std::wstring ModuleFolder();

	// The text of a Win32 error code.
	std::wstring ErrorText(DWORD code);
}
