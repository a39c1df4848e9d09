// Helpers shared by the archive's own sources (not part of its interface).
#pragma once

#include <smooth.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ZBK
{
	namespace Internal
	{
		// "<process id>_<n>" with n from a process-wide counter: unique among
		// the names this process makes, and no other process makes the same.
		smooth::String	 UniqueSuffix();

		// One copy buffer per thread, bufferSize bytes, shared by every chunk:
		// an archive of many chunks would otherwise hold a buffer per chunk for
		// its whole life. No user of it calls another while its data is in the
		// buffer.
		const smooth::Int bufferSize = 131072;
		char		*Buffer();

		// Cuts the file at path back to size bytes. false when that failed.
		bool		 TruncateFile(const smooth::String &path, smooth::Int64 size);

		// Deletes a file left by a failed step when it is there. Checking
		// first keeps the error of the step that failed as the one the caller
		// reports, instead of "file not found" from the clean-up.
		void		 Discard(const smooth::String &path);

		// Finds a value (a record or key number) by entry name without
		// holding a second copy of every name: the table keeps only a 32-bit
		// hash of each name beside its value, and the owner's own list of
		// names settles collisions. nameOf(value) returns the UTF-8 name
		// stored under a value. Open addressing in one flat array costs 16 to
		// 32 bytes a name, a fraction of a node-based map's, and an archive of
		// many small files is mostly its index.
		class NameIndex
		{
			public:
				// Values run from 0 to Limit - 1.
				static constexpr smooth::Int64 Limit = 0xFFFFFFFE;

				template <class NameOf> smooth::Int64 Find(std::string_view name, NameOf nameOf) const
				{
					if (slots.empty()) return -1;

					uint32_t hash = Hash(name);
					size_t	 mask = slots.size() - 1;

					for (size_t i = hash & mask; slots[i].value != Empty; i = (i + 1) & mask)
					{
						const Slot &slot = slots[i];

						if (slot.value != Erased && slot.hash == hash && nameOf(slot.value) == name) return slot.value;
					}

					return -1;
				}

				// The caller keeps value below Limit.
				void	 Insert(std::string_view name, smooth::Int64 value)
				{
					if ((used + 1) * 2 > slots.size()) Rebuild(live + 1);

					Place(Hash(name), uint32_t(value));

					used++;
					live++;
				}

				void	 Erase(std::string_view name, smooth::Int64 value)
				{
					if (slots.empty()) return;

					uint32_t hash = Hash(name);
					size_t	 mask = slots.size() - 1;

					for (size_t i = hash & mask; slots[i].value != Empty; i = (i + 1) & mask)
					{
						if (slots[i].hash == hash && slots[i].value == uint32_t(value)) { slots[i].value = Erased; live--; return; }
					}
				}

				void	 Reserve(size_t count)	{ if (count > live) Rebuild(count); }
			private:
				static constexpr uint32_t Empty	= 0xFFFFFFFF;
				static constexpr uint32_t Erased = 0xFFFFFFFE;

				struct Slot
				{
					uint32_t hash;
					uint32_t value;
				};

				std::vector<Slot> slots;	// size 0 or a power of two, at most half in use
				size_t		 used = 0;	// live and erased slots
				size_t		 live = 0;

				static uint32_t Hash(std::string_view name)	{ size_t h = std::hash<std::string_view>()(name); return uint32_t(h ^ (uint64_t(h) >> 32)); }

				void	 Place(uint32_t hash, uint32_t value)
				{
					size_t mask = slots.size() - 1;
					size_t i    = hash & mask;

					while (slots[i].value != Empty) i = (i + 1) & mask;

					slots[i] = { hash, value };
				}

				// Room for count names; erased slots are dropped on the way.
				void	 Rebuild(size_t count)
				{
					size_t size = 16;

					while (size < count * 2) size *= 2;

					std::vector<Slot> old(size, Slot { 0, Empty });

					old.swap(slots);

					for (const Slot &slot : old) if (slot.value != Empty && slot.value != Erased) Place(slot.hash, slot.value);

					used = live;
				}
		};
	}
}
