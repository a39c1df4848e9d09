// The real setup.exe at 100, 125, 150 and 200 % scaling: on every page each
// visible control's text fits its control, measured with the control's own
// font, and no two controls overlap except a group box around its contents.
//
// The system DPI is the prefix's HKCU\Control Panel\Desktop\LogPixels, which
// a Wine process reads when it starts; each DPI therefore gets a fresh
// setup.exe, and the value the prefix had before is put back at the end,
// however the test ends. Screenshots of every page at each DPI go to
// <build>/e2e-screenshots/Dpi/dpi<DPI>-<nn>-<page>.png, and of the wizard
// moved to a monitor of another DPI to moved<FROM>to<TO>-<nn>-<page>.png.
#include "files.h"
#include "wizard_session.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <sstream>

using namespace e2e;

namespace
{
	const wchar_t *const kDesktopKey = L"Control Panel\\Desktop";
	const wchar_t *const kLogPixels  = L"LogPixels";

	// The prefix's DPI setting, restored by the destructor to what it was.
	class PrefixDpi
	{
	public:
		PrefixDpi()
		{
			DWORD size = sizeof(original);
			hadValue = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &original, &size) == ERROR_SUCCESS;
		}
		~PrefixDpi()
		{
			if (hadValue) Set(original);
			else RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
		}
		PrefixDpi(const PrefixDpi &) = delete;
		PrefixDpi &operator=(const PrefixDpi &) = delete;

		static bool Set(DWORD dpi)
		{
			return RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi, sizeof(dpi)) == ERROR_SUCCESS;
		}

	private:
		bool hadValue = false;
		DWORD original = 96;
	};

	int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }

	// Every page of the wizard: its title and a short name for the screenshots.
	struct PageInfo
	{
		const char *id;
		const wchar_t *title;
		const char *name;
	};

	const PageInfo kPages[] = {
		{"intro", L"Welcome", "welcome"},
		{"license", L"License Agreement", "licence"},
		{"directory", L"Choose Directory", "directory"},
		{"components", L"Select Components", "components"},
		{"links", L"Create Shortcuts", "shortcuts"},
		{"summary", L"Ready to Install", "summary"},
		{"installation", L"Installing", "installing"},
		{"finish", L"Setup Complete", "finish"},
		{"reboot", L"Restart Required", "restart"},
	};

	// Like the sample product's script: every page, each with two lines of
	// text, a backdrop with the product's and the maker's names, three
	// components with descriptions.
	std::string Script()
	{
		std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<installer>\n"
		                  "  <setup>\n    <background value=\"true\"/>\n    <displayAppName value=\"true\"/>\n"
		                  "    <displayAppVersion value=\"true\"/>\n    <displayCompanyName value=\"true\"/>\n  </setup>\n"
		                  "  <application>\n    <name xpos=\"40\" ypos=\"40\">Scale Notes</name>\n    <version>2.1</version>\n"
		                  "    <company xpos=\"40\" ypos=\"90\">Scale Makers Ltd.</company>\n    <logo>logo.bmp</logo>\n  </application>\n"
		                  "  <dialogs>\n";
		for (const PageInfo &page : kPages)
		{
			xml += std::string("    <dialog id=\"") + page.id + "\">\n      <title>" + Narrow(page.title) + "</title>\n"
			       "      <text>This page of the Scale Notes %VERSION% setup says what it is for\nin two lines of text.</text>\n";
			if (std::string(page.id) == "license") xml += "      <licensefile>license.txt</licensefile>\n";
			if (std::string(page.id) == "directory") xml += "      <defaultdir>Scale Notes</defaultdir>\n";
			xml += "    </dialog>\n";
		}
		xml += "  </dialogs>\n  <components>\n"
		       "    <component name=\"Program files\" id=\"core\" required=\"true\" default=\"true\"><archive>empty.zbk</archive>"
		       "<text>The program itself\nand its settings</text></component>\n"
		       "    <component name=\"User manual\" id=\"docs\" default=\"true\"><archive>empty.zbk</archive><text>The manual</text></component>\n"
		       "    <component name=\"Sample notes\" id=\"samples\"><archive>empty.zbk</archive><text>Samples</text></component>\n"
		       "  </components>\n</installer>\n";
		return xml;
	}

	// A 64 by 40 24-bit BMP with a colour ramp, so the scaled logo shows.
	std::string LogoBmp()
	{
		const int width = 64, height = 40, row = width * 3, size = 54 + row * height;
		std::string bmp(size, '\0');
		auto put32 = [&](int at, int value) {
			for (int i = 0; i < 4; i++) bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
		};
		bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 24;
		put32(2, size), put32(10, 54), put32(14, 40), put32(18, width), put32(22, height), put32(34, row * height);
		for (int y = 0; y < height; y++)
			for (int x = 0; x < width; x++)
			{
				char *pixel = &bmp[54 + y * row + x * 3];
				pixel[0] = static_cast<char>(x * 4), pixel[1] = static_cast<char>(y * 6), pixel[2] = static_cast<char>(255 - x * 4);
			}
		return bmp;
	}

	// The font the platform layer gives every control: Tahoma at 8 points
	// of the system's DPI. Recreated here, as a font handle of another
	// process cannot be read; IdealSize checks it against the controls.
	HFONT PlatformFont(int dpi)
	{
		return CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
		                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
	}

	// Sends message to a window of another process with lParam pointing at
	// size bytes in that process's own memory: *in copied there first, the
	// bytes read back into *out afterwards. False when the memory cannot be
	// had or the message fails; *answer is the window's answer.
	bool SendThroughRemoteMemory(HWND window, UINT message, WPARAM wParam, const void *in, void *out, size_t size, DWORD_PTR *answer)
	{
		DWORD pid = 0;
		GetWindowThreadProcessId(window, &pid);
		HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
		if (process == nullptr) return false;
		void *remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
		bool done = remote != nullptr && WriteProcessMemory(process, remote, in, size, nullptr) &&
		            SendMessageTimeoutW(window, message, wParam, (LPARAM)remote, SMTO_ABORTIFHUNG, kSendTimeout, answer) &&
		            (out == nullptr || ReadProcessMemory(process, remote, out, size, nullptr));
		if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
		CloseHandle(process);
		return done;
	}

	// What a button control of another process says it needs for its text
	// (BCM_GETIDEALSIZE, measured there with its own font).
	bool IdealSize(HWND button, SIZE *size)
	{
		const SIZE zero{0, 0};
		DWORD_PTR answer = 0;
		return SendThroughRemoteMemory(button, BCM_GETIDEALSIZE, 0, &zero, size, sizeof(*size), &answer) && answer;
	}

	struct TextExtent
	{
		SIZE size{};          // the whole text, line by line (DrawText's measure)
		int lineHeight = 0;   // one line of the font
	};

	void Measure(int dpi, const std::wstring &text, TextExtent *extent)
	{
		HFONT font = PlatformFont(dpi);
		HDC dc = GetDC(nullptr);
		HGDIOBJ old = SelectObject(dc, font);
		RECT rect{0, 0, 0, 0};
		TEXTMETRICW metrics{};
		GetTextMetricsW(dc, &metrics);
		std::wstring shown = NormalizeLineEnds(text);
		if (!shown.empty()) DrawTextW(dc, shown.c_str(), -1, &rect, DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);
		SelectObject(dc, old);
		ReleaseDC(nullptr, dc);
		DeleteObject(font);
		extent->size = SIZE{rect.right - rect.left, rect.bottom - rect.top};
		extent->lineHeight = metrics.tmHeight;
	}

	bool Overlap(const RECT &a, const RECT &b)
	{
		RECT common;
		return IntersectRect(&common, &a, &b) != FALSE;
	}

	bool Contains(const RECT &outer, const RECT &inner)
	{
		return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
	}

	std::string Describe(const Control &control)
	{
		std::ostringstream out;
		out << Narrow(control.cls) << " \"" << Narrow(NormalizeLineEnds(control.text)) << "\" at (" << control.rect.left << ","
		    << control.rect.top << ")-(" << control.rect.right << "," << control.rect.bottom << ")";
		return out.str();
	}

	// The faults of one page's layout at dpi, one line each.
	std::vector<std::string> LayoutFaults(HWND window, const std::vector<Control> &all, int dpi)
	{
		std::vector<std::string> faults;
		std::vector<Control> controls;
		for (const Control &control : all)
			if (control.visible && GetParent(control.hwnd) == window) controls.push_back(control);

		RECT windowRect{};
		GetWindowRect(window, &windowRect);
		InflateRect(&windowRect, -Scaled(3, dpi), -Scaled(3, dpi));

		for (const Control &control : controls)
		{
			if (!Contains(windowRect, control.rect)) faults.push_back(Describe(control) + " reaches over the window's frame");

			RECT client{};
			GetClientRect(control.hwnd, &client);
			TextExtent text;
			Measure(dpi, IsClass(control, L"Edit") || control.text.empty() ? L"x" : control.text, &text);
			ButtonKind kind = IsClass(control, L"Button") ? KindOf(control) : ButtonKind::Other;

			if (kind == ButtonKind::Push || kind == ButtonKind::Check || kind == ButtonKind::Radio)
			{
				// The control measures its text with its own font, glyph and
				// margins included; a push button's label also keeps clear of
				// its edges.
				SIZE ideal{};
				if (!IdealSize(control.hwnd, &ideal))
				{
					faults.push_back(Describe(control) + " does not tell the size it needs");
					continue;
				}
				int margin = kind == ButtonKind::Push ? 2 * Scaled(4, dpi) : 0;
				if (ideal.cx + margin > client.right || ideal.cy > client.bottom)
					faults.push_back(Describe(control) + " is " + std::to_string(client.right) + " x " + std::to_string(client.bottom) +
					                 ", its text needs " + std::to_string(ideal.cx + margin) + " x " + std::to_string(ideal.cy));
				// The control's measure and ours of the same text agree, so the
				// font made here is the one the platform gave the controls (the
				// same for all of them, texts and lists included).
				if (kind == ButtonKind::Push && !control.text.empty() && (ideal.cx < text.size.cx || ideal.cx > text.size.cx + Scaled(8, dpi)))
					faults.push_back(Describe(control) + " measures its text as " + std::to_string(ideal.cx) + " wide, the platform's font as " +
					                 std::to_string(text.size.cx));
			}
			else if (kind == ButtonKind::Group)
			{
				// The caption, indented on both sides, sits on the top edge,
				// above whatever the box holds.
				RECT caption{control.rect.left, control.rect.top, control.rect.left + text.size.cx + 2 * Scaled(8, dpi), control.rect.top + text.lineHeight};
				if (caption.right > control.rect.right) faults.push_back(Describe(control) + ": the caption is wider than the box");
				for (const Control &inner : controls)
					if (&inner != &control && Overlap(caption, inner.rect))
						faults.push_back(Describe(inner) + " covers the caption of " + Describe(control));
			}
			else if (IsClass(control, L"Static") && !control.text.empty())
			{
				if (text.size.cx > client.right || text.size.cy > client.bottom)
					faults.push_back(Describe(control) + " is " + std::to_string(client.right) + " x " + std::to_string(client.bottom) +
					                 ", its text needs " + std::to_string(text.size.cx) + " x " + std::to_string(text.size.cy));
			}
			else if (IsClass(control, L"Edit") && !(control.style & ES_MULTILINE) && text.lineHeight > client.bottom)
			{
				faults.push_back(Describe(control) + " is lower than a line of its font");
			}
			else if (IsClass(control, L"ListBox"))
			{
				DWORD_PTR itemHeight = 0;
				SendMessageTimeoutW(control.hwnd, LB_GETITEMHEIGHT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &itemHeight);
				if (int(itemHeight) < text.lineHeight) faults.push_back(Describe(control) + " has entries lower than a line of its font");
				for (int i = 0; i < ListCount(control.hwnd); i++)
				{
					// Each entry: its check box (13 at 96 DPI) between gaps, then the text.
					TextExtent entry;
					std::wstring entryText = ListText(control.hwnd, i);
					Measure(dpi, entryText, &entry);
					if (entry.size.cx + Scaled(2 + 13 + 4, dpi) > client.right)
						faults.push_back(Describe(control) + ": entry \"" + Narrow(entryText) + "\" does not fit");
				}
			}
		}

		for (size_t i = 0; i < controls.size(); i++)
			for (size_t j = i + 1; j < controls.size(); j++)
			{
				const Control &a = controls[i], &b = controls[j];
				if (!Overlap(a.rect, b.rect)) continue;
				bool aGroup = IsClass(a, L"Button") && KindOf(a) == ButtonKind::Group;
				bool bGroup = IsClass(b, L"Button") && KindOf(b) == ButtonKind::Group;
				if ((aGroup && Contains(a.rect, b.rect)) || (bGroup && Contains(b.rect, a.rect))) continue;
				faults.push_back(Describe(a) + " overlaps " + Describe(b));
			}
		return faults;
	}

	// Lets this thread see other programs' windows in device pixels,
	// whatever DPI this process started with.
	void SeeDevicePixels()
	{
		using SetContext = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);
		auto set = reinterpret_cast<SetContext>(reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
		if (set != nullptr) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
	}

	// A staged setup.exe for the prefix at one system DPI.
	class DpiFixture : public ::testing::Test
	{
	protected:
		InstallerFiles files;
		std::unique_ptr<TempFolder> folder;
		std::unique_ptr<PrefixDpi> prefixDpi;
		WizardSession wizard;

		void Prepare(int systemDpi)
		{
			SeeDevicePixels();
			std::wstring error;
			ASSERT_TRUE(FindInstallerFiles(ModuleFolder(), &files, &error)) << Narrow(error);
			folder = std::make_unique<TempFolder>(L"e2e-dpi");
			ASSERT_FALSE(folder->Path().empty()) << "no temporary folder";
			ASSERT_TRUE(CopyInto(files.setup, folder->Path()));
			ASSERT_TRUE(CopyInto(files.smooth, folder->Path()));
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\setup.xml", Script()));
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\license.txt", "Scale Notes licence\r\nSecond line"));
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\logo.bmp", LogoBmp()));
			ASSERT_TRUE(WriteFile(folder->Path() + L"\\empty.zbk", "ZBK"));
			prefixDpi = std::make_unique<PrefixDpi>();
			ASSERT_TRUE(PrefixDpi::Set(systemDpi));
		}

		void TearDown() override
		{
			wizard.Program().Kill();
			// Other tests share the prefix: back to what it was before this
			// setup.exe is gone, even when an assertion ended the test.
			prefixDpi.reset();
			wchar_t programFiles[MAX_PATH] = {0};
			if (SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE))
				RemoveDirectoryW((std::wstring(programFiles) + L"\\Scale Notes").c_str());
		}

		// Walks every page, checks its layout at dpi and saves a screenshot
		// of it named <prefix>-<nn>-<page>.png; then leaves the wizard.
		void WalkAndCheck(int dpi, const std::string &prefix)
		{
			std::wstring error;
			// The wizard grows with the DPI, its frame and title bar included.
			RECT outer{};
			GetWindowRect(wizard.Window(), &outer);
			EXPECT_EQ(outer.right - outer.left, Scaled(482, dpi));
			EXPECT_EQ(outer.bottom - outer.top, Scaled(372, dpi));

			const std::wstring shots = ScreenshotRoot() + L"\\Dpi";
			int shot = 0;
			PageView view = wizard.View();
			for (const PageInfo &page : kPages)
			{
				// The installation page passes on by itself while the run goes.
				if (std::string(page.id) == "installation") continue;
				if (view.title != page.title)
				{
					ASSERT_TRUE(wizard.PressNext());
					ASSERT_TRUE(wizard.WaitForPage(page.title, kStepTimeout, &view)) << Narrow(view.Describe());
				}
				ASSERT_TRUE(Sync(wizard.Window()));
				view = wizard.View();

				for (const std::string &fault : LayoutFaults(wizard.Window(), view.controls, dpi))
					ADD_FAILURE() << dpi << " DPI, page " << page.name << ": " << fault;

				wchar_t name[64];
				swprintf(name, 64, L"\\%hs-%02d-%hs.png", prefix.c_str(), ++shot, page.name);
				EXPECT_TRUE(wizard.Screenshot(shots + name, L"", &error)) << Narrow(error);
				if (shot == 1)
				{
					swprintf(name, 64, L"\\%hs-00-screen.png", prefix.c_str());
					EXPECT_TRUE(SaveScreenshot(nullptr, shots + name, &error)) << Narrow(error);
				}
			}

			std::wstring choiceError;
			ASSERT_TRUE(wizard.ChooseRestartLater(&choiceError)) << Narrow(choiceError);
			ASSERT_TRUE(wizard.PressNext());
			EXPECT_TRUE(wizard.Program().WaitForExit(kExitTimeout));
		}
	};

	class DpiE2E : public DpiFixture, public ::testing::WithParamInterface<int>
	{
	protected:
		void SetUp() override { Prepare(GetParam()); }
	};

	// A window dragged to a monitor of another DPI: the system tells it so
	// with WM_DPICHANGED and the rectangle it suggests. Wine gives every
	// monitor the same DPI and never sends it, so the test does, with the
	// rectangle in the wizard's own memory, where the message's pointer
	// has to point. The system's own drawing (a check box's glyph) keeps
	// the prefix's DPI, so only moves to a higher DPI are tried: a glyph
	// drawn for a higher DPI than the window's would not be a real case.
	bool SendDpiChanged(HWND window, int dpi, const RECT &suggested)
	{
		DWORD_PTR answer = 0;
		return SendThroughRemoteMemory(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), &suggested, nullptr, sizeof(suggested), &answer);
	}

	struct Move
	{
		int from, to;
	};

	class DpiMoveE2E : public DpiFixture, public ::testing::WithParamInterface<Move>
	{
	protected:
		void SetUp() override { Prepare(GetParam().from); }
	};
}

TEST_P(DpiE2E, EveryPageFitsItsTextsWithoutOverlaps)
{
	std::wstring error;
	ASSERT_TRUE(wizard.Start(folder->Path() + L"\\setup.exe", folder->Path(), &error)) << Narrow(error);
	WalkAndCheck(GetParam(), "dpi" + std::to_string(GetParam()));
}

// Moved to a monitor of another DPI on its first page, the wizard takes the
// new scale for every page that follows, with the same checks as above.
TEST_P(DpiMoveE2E, WizardFollowsItsMonitorsDpi)
{
	const Move move = GetParam();
	std::wstring error;
	ASSERT_TRUE(wizard.Start(folder->Path() + L"\\setup.exe", folder->Path(), &error)) << Narrow(error);
	RECT before{};
	GetWindowRect(wizard.Window(), &before);
	const RECT suggested{40, 30, 40 + MulDiv(before.right - before.left, move.to, move.from), 30 + MulDiv(before.bottom - before.top, move.to, move.from)};
	ASSERT_TRUE(SendDpiChanged(wizard.Window(), move.to, suggested));
	RECT after{};
	GetWindowRect(wizard.Window(), &after);
	EXPECT_EQ(after.left, 40);
	EXPECT_EQ(after.top, 30);
	WalkAndCheck(move.to, "moved" + std::to_string(move.from) + "to" + std::to_string(move.to));
}

INSTANTIATE_TEST_SUITE_P(Scalings, DpiE2E, ::testing::Values(96, 120, 144, 192),
                         [](const ::testing::TestParamInfo<int> &info) { return "Dpi" + std::to_string(info.param); });

INSTANTIATE_TEST_SUITE_P(Monitors, DpiMoveE2E, ::testing::Values(Move{96, 192}, Move{120, 144}),
                         [](const ::testing::TestParamInfo<Move> &info) { return "From" + std::to_string(info.param.from) + "To" + std::to_string(info.param.to); });
