#include "gui_internal.h"

#include <algorithm>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	String WithBackslash(const std::wstring &path)
	{
		if (path.empty()) return String();

		if (path.back() == L'\\') return String(path);

		return String(path + L"\\");
	}
}

Application::Application(const String &name)
{
	text = name;

	WidgetBackend::Applications().push_back(this);
}

Application::~Application()
{
	std::vector<Application *>	&applications = WidgetBackend::Applications();

	applications.erase(std::remove(applications.begin(), applications.end(), this), applications.end());

	// Windows are top-level: they never belong to the application as to a
	// container, so there is nothing to detach.
	children.clear();
}

Int Application::Add(Widget *widget)
{
	Window	*window = dynamic_cast<Window *>(widget);

	if (window == nullptr) return Error();

	for (Application *application : WidgetBackend::Applications())
	{
		std::vector<Widget *>	&windows = WidgetBackend::Children(application);

		if (std::find(windows.begin(), windows.end(), widget) != windows.end()) return Error();
	}

	children.push_back(window);

	return Success();
}

Int Application::Loop()
{
	// Copies: a handler may add or delete windows while we run.
	std::vector<Widget *>	 windows = children;

	for (Widget *widget : windows)
	{
		Window	*window = static_cast<Window *>(widget);

		if (window->IsVisible() && !window->IsDestroyed()) window->Show();
	}

	auto	 anyMainWindowLeft = [this]()
	{
		for (Widget *widget : children)
		{
			Window	*window = static_cast<Window *>(widget);

			if (!window->IsDestroyed() && !(window->GetFlags() & WF_BACKGROUND)) return true;
		}

		return false;
	};

	MSG	 message;

	while (anyMainWindowLeft())
	{
		BOOL	 result = GetMessageW(&message, nullptr, 0, 0);

		if (result == 0)  return Int(message.wParam);
		if (result == -1) return 0;

		// Tab, the arrow keys and the space bar move between and work the
		// controls of our windows as in a dialog box.
		HWND	 root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;

		if (root != nullptr && WidgetBackend::WindowFromHandle(root) != nullptr && IsDialogMessageW(root, &message)) continue;

		TranslateMessage(&message);
		DispatchMessageW(&message);
	}

	return 0;
}

String Application::GetStartupDirectory()
{
	DWORD		 length = GetCurrentDirectoryW(0, nullptr);

	if (length == 0) return String();

	std::wstring	 buffer(length, L'\0');

	length = GetCurrentDirectoryW(length, &buffer[0]);
	buffer.resize(length);

	return WithBackslash(buffer);
}

String Application::GetApplicationDirectory()
{
	std::wstring	 buffer(MAX_PATH, L'\0');

	for (;;)
	{
		DWORD	 length = GetModuleFileNameW(nullptr, &buffer[0], DWORD(buffer.size()));

		if (length == 0) return String();

		// A full buffer may mean a cut name: try again with more room.
		if (length < buffer.size()) { buffer.resize(length); break; }

		if (buffer.size() >= 32768) return String();

		buffer.resize(buffer.size() * 2);
	}

	size_t	 slash = buffer.find_last_of(L'\\');

	if (slash == std::wstring::npos) return String();

	return String(buffer.substr(0, slash + 1));
}

QuitRequest smooth::GUI::PumpMessagesUntil(const std::function<Bool()> &done, Int pause)
{
	QuitRequest	 quit;

	do
	{
		MSG	 message;
		BOOL	 got = Setup::enableUnicode ? PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
						    : PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);

		if (got)
		{
			if (message.message == WM_QUIT) { quit.taken = true; quit.code = Int(message.wParam); }

			TranslateMessage(&message);

			if (Setup::enableUnicode) DispatchMessageW(&message);
			else			  DispatchMessageA(&message);
		}

		/* One message a pass and a pause after it: the waiting thread
		 * leaves the processor to the one it waits for.
		 */
		Sleep(DWORD(pause > 0 ? pause : 0));
	}
	while (!done());

	return quit;
}

QuitRequest smooth::GUI::PumpMessagesWhileRunning(const Threads::Thread &thread, Int pause)
{
	return PumpMessagesUntil([&thread] { return thread.GetStatus() != Threads::THREAD_RUNNING; }, pause);
}
