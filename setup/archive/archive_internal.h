// Helpers shared by the archive's own sources (not part of its interface).
#pragma once

#include <smooth.h>

#include <functional>
#include <string>
#include <unordered_map>

namespace ZBK
{
	namespace Internal
	{
		// "<process id>_<n>" with n from a process-wide counter: unique among
		// the names this process makes, and no other process makes the same.
		smooth::String	 UniqueSuffix();

		// Cuts the file at path back to size bytes. false when that failed.
		bool		 TruncateFile(const smooth::String &path, smooth::Int64 size);

		// true when the text ends with '/' or '\'.
		bool		 EndsWithSeparator(const smooth::String &text);

		// Deletes a file left by a failed step when it is there. Checking
		// first keeps the error of the step that failed as the one the caller
		// reports, instead of "file not found" from the clean-up.
		void		 Discard(const smooth::String &path);

		// Finds a value (a record or key number) by entry name without
		// holding a second copy of every name: the map keeps only each
		// name's hash, and the owner's own list of names settles collisions.
		// nameOf(value) returns the UTF-8 name stored under a value.
		class NameIndex
		{
			public:
				template <class NameOf> smooth::Int64 Find(const std::string &name, NameOf nameOf) const
				{
					auto range = map.equal_range(Hash(name));

					for (auto it = range.first; it != range.second; ++it)
					{
						if (nameOf(it->second) == name) return it->second;
					}

					return -1;
				}

				void	 Insert(const std::string &name, smooth::Int64 value)	{ map.emplace(Hash(name), value); }

				void	 Erase(const std::string &name, smooth::Int64 value)
				{
					auto range = map.equal_range(Hash(name));

					for (auto it = range.first; it != range.second; ++it)
					{
						if (it->second == value) { map.erase(it); return; }
					}
				}

				void	 Reserve(size_t count)	{ map.reserve(count); }
			private:
				static size_t Hash(const std::string &name)	{ return std::hash<std::string>()(name); }

				std::unordered_multimap<size_t, smooth::Int64> map;
		};
	}
}
