// e2e_walk.exe: walks a staged product's installer from its first page to its
// end as a person who only ever presses Next would, and saves a screenshot of
// every page. Made for runs without a person at the screen (a private Xvfb).
//
//   e2e_walk.exe <product folder> <screenshot folder> [--setup <setup.exe>] [--timeout <seconds>]
//                [--components default|all]
//
//   <product folder>     the staged product: setup.xml and what it names,
//                        smooth.dll and (unless --setup is given) setup.exe.
//                        setup.exe is started with this folder as its working
//                        folder.
//   <screenshot folder>  created when missing; gets for page n (two digits)
//                        "<n>-<title>.png" of the wizard window and
//                        "<n>-<title>-screen.png" of the whole screen (with
//                        the backdrop when the product shows one).
//   --setup <path>       the installer to start instead of
//                        <product folder>\setup.exe; also a bundle, whose
//                        unpacked setup.exe shows the wizard.
//   --timeout <seconds>  longest wait for the wizard to appear and for each
//                        page, the installation run included (default 120).
//   --components all     on the components page (a list whose entries carry
//                        the marks), marks every unmarked entry before
//                        pressing Next; a wizard without that page, or an
//                        entry that stays unmarked, is a failure. default
//                        (the default) leaves the choices as they are.
//
// The same program ships as tolvane_walk.exe beside the Windows programs:
// `tolvane test` walks a product's wizard with it. Its messages start with
// the name it was started as.
//
// On the restart page the walker selects "No, I will restart my computer
// later!" before it presses Finish: it never lets the installer restart the
// machine, and stops with an error when that option cannot be selected.
//
// A message box after Next (the installer reporting a problem, which only a
// person should answer) ends the walk at once: its text goes to stderr and
// a screenshot "<n>-message_box.png" (and "-screen.png") is saved.
//
// Prints one line per page. Exit code 0 when the installer ended by itself
// with exit code 0 after the last page; 1 on any failure (the cause on
// stderr; a still running installer is ended); 2 for a wrong command line.
#include "files.h"
#include "wizard_session.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace e2e;

namespace
{
	// The name this program was started as, without folder and extension.
	std::string self = "e2e_walk";

	int Usage()
	{
		std::fprintf(stderr, "usage: %s.exe <product folder> <screenshot folder> [--setup <setup.exe>] [--timeout <seconds>] [--components default|all]\n", self.c_str());
		return 2;
	}

	int Fail(const std::wstring &why)
	{
		std::fprintf(stderr, "%s: %s\n", self.c_str(), Narrow(why).c_str());
		std::fflush(stderr);
		return 1;
	}

	// A page's own name for its screenshot files.
	std::wstring ShotName(int n, const std::wstring &title)
	{
		wchar_t number[8];
		std::swprintf(number, 8, L"%02d", n);
		return std::wstring(number) + L"-" + SafeName(title.empty() ? L"untitled" : title);
	}

	bool IsAbsolute(const std::wstring &path)
	{
		return (path.size() > 2 && path[1] == L':') || (path.size() > 1 && (path[0] == L'\\' || path[0] == L'/'));
	}

	// Relative folders are taken from the walker's own working folder, since
	// setup.exe runs somewhere else.
	std::wstring FullPath(const std::wstring &path)
	{
		if (IsAbsolute(path)) return path;
		wchar_t buffer[MAX_PATH * 2] = {0};
		DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
		return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : path;
	}

	// Marks every entry of the components list that is not marked yet (the
	// list keeps the mark in bit 0 of an entry's data, the lock in bit 1)
	// and reads each back: a click the list refuses is a failure, not a
	// product installed with fewer parts than asked for.
	bool MarkAllComponents(HWND list, std::wstring *error)
	{
		const int count = ListCount(list);
		if (count < 0)
		{
			*error = L"the components list does not answer";
			return false;
		}
		for (int i = 0; i < count; i++)
		{
			if (ListItemData(list, i) & 1) continue;
			if (!ClickListEntry(list, i) || (ListItemData(list, i) & 1) == 0)
			{
				*error = L"component entry " + std::to_wstring(i + 1) + L" \"" + ListText(list, i) + L"\" cannot be marked";
				return false;
			}
		}
		return true;
	}
}

int wmain(int argc, wchar_t **argv)
{
	std::wstring product, shots, setup;
	DWORD timeoutMs = 120000;
	bool allComponents = false;
	std::wstring invoked = argc > 0 ? argv[0] : L"";
	invoked = invoked.substr(invoked.find_last_of(L"\\/") == std::wstring::npos ? 0 : invoked.find_last_of(L"\\/") + 1);
	invoked = invoked.substr(0, invoked.rfind(L'.'));
	if (!invoked.empty()) self = Narrow(invoked);
	for (int i = 1; i < argc; i++)
	{
		std::wstring arg = argv[i];
		if (arg == L"--setup" && i + 1 < argc)
			setup = argv[++i];
		else if (arg == L"--timeout" && i + 1 < argc)
		{
			int seconds = _wtoi(argv[++i]);
			if (seconds <= 0) return Usage();
			timeoutMs = static_cast<DWORD>(seconds) * 1000;
		}
		else if (arg == L"--components" && i + 1 < argc)
		{
			const std::wstring choice = argv[++i];
			if (choice != L"default" && choice != L"all") return Usage();
			allComponents = choice == L"all";
		}
		else if (arg.rfind(L"--", 0) == 0)
			return Usage();
		else if (product.empty())
			product = arg;
		else if (shots.empty())
			shots = arg;
		else
			return Usage();
	}
	if (product.empty() || shots.empty()) return Usage();
	product = FullPath(product);
	shots = FullPath(shots);
	setup = setup.empty() ? product + L"\\setup.exe" : FullPath(setup);
	if (!FolderExists(product)) return Fail(L"no product folder " + product);
	if (!FileExists(setup)) return Fail(L"no installer " + setup);

	WizardSession session;
	std::wstring error;
	if (!session.Start(setup, product, &error)) return Fail(error);

	PageView view;
	// Two reads that agree: the first page complete on screen.
	if (!session.WaitForPage(session.View().title, timeoutMs, &view)) return Fail(L"the first page does not settle:\n" + view.Describe());

	// A wizard has at most eight pages; more Next presses than that mean it
	// is going round in circles.
	bool marked = false;
	for (int n = 1; n <= 16; n++)
	{
		std::printf("page %02d: \"%s\" next=\"%s\"%s\n", n, Narrow(view.title).c_str(), Narrow(view.next.text).c_str(),
		            session.Backdrop() ? " (backdrop)" : "");
		std::fflush(stdout);
		const std::wstring name = ShotName(n, view.title);
		if (!session.Screenshot(shots + L"\\" + name + L".png", shots + L"\\" + name + L"-screen.png", &error))
			return Fail(L"screenshot of page " + std::to_wstring(n) + L": " + error);

		if (view.Shows(L"Button", texts::kRestartLater) && !session.ChooseRestartLater(&error)) return Fail(error);
		const Control *list = view.First(L"ListBox");
		if (allComponents && list)
		{
			if (!MarkAllComponents(list->hwnd, &error)) return Fail(L"on page " + std::to_wstring(n) + L" \"" + view.title + L"\": " + error);
			marked = true;
		}

		if (!session.PressNext()) return Fail(L"the Next button does not take a click");

		// The next page comes when the one before is done, the installation
		// run included (its page hides Next, so it is waited through). A
		// message box ends the wait at once: pressing Next asks nothing, so a
		// box is the installer reporting a problem that nobody here answers.
		PageView before = view;
		bool changed = false;
		std::vector<MessageBoxInfo> boxes;
		WaitUntil(timeoutMs, [&] {
			if (!session.Program().Running() || !IsWindow(session.Window())) return true;
			boxes = MessageBoxes(session.WizardProcess());
			if (!boxes.empty()) return true;
			changed = session.WaitForChange(before, 200, &view);
			return changed;
		});
		if (changed) continue;

		DWORD code = 0;
		if (!boxes.empty() || !session.Program().WaitForExit(timeoutMs, &code))
		{
			if (boxes.empty()) boxes = MessageBoxes(session.WizardProcess());
			std::wstring what = boxes.empty() ? L"the page did not change and the program did not end:\n" + session.View().Describe()
			                                  : L"a message box is open: \"" + boxes[0].caption + L"\": " + boxes[0].text;
			if (!boxes.empty())
			{
				const std::wstring name = ShotName(n, L"message box");
				session.Screenshot(shots + L"\\" + name + L".png", shots + L"\\" + name + L"-screen.png", &error);
			}
			return Fail(L"after Next on page " + std::to_wstring(n) + L" \"" + before.title + L"\": " + what);
		}
		std::printf("the installer ended with exit code %d after %d page(s)\n", static_cast<int>(code), n);
		std::fflush(stdout);
		if (allComponents && !marked) return Fail(L"--components all: the wizard showed no components page, so its components cannot be chosen");
		return code == 0 ? 0 : 1;
	}
	return Fail(L"more than 16 pages: the wizard does not come to an end");
}
