#include "ordered_jobs.h"

#include <memory>
#include <vector>

namespace ZBK
{
	using namespace smooth;

	OrderedJobs::OrderedJobs(size_t count, Int threads) : count(count), threads(threads < 1 ? 1 : threads)
	{
	}

	void OrderedJobs::Notify()
	{
		std::lock_guard<std::mutex> lock(mutex);

		notified = true;
		changed.notify_one();
	}

	size_t OrderedJobs::Run(const Work &work, const Take &take, const Drop &drop, const Wake &wake)
	{
		std::vector<State> states(count, State::Waiting);
		size_t		   next	    = 0;	// the next job to start
		size_t		   taken    = 0;	// jobs taken so far
		bool		   stopping = false;

		// Finished output waits on disk or in memory until its turn: twice the
		// threads lets a worker run ahead of one slow job without letting the
		// waiting output grow with the job count.
		const size_t window = GetWindow();

		auto body = [&](Threads::Thread *) -> Int {
			std::unique_lock<std::mutex> lock(mutex);

			for (;;)
			{
				room.wait(lock, [&] { return stopping || next >= count || next < taken + window; });

				if (stopping || next >= count) break;

				size_t job = next++;

				states[job] = State::Running;

				lock.unlock();

				bool ok = work(job);

				lock.lock();

				states[job] = ok ? State::Done : State::Failed;

				// Jobs start in order, so every job before a failed one has
				// started and is still taken when it succeeds.
				if (!ok) { stopping = true; room.notify_all(); }

				changed.notify_one();
			}

			return Success();
		};

		// The platform's thread reports a thread it cannot start instead of
		// throwing; the run makes do with the ones it got.
		std::vector<std::unique_ptr<Threads::Thread> > workers;
		size_t wanted = count < size_t(threads) ? count : size_t(threads);

		for (size_t i = 0; i < wanted; i++)
		{
			std::unique_ptr<Threads::Thread> worker(new Threads::Thread());

			worker->threadMain.Connect(std::function<Int(Threads::Thread *)>(body));

			if (worker->Start() != Success()) break;

			workers.push_back(std::move(worker));
		}

		if (workers.empty() && count > 0)
		{
			for (size_t job = 0; job < count; job++)
			{
				if (!work(job)) return job;
				if (!take(job)) { drop(job); return job; }
				if (wake) wake();
			}

			return count;
		}

		size_t result = count;

		{
			std::unique_lock<std::mutex> lock(mutex);

			while (taken < count)
			{
				changed.wait(lock, [&] { return notified || states[taken] == State::Done || states[taken] == State::Failed; });

				if (notified && wake)
				{
					notified = false;

					lock.unlock();
					wake();
					lock.lock();
				}

				notified = false;

				if (states[taken] == State::Failed) { result = taken; break; }
				if (states[taken] != State::Done) continue;

				size_t job = taken;

				lock.unlock();

				bool ok = take(job);

				if (ok && wake) wake();

				lock.lock();

				if (!ok) { result = job; break; }

				taken++;
				room.notify_all();
			}

			stopping = true;
			room.notify_all();
		}

		for (auto &worker : workers) worker->Wait();

		// No worker is left: the states are ours alone.
		for (size_t job = taken; job < count; job++)
		{
			if (states[job] == State::Done) drop(job);
		}

		return result;
	}
}
