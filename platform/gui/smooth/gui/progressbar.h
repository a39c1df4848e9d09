// smooth::GUI::Progressbar, a progress bar that any thread may advance.
#pragma once

#include "widget.h"

#include <atomic>

namespace smooth
{
	namespace GUI
	{
		// Progress bar text styles (textFlag): accepted and kept; the native bar
		// shows no text.
		const Int PB_NOTEXT	= 0;
		const Int PB_VALUE	= 1;
		const Int PB_PERCENT	= 2;

		// A progress bar from min to max. orientation OR_HORZ or OR_VERT gives
		// its direction (it is not a placement orientation). A 0 height (or width
		// for a vertical bar) becomes 19.
		class SMOOTH_API Progressbar : public Widget
		{
			public:
						 Progressbar(const Point &position, const Size &size, Int orientation, Int textFlag, Int min, Int max, Int value);
						~Progressbar();

				// Clamps value to [min, max], stores it and updates the bar. Safe from
				// any thread: off the window's thread the bar is updated through the
				// window thread's queue (never waiting for it); updates that pile up
				// collapse into one. Success().
				Int		 SetValue(Int value);
				Int		 GetValue() const;
				Int		 GetMin() const;
				Int		 GetMax() const;
				Int		 GetTextFlag() const;
			protected:
				Size		 GetDefaultSize() const override;
				void		*CreateNative(void *parent) override;
				void		 SyncNative() override;
				Bool		 ControlMessage(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result) override;
			private:
				Int		 direction;
				Int		 textFlag;
				Int		 minimum;
				Int		 maximum;
				std::atomic<Int>  value;
				std::atomic<bool> updatePending;
				std::atomic<void *> nativeBar;
		};
	}
}
