// smooth::Threads::Thread: a worker thread whose body is a connected callback.
#pragma once

#include "signals.h"

namespace smooth
{
	namespace Threads
	{
		const Int THREAD_CREATED	= 0;
		const Int THREAD_RUNNING	= 1;
		const Int THREAD_FINISHED	= 2;

		class SMOOTH_API Thread : public Object
		{
			public:
						 Thread(void *argument = nullptr);
				// Waits for a running thread before it goes.
						~Thread();

				// The thread body; it receives the thread object.
				Callback<Int, Thread *>	 threadMain;

				// Starts the body on a new thread; Error() when already started.
				Int		 Start();
				// Blocks until the body has returned (Success() at once when not started).
				Int		 Wait();
				Int		 GetStatus() const;	// THREAD_CREATED, THREAD_RUNNING or THREAD_FINISHED
				void		*GetArgument() const	{ return argument; }
			private:
				void		*argument;
				void		*impl;
		};
	}
}
