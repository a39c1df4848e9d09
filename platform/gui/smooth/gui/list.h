// smooth::GUI::List, ListEntry and ListBox: a list of entries with check marks.
#pragma once

#include "widget.h"

#include <atomic>

namespace smooth
{
	namespace GUI
	{
		// List flags (ListBox::SetFlags).
		const Int LF_NORMAL		= 0;
		const Int LF_MULTICHECKBOX	= 4;	// entries carry check marks the user toggles

		class List;

		// One entry of a list. Created by List::AddEntry and owned by the list
		// (deleted with it). Its mark and active state can be read from any thread.
		class SMOOTH_API ListEntry : public Widget
		{
			friend class List;
			friend class ListBox;
			public:
						~ListEntry();

				// Sets the check mark (also on a deactivated entry). Success().
				Int		 SetMark(bool mark);
				Bool		 IsMarked() const;

				// A deactivated entry's mark cannot be toggled by the user.
				Int		 Activate() override;
				Int		 Deactivate() override;

				Int		 SetText(const String &text) override;

				// Whether the pointer is over this entry.
				Bool		 IsMouseOver() const;

				// The item data the native list carries: 1 when marked, | 2 when
				// deactivated.
				Int		 GetItemData() const;

				List		*GetList() const;
			private:
						 ListEntry(List *list, const String &text);

				List		*list;
				std::atomic<bool> marked{false};
				Bool		 mouseOver = false;
		};

		class SMOOTH_API List
		{
			friend class ListEntry;
			public:
						 List();
				virtual		~List();

						 List(const List &) = delete;
				List		&operator =(const List &) = delete;

				// Appends an entry (unmarked, active) and returns it; the list owns it.
				ListEntry	*AddEntry(const String &text);
				Int		 Length() const;
				ListEntry	*GetNthEntry(Int n) const;	// null when out of range
				// Deletes every entry. Success().
				Int		 RemoveAllEntries();
			protected:
				// An entry was added / changed (text, mark, active state).
				virtual void	 OnEntryAdded(ListEntry *entry);
				virtual void	 OnEntryChanged(ListEntry *entry);
				// The entry at index is being deleted (it is still in entries).
				virtual void	 OnEntryRemoved(Int index);

				std::vector<ListEntry *> entries;
		};

		// A native list box (owner-drawn, LBS_HASSTRINGS, LBS_NOTIFY). With
		// LF_MULTICHECKBOX each entry shows a check box; a left click on an active
		// entry, or the space key on the selected one, toggles its mark and emits
		// the list's onAction. LB_GETITEMDATA of an item gives
		// ListEntry::GetItemData. Moving the pointer over the entries emits each
		// entry's onMouseOver / onMouseOut (WM_MOUSEMOVE, WM_MOUSELEAVE).
		class SMOOTH_API ListBox : public Widget, public List
		{
			public:
						 ListBox(const Point &position, const Size &size);
						~ListBox();

				Int		 SetFlags(Int flags);
				Int		 GetFlags() const;

				// The entry under the pointer, or null.
				ListEntry	*GetMouseOverEntry() const;
			protected:
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				Bool		 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
				Bool		 ControlMessage(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
				void		 OnEntryAdded(ListEntry *entry) override;
				void		 OnEntryChanged(ListEntry *entry) override;
				void		 OnEntryRemoved(Int index) override;
			private:
				void		 AddNativeEntry(ListEntry *entry);
				void		 ToggleEntry(Int index);
				void		 SetMouseOver(Int index);

				Int		 flags = LF_NORMAL;
				Int		 mouseOverIndex = -1;
		};
	}
}
