// One run of the installer (setup.exe) seen from outside through its wizard
// window: the page a person sees, the three navigation buttons, and the
// actions a person takes. Shared by the end-to-end tests and the page walker.
//
// The wizard is recognised by what it shows at start: a top-level window of
// the process with a push button reading "Next ->" (both Next and Cancel read
// "Next ->" and "Cancel" on the first page whatever it is, and Back, hidden,
// reads "<- Back"). The three buttons keep their windows for the whole run,
// so they are remembered once and later read, whatever their texts become.
#pragma once

#include "driver.h"

#include <string>
#include <vector>

namespace e2e
{
	// Texts the wizard shows, as a person reads them.
	namespace texts
	{
		extern const wchar_t *const kNext;          // "Next ->"
		extern const wchar_t *const kBack;          // "<- Back"
		extern const wchar_t *const kCancel;        // "Cancel"
		extern const wchar_t *const kYes;           // "Yes" (Next on the licence page)
		extern const wchar_t *const kNo;            // "No" (Cancel on the licence page)
		extern const wchar_t *const kFinish;        // "Finish"
		extern const wchar_t *const kExitCaption;   // "Exit Setup"
		extern const wchar_t *const kExitText;      // the exit question
		extern const wchar_t *const kInfoCaption;   // "Info"
		extern const wchar_t *const kInfoText;      // "The Setup will be cancelled now!"
		extern const wchar_t *const kRestartNow;    // restart page, first option
		extern const wchar_t *const kRestartLater;  // restart page, second option
		extern const wchar_t *const kBackdropTitle; // title of the full-screen backdrop
	}

	// setup.exe and smooth.dll as this build made them.
	struct InstallerFiles
	{
		std::wstring setup;
		std::wstring smooth;
	};

	// Finds setup.exe and smooth.dll in binFolder. False with *error naming
	// the missing file and the folder searched when either is absent.
	bool FindInstallerFiles(const std::wstring &binFolder, InstallerFiles *files, std::wstring *error);

	// One navigation button as shown.
	struct ButtonView
	{
		bool visible = false;
		bool enabled = false;
		std::wstring text;
	};

	// What the wizard window shows at one moment.
	struct PageView
	{
		std::wstring title;
		ButtonView back, cancel, next;
		std::vector<Control> controls;  // every control of the wizard window

		// Texts of the visible controls of class cls, line ends as LF.
		std::vector<std::wstring> Visible(const wchar_t *cls) const;
		// Whether a visible control of class cls reads exactly text.
		bool Shows(const wchar_t *cls, const std::wstring &text) const;
		// The visible control of class cls reading text; null when none.
		const Control *Find(const wchar_t *cls, const std::wstring &text) const;
		// The first visible control of class cls; null when none.
		const Control *First(const wchar_t *cls) const;
		// Title, buttons and visible controls in a few lines, for failure messages.
		std::wstring Describe() const;
	};

	class WizardSession
	{
	public:
		// Starts setupExe with folder as its working folder and waits for the
		// wizard window, of that program or of one it starts (a bundle starts
		// the setup.exe it unpacked). False with *error set when the program
		// does not start, ends, or shows no wizard within kWindowTimeout; the
		// program is then killed.
		bool Start(const std::wstring &setupExe, const std::wstring &folder, std::wstring *error, const std::wstring &args = L"");

		// The program started; its exit code is the run's.
		Process &Program() { return process; }
		// The process that shows the wizard, its backdrop and its boxes.
		DWORD WizardProcess() const { return wizardProcess; }
		HWND Window() const { return window; }

		// The visible full-screen backdrop of this run; null when there is none.
		HWND Backdrop() const;

		PageView View() const;

		// Each posts a click on its button and returns at once (the click may
		// open a modal box or start the installation run). False when the
		// button is gone or cannot take messages.
		bool PressNext() const { return PostClick(next); }
		bool PressBack() const { return PostClick(back); }
		bool PressCancel() const { return PostClick(cancel); }

		// Waits until the wizard's title is title and the Next button can be
		// seen, or at least the title when requireNext is false; *view gets
		// the page then (or the last page seen on timeout). False on timeout
		// or when the program ends.
		bool WaitForPage(const std::wstring &title, DWORD timeoutMs, PageView *view, bool requireNext = true) const;

		// Waits until any of the pages differs from before (title or visible
		// control texts) and the Next button is visible; used by the walker,
		// which does not know the titles. False on timeout or program end.
		bool WaitForChange(const PageView &before, DWORD timeoutMs, PageView *view) const;

		// On the restart page: selects "No, I will restart my computer later!"
		// and checks that it is selected and the restart option is not. The
		// programs must never be let to restart the machine, so a caller
		// presses Finish there only after this returned true.
		bool ChooseRestartLater(std::wstring *error) const;

		// Waits for a message box with caption, of this program.
		bool WaitForBox(const std::wstring &caption, DWORD timeoutMs, MessageBoxInfo *box);

		// Saves PNGs of the wizard window (and, when screenPath is not empty,
		// of the whole screen).
		bool Screenshot(const std::wstring &windowPath, const std::wstring &screenPath, std::wstring *error) const;

	private:
		Process process;
		HWND window = nullptr;
		DWORD wizardProcess = 0;
		HWND back = nullptr, cancel = nullptr, next = nullptr;
	};

	// Whether two views show the same page: same title, same visible controls
	// with the same texts.
	bool SamePage(const PageView &a, const PageView &b);
}
