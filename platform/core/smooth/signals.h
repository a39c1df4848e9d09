// Signals and callbacks: connect member functions or plain functions to events.
#pragma once

#include "definitions.h"

#include <functional>
#include <vector>

namespace smooth
{
	// A signal calls every connected slot, in the order of connection, when emitted.
	template <class... Args> class Signal
	{
		public:
			template <class R, class C> void Connect(R (C::*method)(Args...), C *object)
			{
				slots.push_back([=](Args... args) { (object->*method)(args...); });
			}

			template <class R> void Connect(R (*function)(Args...))
			{
				slots.push_back([=](Args... args) { function(args...); });
			}

			void Connect(std::function<void(Args...)> slot) { slots.push_back(std::move(slot)); }

			void DisconnectAll()	{ slots.clear(); }
			Int  GetNOfConnected() const	{ return Int(slots.size()); }

			void Emit(Args... args) const
			{
				for (auto &slot : slots) slot(args...);
			}
		private:
			std::vector<std::function<void(Args...)> > slots;
	};

	// A callback has at most one connected function, which returns a value.
	// Calling an unconnected callback returns R().
	template <class R, class... Args> class Callback
	{
		public:
			template <class C> void Connect(R (C::*method)(Args...), C *object)
			{
				slot = [=](Args... args) { return (object->*method)(args...); };
			}

			void Connect(R (*function)(Args...))	{ slot = function; }
			void Connect(std::function<R(Args...)> f)	{ slot = std::move(f); }

			Bool IsConnected() const	{ return bool(slot); }

			R Call(Args... args) const
			{
				if (!slot) return R();
				return slot(args...);
			}
		private:
			std::function<R(Args...)> slot;
	};
}
