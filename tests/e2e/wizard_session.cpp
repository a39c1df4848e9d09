#include "wizard_session.h"

#include "files.h"

namespace e2e
{
	namespace texts
	{
		const wchar_t *const kNext = L"Next ->";
		const wchar_t *const kBack = L"<- Back";
		const wchar_t *const kCancel = L"Cancel";
		const wchar_t *const kYes = L"Yes";
		const wchar_t *const kNo = L"No";
		const wchar_t *const kFinish = L"Finish";
		const wchar_t *const kExitCaption = L"Exit Setup";
		const wchar_t *const kExitText =
			L"Do you really want to exit Setup now?\n\nIf you quit now, the program will not be installed on your computer.\n"
			L"You may run Setup again later to complete the installation.";
		const wchar_t *const kInfoCaption = L"Info";
		const wchar_t *const kInfoText = L"The Setup will be cancelled now!";
		const wchar_t *const kRestartNow = L"Yes, restart the computer now!";
		const wchar_t *const kRestartLater = L"No, I will restart my computer later!";
		const wchar_t *const kBackdropTitle = L"Tolvane v0.1";
	}

	bool FindInstallerFiles(const std::wstring &binFolder, InstallerFiles *files, std::wstring *error)
	{
		InstallerFiles found{binFolder + L"\\setup.exe", binFolder + L"\\smooth.dll"};
		for (const std::wstring *path : {&found.setup, &found.smooth})
		{
			if (!FileExists(*path))
			{
				if (error)
					*error = *path + L" is missing: the end-to-end tests need the installer built into the same bin folder "
					                 L"(build the targets setup and smooth of this build).";
				return false;
			}
		}
		*files = found;
		return true;
	}

	// ---- views --------------------------------------------------------------

	std::vector<std::wstring> PageView::Visible(const wchar_t *cls) const { return VisibleTexts(controls, cls); }

	const Control *PageView::Find(const wchar_t *cls, const std::wstring &text) const
	{
		const std::wstring wanted = NormalizeLineEnds(text);
		for (const Control &control : controls)
			if (control.visible && IsClass(control, cls) && NormalizeLineEnds(control.text) == wanted) return &control;
		return nullptr;
	}

	bool PageView::Shows(const wchar_t *cls, const std::wstring &text) const { return Find(cls, text) != nullptr; }

	const Control *PageView::First(const wchar_t *cls) const
	{
		for (const Control &control : controls)
			if (control.visible && IsClass(control, cls)) return &control;
		return nullptr;
	}

	std::wstring PageView::Describe() const
	{
		auto button = [](const wchar_t *name, const ButtonView &b) {
			return std::wstring(name) + L"=" + (b.visible ? L"\"" + b.text + L"\"" : std::wstring(L"hidden")) + (b.enabled ? L"" : L"(off)");
		};
		std::wstring text = L"title \"" + title + L"\"; " + button(L"back", back) + L" " + button(L"cancel", cancel) + L" " +
		                    button(L"next", next) + L"\n";
		for (const Control &control : controls)
		{
			if (!control.visible) continue;
			text += L"  [" + control.cls + L"] \"" + NormalizeLineEnds(control.text) + L"\"" + (control.enabled ? L"" : L" (off)") + L"\n";
		}
		return text;
	}

	bool SamePage(const PageView &a, const PageView &b)
	{
		if (a.title != b.title) return false;
		std::vector<std::wstring> shownA, shownB;
		for (const Control &control : a.controls)
			if (control.visible) shownA.push_back(control.cls + L":" + control.text);
		for (const Control &control : b.controls)
			if (control.visible) shownB.push_back(control.cls + L":" + control.text);
		return shownA == shownB;
	}

	// ---- the session --------------------------------------------------------

	namespace
	{
		const Control *PushButton(const std::vector<Control> &controls, const wchar_t *text)
		{
			for (const Control &control : controls)
				if (KindOf(control) == ButtonKind::Push && control.text == text) return &control;
			return nullptr;
		}

		ButtonView ViewOf(HWND button)
		{
			ButtonView view;
			if (!button || !IsWindow(button)) return view;
			view.visible = IsWindowVisible(button) != FALSE;
			view.enabled = IsWindowEnabled(button) != FALSE;
			view.text = WindowText(button);
			return view;
		}
	}

	bool WizardSession::Start(const std::wstring &setupExe, const std::wstring &folder, std::wstring *error, const std::wstring &args)
	{
		if (!process.Start(setupExe, args, folder, error)) return false;
		auto isWizard = [](HWND hwnd) {
			if (ClassOf(hwnd) == L"#32770" || !IsWindowVisible(hwnd)) return false;
			auto controls = Controls(hwnd);
			return PushButton(controls, texts::kNext) != nullptr && PushButton(controls, texts::kCancel) != nullptr;
		};
		window = nullptr;
		WaitUntil(kWindowTimeout, [&] {
			for (DWORD pid : ProcessTree(process.Id()))
				for (HWND hwnd : TopLevelWindows(pid))
					if (isWizard(hwnd)) window = hwnd;
			// A program that has ended will not show anything any more.
			return window != nullptr || WaitForSingleObject(process.Handle(), 0) == WAIT_OBJECT_0;
		});
		wizardProcess = process.Id();
		if (window) GetWindowThreadProcessId(window, &wizardProcess);
		if (!window)
		{
			DWORD code = 0;
			if (error)
			{
				if (process.WaitForExit(0, &code))
					*error = L"setup.exe ended with exit code " + std::to_wstring(static_cast<int>(code)) + L" before showing its wizard";
				else
					*error = L"no wizard window (with \"Next ->\" and \"Cancel\") within " + std::to_wstring(kWindowTimeout / 1000) +
					         L" s; windows of the process:\n" + DescribeWindows(process.Id());
			}
			process.Kill();
			return false;
		}
		auto controls = Controls(window);
		next = PushButton(controls, texts::kNext)->hwnd;
		cancel = PushButton(controls, texts::kCancel)->hwnd;
		const Control *backButton = PushButton(controls, texts::kBack);
		back = backButton ? backButton->hwnd : nullptr;
		if (!back)
		{
			if (error) *error = L"the wizard has no \"<- Back\" button";
			process.Kill();
			return false;
		}
		return true;
	}

	HWND WizardSession::Backdrop() const
	{
		for (HWND hwnd : TopLevelWindows(wizardProcess))
			if (hwnd != window && IsWindowVisible(hwnd) && WindowText(hwnd) == texts::kBackdropTitle) return hwnd;
		return nullptr;
	}

	PageView WizardSession::View() const
	{
		PageView view;
		view.title = WindowText(window);
		view.back = ViewOf(back);
		view.cancel = ViewOf(cancel);
		view.next = ViewOf(next);
		view.controls = Controls(window);
		return view;
	}

	// Both waits take a page only when two reads in a row agree, so a page
	// caught between its title and its controls is not taken for the page.
	bool WizardSession::WaitForPage(const std::wstring &title, DWORD timeoutMs, PageView *view, bool requireNext) const
	{
		PageView seen, previous;
		bool ok = WaitUntil(timeoutMs, [&] {
			if (!IsWindow(window)) return true;
			previous = seen;
			seen = View();
			return seen.title == title && (!requireNext || seen.next.visible) && SamePage(seen, previous);
		}, 50);
		ok = ok && IsWindow(window) && seen.title == title;
		if (view) *view = seen;
		return ok;
	}

	bool WizardSession::WaitForChange(const PageView &before, DWORD timeoutMs, PageView *view) const
	{
		PageView seen, previous;
		bool ok = WaitUntil(timeoutMs, [&] {
			if (!IsWindow(window)) return true;
			previous = seen;
			seen = View();
			return seen.next.visible && !SamePage(seen, before) && SamePage(seen, previous);
		}, 50);
		ok = ok && IsWindow(window);
		if (view) *view = seen;
		return ok;
	}

	bool WizardSession::ChooseRestartLater(std::wstring *error) const
	{
		PageView view = View();
		const Control *now = view.Find(L"Button", texts::kRestartNow);
		const Control *later = view.Find(L"Button", texts::kRestartLater);
		if (!now || !later)
		{
			if (error) *error = L"the restart page's two options are not shown:\n" + view.Describe();
			return false;
		}
		if (!Click(later->hwnd) || !Sync(window))
		{
			if (error) *error = L"the restart-later option does not answer";
			return false;
		}
		if (CheckState(later->hwnd) != BST_CHECKED || CheckState(now->hwnd) != BST_UNCHECKED)
		{
			if (error)
				*error = L"after choosing the restart-later option: later=" + std::to_wstring(CheckState(later->hwnd)) +
				         L", now=" + std::to_wstring(CheckState(now->hwnd));
			return false;
		}
		return true;
	}

	bool WizardSession::WaitForBox(const std::wstring &caption, DWORD timeoutMs, MessageBoxInfo *box)
	{
		return WaitForMessageBox(wizardProcess, caption, timeoutMs, box, process.Handle());
	}

	bool WizardSession::Screenshot(const std::wstring &windowPath, const std::wstring &screenPath, std::wstring *error) const
	{
		// Let the window paint what it was last told to show before the screen
		// is read.
		RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
		Sync(window);
		if (!SaveScreenshot(window, windowPath, error)) return false;
		return screenPath.empty() || SaveScreenshot(nullptr, screenPath, error);
	}
}
