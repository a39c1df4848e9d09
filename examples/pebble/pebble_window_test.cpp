#include "pebble_window.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
	// A fresh folder for one test's notes file, removed with what is in it.
	class TemporaryFolder
	{
	public:
		TemporaryFolder()
		{
			wchar_t base[MAX_PATH] = {0};
			GetTempPathW(MAX_PATH, base);
			path = std::wstring(base) + L"pebble_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(next++);
			CreateDirectoryW(path.c_str(), nullptr);
		}
		~TemporaryFolder()
		{
			WIN32_FIND_DATAW found;
			HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
			if (find != INVALID_HANDLE_VALUE)
			{
				do
					if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path + L"\\" + found.cFileName).c_str());
				while (FindNextFileW(find, &found));
				FindClose(find);
			}
			RemoveDirectoryW(path.c_str());
		}
		std::wstring path;

	private:
		static inline int next = 0;
	};

	bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

	std::wstring TextOf(HWND hwnd)
	{
		std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
		text.resize(static_cast<size_t>(GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()))));
		return text;
	}

	VOID CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

	// Closes the window as the close box does and runs the loop until it ends.
	int CloseAndRun(HWND window)
	{
		// A loop that never ends would hang the suite: give up after a while
		// with a code the tests do not expect.
		UINT_PTR timer = SetTimer(nullptr, 0, 20000, GiveUp);
		PostMessageW(window, WM_CLOSE, 0, 0);
		int code = Pebble::RunMessageLoop();
		KillTimer(nullptr, timer);
		return code;
	}

	class PebbleWindowTest : public ::testing::Test
	{
	protected:
		TemporaryFolder folder;
		std::wstring notes = folder.path + L"\\notes.ini";
		HWND window = nullptr;
		HWND edit = nullptr;

		void Open()
		{
			window = Pebble::CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL, notes);
			ASSERT_NE(window, nullptr);
			edit = Pebble::NotesEdit(window);
			ASSERT_NE(edit, nullptr);
		}

		void SetUp() override { Open(); }

		void TearDown() override
		{
			if (window && IsWindow(window)) DestroyWindow(window);
			// Destroying the window posts a quit message: take it and
			// whatever else is queued, so the next test starts clean.
			MSG msg;
			while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
				if (msg.message != WM_QUIT) DispatchMessageW(&msg);
		}

		static RECT ScreenRectOfClient(HWND hwnd)
		{
			RECT client;
			GetClientRect(hwnd, &client);
			MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT *>(&client), 2);
			return client;
		}
	};

	TEST_F(PebbleWindowTest, TheEditAreaFillsTheClientAreaAtEverySize)
	{
		EXPECT_TRUE(IsWindowVisible(edit));
		EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE);

		const SIZE sizes[] = { { 640, 480 }, { 300, 200 }, { 1000, 700 }, { 160, 120 }, { 820, 300 } };
		for (const SIZE &size : sizes)
		{
			SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
			ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE));
			RECT client = ScreenRectOfClient(window), area;
			GetWindowRect(edit, &area);
			EXPECT_GT(client.right - client.left, 0);
			EXPECT_EQ(area.left, client.left);
			EXPECT_EQ(area.top, client.top);
			EXPECT_EQ(area.right, client.right);
			EXPECT_EQ(area.bottom, client.bottom);
		}
	}

	TEST_F(PebbleWindowTest, NotesMayBeLongerThanAnEditAreaTakesByDefault)
	{
		std::wstring text;
		for (int line = 0; text.size() < 100000; line++) text += L"note " + std::to_wstring(line) + L" of the day\r\n";
		SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
		EXPECT_EQ(GetWindowTextLengthW(edit), static_cast<int>(text.size()));
	}

	TEST_F(PebbleWindowTest, ClosingUnchangedNotesEndsTheProgramWithZeroAndWritesNothing)
	{
		EXPECT_EQ(CloseAndRun(window), 0);
		EXPECT_FALSE(IsWindow(window));
		EXPECT_EQ(Pebble::NotesEdit(window), nullptr);
		EXPECT_FALSE(Exists(notes));
	}

	TEST_F(PebbleWindowTest, TypedNotesAreSavedOnCloseAndShownNextTime)
	{
		const std::wstring typed = L"Buy milk\r\nCall Åsa \u20AC5";
		for (wchar_t c : typed)
			if (c != L'\n') SendMessageW(edit, WM_CHAR, c, 0);
		ASSERT_EQ(TextOf(edit), typed);

		EXPECT_EQ(CloseAndRun(window), 0);
		EXPECT_TRUE(Exists(notes));
		EXPECT_FALSE(Exists(notes + L".new"));

		TearDown();
		Open();
		EXPECT_EQ(TextOf(edit), typed);
	}

	TEST(PebbleNotesFile, SavedNotesReadBackAsTheyWere)
	{
		TemporaryFolder folder;
		const std::wstring path = folder.path + L"\\notes.ini";
		const std::wstring texts[] = { L"", L"one line", L"two\r\nlines\r\n", L"\u00E4\u00F6\u00FC \u20AC \u65E5\u672C \U0001F600", std::wstring(300000, L'x') };
		for (const std::wstring &text : texts)
		{
			SCOPED_TRACE(text.size());
			DWORD error = 0;
			ASSERT_TRUE(Pebble::SaveNotes(path, text, &error)) << error;
			std::wstring back = L"stale";
			ASSERT_TRUE(Pebble::LoadNotes(path, &back, &error)) << error;
			EXPECT_EQ(back, text);
			EXPECT_FALSE(Exists(path + L".new"));
		}
	}

	TEST(PebbleNotesFile, MissingNotesAreNoNotesAndAnUnwritableFolderKeepsNothingHalfDone)
	{
		TemporaryFolder folder;
		DWORD error = 0;
		std::wstring text = L"stale";
		EXPECT_TRUE(Pebble::LoadNotes(folder.path + L"\\notes.ini", &text, &error));
		EXPECT_EQ(text, L"");

		const std::wstring nowhere = folder.path + L"\\missing\\notes.ini";
		EXPECT_FALSE(Pebble::SaveNotes(nowhere, L"lost?", &error));
		EXPECT_NE(error, 0u);
		EXPECT_FALSE(Exists(nowhere));
		EXPECT_FALSE(Exists(nowhere + L".new"));

		// A folder where the notes file should be cannot be read as notes.
		const std::wstring blocked = folder.path + L"\\blocked.ini";
		ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
		error = 0;
		EXPECT_FALSE(Pebble::LoadNotes(blocked, &text, &error));
		EXPECT_NE(error, 0u);
		EXPECT_FALSE(Pebble::SaveNotes(blocked, L"kept apart", &error));
		EXPECT_TRUE(GetFileAttributesW(blocked.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
		RemoveDirectoryW(blocked.c_str());
	}
}
