// Opening a whole bundle file as the stub does: its PE image first, then the
// payload behind it. Portable, no allocation through the C++ library (the
// stub links it), so that the same steps are tested and fuzzed natively.
#pragma once

#include "bundle_format.h"

namespace Tolvane
{
	// Reads the first min(fileSize, kPeHeadBytes) bytes of source, finds the
	// payload region behind the PE image (FindPayloadRegion) and reads and
	// checks the table in it (BundleTable::Read). Returns the first failure:
	// ReadError when the head cannot be read or memory for it cannot be had,
	// then FindPayloadRegion's and Read's statuses. table is filled only on
	// Ok (it is empty otherwise, Detail() saying more after a failed Read);
	// *region (when not null) is filled whenever the region was found.
	// The entries' bytes are not read: VerifyBundleEntry checks each one.
	BundleStatus ReadBundle(const ByteSource &source, uint64_t fileSize, BundleTable &table, PayloadRegion *region = nullptr);
}
