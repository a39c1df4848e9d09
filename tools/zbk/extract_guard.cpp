#include "extract_guard.h"

#include <filesystem>
#include <system_error>

namespace ZBK
{
	namespace Tool
	{
		bool FindLinkOnPath(const smooth::String &folder, const smooth::String &name, smooth::String &link)
		{
			namespace fs = std::filesystem;

			// The platform's file services follow links and cannot tell one
			// apart, so the standard library's non-following status is used here.
			// Its error_code forms do not throw; path building could only throw
			// on exhausted memory, which we treat as "cannot decide": a link.
			try
			{
				std::wstring rest = name.WideString();
				smooth::String path = folder;
				size_t start = 0;

				while (start < rest.size())
				{
					size_t end = rest.find(L'/', start);

					if (end == std::wstring::npos) end = rest.size();

					if (end > start)
					{
						std::wstring component = rest.substr(start, end - start);

						// Joined as the extraction joins its targets, so the
						// paths checked are the paths written.
						path = smooth::Path::Join(path, smooth::String(component));

						std::error_code ec;
						fs::file_status status = fs::symlink_status(fs::u8path(path.ToUTF8()), ec);

						if (ec || status.type() == fs::file_type::not_found) return false;
						if (status.type() == fs::file_type::symlink)	{ link = path; return true; }
					}

					start = end + 1;
				}

				return false;
			}
			catch (...)
			{
				link = folder;

				return true;
			}
		}
	}
}
