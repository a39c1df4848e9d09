#include "smooth/rwlock.h"

#include <atomic>
#include <shared_mutex>
#include <thread>

namespace
{
	struct Lock
	{
		std::shared_mutex	       mutex;
		// The thread holding the write lock, so that Release knows which
		// kind of lock its caller holds. Only the writer sets it, after
		// locking, and clears it before unlocking; while any reader holds
		// the lock it therefore names no thread.
		std::atomic<std::thread::id>   writer{};
		std::atomic<int>	       readers{0};
	};
}

smooth::Threads::RWLock::RWLock() : impl(new Lock)
{
}

smooth::Threads::RWLock::~RWLock()
{
	delete static_cast<Lock *>(impl);
}

smooth::Int smooth::Threads::RWLock::LockForRead()
{
	Lock *lock = static_cast<Lock *>(impl);

	lock->mutex.lock_shared();
	lock->readers++;

	return Success();
}

smooth::Int smooth::Threads::RWLock::LockForWrite()
{
	Lock *lock = static_cast<Lock *>(impl);

	lock->mutex.lock();
	lock->writer = std::this_thread::get_id();

	return Success();
}

smooth::Int smooth::Threads::RWLock::Release()
{
	Lock *lock = static_cast<Lock *>(impl);

	if (lock->writer.load() == std::this_thread::get_id())
	{
		lock->writer = std::thread::id();
		lock->mutex.unlock();

		return Success();
	}

	// Unlocking a lock nobody holds would corrupt the mutex; refuse it.
	int readers = lock->readers.load();

	while (readers > 0 && !lock->readers.compare_exchange_weak(readers, readers - 1)) { }

	if (readers <= 0) return Error();

	lock->mutex.unlock_shared();

	return Success();
}
