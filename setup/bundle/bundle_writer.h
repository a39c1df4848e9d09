// Writing and reading whole bundle files (the layout is in bundle_format.h):
// the publisher's tool builds one from the stub program and the installer's
// files, and checks one it was given.
#pragma once

#include "bundle_format.h"

#include <string>
#include <vector>

namespace Tolvane
{
	// One file of a bundle.
	struct BundleEntry
	{
		std::string name;	// UTF-8 relative path, '/' or '\' between folders (stored with '/')
		std::string sourcePath;	// UTF-8 path of the file to take the bytes from; when empty, bytes is the content
		std::string bytes;

		static BundleEntry FromFile(const std::string &name, const std::string &path) { return {name, path, std::string()}; }
		static BundleEntry FromBytes(const std::string &name, const std::string &bytes) { return {name, std::string(), bytes}; }
	};

	// Writes outPath: the stub file, then the entries in the order given
	// (the caller sorts them), the table and the trailer, padded to a length
	// that is a multiple of 8. The same inputs give the same bytes: nothing
	// depends on the time, the machine or the order of a folder listing.
	//
	// The file is written under a temporary name beside outPath and moved
	// over outPath in one step at the end, so outPath is either the old file
	// or the complete new one. outPath may name the stub or an entry's file.
	//
	// Returns false with *error (when not null) set to one line naming the
	// file and the cause, and leaves outPath as it was, when: the stub cannot
	// be read, is not a PE image, is signed (sign the bundle, not the stub),
	// carries a symbol table or any bytes after its image (a stub must be
	// stripped and must not be a bundle already); a name is unsafe
	// (IsSafeBundleName), two names are the same file or one is a file where
	// another needs a folder; there are more than kBundleMaxEntries entries or
	// the table would be larger than kBundleMaxTableBytes; a source file
	// cannot be read; or outPath cannot be written (disk full, rights).
	bool	 WriteBundle(const std::string &stubPath, const std::vector<BundleEntry> &entries, const std::string &outPath, std::string *error);

	// Reads and checks a bundle file end to end: its PE headers give the
	// payload's region (FindPayloadRegion), the table is checked
	// (BundleTable::Read) and every entry's SHA-256 is verified. On Ok,
	// *entries (when not null) lists the entries in their order, with their
	// bytes when withBytes is set (else only the names). Otherwise *detail
	// (when not null) names what failed: the part, or the entry.
	BundleStatus ReadBundleFile(const std::string &path, std::vector<BundleEntry> *entries, bool withBytes, std::string *detail);
}
