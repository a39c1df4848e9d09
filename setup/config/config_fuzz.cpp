// libFuzzer target: the setup-script loader on arbitrary bytes must end
// cleanly and leave a consistent record.
#include "configuration.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	static const std::string path = "/tmp/tolvane-fuzz-setup-" + std::to_string(getpid()) + ".xml";

	FILE	*file = fopen(path.c_str(), "wb");

	if (file == nullptr) return 0;

	fwrite(data, 1, size, file);
	fclose(file);

	Tolvane::Configuration	 config;

	config.LoadFile(path.c_str());

	// Every record the loader made must be complete.
	for (smooth::Int i = 0; i < config.components.Length(); i++) if (config.components.GetNth(i) == nullptr) __builtin_trap();
	for (smooth::Int i = 0; i < config.links.Length(); i++)
	{
		Tolvane::Link	*link = config.links.GetNth(i);

		if (link == nullptr || link->type < 1 || link->type > 3) __builtin_trap();
	}

	return 0;
}
