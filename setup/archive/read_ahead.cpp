#include "read_ahead.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>

namespace ZBK
{
	namespace Internal
	{
		using namespace smooth;
		using namespace smooth::IO;

		// The archive's thread copies entries out while the decoders work; it
		// is mostly waiting on the disk, so one decoder per other core keeps
		// every core busy without two decoders fighting over one.
		static Int DefaultDecoders()
		{
			const char *text = std::getenv("ZBK_READ_AHEAD");

			if (text != nullptr && *text != 0 && std::strlen(text) <= 2 && std::strspn(text, "0123456789") == std::strlen(text))
			{
				Int value = Int(std::atoi(text));

				if (value <= 64) return value;
			}

			unsigned cores = std::thread::hardware_concurrency();

			return cores >= 2 ? Int(cores - 1) : 0;
		}

		ReadAhead::ReadAhead() : decoders(DefaultDecoders())
		{
		}

		ReadAhead::~ReadAhead()
		{
			Stop();
		}

		void ReadAhead::Request(const std::vector<Chunk *> &chunks, size_t index, const String &name)
		{
			if (decoders == 0 || index == 0 || index >= chunks.size()) return;

			std::unique_lock<std::mutex> guard(lock);

			fileName = name;

			// The window bounds the caches made before they are asked for: a
			// reader that stops early leaves at most this many behind, and a
			// decoder is never more than this far ahead of the reader.
			size_t window = size_t(decoders) * 2 + 1;
			bool   queued = false;

			// The requested chunk itself is the archive's thread's own work, as
			// without read-ahead: a decoder racing it there would only make it
			// wait.
			for (size_t i = index + 1; i < chunks.size() && i <= index + window; i++)
			{
				Chunk *chunk = chunks[i];

				if (chunk->ahead != Chunk::Ahead::Idle) continue;

				// Chunks that the archive's thread would refuse or has decoded
				// itself are left to it.
				if (chunk->stream == nullptr || chunk->damaged || chunk->tempFolder == 0 || chunk->totalSize == 0) continue;

				if (File(chunk->cacheFile).GetFileSize() == chunk->totalSize)
				{
					chunk->ahead = Chunk::Ahead::Done;

					continue;
				}

				chunk->ahead = Chunk::Ahead::Queued;
				queue.push_back(chunk);
				queued = true;
			}

			if (!queued) return;

			// A thread that cannot be made (out of memory or threads) is done
			// without: the archive's thread decodes what nobody else takes.
			while (threads.size() < size_t(decoders))
			{
				try
				{
					threads.emplace_back([this]() { Decoder(); });
				}
				catch (const std::system_error &)
				{
					break;
				}
			}

			guard.unlock();

			changed.notify_all();
		}

		Chunk *ReadAhead::Take()
		{
			if (queue.empty()) return nullptr;

			Chunk *chunk = queue.front();

			queue.pop_front();
			chunk->ahead = Chunk::Ahead::Decoding;

			return chunk;
		}

		void ReadAhead::Finish(Chunk *chunk, bool good)
		{
			// A decode cut short by Stop is no verdict on the chunk.
			if	(good)		chunk->ahead = Chunk::Ahead::Done;
			else if (stopping)	chunk->ahead = Chunk::Ahead::Idle;
			else			chunk->ahead = Chunk::Ahead::Tried;

			changed.notify_all();
		}

		void ReadAhead::Decoder()
		{
			// The archive's stream belongs to its thread: a decoder reads the
			// file through a stream of its own, opened on its first chunk.
			std::unique_ptr<InStream> input;
			std::unique_lock<std::mutex> guard(lock);

			while (!stopping)
			{
				Chunk *chunk = Take();

				if (chunk == nullptr)
				{
					changed.wait(guard);

					continue;
				}

				String name = fileName;

				guard.unlock();

				if (input == nullptr) input.reset(new InStream(STREAM_FILE, name, IS_READ_ONLY));

				bool good = input->GetLastError() == IO_ERROR_OK && chunk->FillCacheAhead(*input, stopping);

				guard.lock();

				Finish(chunk, good);
			}
		}

		void ReadAhead::Settle(const Chunk *target)
		{
			std::unique_lock<std::mutex> guard(lock);

			if (target->ahead == Chunk::Ahead::Queued)
			{
				for (auto i = queue.begin(); i != queue.end(); ++i)
				{
					if (*i == target) { queue.erase(i); break; }
				}

				target->ahead = Chunk::Ahead::Idle;

				return;
			}

			while (target->ahead == Chunk::Ahead::Decoding)
			{
				Chunk *chunk = Take();

				if (chunk == nullptr)
				{
					changed.wait(guard);

					continue;
				}

				// Waiting would leave this core idle: decode the next queued
				// chunk here meanwhile, through the archive's own stream, which
				// only this thread uses.
				guard.unlock();

				bool good = chunk->stream != nullptr && chunk->FillCacheAhead(*chunk->stream, never);

				guard.lock();

				Finish(chunk, good);
			}
		}

		void ReadAhead::Stop()
		{
			{
				std::lock_guard<std::mutex> guard(lock);

				stopping = true;
			}

			changed.notify_all();

			for (std::thread &thread : threads) thread.join();

			threads.clear();

			std::lock_guard<std::mutex> guard(lock);

			for (Chunk *chunk : queue) chunk->ahead = Chunk::Ahead::Idle;

			queue.clear();
			stopping = false;
		}
	}
}
