#include "run_journal.h"

#include "file_bytes.h"
#include "upgrade.h"

using namespace smooth;

namespace
{
	const char *const FirstLine = "journal 1\n";

	struct KindName
	{
		Tolvane::JournalRecord::Kind	 kind;
		const char			*name;
		int				 fields;
	};

	const KindName kinds[] = {
		{ Tolvane::JournalRecord::Kind::Target,	   "target",	2 },
		{ Tolvane::JournalRecord::Kind::Folder,	   "folder",	1 },
		{ Tolvane::JournalRecord::Kind::File,	   "file",	1 },
		{ Tolvane::JournalRecord::Kind::Saved,	   "saved",	2 },
		{ Tolvane::JournalRecord::Kind::Removed,   "removed",	1 },
		{ Tolvane::JournalRecord::Kind::Registry,  "registry",	2 },
		{ Tolvane::JournalRecord::Kind::Committed, "committed",	0 },
	};

	const char *const Hex = "0123456789ABCDEF";

	void AppendField(std::string &line, const String &field)
	{
		for (char c : field.ToUTF8())
		{
			unsigned char	 byte = (unsigned char) c;

			if (byte < 32 || byte == '%') line.append(1, '%').append(1, Hex[byte >> 4]).append(1, Hex[byte & 15]);
			else			      line.append(1, c);
		}
	}

	int HexValue(char c)
	{
		if (c >= '0' && c <= '9') return c - '0';
		if (c >= 'A' && c <= 'F') return c - 'A' + 10;
		if (c >= 'a' && c <= 'f') return c - 'a' + 10;

		return -1;
	}

	bool DecodeField(const std::string &text, String &field)
	{
		std::string	 bytes;

		for (size_t i = 0; i < text.size(); i++)
		{
			if (text[i] != '%') { bytes.push_back(text[i]); continue; }

			if (i + 2 >= text.size()) return false;

			int	 high = HexValue(text[i + 1]);
			int	 low  = HexValue(text[i + 2]);

			if (high < 0 || low < 0) return false;

			bytes.push_back(char(high * 16 + low));
			i += 2;
		}

		field = String::FromUTF8(bytes);

		return true;
	}

	std::string Crc(const std::string &text)
	{
		UnsignedInt	 crc = 0xFFFFFFFF;

		for (unsigned char byte : text)
		{
			crc ^= byte;

			for (int bit = 0; bit < 8; bit++) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
		}

		crc ^= 0xFFFFFFFF;

		std::string	 digits(8, '0');

		for (int i = 7; i >= 0; i--, crc >>= 4) digits[size_t(i)] = Hex[crc & 15];

		return digits;
	}

	std::vector<std::string> Split(const std::string &line)
	{
		std::vector<std::string>	 parts;
		size_t				 start = 0;

		for (;;)
		{
			size_t	 tab = line.find('\t', start);

			parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));

			if (tab == std::string::npos) return parts;

			start = tab + 1;
		}
	}

	// One line without its line feed; false when it is not an intact record.
	bool ParseLine(const std::string &line, Tolvane::JournalRecord &record)
	{
		size_t	 tab = line.rfind('\t');

		if (tab == std::string::npos || line.compare(tab + 1, std::string::npos, Crc(line.substr(0, tab))) != 0) return false;

		std::vector<std::string>	 parts = Split(line.substr(0, tab));

		for (const KindName &kind : kinds)
		{
			if (parts[0] != kind.name) continue;
			if (parts.size() != size_t(kind.fields) + 1) return false;

			record	    = Tolvane::JournalRecord();
			record.kind = kind.kind;

			if (kind.fields >= 1 && !DecodeField(parts[1], record.path)) return false;
			if (kind.fields >= 2 && !DecodeField(parts[2], record.copy)) return false;

			return true;
		}

		return false;
	}
}

std::string Tolvane::EncodeJournalRecord(const JournalRecord &record)
{
	std::string	 line;

	for (const KindName &kind : kinds)
	{
		if (kind.kind != record.kind) continue;

		line = kind.name;

		if (kind.fields >= 1) AppendField(line.append(1, '\t'), record.path);
		if (kind.fields >= 2) AppendField(line.append(1, '\t'), record.copy);
	}

	return line + "\t" + Crc(line) + "\n";
}

bool Tolvane::ParseJournal(const std::string &bytes, JournalContents &contents)
{
	contents = JournalContents();

	size_t	 first = std::string(FirstLine).size();

	if (bytes.compare(0, first, FirstLine) != 0) return false;

	for (size_t start = first; start < bytes.size(); )
	{
		size_t		 end = bytes.find('\n', start);
		JournalRecord	 record;

		/* A line without its line feed was cut while it was written; one
		 * that went through a tool that ends lines with CR LF is whole.
		 */
		size_t		 last = end != std::string::npos && end > start && bytes[end - 1] == '\r' ? end - 1 : end;

		if (end == std::string::npos || !ParseLine(bytes.substr(start, last - start), record))
		{
			contents.complete = false;

			break;
		}

		start = end + 1;

		if (record.kind == JournalRecord::Kind::Target)
		{
			/* One run, one target: a second target record is damage. */
			if (contents.target != 0) { contents.complete = false; break; }

			contents.target = record.path;
			contents.backup = record.copy;
		}
		else if (contents.target == 0)
		{
			contents.complete = false;

			break;
		}

		if (record.kind == JournalRecord::Kind::Committed) contents.committed = true;

		contents.records.push_back(record);
	}

	return contents.target != 0;
}

bool Tolvane::ReadJournal(const String &path, JournalContents &contents)
{
	std::string	 bytes;

	contents = JournalContents();

	return ReadFileBytes(path, bytes, 512 * 1024 * 1024) && ParseJournal(bytes, contents);
}

Tolvane::JournalWriter::~JournalWriter()
{
	Close();
}

Int Tolvane::JournalWriter::Open(const String &path, const String &target, const String &backup)
{
	Close();

	stream = new IO::OutStream(IO::STREAM_FILE, path, IO::OS_REPLACE);

	if (stream->GetLastError() != IO::IO_ERROR_OK) { Close(); return Error(); }

	pending = FirstLine;

	JournalRecord	 record;

	record.kind = JournalRecord::Kind::Target;
	record.path = target;
	record.copy = backup;

	Add(record);

	return Write(true);
}

void Tolvane::JournalWriter::Add(const JournalRecord &record)
{
	pending.append(EncodeJournalRecord(record));
}

Int Tolvane::JournalWriter::Write(bool durable)
{
	if (stream == nullptr) return Error();

	if (!pending.empty() && stream->OutputData(pending.data(), Int(pending.size())) != Success()) return Error();

	pending.clear();

	return durable ? stream->Sync() : stream->Flush();
}

Int Tolvane::JournalWriter::Commit()
{
	JournalRecord	 record;

	record.kind = JournalRecord::Kind::Committed;

	Add(record);

	Int	 result = Write(true);

	if (stream != nullptr && stream->Close() != Success()) result = Error();

	Close();

	return result;
}

void Tolvane::JournalWriter::Close()
{
	if (stream != nullptr) delete stream;

	stream = nullptr;
	pending.clear();
}

bool Tolvane::MayTakeBack(const JournalRecord &record, const JournalContents &contents)
{
	auto	 Inside = [&](const String &path) { return IsBelow(path, contents.target); };

	switch (record.kind)
	{
		/* A folder goes only when it is empty, and making one is harmless;
		 * the target's own parents and the Start-menu group lie outside
		 * the target.
		 */
		case JournalRecord::Kind::Folder:
		case JournalRecord::Kind::Removed:	return record.path != 0;
		case JournalRecord::Kind::File:		return Inside(record.path) || IsShortcutFile(record.path);
		case JournalRecord::Kind::Saved:	return (Inside(record.path) || IsShortcutFile(record.path)) && IsBelow(record.copy, contents.backup);
		case JournalRecord::Kind::Registry:	return record.path != 0 && record.path.Find("\\") < 0 && (record.copy == 0 || IsBelow(record.copy, contents.backup));
		default:				return true;
	}
}

Int Tolvane::TakeBack(const JournalContents &contents, JournalUndo &undo)
{
	if (contents.committed) return 0;

	Int	 failed = 0;

	for (size_t i = contents.records.size(); i-- > 0; )
	{
		const JournalRecord	&record = contents.records[i];
		bool			 done	= true;

		if (!MayTakeBack(record, contents)) { failed++; continue; }

		switch (record.kind)
		{
			case JournalRecord::Kind::Folder:	done = undo.RemoveFolder(record.path);			break;
			case JournalRecord::Kind::File:		done = undo.RemoveFile(record.path);			break;
			case JournalRecord::Kind::Saved:	done = undo.Restore(record.copy, record.path);		break;
			case JournalRecord::Kind::Removed:	done = undo.MakeFolder(record.path);			break;
			case JournalRecord::Kind::Registry:	done = undo.RestoreRegistry(record.path, record.copy);	break;
			default:									break;
		}

		if (!done) failed++;
	}

	return failed;
}
