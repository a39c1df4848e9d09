#include "bundle_test_support.h"

#include <algorithm>
#include <cstring>

namespace BundleTest
{
	void Put(std::string &bytes, size_t at, uint64_t value, int size)
	{
		for (int i = 0; i < size; i++) bytes[at + i] = char(value >> (8 * i));
	}

	std::string MakePe(const Image &image)
	{
		uint32_t end = image.headers;
		for (const auto &section : image.sections) end = std::max(end, section.first + section.second);
		std::string bytes(end, '\0');
		bytes[0] = 'M';
		bytes[1] = 'Z';
		const size_t pe = 0x80, optional = pe + 24, dirs = optional + (image.plus ? 112 : 96);
		const size_t optionalSize = (image.plus ? 112 : 96) + 8 * image.directories;
		Put(bytes, 0x3C, pe, 4);
		memcpy(&bytes[pe], "PE\0\0", 4);
		Put(bytes, pe + 4, image.plus ? 0x8664 : 0x14C, 2);
		Put(bytes, pe + 6, image.sections.size(), 2);
		Put(bytes, pe + 12, image.symbols, 4);
		Put(bytes, pe + 20, optionalSize, 2);
		Put(bytes, optional, image.plus ? 0x20B : 0x10B, 2);
		Put(bytes, optional + 60, image.headers, 4);
		Put(bytes, dirs - 4, image.directories, 4);
		if (image.directories > 4)
		{
			Put(bytes, dirs + 32, image.certStart, 4);
			Put(bytes, dirs + 36, image.certSize, 4);
		}
		const size_t table = optional + optionalSize;
		for (size_t i = 0; i < image.sections.size(); i++)
		{
			Put(bytes, table + 40 * i + 16, image.sections[i].second, 4);
			Put(bytes, table + 40 * i + 20, image.sections[i].first, 4);
		}
		return bytes;
	}
}
