#include "wizard_test_support.h"

#include <windows.h>

#include <cstdio>

using namespace smooth;

namespace WizardTest
{
	std::vector<int>		 answers;
	std::vector<Question>		 questions;
	std::vector<std::pair<unsigned int, unsigned long> > restarts;
	int				 restartResult = 0;

	namespace
	{
		Int Respond(const String &text, const String &caption, Int buttons, Int icon)
		{
			questions.push_back(Question { text.WideString(), caption.WideString(), buttons, icon });

			if (answers.empty()) return IDCANCEL;

			int	 answer = answers.front();

			answers.erase(answers.begin());

			return answer;
		}

		int FakeRestart(unsigned int flags, unsigned long reason)
		{
			restarts.emplace_back(flags, reason);

			return restartResult;
		}

		// The platform is started once for the whole test program, as the
		// program entry does it.
		class PlatformEnvironment : public ::testing::Environment
		{
			public:
				void SetUp() override	 { smooth::Init(); }
				void TearDown() override { smooth::Free(); }
		};

		const ::testing::Environment *const platform = ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);

		void RemoveTree(const std::wstring &path)
		{
			WIN32_FIND_DATAW data;
			HANDLE		 find = FindFirstFileW((path + L"\\*").c_str(), &data);

			if (find != INVALID_HANDLE_VALUE)
			{
				do
				{
					std::wstring	 name = data.cFileName;

					if (name == L"." || name == L"..") continue;

					if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path + L"\\" + name);
					else						      DeleteFileW((path + L"\\" + name).c_str());
				}
				while (FindNextFileW(find, &data));

				FindClose(find);
			}

			RemoveDirectoryW(path.c_str());
		}
	}

	std::string Script::Xml() const
	{
		std::string	 xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<installer>\n";

		xml += "<setup>" + setup + "</setup>\n";
		xml += "<application>" + application + "</application>\n";
		xml += "<dialogs>\n";

		for (const std::string &id : pages)
		{
			xml += "<dialog id=\"" + id + "\"><title>" + id + " title</title><text>" + id + " text</text>";

			if (id == "license")   xml += "<licensefile>" + licenseFile + "</licensefile>";
			if (id == "directory") xml += "<defaultdir>" + defaultDir + "</defaultdir>";

			xml += "</dialog>\n";
		}

		/* Before the extra dialogs, so that one of them can replace it. */
		xml += "<dialog id=\"installation\"><title>installation title</title><text>installation text</text></dialog>\n";
		xml += texts;
		xml += "</dialogs>\n";
		xml += "<components>" + components + "</components>\n";
		xml += "</installer>\n";

		return xml;
	}

	void WizardFixture::SetUp()
	{
		wchar_t	 buffer[MAX_PATH];

		GetCurrentDirectoryW(MAX_PATH, buffer);
		previousFolder = buffer;

		static int	 serial = 0;

		GetTempPathW(MAX_PATH, buffer);
		folder = std::wstring(buffer) + L"wizard_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);

		CreateDirectoryW(folder.c_str(), nullptr);
		SetCurrentDirectoryW(folder.c_str());

		answers.clear();
		questions.clear();
		restarts.clear();
		restartResult = 0;

		GUI::Dialogs::QuickMessage::SetTestResponder(&Respond);
		Tolvane::exitWindowsEx = &FakeRestart;
	}

	void WizardFixture::TearDown()
	{
		if (wizard != nullptr) Object::DeleteObject(wizard);

		wizard = nullptr;

		Pump(20);

		GUI::Dialogs::QuickMessage::SetTestResponder(nullptr);

		SetCurrentDirectoryW(previousFolder.c_str());
		RemoveTree(folder);
	}

	void WizardFixture::WriteFile(const std::string &name, const std::string &bytes)
	{
		std::wstring	 path = folder + L"\\" + std::wstring(name.begin(), name.end());
		FILE		*file = _wfopen(path.c_str(), L"wb");

		ASSERT_NE(file, nullptr);

		fwrite(bytes.data(), 1, bytes.size(), file);
		fclose(file);
	}

	void WizardFixture::Start(const Script &script)
	{
		StartRaw(script.Xml());
	}

	void WizardFixture::StartRaw(const std::string &xml)
	{
		WriteFile("setup.xml", xml);

		wizard = new Tolvane::Wizard();
		wizardHandle = W().wizardWindow->GetSystemWindow();

		Pump(100);
	}

	void WizardFixture::ShowWindows()
	{
		if (W().backgroundWindow != nullptr) W().backgroundWindow->Show();

		W().wizardWindow->Show();

		Pump(300);
	}

	void WizardFixture::Pump(int ms)
	{
		DWORD	 start = GetTickCount();

		do
		{
			MSG	 msg;

			while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
			{
				TranslateMessage(&msg);
				DispatchMessageW(&msg);
			}

			Sleep(5);
		}
		while (GetTickCount() - start < DWORD(ms));
	}

	void WizardFixture::Click(GUI::Widget *button)
	{
		SendMessageW((HWND) button->GetHandle(), BM_CLICK, 0, 0);
	}

	bool WizardFixture::WizardAlive() const
	{
		return wizardHandle != nullptr && IsWindow((HWND) wizardHandle);
	}

	namespace
	{
		bool	 timedOut = false;

		void CALLBACK EndLoop(HWND, UINT, UINT_PTR, DWORD)
		{
			timedOut = true;
			PostQuitMessage(0);
		}
	}

	bool LoopTimesOut(int ms, const std::function<void()> &run)
	{
		timedOut = false;

		UINT_PTR timer = SetTimer(nullptr, 0, UINT(ms), &EndLoop);

		run();

		KillTimer(nullptr, timer);

		return timedOut;
	}

	WindowShot::WindowShot(void *window)
	{
		RECT	 rect;

		if (!GetWindowRect((HWND) window, &rect)) return;

		HDC	 dc = GetWindowDC((HWND) window);

		if (dc == nullptr) return;

		/* One copy of the whole window: reading pixel by pixel asks the
		 * display for each one.
		 */
		BITMAPINFO	 info = { };
		void		*bits = nullptr;

		info.bmiHeader.biSize	     = sizeof(info.bmiHeader);
		info.bmiHeader.biWidth	     = rect.right - rect.left;
		info.bmiHeader.biHeight	     = -(rect.bottom - rect.top);
		info.bmiHeader.biPlanes	     = 1;
		info.bmiHeader.biBitCount    = 32;
		info.bmiHeader.biCompression = BI_RGB;

		HDC	 memory = CreateCompatibleDC(dc);
		HBITMAP	 bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);

		if (memory != nullptr && bitmap != nullptr && bits != nullptr)
		{
			HGDIOBJ	 old = SelectObject(memory, bitmap);

			if (BitBlt(memory, 0, 0, info.bmiHeader.biWidth, -info.bmiHeader.biHeight, dc, 0, 0, SRCCOPY))
			{
				width  = info.bmiHeader.biWidth;
				height = -info.bmiHeader.biHeight;
				pixels.assign((const unsigned int *) bits, (const unsigned int *) bits + size_t(width) * size_t(height));
			}

			SelectObject(memory, old);
		}

		if (bitmap != nullptr) ::DeleteObject(bitmap);
		if (memory != nullptr) DeleteDC(memory);

		ReleaseDC((HWND) window, dc);
	}

	long WindowShot::Pixel(int x, int y) const
	{
		if (x < 0 || y < 0 || x >= width || y >= height) return -1;

		return long(pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF);
	}
}

namespace WizardTest
{
	std::string SolidBmp(int width, int height, long rgb)
	{
		int		 row = (width * 3 + 3) / 4 * 4;
		int		 imageSize = row * height;
		std::string	 bmp(54 + imageSize, '\0');

		auto put32 = [&bmp](int at, long value) { for (int i = 0; i < 4; i++) bmp[at + i] = char((value >> (8 * i)) & 255); };

		bmp[0] = 'B'; bmp[1] = 'M';
		put32(2, 54 + imageSize);
		put32(10, 54);
		put32(14, 40);
		put32(18, width);
		put32(22, height);
		bmp[26] = 1;
		bmp[28] = 24;
		put32(34, imageSize);

		for (int y = 0; y < height; y++)
		{
			for (int x = 0; x < width; x++)
			{
				int	 at = 54 + y * row + x * 3;

				bmp[at]	    = char(rgb & 255);		// blue
				bmp[at + 1] = char((rgb >> 8) & 255);	// green
				bmp[at + 2] = char((rgb >> 16) & 255);	// red
			}
		}

		return bmp;
	}
}
