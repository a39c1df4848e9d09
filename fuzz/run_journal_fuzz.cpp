// Reads arbitrary bytes as a run's journal, cut or damaged anywhere, and
// takes it back through a recording undo. Beyond the sanitizers' findings
// it traps when the records read, written out again, read back as other
// records, and when taking back would touch a file outside the journal's
// target folder (shortcuts aside), restore a copy from outside its backup
// folder or name a registry entry with a backslash.
//
// Every line carries a CRC-32, which mutated bytes rarely match, so each
// input is read twice: as it is, and with each line's CRC made right.
#include <run_journal.h>
#include <upgrade.h>

#include <string>
#include <vector>

using namespace smooth;
using namespace Tolvane;

namespace
{
	bool HasDots(const std::wstring &key)
	{
		size_t start = 0;

		for (size_t end; start <= key.size(); start = end + 1)
		{
			end = key.find(L'\\', start);

			if (end == std::wstring::npos) end = key.size();

			const std::wstring part = key.substr(start, end - start);

			if (part == L"." || part == L"..") return true;
		}

		return false;
	}

	// path strictly inside folder, as the file system compares names.
	bool Inside(const String &path, const String &folder)
	{
		const std::wstring p = PathKey(path), f = PathKey(folder);

		return !f.empty() && p.size() > f.size() + 1 && p.compare(0, f.size(), f) == 0 && p[f.size()] == L'\\' && !HasDots(p.substr(f.size() + 1));
	}

	bool IsLink(const String &path)
	{
		const std::wstring key = PathKey(path);

		return key.size() > 4 && key.compare(key.size() - 4, 4, L".LNK") == 0;
	}

	class Recording : public JournalUndo
	{
		public:
			explicit Recording(const JournalContents &contents) : contents(contents) { }

			bool RemoveFile(const String &path) override	{ if (!Inside(path, contents.target) && !IsLink(path)) __builtin_trap(); return true; }
			bool RemoveFolder(const String &path) override	{ if (path == 0) __builtin_trap(); return true; }
			bool MakeFolder(const String &path) override	{ if (path == 0) __builtin_trap(); return false; }

			bool Restore(const String &copy, const String &path) override
			{
				if ((!Inside(path, contents.target) && !IsLink(path)) || !Inside(copy, contents.backup)) __builtin_trap();

				return true;
			}

			bool RestoreRegistry(const String &name, const String &copy) override
			{
				if (name == 0 || name.Find("\\") >= 0 || (copy != 0 && !Inside(copy, contents.backup))) __builtin_trap();

				return true;
			}
		private:
			const JournalContents &contents;
	};

	void Check(const std::string &bytes)
	{
		JournalContents contents;

		if (!ParseJournal(bytes, contents))
		{
			if (contents.target != 0) __builtin_trap();

			return;
		}

		if (contents.records.empty() || contents.records.front().kind != JournalRecord::Kind::Target) __builtin_trap();

		// Written out again, the same records, whole.
		std::string written = "journal 1\n";

		for (const JournalRecord &record : contents.records) written += EncodeJournalRecord(record);

		JournalContents again;

		if (!ParseJournal(written, again) || !again.complete || !(again.records == contents.records) || again.target != contents.target ||
		    again.backup != contents.backup || again.committed != contents.committed) __builtin_trap();

		Recording undo(contents);

		const Int failed = TakeBack(contents, undo);

		if (failed < 0 || size_t(failed) > contents.records.size() || (contents.committed && failed != 0)) __builtin_trap();
	}

	// CRC-32 (the journal's: reflected, 0xEDB88320) in eight upper-case
	// hexadecimal digits.
	std::string Crc(const std::string &text)
	{
		uint32_t crc = 0xFFFFFFFF;

		for (unsigned char byte : text)
		{
			crc ^= byte;

			for (int bit = 0; bit < 8; bit++) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
		}

		crc ^= 0xFFFFFFFF;

		std::string digits(8, '0');

		for (int i = 7; i >= 0; i--, crc >>= 4) digits[size_t(i)] = "0123456789ABCDEF"[crc & 15];

		return digits;
	}

	// Each line's last field replaced by the CRC of what precedes it.
	std::string Recrc(const std::string &bytes)
	{
		std::string out;
		size_t	    start = 0;

		while (start < bytes.size())
		{
			size_t end = bytes.find('\n', start);

			if (end == std::string::npos) end = bytes.size();

			std::string line = bytes.substr(start, end - start);
			const bool  cr	 = !line.empty() && line.back() == '\r';

			if (cr) line.pop_back();

			const size_t tab = line.rfind('\t');

			if (tab != std::string::npos) line = line.substr(0, tab + 1) + Crc(line.substr(0, tab));

			out += line + (cr ? "\r" : "") + (end < bytes.size() ? "\n" : "");
			start = end + 1;
		}

		return out;
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const std::string bytes(reinterpret_cast<const char *>(data), size);

	Check(bytes);
	Check(Recrc(bytes));

	return 0;
}
