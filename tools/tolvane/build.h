// `tolvane build` and `tolvane sign`: from a product folder (setup.xml, its
// logo and licence, and for each component either a finished archive or a
// folder of files to pack) to the folder a publisher ships and, on request,
// one self-extracting program.
#pragma once

#include "tool.h"

#include <smooth.h>

#include <string>
#include <utility>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		// What signing needs: a certificate (PEM or DER), its private key,
		// optionally a file holding the key's password and an RFC 3161 time
		// stamp server.
		struct Signing
		{
			smooth::String	 certificate;
			smooth::String	 key;
			smooth::String	 passwordFile;
			smooth::String	 timestampServer;
			// The code signer to run ("osslsigncode", looked up in PATH).
			smooth::String	 signer = "osslsigncode";
		};

		// Signs in as out (which may be the same file) with SHA-256, a time
		// stamp when a server is given, and as signing time SOURCE_DATE_EPOCH
		// when it is set (so that signing the same bytes twice gives the same
		// bytes). out is replaced in one step at the end; on failure it is as
		// it was. false with one line in *error naming the file and the cause
		// (the signer cannot be started, or it failed: its own messages went
		// to our output).
		bool		 SignFile(const Signing &signing, const smooth::String &in, const smooth::String &out, std::string *error);

		// The entries `build` adds to the archives of the product folder dir
		// beyond their source folders' files (the uninstaller, when the script
		// keeps an uninstall log: see RunBuild, 2.), taking a programs folder
		// that holds it; appended to *entries as pairs of the archive's name
		// as <archive> writes it and the entry's name. true when it added
		// one. An unreadable script adds none.
		bool		 BuiltInEntries(const smooth::String &dir, std::vector<std::pair<smooth::String, smooth::String> > *entries);

		// `build DIR -o OUT [--programs FOLDER] [--bundle [--stub FILE]]
		//  [--mark-licence]
		//  [--cert FILE --key FILE [--password-file FILE] [--timestamp URL]]`
		//
		// 1. Checks DIR/setup.xml as `check` does; any error stops the build
		//    before anything is written (the diagnostics, warnings included,
		//    go to out).
		// 2. Writes OUT/: setup.exe and smooth.dll from FOLDER; setup.xml, the
		//    logo and the licence file as the script names them; and every
		//    component's archive. An <archive> with a "source" attribute is
		//    packed from that folder below DIR (every file, in sorted order);
		//    one without is copied from DIR. When the script keeps an uninstall
		//    log, FOLDER's uninstall.exe goes into the archive of the first
		//    required component with a source (else the first with a source)
		//    as uninstall/uninstall.exe, unless that folder has one already.
		//    OUT is built beside itself and takes the place of an earlier
		//    build's OUT only when complete; a folder that is not an earlier
		//    build's output (nor empty) is refused, never overwritten.
		//    With --mark-licence, OUT's copy of a licence file that is UTF-8
		//    without a byte-order mark (IsUnmarkedUtf8) gets the UTF-8 mark in
		//    front (one line "marked licence file ..." to out); every other
		//    licence is copied as it is. Without it no file is changed.
		// 3. With --bundle, writes OUT.exe: the stub (FILE, default FOLDER's
		//    bundle_stub.exe) with every file of OUT appended in sorted order.
		// 4. With --cert and --key, the programs are signed before they are
		//    copied or packed, and the bundle after its payload is appended.
		//
		// The same inputs give the same bytes: entries and files in sorted
		// order, nothing in any output depends on the time (SOURCE_DATE_EPOCH,
		// when set, is the files' modification time and the signing time).
		// ExitOK, ExitFailure (one line "tolvane: ..." to err per problem) or
		// ExitUsage.
		int		 RunBuild(const std::vector<smooth::String> &arguments, Console &console);

		// `sign FILE --cert FILE --key FILE [--password-file FILE]
		//  [--timestamp URL]`: SignFile in place.
		int		 RunSign(const std::vector<smooth::String> &arguments, Console &console);
	}
}
