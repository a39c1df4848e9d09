#include "bundle_reader.h"

#include <cstdlib>

namespace Tolvane
{
	BundleStatus ReadBundle(const ByteSource &source, uint64_t fileSize, BundleTable &table, PayloadRegion *region)
	{
		const size_t headSize = size_t(fileSize < kPeHeadBytes ? fileSize : kPeHeadBytes);

		// One byte more, so that an empty file still gets a buffer of its
		// own instead of whatever malloc(0) returns.
		uint8_t	     *head   = static_cast<uint8_t *>(malloc(headSize + 1));
		PayloadRegion found;
		BundleStatus  status = BundleStatus::ReadError;

		if (head && source.read(source.context, 0, head, headSize)) status = FindPayloadRegion(head, headSize, fileSize, &found);

		free(head);

		if (status != BundleStatus::Ok) return status;

		if (region) *region = found;

		return table.Read(source, found.begin, found.end);
	}
}
