// SHA-256 (FIPS 180-4), small and portable: the bundle stub checks every
// file it unpacks with it, so it uses no library beyond the compiler's own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Tolvane
{
	constexpr size_t kSha256Size = 32;

	// A running SHA-256. Update any number of times, then Final once; after
	// Final the object must be Reset before it is used again.
	class Sha256
	{
	public:
		Sha256() { Reset(); }

		void	 Reset();
		void	 Update(const void *data, size_t size);
		void	 Final(uint8_t digest[kSha256Size]);

		// The digest of size bytes at data in one call.
		static void Hash(const void *data, size_t size, uint8_t digest[kSha256Size]);

	private:
		void	 Block(const uint8_t *block);

		uint32_t state[8];
		uint64_t length;	// bytes so far
		uint8_t	 buffer[64];
		size_t	 used;		// bytes waiting in buffer
	};

	// Compares two digests; true when they are equal.
	bool	 SameDigest(const uint8_t a[kSha256Size], const uint8_t b[kSha256Size]);
}
