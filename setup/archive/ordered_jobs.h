// ZBK::OrderedJobs: independent pieces of work done on several threads, their
// results taken strictly in order on the calling thread.
//
// Writers compress chunks this way: any chunk may be compressed at any time,
// but they must reach the archive in their order, so that the bytes never
// depend on how many threads did the work.
#pragma once

#include <smooth.h>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace ZBK
{
	using smooth::Int;

	class OrderedJobs
	{
		public:
			// Each job's work: runs on a worker thread, any number of jobs at
			// once. false stops the run.
			using Work	= std::function<bool(size_t job)>;
			// Runs on the calling thread for job 0, 1, 2, ... in order, each
			// once its work has succeeded. false stops the run.
			using Take	= std::function<bool(size_t job)>;
			// Runs on the calling thread for every job whose work succeeded but
			// which was not taken because the run stopped: its output goes.
			using Drop	= std::function<void(size_t job)>;
			// Runs on the calling thread each time a worker calls Notify (and
			// after each take): a place to show progress. May be null.
			using Wake	= std::function<void()>;

			// Threads below 1 count as 1.
					 OrderedJobs(size_t count, Int threads);

			// At most 'threads' jobs run at once, and at most 2 × threads jobs
			// are started and not yet taken, so output waiting to be taken
			// stays bounded whatever the count. Jobs start in order.
			// Returns count when every job was done and taken; otherwise the
			// first job, in order, whose work or take failed. Jobs before it
			// were all taken. After a failure no further job starts, the
			// running ones are waited for, and the run returns only when no
			// worker is left. When no thread can be started at all, the jobs
			// run one after another on the calling thread.
			size_t		 Run(const Work &work, const Take &take, const Drop &drop, const Wake &wake = nullptr);

			// From a job's work: wakes the calling thread to run Wake.
			void		 Notify();

			// How many jobs may be started and not yet taken: 2 × threads.
			size_t		 GetWindow() const	{ return size_t(threads) * 2; }
		private:
			enum class State { Waiting, Running, Done, Failed };

			size_t		 count;
			Int		 threads;

			std::mutex		 mutex;
			std::condition_variable	 changed;	// the caller waits on it
			std::condition_variable	 room;		// workers wait for a job
			bool		 notified = false;
	};
}
