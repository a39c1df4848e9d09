#include "folder_walk.h"
#include "tool_internal.h"

#include <algorithm>

using namespace smooth;

// Entry names are joined with '/'; paths on disk with the system's own
// separator.
using Path::EndsWithSeparator;
using Path::Join;

namespace
{
	using namespace ZBK::Tool;

	// Adds the contents of folder source below prefix (empty or ending with '/').
	void Walk(const String &source, const std::string &prefix, uint32_t root, std::vector<Input> &inputs)
	{
		Directory folder(source);

		for (const String &name : folder.GetDirectories())
		{
			Input input;

			input.name   = prefix + name.ToUTF8() + "/";
			input.root   = root;
			input.folder = true;

			inputs.push_back(input);

			Walk(Join(source, name), input.name, root, inputs);
		}

		for (const String &name : folder.GetFiles())
		{
			Input input;

			input.name = prefix + name.ToUTF8();
			input.root = root;
			input.size = File(Join(source, name)).GetFileSize();

			inputs.push_back(input);
		}
	}
}

namespace ZBK
{
	namespace Tool
	{
		String Inputs::SourceOf(const Input &input) const
		{
			const Root &root = roots[input.root];

			if (root.stem.empty()) return Join(root.base, String::FromUTF8(input.name));

			return String(root.base).Append(String::FromUTF8(input.name.substr(root.stem.size())));
		}

		Int64 Inputs::SumSizes(size_t first, size_t last) const
		{
			Int64 total = 0;

			for (size_t i = first; i < last; i++) total += list[i].size;

			return total;
		}

		bool Gather(Console &console, const String &source, const String &name, Inputs &inputs)
		{
			String base = source;

			while (base.Length() > 1 && EndsWithSeparator(base)) base = base.Head(base.Length() - 1);

			uint32_t root = uint32_t(inputs.roots.size());

			inputs.roots.push_back({ base, name.ToUTF8() });

			if (Directory(base).Exists())
			{
				std::string prefix;

				if (name != 0)
				{
					Input input;

					input.name   = name.ToUTF8() + "/";
					input.root   = root;
					input.folder = true;

					inputs.list.push_back(input);

					prefix = input.name;
				}

				Walk(base, prefix, root, inputs.list);

				return true;
			}

			if (File(source).Exists() && name != 0 && !EndsWithSeparator(source))
			{
				Input input;

				input.name = name.ToUTF8();
				input.root = root;
				input.size = File(source).GetFileSize();

				inputs.list.push_back(input);

				return true;
			}

			Fail(console, source, "no such file or folder");

			return false;
		}

		bool Prepare(Console &console, Inputs &inputs)
		{
			std::vector<Input> &list = inputs.list;

			std::sort(list.begin(), list.end(), [](const Input &a, const Input &b) { return a.name < b.name; });

			size_t kept = 0;
			bool   ok   = true;

			for (size_t i = 0; i < list.size(); i++)
			{
				const Input &input = list[i];

				// Every path is relative to the same folder, so one name is one file.
				if (kept > 0 && list[kept - 1].name == input.name) continue;

				String name = String::FromUTF8(input.name);

				if (!ZBK::IsSafeName(name))			 { Fail(console, inputs.SourceOf(input), String("\"").Append(name).Append("\" is not a safe entry name")); ok = false; }
				else if (input.name.size() > 65535)		 { Fail(console, inputs.SourceOf(input), "the entry name is longer than 65535 bytes"); ok = false; }
				else if (!input.folder && input.size < 0)	 { Fail(console, inputs.SourceOf(input), "cannot read its size"); ok = false; }
				else if (input.size > ZBK::MaxFormatValue)	 { Fail(console, inputs.SourceOf(input), "larger than an archive entry can be (2 GiB)"); ok = false; }

				list[kept++] = input;
			}

			list.resize(kept);
			list.shrink_to_fit();

			return ok;
		}

		bool AddInputs(ZBK::Archive &archive, const Inputs &inputs, size_t first, size_t last, size_t &failed)
		{
			for (size_t i = first; i < last; i++)
			{
				const Input &input = inputs.list[i];

				if (!archive.AddFile(inputs.SourceOf(input), String::FromUTF8(input.name))) { failed = i; return false; }
			}

			return true;
		}

		int FailToAdd(Console &console, const Inputs &inputs, size_t index)
		{
			const Input &input = inputs.list[index];

			return Fail(console, inputs.SourceOf(input), String("cannot add \"").Append(String::FromUTF8(input.name)).Append("\""));
		}

		int ExplainWriteFailure(Console &console, const String &archivePath, const Inputs &inputs, size_t first, size_t last, Int code)
		{
			for (size_t i = first; i < last; i++)
			{
				if (inputs.list[i].folder) continue;

				String	     source = inputs.SourceOf(inputs.list[i]);
				IO::InStream input(IO::STREAM_FILE, source, IO::IS_READ_ONLY);

				if (input.GetLastError() != IO::IO_ERROR_OK) return Fail(console, source, String("cannot read (").Append(LastCause(System::System::GetLastErrorCode())).Append(")"));
				if (input.Size() != inputs.list[i].size)     return Fail(console, source, "changed while it was being read");
			}

			return Fail(console, archivePath, CannotWrite(code));
		}
	}
}
