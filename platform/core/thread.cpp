#include "smooth/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace
{
	struct Worker
	{
		std::thread	 thread;
		std::atomic<int> status{smooth::Threads::THREAD_CREATED};
	};
}

smooth::Threads::Thread::Thread(void *iArgument) : argument(iArgument), impl(new Worker)
{
}

smooth::Threads::Thread::~Thread()
{
	Wait();

	Worker *worker = static_cast<Worker *>(impl);

	// A thread deleting itself from its own body cannot wait for itself:
	// it runs out on its own, and its record stays behind for the status
	// it still writes.
	if (worker->thread.joinable()) { worker->thread.detach(); return; }

	delete worker;
}

smooth::Int smooth::Threads::Thread::Start()
{
	Worker *worker = static_cast<Worker *>(impl);

	if (worker->status != THREAD_CREATED) return Error();

	worker->status = THREAD_RUNNING;

	try
	{
		worker->thread = std::thread([this, worker]()
		{
			threadMain.Call(this);

			worker->status = THREAD_FINISHED;
		});
	}
	catch (const std::system_error &)
	{
		// Out of threads or memory: report it and stay startable.
		worker->status = THREAD_CREATED;

		return Error();
	}

	return Success();
}

smooth::Int smooth::Threads::Thread::Wait()
{
	Worker *worker = static_cast<Worker *>(impl);

	if (!worker->thread.joinable()) return Success();

	// Waiting for oneself would never end.
	if (worker->thread.get_id() == std::this_thread::get_id()) return Error();

	worker->thread.join();

	return Success();
}

smooth::Int smooth::Threads::Thread::GetStatus() const
{
	return static_cast<Worker *>(impl)->status;
}
