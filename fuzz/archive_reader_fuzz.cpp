// Opens arbitrary bytes as an archive, lists it and extracts every entry.
// Beyond the sanitizers' findings it traps when an extraction reports
// success with the wrong number of bytes, or progress breaks its promises.
#include "fuzz_support.h"

#include <archive.h>

#include <vector>

using namespace smooth;

static std::vector<Int> progress;

static void Record(int value)
{
	progress.push_back(value);
}

static bool ProgressIsSound()
{
	if (progress.empty() || progress.front() != 0 || progress.back() != 1000) return false;

	for (size_t i = 1; i < progress.size(); i++)
	{
		if (progress[i] < progress[i - 1] || progress[i] > 1000) return false;
	}

	return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	FuzzSupport::ScratchFolder();

	String input = FuzzSupport::Inside("input.zbk");

	if (!FuzzSupport::WriteBytes(input, data, size)) return 0;

	ZBK::Archive *archive = ZBK::OpenArchive(input.Wide());
	Int count = ZBK::GetNumberOfFiles(archive);

	ZBK::SetProgressCallback(archive, &Record);

	wchar_t name[64];

	for (Int i = 0; i < count; i++)
	{
		String entry = archive->GetFileName(i);
		Int64 listed = archive->GetFileSize(i);

		if (listed < 0 || listed > 0x7FFFFFFF) __builtin_trap();

		// A short buffer must be refused exactly when the name does not fit.
		if (ZBK::GetFileName(archive, i, name, 64) != (entry.Length() < 64)) __builtin_trap();

		// Extract under a name of our own: entry names are not trusted here.
		bool folder = entry.Length() > 0 && entry[entry.Length() - 1] == '/';
		String target = FuzzSupport::Inside(String("out").Append(String::FromInt(i)).Append(folder ? "/" : ""));

		progress.clear();

		bool extracted = ZBK::ExtractFile(archive, entry.Wide(), target.Wide());

		if (!extracted || folder) continue;

		if (File(target).GetFileSize() != listed) __builtin_trap();
		if (!ProgressIsSound()) __builtin_trap();

		// The second extraction is served from the cache, and must agree.
		progress.clear();

		if (!ZBK::ExtractFile(archive, entry.Wide(), target.Wide())) __builtin_trap();
		if (File(target).GetFileSize() != listed || !ProgressIsSound()) __builtin_trap();
	}

	ZBK::CloseArchive(archive);

	return 0;
}
