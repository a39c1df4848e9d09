// smooth::Threads::RWLock, a reader-writer lock.
#pragma once

#include "definitions.h"

namespace smooth
{
	namespace Threads
	{
		// Many readers or one writer. Release ends whichever lock the calling
		// thread holds. Not recursive.
		class SMOOTH_API RWLock
		{
			public:
						 RWLock();
						~RWLock();
				RWLock(const RWLock &) = delete;
				RWLock &operator =(const RWLock &) = delete;

				Int		 LockForRead();
				Int		 LockForWrite();
				Int		 Release();
			private:
				void		*impl;
		};
	}
}
