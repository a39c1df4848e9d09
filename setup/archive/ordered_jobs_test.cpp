#include "ordered_jobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using ZBK::OrderedJobs;

// Jobs finish out of order (later ones sooner), yet are taken strictly in
// order; no more run at once than asked, started output waiting stays within
// its bound; a failure in a job or in its take stops the run at that job,
// takes nothing after it and drops every finished job that was not taken.
TEST(OrderedJobs, TakesInOrderWithinBoundsAndStopsAtTheFirstFailure)
{
	struct Case { const char *what; int threads; size_t failWork; size_t failTake; };

	const size_t count = 24;
	const size_t none  = count;

	for (const Case &c : { Case { "one thread", 1, none, none }, Case { "two threads", 2, none, none }, Case { "eight threads", 8, none, none },
			       Case { "more threads than jobs", 40, none, none },
			       Case { "work fails, 1 thread", 1, 5, none }, Case { "work fails, 3 threads", 3, 9, none }, Case { "first work fails", 8, 0, none },
			       Case { "take fails, 2 threads", 2, none, 7 }, Case { "take fails, 8 threads", 8, none, 3 } })
	{
		SCOPED_TRACE(c.what);

		OrderedJobs	    jobs(count, c.threads);
		std::mutex	    mutex;
		std::vector<size_t> taken, dropped, worked;
		std::atomic<int>    running(0), mostRunning(0);
		size_t		    mostAhead = 0;

		auto work = [&](size_t job) {
			int now = ++running;

			for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {}

			{
				std::lock_guard<std::mutex> lock(mutex);

				mostAhead = std::max(mostAhead, job + 1 - taken.size());
			}

			// Earlier jobs take longer, so later ones are done first.
			std::this_thread::sleep_for(std::chrono::microseconds(200 * ((job * 7) % 5)));

			jobs.Notify();
			--running;

			std::lock_guard<std::mutex> lock(mutex);

			if (job == c.failWork) return false;

			worked.push_back(job);

			return true;
		};
		auto take = [&](size_t job) {
			std::lock_guard<std::mutex> lock(mutex);

			if (job == c.failTake) return false;

			taken.push_back(job);

			return true;
		};
		auto drop = [&](size_t job) { dropped.push_back(job); };

		size_t result = jobs.Run(work, take, drop);
		size_t stop   = std::min(c.failWork, c.failTake);

		EXPECT_EQ(stop, result);

		std::vector<size_t> expected;

		for (size_t job = 0; job < stop; job++) expected.push_back(job);

		EXPECT_EQ(expected, taken);
		EXPECT_LE(mostRunning.load(), c.threads);
		EXPECT_LE(mostAhead, size_t(c.threads) * 2);

		// Every job that worked was either taken or dropped, never both.
		std::vector<size_t> handled = taken;

		handled.insert(handled.end(), dropped.begin(), dropped.end());
		std::sort(handled.begin(), handled.end());
		std::sort(worked.begin(), worked.end());
		EXPECT_EQ(worked, handled);
	}
}
