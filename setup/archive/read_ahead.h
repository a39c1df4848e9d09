// ZBK::Internal::ReadAhead: decodes the chunks after the one being extracted
// on other cores, into their caches, while the entries of the current one are
// copied out.
//
// Every chunk is one bzip2 stream, so chunks decode independently. A reader
// that takes the entries in index order (the installation run, zbk extract)
// then finds the next chunk's cache ready, or nearly ready, instead of
// decoding every chunk on its own thread in turn.
//
// Threads: the archive's thread (which owns the archive, its stream and its
// progress signal) and up to GetDecoders() decoder threads of this object.
// A decoder only reads its chunk's table (fixed once read), reads the
// archive file through a stream of its own, writes the chunk's cache under
// a name of its own and, when the whole payload checked out, renames it to
// the cache's name. It reports no progress and records no status: a chunk
// whose background decode fails is decoded again by the archive's thread,
// which then reports the failure exactly as without read-ahead.
#pragma once

#include "chunk.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ZBK
{
	namespace Internal
	{
		class ReadAhead
		{
			public:
				// Decoders: the environment variable ZBK_READ_AHEAD when it is a
				// number from 0 to 64 (0 turns read-ahead off), otherwise one fewer
				// than the processor's cores (0 on one core).
						 ReadAhead();
				// Stop().
						~ReadAhead();
				ReadAhead(const ReadAhead &) = delete;
				ReadAhead &operator =(const ReadAhead &) = delete;

				Int		 GetDecoders() const	{ return decoders; }

				// Archive's thread: an entry of chunks[index] is about to be
				// extracted from the archive file fileName. Queues the chunks after
				// it, up to 2 * decoders + 1 of them, that can be decoded (a
				// stream, not damaged, a temporary folder, no cache yet, not tried
				// before) and starts the decoders on the first call.
				// Decoders that cannot be started are done without; with none at
				// all the extraction works as without read-ahead.
				void		 Request(const std::vector<Chunk *> &chunks, size_t index, const String &fileName);

				// Archive's thread: returns once no decoder works on chunk and it is
				// no longer queued, so the caller may read or write its cache. While
				// a decoder still works on it, the calling thread decodes queued
				// chunks itself (through their own stream) rather than wait idle.
				void		 Settle(const Chunk *chunk);

				// Archive's thread: stops every decoder (each stops within one
				// buffer of output), waits for them and forgets the queue. A
				// decode cut short leaves no file behind; caches completed stay.
				// Request starts decoders again afterwards.
				void		 Stop();
			private:
				void		 Decoder();
				// Under the lock: takes the front of the queue for decoding, or
				// null when the queue is empty.
				Chunk		*Take();
				// Under the lock: records how a decode ended and wakes waiters.
				void		 Finish(Chunk *chunk, bool good);

				Int		 decoders = 0;

				std::mutex			 lock;
				std::condition_variable		 changed;
				std::deque<Chunk *>		 queue;
				std::vector<std::thread>	 threads;
				String				 fileName;
				// Read by decoders between buffers without the lock.
				std::atomic<bool>		 stopping { false };
				// The archive's thread never stops its own decode.
				const std::atomic<bool>		 never { false };
		};
	}
}
