// smooth::GUI::Widget, the base of every window, container and control of the
// Windows GUI, and the constants shared by the widgets.
#pragma once

#include <smooth.h>

#include <cstdint>
#include <vector>

namespace smooth
{
	namespace GUI
	{
		// Orientation bits. A widget's position is measured from its container's
		// top-left corner unless OR_RIGHT (x counts from the container's right
		// edge to the widget's left edge) or OR_BOTTOM (y counts from the
		// container's bottom edge up to the widget's top edge) is set.
		// OR_HORZ / OR_VERT give the direction of progress bars and dividers;
		// for dividers OR_LEFT also means "measured from the top/left".
		const Int OR_HORZ	= 1;
		const Int OR_VERT	= 2;
		const Int OR_LEFT	= 4;
		const Int OR_BOTTOM	= 8;
		const Int OR_TOP	= 16;
		const Int OR_RIGHT	= 32;

		const Int OR_UPPERLEFT	= OR_LEFT | OR_TOP;	// 20, the default
		const Int OR_LOWERLEFT	= OR_LEFT | OR_BOTTOM;	// 12
		const Int OR_UPPERRIGHT	= OR_RIGHT | OR_TOP;	// 48
		const Int OR_LOWERRIGHT	= OR_RIGHT | OR_BOTTOM;	// 40

		class Window;
		class Surface;

		// A widget has a position relative to its container (see the orientation
		// bits), a size, a text, a visible flag and an active flag. Widgets form a
		// tree: Add makes a widget a child of this one; a container owns nothing,
		// callers release every widget with DeleteObject. Deleting a container
		// detaches its children (they stay valid, without a container); deleting
		// a child removes it from its container.
		//
		// Native controls are created when the container chain first reaches a
		// Window, and destroyed when the widget leaves it or the window goes. All
		// operations may be called before that: the widget keeps its state and
		// applies it on creation. Every operation except Progressbar::SetValue and
		// the plain getters must be called on the thread that created the window.
		class SMOOTH_API Widget : public Object
		{
			friend class WidgetBackend;
			public:
						 Widget(const Point &position = Point(), const Size &size = Size());
				virtual		~Widget();

						 Widget(const Widget &) = delete;
				Widget		&operator =(const Widget &) = delete;

				// Sets / clears the widget's own visible flag (set on construction)
				// and shows / hides its native control when it has one. Success().
				virtual Int	 Show();
				virtual Int	 Hide();
				// The own flag and, up the container chain, every container's.
				Bool		 IsVisible() const;

				// Sets / clears the active flag (set on construction): a deactivated
				// control does not accept input. Success().
				virtual Int	 Activate();
				virtual Int	 Deactivate();
				Bool		 IsActive() const;

				// The widget's text (caption, label, content or window title).
				// Success(); a control updates itself at once.
				virtual Int	 SetText(const String &text);
				virtual String	 GetText() const;

				// Orientation bits (OR_...); the widget moves to its new place. Success().
				virtual Int	 SetOrientation(Int orientation);
				Int		 GetOrientation() const;

				// The position as given (relative to the container, see orientation).
				Point		 GetPosition() const;
				// The real size: a 0 width or height given on construction is
				// replaced by the widget's natural extent (e.g. a Text's text size).
				virtual Size	 GetSize() const;
				virtual Int	 SetPosition(const Point &position);
				virtual Int	 SetSize(const Size &size);

				// The widget's rectangle in the coordinates of its window (outer
				// top-left = 0,0), orientation resolved. Without a window: the
				// rectangle at the given position as if the container were at 0,0.
				Rect		 GetRealRect() const;

				// Makes widget a child of this one (Error() when it is null, this
				// widget itself, already in a container, a Window, or one of this
				// widget's own containers); Remove detaches it (Error() when it is
				// not a child). Children are kept in order of addition.
				virtual Int	 Add(Widget *widget);
				virtual Int	 Remove(Widget *widget);
				Int		 GetNOfObjects() const;
				Widget		*GetNthObject(Int n) const;	// null when out of range
				Widget		*GetContainer() const;

				// The drawing surface of the widget's window (null outside a window).
				virtual Surface	*GetDrawSurface() const;
				// The window this widget is in (a Window returns itself); null
				// when the container chain reaches no window.
				virtual Window	*GetContainerWindow() const;
				// The native handle (HWND) of the widget's own control, null when it
				// has none (containers, self-drawn widgets, not yet created).
				void		*GetHandle() const;

				Signal<>	 onAction;	// clicked / chosen
				Signal<>	 onMouseOver;	// the pointer entered the widget
				Signal<>	 onMouseOut;	// the pointer left the widget
			protected:
				// The size a 0 extent stands for; Size() when the widget has none.
				virtual Size	 GetDefaultSize() const;
				// Creates the widget's native control as a child of the native
				// window parent (an HWND) and returns it, or null for widgets
				// without one.
				virtual void	*CreateNative(void *parent);
				// Brings a freshly created (or re-synchronised) control up to the
				// widget's state; called after CreateNative and after Activate /
				// Deactivate / Show.
				virtual void	 SyncNative();
				// Draws a self-drawn widget into its window (dc is an HDC in window
				// coordinates); called inside the window's paint for visible widgets.
				virtual void	 Paint(void *dc);
				// A notification (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR...) sent by
				// the widget's control to the window; true when handled, with the
				// window procedure's result in result.
				virtual Bool	 Notify(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result);
				// A message to the widget's own control, before its class's
				// procedure; true when handled (result is then returned).
				virtual Bool	 ControlMessage(UnsignedInt message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t &result);
				// The area inside which children are placed: origin in window
				// coordinates and size.
				virtual Point	 GetChildOrigin() const;
				virtual Size	 GetChildArea() const;

				// Marks the widget's area of its window for repainting.
				void		 Invalidate() const;
				// Moves native controls of this subtree to their current places
				// and visibility.
				void		 Relayout();
				// Creates / destroys the native controls of this subtree.
				void		 AttachNative();
				void		 DetachNative();

				Point		 position;
				Size		 size;
				Int		 orientation = OR_UPPERLEFT;
				String		 text;
				Bool		 visible = true;
				Bool		 active = true;
				Widget		*container = nullptr;
				std::vector<Widget *> children;
				void		*handle = nullptr;
				Bool		 mouseInside = false;
		};
	}
}
