// Made-up PE images for the bundle tests: just the headers the payload
// search reads, and zero bytes up to the end of the last section.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace BundleTest
{
	struct Image
	{
		bool plus = false;		// PE32+
		uint32_t headers = 0x400;	// SizeOfHeaders
		std::vector<std::pair<uint32_t, uint32_t>> sections = {{0x400, 0x200}, {0x600, 0x1000}};  // raw start, raw size
		uint32_t certStart = 0, certSize = 0;	// the security directory
		uint32_t directories = 16;		// NumberOfRvaAndSizes
		uint32_t symbols = 0;			// PointerToSymbolTable
	};

	// Little-endian value of size bytes at bytes[at].
	void Put(std::string &bytes, size_t at, uint64_t value, int size);

	// The PE headers at 0x80, the optional header at 0x98, its data
	// directories from 0xF8 (PE32) or 0x108 (PE32+).
	std::string MakePe(const Image &image);
}
