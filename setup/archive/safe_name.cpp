#include "archive.h"
#include "archive_internal.h"
#include "safe_name.h"

#include <atomic>

namespace ZBK
{
	using namespace smooth;

	bool IsSafeName(const String &name)
	{
		std::wstring text = name.WideString();

		return IsSafePathName(text.data(), text.size(), true);
	}

	String NormaliseName(const String &name)
	{
		std::wstring text = name.WideString();

		for (auto &c : text) if (c == '\\') c = '/';

		return String(text);
	}

	namespace Internal
	{
		static std::atomic<Int> suffixCounter(0);

		String UniqueSuffix()
		{
			return String::FromInt(System::System::GetProcessID()).Append("_").Append(String::FromInt(suffixCounter++));
		}

		bool TruncateFile(const String &path, Int64 size)
		{
			return File(path).Truncate(size) == Success();
		}

		void Discard(const String &path)
		{
			File file(path);

			if (file.Exists()) file.Delete();
		}
	}
}
