// Builds an archive from entries described by the input, writes it, reads it
// back and checks that exactly the accepted entries come out, byte for byte.
// The input may also ask for one removal and an in-place rewrite, and for an
// appended second chunk, so every writer path meets arbitrary names and data.
#include "fuzz_support.h"

#include <archive.h>

#include <map>
#include <string>
#include <vector>

using namespace smooth;

namespace
{
	// Reads the input front to back; past its end every read yields zeros.
	class Reader
	{
		public:
			Reader(const uint8_t *data, size_t size) : data(data), size(size) { }

			uint8_t Byte()			{ return at < size ? data[at++] : 0; }
			std::string Bytes(size_t n)
			{
				std::string bytes;

				while (n-- > 0 && at < size) bytes.push_back(char(data[at++]));

				return bytes;
			}
		private:
			const uint8_t	*data;
			size_t		 size;
			size_t		 at = 0;
	};

	// Names are drawn from a small alphabet so that separators, dots, device
	// names, colons and non-ASCII text meet often.
	String MakeName(Reader &input)
	{
		static const wchar_t alphabet[] = L"ab/\\.:NULCOMx1 \u00e9\u4e2d";
		Int length = input.Byte() % 12;
		std::wstring name;

		for (Int i = 0; i < length; i++) name.push_back(alphabet[input.Byte() % (sizeof(alphabet) / sizeof(wchar_t) - 1)]);

		return String(name);
	}

	struct Expected
	{
		bool		 folder;
		std::string	 content;
	};

	std::string ReadAll(const String &path)
	{
		IO::InStream in(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
		std::string bytes(size_t(in.Size() < 0 ? 0 : in.Size()), '\0');

		if (!bytes.empty() && in.InputData(&bytes[0], Int(bytes.size())) != Int(bytes.size())) __builtin_trap();

		return bytes;
	}

	// Adds the entries the input describes; returns what the archive must hold.
	void AddEntries(ZBK::Archive *archive, Reader &input, Int batch, std::map<std::wstring, Expected> &expected)
	{
		Int count = input.Byte() % 6;

		for (Int i = 0; i < count; i++)
		{
			String name = MakeName(input);
			bool folder = name.Length() > 0 && (name[name.Length() - 1] == '/' || name[name.Length() - 1] == '\\');
			std::string content = folder ? std::string() : input.Bytes(input.Byte() * 7);
			String source = FuzzSupport::Inside(String("src").Append(String::FromInt(batch)).Append("_").Append(String::FromInt(i)));

			if (folder) source.Append("/");
			else if (!FuzzSupport::WriteBytes(source, (const uint8_t *) content.data(), content.size())) __builtin_trap();

			bool safe = ZBK::IsSafeName(name);
			std::wstring key = ZBK::NormaliseName(name).WideString();
			bool fresh = expected.count(key) == 0;
			bool added = ZBK::AddFile(archive, source.Wide(), name.Wide());

			// Safe, new names are taken; everything else is refused.
			if (added != (safe && fresh)) __builtin_trap();
			if (added) expected[key] = Expected { folder, content };
		}
	}

	void Check(const String &path, const std::map<std::wstring, Expected> &expected)
	{
		// Each check extracts under names of its own: an earlier check may
		// have made a folder where this one extracts a file.
		static Int checks = 0;

		checks++;

		ZBK::Archive *archive = ZBK::OpenArchive(path.Wide());

		if (ZBK::GetNumberOfFiles(archive) != Int(expected.size())) __builtin_trap();

		for (Int i = 0; i < ZBK::GetNumberOfFiles(archive); i++)
		{
			String name = archive->GetFileName(i);
			auto found = expected.find(name.WideString());

			if (found == expected.end()) __builtin_trap();
			if (archive->GetFileSize(i) != Int64(found->second.content.size())) __builtin_trap();

			String target = FuzzSupport::Inside(String("out").Append(String::FromInt(checks)).Append("_").Append(String::FromInt(i)).Append(found->second.folder ? "/" : ""));

			if (!ZBK::ExtractFile(archive, name.Wide(), target.Wide())) __builtin_trap();
			if (!found->second.folder && ReadAll(target) != found->second.content) __builtin_trap();
		}

		ZBK::CloseArchive(archive);
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	FuzzSupport::ScratchFolder();

	Reader input(data, size);
	std::map<std::wstring, Expected> expected;
	String path = FuzzSupport::Inside("built.zbk");

	ZBK::Archive *archive = ZBK::CreateArchive();

	AddEntries(archive, input, 0, expected);

	if (!ZBK::WriteArchive(archive, path.Wide())) __builtin_trap();

	ZBK::CloseArchive(archive);
	Check(path, expected);

	// An appended chunk, then perhaps one removal written in place.
	archive = ZBK::OpenArchive(path.Wide());
	AddEntries(archive, input, 1, expected);

	if (!ZBK::WriteArchive(archive, nullptr)) __builtin_trap();

	ZBK::CloseArchive(archive);
	Check(path, expected);

	uint8_t removal = input.Byte();

	if (removal != 0 && !expected.empty())
	{
		auto victim = expected.begin();

		std::advance(victim, removal % expected.size());

		archive = ZBK::OpenArchive(path.Wide());

		if (!ZBK::RemoveFile(archive, victim->first.c_str())) __builtin_trap();
		if (!ZBK::WriteArchive(archive, nullptr)) __builtin_trap();

		ZBK::CloseArchive(archive);
		expected.erase(victim);
		Check(path, expected);
	}

	return 0;
}
