// Helpers shared by the fuzz targets: a private scratch folder per process.
#pragma once

#include <smooth.h>

#include <cstddef>
#include <cstdint>

namespace FuzzSupport
{
	// A folder of this process's own below the temporary folder, made on the
	// first call, emptied on every later one, and removed when the process
	// ends normally (the end of a timed run; not a crash).
	const smooth::String &ScratchFolder();

	// Writes the bytes to path (created or replaced). false when that failed.
	bool WriteBytes(const smooth::String &path, const uint8_t *data, size_t size);

	// The path of a file or folder called name inside the scratch folder.
	smooth::String Inside(const smooth::String &name);
}
