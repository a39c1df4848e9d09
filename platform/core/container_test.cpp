#include <smooth.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using smooth::Array;
using smooth::String;

TEST(Array, KeepsInsertionOrderAndRefusesDuplicateKeys)
{
	Array<String> array;

	EXPECT_TRUE(array.Add("thirty", 30));
	EXPECT_TRUE(array.Add("ten", 10));
	EXPECT_TRUE(array.Add("twenty", 20));
	EXPECT_FALSE(array.Add("other ten", 10));	// refused, nothing changes

	ASSERT_EQ(array.Length(), 3);

	const char *order[] = { "thirty", "ten", "twenty" };
	smooth::Int64 keys[] = { 30, 10, 20 };

	for (int i = 0; i < 3; i++)
	{
		EXPECT_EQ(array.GetNth(i), order[i]);
		EXPECT_EQ(array.GetNthIndex(i), keys[i]);
	}

	EXPECT_EQ(array.Get(10), "ten");
	EXPECT_EQ(array.Get(99), "");		// missing key: default value
	EXPECT_EQ(array.GetNth(3), "");
	EXPECT_EQ(array.GetNthIndex(-1), -1);

	// Removing keeps the order of the rest and the key lookup right.
	EXPECT_TRUE(array.Remove(30));
	EXPECT_FALSE(array.Remove(30));
	EXPECT_EQ(array.GetNth(0), "ten");
	EXPECT_EQ(array.Get(20), "twenty");

	// Automatic keys never collide with given ones.
	smooth::Int64 automatic = array.Add("auto");

	EXPECT_NE(automatic, 10);
	EXPECT_NE(automatic, 20);
	EXPECT_EQ(array.Get(automatic), "auto");

	array.RemoveAll();
	EXPECT_EQ(array.Length(), 0);
}

TEST(Array, ThreadsAddingAtOnceLoseNothing)
{
	Array<int>			array;
	std::vector<smooth::Threads::Thread *> threads;

	for (int t = 0; t < 4; t++)
	{
		auto *thread = new smooth::Threads::Thread();

		thread->threadMain.Connect([&array, t](smooth::Threads::Thread *) -> smooth::Int
		{
			for (int i = 0; i < 500; i++) array.Add(i, t * 1000 + i);
			return smooth::Success();
		});
		threads.push_back(thread);
	}

	for (auto *thread : threads) EXPECT_EQ(thread->Start(), smooth::Success());
	for (auto *thread : threads)
	{
		EXPECT_EQ(thread->Wait(), smooth::Success());
		EXPECT_EQ(thread->GetStatus(), smooth::Threads::THREAD_FINISHED);
		smooth::Object::DeleteObject(thread);
	}

	EXPECT_EQ(array.Length(), 2000);
	EXPECT_EQ(array.Get(3499), 499);
}

TEST(Thread, StatusArgumentAndSecondStart)
{
	int			 value = 7;
	std::atomic<bool>	 release{false};
	smooth::Threads::Thread	 thread(&value);

	thread.threadMain.Connect([&release](smooth::Threads::Thread *self) -> smooth::Int
	{
		while (!release) smooth::System::System::Sleep(1);
		*static_cast<int *>(self->GetArgument()) = 8;
		return smooth::Success();
	});

	EXPECT_EQ(thread.GetStatus(), smooth::Threads::THREAD_CREATED);
	ASSERT_EQ(thread.Start(), smooth::Success());
	EXPECT_EQ(thread.GetStatus(), smooth::Threads::THREAD_RUNNING);
	EXPECT_EQ(thread.Start(), smooth::Error());

	release = true;
	thread.Wait();

	EXPECT_EQ(thread.GetStatus(), smooth::Threads::THREAD_FINISHED);
	EXPECT_EQ(value, 8);
}

namespace
{
	struct Receiver
	{
		std::vector<int> seen;
		void		 Take(int v)	{ seen.push_back(v); }
		int		 Twice(int v)	{ return 2 * v; }
	};
}

TEST(Signals, EmitReachesEverySlotInOrder)
{
	Receiver		 receiver;
	std::vector<int>	 order;
	smooth::Signal<int>	 signal;

	signal.Connect(&Receiver::Take, &receiver);
	signal.Connect([&order](int v) { order.push_back(v + 100); });
	signal.Emit(1);
	signal.Emit(2);

	EXPECT_EQ(receiver.seen, (std::vector<int> { 1, 2 }));
	EXPECT_EQ(order, (std::vector<int> { 101, 102 }));
	EXPECT_EQ(signal.GetNOfConnected(), 2);

	smooth::Callback<int, int> callback;

	EXPECT_EQ(callback.Call(5), 0);		// unconnected: default value
	callback.Connect(&Receiver::Twice, &receiver);
	EXPECT_EQ(callback.Call(5), 10);
}

TEST(RWLock, WritersExcludeEachOther)
{
	smooth::Threads::RWLock	 lock;
	long			 counter = 0;
	std::vector<smooth::Threads::Thread *> threads;

	for (int t = 0; t < 4; t++)
	{
		auto *thread = new smooth::Threads::Thread();

		thread->threadMain.Connect([&](smooth::Threads::Thread *) -> smooth::Int
		{
			for (int i = 0; i < 20000; i++)
			{
				lock.LockForWrite();
				long seen = counter;
				counter = seen + 1;
				lock.Release();
			}
			return smooth::Success();
		});
		threads.push_back(thread);
	}

	for (auto *thread : threads) thread->Start();
	for (auto *thread : threads) { thread->Wait(); smooth::Object::DeleteObject(thread); }

	EXPECT_EQ(counter, 80000);

	// Readers share the lock.
	EXPECT_EQ(lock.LockForRead(), smooth::Success());
	EXPECT_EQ(lock.LockForRead(), smooth::Success());
	EXPECT_EQ(lock.Release(), smooth::Success());
	EXPECT_EQ(lock.Release(), smooth::Success());
}
