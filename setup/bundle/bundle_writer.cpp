#include "bundle_writer.h"

#include "bundle_reader.h"

#include <smooth.h>

#include <algorithm>
#include <memory>
#include <set>

using namespace smooth;

namespace Tolvane
{
	namespace
	{
		constexpr size_t kPiece = 1 << 20;

		struct StreamSource
		{
			IO::InStream *in;
		};

		bool ReadAt(void *context, uint64_t offset, void *buffer, size_t size)
		{
			IO::InStream *in = static_cast<StreamSource *>(context)->in;

			return in->Seek(Int64(offset)) == Success() && in->InputData(buffer, Int(size)) == Int(size);
		}

		std::string Cause(const std::string &file, const std::string &what)
		{
			return file + ": " + what;
		}

		std::string SystemCause()
		{
			return System::System::GetErrorText(System::System::GetLastErrorCode()).ToUTF8();
		}

		// The form names are compared in: ASCII letters upper case, '/'
		// between folders, as the file system sees them on Windows.
		std::string Folded(const std::string &name)
		{
			std::string folded = name;

			for (char &c : folded)
			{
				if (c == '\\') c = '/';
				else if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
			}

			return folded;
		}

		// Streams one source into out, hashing what passes; *size is the
		// count written. The cause in *error on failure.
		bool CopyEntry(const BundleEntry &entry, IO::OutStream &out, std::vector<uint8_t> &buffer, uint8_t digest[kSha256Size],
		               uint64_t *size, std::string *error)
		{
			Sha256 sha;

			*size = 0;

			if (entry.sourcePath.empty())
			{
				sha.Update(entry.bytes.data(), entry.bytes.size());

				if (!entry.bytes.empty() && out.OutputData(entry.bytes.data(), Int(entry.bytes.size())) != Success())
					return false;

				*size = entry.bytes.size();
				sha.Final(digest);

				return true;
			}

			IO::InStream in(IO::STREAM_FILE, String::FromUTF8(entry.sourcePath), IO::IS_READ_ONLY);

			if (in.GetLastError() != IO::IO_ERROR_OK)
			{
				*error = Cause(entry.sourcePath, "cannot be read: " + SystemCause());

				return false;
			}

			for (Int got; (got = in.InputData(buffer.data(), Int(buffer.size()))) != 0;)
			{
				if (got < 0)
				{
					*error = Cause(entry.sourcePath, "read failed: " + SystemCause());

					return false;
				}

				sha.Update(buffer.data(), size_t(got));

				if (out.OutputData(buffer.data(), got) != Success()) return false;

				*size += uint64_t(got);
			}

			sha.Final(digest);

			return true;
		}

		// The stub's bytes, when it is a stripped, unsigned PE image with
		// nothing after it.
		bool ReadStub(const std::string &stubPath, std::string *bytes, std::string *error)
		{
			IO::InStream in(IO::STREAM_FILE, String::FromUTF8(stubPath), IO::IS_READ_ONLY);

			if (in.GetLastError() != IO::IO_ERROR_OK) { *error = Cause(stubPath, "cannot be read: " + SystemCause()); return false; }

			bytes->resize(size_t(in.Size()));

			if (!bytes->empty() && in.InputData(&(*bytes)[0], Int(bytes->size())) != Int(bytes->size()))
			{
				*error = Cause(stubPath, "read failed: " + SystemCause());

				return false;
			}

			PayloadRegion	   region;
			const BundleStatus status = FindPayloadRegion(reinterpret_cast<const uint8_t *>(bytes->data()),
			                                              std::min(bytes->size(), kPeHeadBytes), bytes->size(), &region);

			if (status != BundleStatus::Ok) *error = Cause(stubPath, std::string("not a usable stub program: ") + BundleStatusText(status));
			else if (region.hasCertificate)	*error = Cause(stubPath, "the stub is signed: sign the bundle, not the stub");
			else if (region.hasSymbols)	*error = Cause(stubPath, "the stub carries a symbol table: strip it first");
			else if (region.begin != region.end) *error = Cause(stubPath, "the stub carries data after its image (is it a bundle already?)");
			else				return true;

			return false;
		}

		// Every name safe, none the same file as another, none a file where
		// another needs a folder.
		bool CheckNames(const std::vector<BundleEntry> &entries, const std::string &outPath, std::string *error)
		{
			if (entries.size() > kBundleMaxEntries)
			{
				*error = Cause(outPath, "more than " + std::to_string(kBundleMaxEntries) + " entries");

				return false;
			}

			std::set<std::string> files, folders;

			for (const BundleEntry &entry : entries)
			{
				if (!IsSafeBundleName(entry.name.data(), entry.name.size()))
				{
					*error = Cause(outPath, "unsafe entry name \"" + entry.name + "\"");

					return false;
				}

				const std::string folded = Folded(entry.name);

				if (!files.insert(folded).second || folders.count(folded))
				{
					*error = Cause(outPath, "entry \"" + entry.name + "\" names the same file as another entry or a folder of one");

					return false;
				}

				for (size_t slash = folded.find('/'); slash != std::string::npos; slash = folded.find('/', slash + 1))
				{
					folders.insert(folded.substr(0, slash));

					if (files.count(folded.substr(0, slash)))
					{
						*error = Cause(outPath, "entry \"" + entry.name + "\" needs a folder where another entry is a file");

						return false;
					}
				}
			}

			return true;
		}
	}

	bool WriteBundle(const std::string &stubPath, const std::vector<BundleEntry> &entries, const std::string &outPath, std::string *error)
	{
		std::string ignored;

		if (!error) error = &ignored;

		error->clear();

		std::string stub;

		if (!ReadStub(stubPath, &stub, error) || !CheckNames(entries, outPath, error)) return false;

		// A name of our own beside the target: the move at the end stays on
		// one volume, so it replaces the old file in one step.
		const String   target	 = String::FromUTF8(outPath);
		const String   temporary = String::FromUTF8(outPath + ".partial-" + std::to_string(System::System::GetProcessID()));
		const uint64_t stubSize	 = stub.size();
		bool	       written	 = false;

		{
			IO::OutStream out(IO::STREAM_FILE, temporary, IO::OS_REPLACE);

			if (out.GetLastError() != IO::IO_ERROR_OK)
			{
				*error = Cause(outPath, "cannot be written: " + SystemCause());

				return false;
			}

			std::vector<uint8_t> buffer(kPiece), table;
			uint64_t	     offset = 0;
			bool		     good   = out.OutputData(stub.data(), Int(stub.size())) == Success();

			for (size_t i = 0; good && i < entries.size(); i++)
			{
				std::string name = entries[i].name;
				uint8_t	    digest[kSha256Size];
				uint64_t    size;

				std::replace(name.begin(), name.end(), '\\', '/');

				good = CopyEntry(entries[i], out, buffer, digest, &size, error);

				const size_t at = table.size();

				table.resize(at + kBundleRecordFixed + name.size());
				EncodeBundleRecord(name.data(), uint32_t(name.size()), offset, size, digest, &table[at]);
				offset += size;
			}

			if (good && table.size() > kBundleMaxTableBytes)
			{
				*error = Cause(outPath, "the table of contents would be larger than " + std::to_string(kBundleMaxTableBytes) + " bytes");
				good   = false;
			}

			BundleTrailer trailer;
			uint8_t	      end[7 + kBundleTrailerSize] = {};
			const size_t  padding = size_t((8 - (stubSize + offset + table.size() + kBundleTrailerSize) % 8) % 8);

			trailer.entryCount  = uint32_t(entries.size());
			trailer.tableOffset = offset;
			trailer.tableSize   = table.size();
			trailer.payloadSize = offset + table.size() + padding + kBundleTrailerSize;
			Sha256::Hash(table.data(), table.size(), trailer.tableHash);
			EncodeBundleTrailer(trailer, end + padding);

			good = good && (table.empty() || out.OutputData(table.data(), Int(table.size())) == Success()) &&
			       out.OutputData(end, Int(padding + kBundleTrailerSize)) == Success();

			// The first failure's cause; a failed write (disk full) leaves
			// it empty and is named here.
			const bool closed = out.Close() == Success();

			if (good && !closed) good = false;
			if (!good && error->empty()) *error = Cause(outPath, "write failed: " + SystemCause());

			written = good;
		}

		/* Read back what the reader will check, before it takes the old
		 * file's place: a fault of ours must not ship.
		 */
		std::string detail;

		if (written)
		{
			const BundleStatus status = ReadBundleFile(temporary.ToUTF8(), nullptr, false, &detail);

			if (status != BundleStatus::Ok)
			{
				*error	= Cause(outPath, std::string("written bundle does not read back: ") + BundleStatusText(status) + " (" + detail + ")");
				written = false;
			}
		}

		if (written && File(temporary).Replace(File(target)) != Success())
		{
			*error	= Cause(outPath, "cannot be replaced: " + SystemCause());
			written = false;
		}

		if (!written) File(temporary).Delete();

		return written;
	}

	BundleStatus ReadBundleFile(const std::string &path, std::vector<BundleEntry> *entries, bool withBytes, std::string *detail)
	{
		std::string ignored;

		if (!detail) detail = &ignored;

		IO::InStream in(IO::STREAM_FILE, String::FromUTF8(path), IO::IS_READ_ONLY);

		if (in.GetLastError() != IO::IO_ERROR_OK)
		{
			*detail = "cannot open: " + SystemCause();

			return BundleStatus::ReadError;
		}

		StreamSource	 context{&in};
		const ByteSource source{ReadAt, &context};
		PayloadRegion	 region;
		BundleTable	 table;
		BundleStatus	 status = ReadBundle(source, uint64_t(in.Size()), table, &region);

		if (status != BundleStatus::Ok)
		{
			// Only a table that was found can say what is wrong with it.
			*detail = region.end != 0 ? table.Detail() : "headers";

			return status;
		}

		std::vector<BundleEntry> found;
		std::vector<uint8_t>	 buffer(kPiece);

		for (uint32_t i = 0; i < table.Count(); i++)
		{
			const BundleEntryInfo entry = table.Entry(i);
			BundleEntry	      read;

			read.name = std::string(entry.name, entry.nameSize);

			auto keep = [](void *context, const uint8_t *data, size_t size) {
				static_cast<std::string *>(context)->append(reinterpret_cast<const char *>(data), size);

				return true;
			};

			if ((status = VerifyBundleEntry(source, entry, buffer.data(), buffer.size(), withBytes ? +keep : nullptr, &read.bytes)) != BundleStatus::Ok)
			{
				*detail = read.name;

				return status;
			}

			found.push_back(std::move(read));
		}

		if (entries) *entries = std::move(found);

		return BundleStatus::Ok;
	}
}
