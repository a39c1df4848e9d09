// smooth::Array, an insertion-ordered container whose entries carry unique keys.
#pragma once

#include "rwlock.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace smooth
{
	// Entries keep the order in which they were added and are read by position
	// (GetNth) or by key (Get). Add refuses a key that is already present.
	// A read by a missing key or position yields a default value (empty String,
	// 0, null). Every operation takes the array's own reader-writer lock, so
	// one array may be shared between threads.
	template <class T> class Array
	{
		public:
			Array() = default;
			Array(const Array &) = delete;
			Array &operator =(const Array &) = delete;

			// Adds value under a key of its own (one above the largest automatic
			// key so far); returns that key.
			Int64 Add(const T &value)
			{
				lock.LockForWrite();
				while (index.count(nextKey)) nextKey++;
				Int64 key = nextKey++;
				index[key] = entries.size();
				entries.emplace_back(key, value);
				lock.Release();
				return key;
			}

			// Adds value under key; false (and nothing added) when key is present.
			Bool Add(const T &value, Int64 key)
			{
				lock.LockForWrite();
				Bool added = index.emplace(key, entries.size()).second;
				if (added) entries.emplace_back(key, value);
				lock.Release();
				return added;
			}

			// Replaces the value under key; false when key is absent.
			Bool Set(Int64 key, const T &value)
			{
				lock.LockForWrite();
				auto it = index.find(key);
				if (it != index.end()) entries[it->second].second = value;
				lock.Release();
				return it != index.end();
			}

			Bool Remove(Int64 key)
			{
				lock.LockForWrite();
				auto it = index.find(key);
				Bool found = it != index.end();
				if (found) EraseAt(it->second);
				lock.Release();
				return found;
			}

			Bool RemoveNth(Int n)
			{
				lock.LockForWrite();
				Bool found = n >= 0 && size_t(n) < entries.size();
				if (found) EraseAt(n);
				lock.Release();
				return found;
			}

			void RemoveAll()
			{
				lock.LockForWrite();
				entries.clear();
				index.clear();
				lock.Release();
			}

			T Get(Int64 key) const
			{
				lock.LockForRead();
				auto it = index.find(key);
				T value = it != index.end() ? entries[it->second].second : T();
				lock.Release();
				return value;
			}

			Bool Contains(Int64 key) const
			{
				lock.LockForRead();
				Bool found = index.count(key) != 0;
				lock.Release();
				return found;
			}

			T GetNth(Int n) const
			{
				lock.LockForRead();
				T value = n >= 0 && size_t(n) < entries.size() ? entries[n].second : T();
				lock.Release();
				return value;
			}

			// Key of the entry at position n, or -1.
			Int64 GetNthIndex(Int n) const
			{
				lock.LockForRead();
				Int64 key = n >= 0 && size_t(n) < entries.size() ? entries[n].first : -1;
				lock.Release();
				return key;
			}

			Int Length() const
			{
				lock.LockForRead();
				Int n = Int(entries.size());
				lock.Release();
				return n;
			}
		private:
			void EraseAt(size_t n)
			{
				index.erase(entries[n].first);
				entries.erase(entries.begin() + n);
				for (size_t i = n; i < entries.size(); i++) index[entries[i].first] = i;
			}

			std::vector<std::pair<Int64, T> >	 entries;
			std::unordered_map<Int64, size_t>	 index;
			Int64					 nextKey = 0;
			mutable Threads::RWLock			 lock;
	};
}
