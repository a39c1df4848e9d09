#include "archive_test_support.h"

#include <bzlib.h>

namespace ZBKTest
{
	std::string Le16(uint32_t value)
	{
		return std::string { char(value & 0xFF), char((value >> 8) & 0xFF) };
	}

	std::string Le32(uint32_t value)
	{
		return Le16(value & 0xFFFF) + Le16(value >> 16);
	}

	std::string Compress(const std::string &data)
	{
		std::string out(data.size() + data.size() / 100 + 600, '\0');
		unsigned int length = unsigned(out.size());

		if (BZ2_bzBuffToBuffCompress(&out[0], &length, const_cast<char *>(data.data()), unsigned(data.size()), 9, 0, 30) != BZ_OK) return std::string();

		out.resize(length);

		return out;
	}

	bool Decompress(const std::string &payload, std::string &data)
	{
		bz_stream stream = {};

		if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) return false;

		stream.next_in = const_cast<char *>(payload.data());
		stream.avail_in = unsigned(payload.size());

		data.clear();

		int result = BZ_OK;
		char block[65536];

		while (result == BZ_OK)
		{
			stream.next_out = block;
			stream.avail_out = sizeof(block);

			result = BZ2_bzDecompress(&stream);
			data.append(block, sizeof(block) - stream.avail_out);

			if (result == BZ_OK && stream.avail_in == 0 && stream.avail_out == sizeof(block)) break;
		}

		bool good = result == BZ_STREAM_END && stream.avail_in == 0;

		BZ2_bzDecompressEnd(&stream);

		return good;
	}

	std::string ChunkBytes(const std::vector<Record> &records, const std::string &payload, int64_t compressedSize, int64_t totalSize)
	{
		std::string bytes = Le32(uint32_t(records.size())) + "FILES";
		uint32_t sum = 0;

		for (const auto &record : records)
		{
			bytes += Le16(uint32_t(record.name.size())) + record.name + Le32(record.size);
			sum += record.size;
		}

		bytes += "CDATA";
		bytes += Le32(uint32_t(compressedSize < 0 ? payload.size() : compressedSize));
		bytes += Le32(uint32_t(totalSize < 0 ? sum : totalSize));

		return bytes + payload;
	}

	static bool Take(const std::string &file, size_t &at, size_t n, std::string &out)
	{
		if (at + n > file.size()) return false;

		out = file.substr(at, n);
		at += n;

		return true;
	}

	static bool TakeNumber(const std::string &file, size_t &at, size_t n, uint32_t &value)
	{
		std::string raw;

		if (!Take(file, at, n, raw)) return false;

		value = 0;

		for (size_t i = n; i-- > 0; ) value = (value << 8) | uint8_t(raw[i]);

		return true;
	}

	bool Parse(const std::string &file, std::vector<ParsedChunk> &chunks)
	{
		chunks.clear();

		if (file.compare(0, 3, "ZBK") != 0) return false;

		size_t at = 3;

		while (at < file.size())
		{
			ParsedChunk chunk;
			size_t start = at;
			uint32_t count;
			std::string marker;

			if (!TakeNumber(file, at, 4, count) || !Take(file, at, 5, marker) || marker != "FILES") return false;

			for (uint32_t i = 0; i < count; i++)
			{
				uint32_t length;
				Record record;

				if (!TakeNumber(file, at, 2, length) || !Take(file, at, length, record.name) || !TakeNumber(file, at, 4, record.size)) return false;

				chunk.records.push_back(record);
			}

			if (!Take(file, at, 5, marker) || marker != "CDATA") return false;
			if (!TakeNumber(file, at, 4, chunk.compressedSize) || !TakeNumber(file, at, 4, chunk.totalSize)) return false;
			if (!Take(file, at, chunk.compressedSize, chunk.payload)) return false;

			chunk.bytes = file.substr(start, at - start);
			chunks.push_back(chunk);
		}

		return true;
	}

	ProgressLog::ProgressLog(ZBK::Archive &archive)
	{
		archive.onProgress.Connect(std::function<void(smooth::Int)>([this](smooth::Int value) { values.push_back(value); }));
	}

	bool ProgressLog::IsSound() const
	{
		if (values.empty() || values.front() != 0 || values.back() != 1000) return false;

		for (size_t i = 1; i < values.size(); i++)
		{
			if (values[i] < values[i - 1] || values[i] > 1000) return false;
		}

		return true;
	}
}
