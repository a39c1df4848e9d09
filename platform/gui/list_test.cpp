#include "gui_test_support.h"

#include <string>

using namespace smooth;
using namespace smooth::GUI;
using guitest::WindowTest;

namespace
{
	class ListTest : public WindowTest
	{
		protected:
			void SetUp() override
			{
				WindowTest::SetUp();

				list = new ListBox(Point(10, 10), Size(200, 120));
				list->SetFlags(LF_MULTICHECKBOX);

				required = list->AddEntry("Program files");
				optional = list->AddEntry("Documentation");
				plain	 = list->AddEntry("Sources");

				required->SetMark(true);
				required->Deactivate();
				optional->SetMark(true);

				window->Add(list);

				hwnd = (HWND) list->GetHandle();

				ASSERT_NE(hwnd, nullptr);
			}

			void TearDown() override
			{
				Object::DeleteObject(list);
				WindowTest::TearDown();
			}

			LPARAM EntryPoint(int index)
			{
				RECT	 rect;

				SendMessageW(hwnd, LB_GETITEMRECT, index, (LPARAM) &rect);

				return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
			}

			void Click(int index)
			{
				LPARAM	 at = EntryPoint(index);

				SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
				SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
			}

			ListBox		*list	  = nullptr;
			ListEntry	*required = nullptr;
			ListEntry	*optional = nullptr;
			ListEntry	*plain	  = nullptr;
			HWND		 hwnd	  = nullptr;
	};

	std::wstring ItemText(HWND hwnd, int index)
	{
		wchar_t	 buffer[256] = { 0 };

		SendMessageW(hwnd, LB_GETTEXT, index, (LPARAM) buffer);

		return buffer;
	}
}

TEST_F(ListTest, NativeListMirrorsTheEntries)
{
	ASSERT_EQ(SendMessageW(hwnd, LB_GETCOUNT, 0, 0), 3);

	const wchar_t	*texts[] = { L"Program files", L"Documentation", L"Sources" };
	const LRESULT	 data[]	 = { 1 | 2, 1, 0 };

	for (int i = 0; i < 3; i++)
	{
		EXPECT_EQ(ItemText(hwnd, i), texts[i]);
		EXPECT_EQ(SendMessageW(hwnd, LB_GETITEMDATA, i, 0), data[i]) << i;
		EXPECT_EQ(list->GetNthEntry(i)->GetItemData(), data[i]);
	}

	// Entries added or renamed later show up in place.
	list->AddEntry("Extras");
	plain->SetText("Source code");

	EXPECT_EQ(SendMessageW(hwnd, LB_GETCOUNT, 0, 0), 4);
	EXPECT_EQ(ItemText(hwnd, 2), L"Source code");
	EXPECT_EQ(ItemText(hwnd, 3), L"Extras");
	EXPECT_EQ(list->Length(), 4);
	EXPECT_EQ(list->GetNthEntry(4), nullptr);

	// Deleting an entry keeps list and control in step.
	Object::DeleteObject(optional);

	EXPECT_EQ(list->Length(), 3);
	EXPECT_EQ(SendMessageW(hwnd, LB_GETCOUNT, 0, 0), 3);
	EXPECT_EQ(ItemText(hwnd, 1), L"Source code");
}

TEST_F(ListTest, ClicksAndSpaceToggleActiveEntriesOnly)
{
	int	 actions = 0;

	list->onAction.Connect(std::function<void()>([&] { actions++; }));

	struct Step { const char *input; int index; bool required; bool optional; bool plain; int actions; };

	const Step steps[] = {
		{ "click", 1, true, false, false, 1 },
		{ "click", 2, true, false, true,  2 },
		{ "click", 0, true, false, true,  2 },	// deactivated: refused
		{ "space", 2, true, false, false, 3 },
		{ "space", 0, true, false, false, 3 },
		{ "click", 1, true, true,  false, 4 } };

	for (const Step &step : steps)
	{
		if (std::string(step.input) == "click")
		{
			Click(step.index);
		}
		else
		{
			SendMessageW(hwnd, LB_SETCURSEL, step.index, 0);
			SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
			SendMessageW(hwnd, WM_CHAR, L' ', 0);
			SendMessageW(hwnd, WM_KEYUP, VK_SPACE, 0);
		}

		SCOPED_TRACE(std::string(step.input) + " " + std::to_string(step.index));

		EXPECT_EQ(required->IsMarked(), step.required);
		EXPECT_EQ(optional->IsMarked(), step.optional);
		EXPECT_EQ(plain->IsMarked(), step.plain);
		EXPECT_EQ(actions, step.actions);
		EXPECT_EQ(SendMessageW(hwnd, LB_GETITEMDATA, 1, 0), step.optional ? 1 : 0);
		EXPECT_EQ(SendMessageW(hwnd, LB_GETITEMDATA, 2, 0), step.plain ? 1 : 0);
	}

	// A deactivated entry can still be set by the program.
	required->SetMark(false);

	EXPECT_EQ(SendMessageW(hwnd, LB_GETITEMDATA, 0, 0), 2);
}

TEST_F(ListTest, PlainListsDoNotToggle)
{
	list->SetFlags(LF_NORMAL);

	Click(2);

	EXPECT_FALSE(plain->IsMarked());
}

TEST_F(ListTest, PointerOverEntriesEmitsEnterAndLeave)
{
	std::string	 events;

	for (int i = 0; i < list->Length(); i++)
	{
		ListEntry	*entry = list->GetNthEntry(i);
		std::string	 name  = std::to_string(i);

		entry->onMouseOver.Connect(std::function<void()>([&events, name, entry, this] {
			// When a handler runs, exactly the entered entry is marked as under the pointer.
			int	 over = 0;

			for (int j = 0; j < list->Length(); j++) over += list->GetNthEntry(j)->IsMouseOver() ? 1 : 0;

			events += "+" + name + (entry->IsMouseOver() && over == 1 ? "" : "!");
		}));
		entry->onMouseOut.Connect(std::function<void()>([&events, name, entry] { events += "-" + name + (entry->IsMouseOver() ? "!" : ""); }));
	}

	SendMessageW(hwnd, WM_MOUSEMOVE, 0, EntryPoint(1));
	SendMessageW(hwnd, WM_MOUSEMOVE, 0, EntryPoint(1));
	EXPECT_EQ(list->GetMouseOverEntry(), optional);

	SendMessageW(hwnd, WM_MOUSEMOVE, 0, EntryPoint(0));
	SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 110));	// below the last entry
	EXPECT_EQ(list->GetMouseOverEntry(), nullptr);

	SendMessageW(hwnd, WM_MOUSEMOVE, 0, EntryPoint(2));
	SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);

	EXPECT_EQ(events, "+1-1+0-0+2-2");

	for (int i = 0; i < list->Length(); i++) EXPECT_FALSE(list->GetNthEntry(i)->IsMouseOver());
}
