#include "zbk_tool.h"

#include <archive.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace smooth;
using ZBK::Tool::Console;
using ZBK::Tool::Settings;

namespace
{
	// A private folder for one test, removed with everything in it afterwards.
	class Scratch
	{
		public:
			Scratch()
			{
				static int counter = 0;

				root = System::System::GetTempDirectory().Append("zbk_tool_test_").Append(String::FromInt(System::System::GetProcessID())).Append("_").Append(String::FromInt(counter++));

				Directory(root).Create();
			}

			~Scratch()
			{
				Directory(root).Empty();
				Directory(root).Delete();
			}

			String Path(const String &name) const	{ return String(root).Append("/").Append(name); }

			void Write(const String &name, const std::string &bytes) const
			{
				String path = Path(name);
				Int    slash = path.FindLast("/");

				Directory(path.Head(slash)).Create();

				IO::OutStream out(IO::STREAM_FILE, path, IO::OS_REPLACE);

				out.OutputData(bytes.data(), Int(bytes.size()));
			}

			std::string Read(const String &name) const	{ return ReadPath(Path(name)); }

			static std::string ReadPath(const String &path)
			{
				IO::InStream in(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
				std::string  bytes(in.Size() > 0 ? size_t(in.Size()) : 0, '\0');

				if (!bytes.empty()) in.InputData(&bytes[0], Int(bytes.size()));

				return bytes;
			}

			static void WriteAt(const String &path, Int64 offset, const std::string &bytes)
			{
				std::string content = ReadPath(path);

				content.replace(size_t(offset), bytes.size(), bytes);

				IO::OutStream out(IO::STREAM_FILE, path, IO::OS_REPLACE);

				out.OutputData(content.data(), Int(content.size()));
			}
		private:
			String	 root;
	};

	struct Result
	{
		int		 code;
		std::string	 out;
		std::string	 err;
	};

	Result Zbk(const std::vector<String> &arguments, const Settings &settings = Settings(), bool progress = false)
	{
		Result	result;
		Console console;

		console.out	 = [&](const std::string &text) { result.out += text; };
		console.err	 = [&](const std::string &text) { result.err += text; };
		console.progress = progress;

		result.code = ZBK::Tool::Run(arguments, console, settings);

		return result;
	}

	// Bytes that bzip2 cannot squeeze to nothing, so chunks have real payloads.
	std::string Noise(size_t size, unsigned seed)
	{
		std::string bytes(size, '\0');

		for (size_t i = 0; i < size; i++) { seed = seed * 1103515245u + 12345u; bytes[i] = char(seed >> 16); }

		return bytes;
	}

	// A tree with the kinds of entries archives carry: text, an empty file,
	// nested and empty folders, non-ASCII names, a file larger than one
	// 128 KiB copy block.
	const std::map<std::string, std::string> &TreeFiles()
	{
		static const std::map<std::string, std::string> files = {
			{ "a.txt",			 "hello, archive\n" },
			{ "empty.bin",			 "" },
			{ "sub/deep/noise.dat",		 Noise(300000, 7) },
			{ "sub/readme.md",		 std::string(5000, 'r') },
			{ "\xc3\xbcml\xc3\xa4ut/\xc3\x9f.txt", "non-ASCII\n" },
		};

		return files;
	}

	void MakeTree(const Scratch &scratch, const String &folder)
	{
		for (const auto &file : TreeFiles()) scratch.Write(String(folder).Append("/").Append(String::FromUTF8(file.first)), file.second);

		Directory(scratch.Path(String(folder).Append("/void"))).Create();
	}

	// "size chunk  name" lines of `zbk list` as name -> (size, chunk).
	std::map<std::string, std::pair<long long, int> > ParseList(const std::string &text)
	{
		std::map<std::string, std::pair<long long, int> > entries;
		size_t						  start = 0;

		while (start < text.size())
		{
			size_t	    end  = text.find('\n', start);
			std::string line = text.substr(start, end - start);
			long long   size = 0;
			int	    chunk = 0;
			int	    used = 0;

			if (sscanf(line.c_str(), "%lld %d  %n", &size, &chunk, &used) >= 2) entries[line.substr(size_t(used))] = { size, chunk };

			start = end + 1;
		}

		return entries;
	}

	const Settings OneChunkPerFile = [] { Settings s; s.chunkBytes = 1; return s; }();
}

// create, list and extract give back the tree exactly, in one chunk or in
// chunks cut by size or by entry count; the same input always gives the
// same bytes.
TEST(ZbkTool, CreateListExtractRoundTrip)
{
	struct Case { const char *what; Settings settings; int chunks; };

	Settings threeEntries;

	threeEntries.chunkEntries = 3;

	for (const Case &c : { Case { "one chunk", Settings(), 1 }, Case { "chunk per file", OneChunkPerFile, 4 }, Case { "three entries per chunk", threeEntries, 3 } })
	{
		SCOPED_TRACE(c.what);

		Scratch scratch;

		MakeTree(scratch, "src");

		Result created = Zbk({ "create", scratch.Path("out.zbk"), "-C", scratch.Path("src"), "." }, c.settings);

		ASSERT_EQ(0, created.code) << created.err;
		EXPECT_EQ("", created.err);

		// Same inputs named in another order and spelling, some twice: the same bytes.
		Result again = Zbk({ "create", scratch.Path("again.zbk"), "-C", scratch.Path("src"), "void", "sub\\", "./a.txt", "empty.bin", "sub/deep", "\xc3\xbcml\xc3\xa4ut", "a.txt" }, c.settings);

		ASSERT_EQ(0, again.code) << again.err;
		EXPECT_EQ(scratch.Read("out.zbk"), scratch.Read("again.zbk"));

		// However many threads compress the chunks: the same bytes.
		for (const char *jobs : { "1", "2", "8" })
		{
			Result threaded = Zbk({ "create", scratch.Path("jobs.zbk"), "--jobs", jobs, "-C", scratch.Path("src"), "." }, c.settings);

			ASSERT_EQ(0, threaded.code) << threaded.err;
			EXPECT_EQ(scratch.Read("out.zbk"), scratch.Read("jobs.zbk")) << jobs << " jobs";
		}

		Result listed = Zbk({ "list", scratch.Path("out.zbk") });

		ASSERT_EQ(0, listed.code) << listed.err;

		auto entries = ParseList(listed.out);
		int  chunks  = 0;

		for (const auto &file : TreeFiles())
		{
			ASSERT_TRUE(entries.count(file.first)) << file.first;
			EXPECT_EQ((long long) file.second.size(), entries[file.first].first) << file.first;
		}

		for (const auto &entry : entries) chunks = std::max(chunks, entry.second.second);

		EXPECT_EQ(c.chunks, chunks);
		EXPECT_TRUE(entries.count("void/") && entries.count("sub/deep/") && entries.count("\xc3\xbcml\xc3\xa4ut/"));
		EXPECT_EQ(TreeFiles().size() + 4, entries.size());	// four folder entries

		Result tested = Zbk({ "test", scratch.Path("out.zbk") });

		EXPECT_EQ(0, tested.code) << tested.err;

		Result extracted = Zbk({ "extract", scratch.Path("out.zbk"), "-C", scratch.Path("dst") });

		ASSERT_EQ(0, extracted.code) << extracted.err;

		for (const auto &file : TreeFiles()) EXPECT_EQ(file.second, scratch.Read(String("dst/").Append(String::FromUTF8(file.first)))) << file.first;

		EXPECT_TRUE(Directory(scratch.Path("dst/void")).Exists());
	}
}

// Appending keeps every earlier byte and adds one chunk; removing rewrites
// without the entry and keeps the others intact; extracting by name takes a
// folder with everything below it.
TEST(ZbkTool, AddRemoveAndSelectiveExtract)
{
	Scratch scratch;

	MakeTree(scratch, "src");
	scratch.Write("extra.txt", "appended later\n");

	ASSERT_EQ(0, Zbk({ "create", scratch.Path("out.zbk"), "-C", scratch.Path("src"), "." }).code);

	std::string before = scratch.Read("out.zbk");
	Result	    added  = Zbk({ "add", scratch.Path("out.zbk"), "--as", "docs\\extra.txt", scratch.Path("extra.txt") });

	ASSERT_EQ(0, added.code) << added.err;

	std::string after = scratch.Read("out.zbk");

	ASSERT_GT(after.size(), before.size());
	EXPECT_EQ(before, after.substr(0, before.size()));

	auto entries = ParseList(Zbk({ "list", scratch.Path("out.zbk") }).out);

	ASSERT_TRUE(entries.count("docs/extra.txt"));
	EXPECT_EQ(2, entries["docs/extra.txt"].second);

	Result removed = Zbk({ "remove", scratch.Path("out.zbk"), "a.txt", "sub" });

	ASSERT_EQ(0, removed.code) << removed.err;

	entries = ParseList(Zbk({ "list", scratch.Path("out.zbk") }).out);

	EXPECT_FALSE(entries.count("a.txt"));
	EXPECT_FALSE(entries.count("sub/") || entries.count("sub/readme.md") || entries.count("sub/deep/noise.dat"));
	EXPECT_TRUE(entries.count("empty.bin") && entries.count("docs/extra.txt") && entries.count("void/"));
	EXPECT_EQ(0, Zbk({ "test", scratch.Path("out.zbk") }).code);

	Result some = Zbk({ "extract", scratch.Path("out.zbk"), "-C", scratch.Path("dst"), "docs/", "\xc3\xbcml\xc3\xa4ut" });

	ASSERT_EQ(0, some.code) << some.err;
	EXPECT_EQ("appended later\n", scratch.Read("dst/docs/extra.txt"));
	EXPECT_EQ("non-ASCII\n", scratch.Read(String::FromUTF8("dst/\xc3\xbcml\xc3\xa4ut/\xc3\x9f.txt")));
	EXPECT_FALSE(File(scratch.Path("dst/empty.bin")).Exists());
}

// Every kind of failure: one line per problem naming the file and the
// cause, a non-zero exit, and nothing written that should not be.
TEST(ZbkTool, FailuresAreReportedAndChangeNothing)
{
	struct Case
	{
		const char	*what;
		// Prepares the scratch folder (holding src/ and good.zbk) and returns the arguments.
		std::function<std::vector<String>(Scratch &)> prepare;
		int		 code;
		const char	*cause;
		// Checked afterwards: nothing half-done is left.
		std::function<void(Scratch &)> check;
	};

	auto unchanged = [](Scratch &s) { EXPECT_EQ(s.Read("good.copy"), s.Read("good.zbk")); };
	auto nothing   = [](Scratch &) {};

	// Two chunks; the second one's payload gets a flipped byte in the middle.
	auto damage = [](Scratch &s) {
		ZBK::Archive archive;

		EXPECT_TRUE(archive.Open(s.Path("good.zbk")));

		ZBK::Chunk *chunk = archive.GetChunk(2);
		Int64	    at	  = chunk->GetPayloadOffset() + chunk->GetCompressedSize() / 2;
		std::string bytes = s.Read("good.zbk").substr(size_t(at), 1);

		bytes[0] ^= 0x55;
		Scratch::WriteAt(s.Path("good.zbk"), at, bytes);
	};

	const Case cases[] = {
		{ "list a missing archive", [](Scratch &s) { return std::vector<String> { "list", s.Path("missing.zbk") }; }, 1, "missing.zbk: no such file", nothing },
		{ "list a foreign file", [](Scratch &s) { s.Write("foreign.txt", "PK\x03\x04 not ours"); return std::vector<String> { "list", s.Path("foreign.txt") }; }, 1, "foreign.txt: not a ZBK archive", nothing },
		{ "extract from a folder", [](Scratch &s) { return std::vector<String> { "extract", s.Path("src") }; }, 1, "src: is a folder", nothing },
		{ "create from a missing input", [](Scratch &s) { return std::vector<String> { "create", s.Path("new.zbk"), "-C", s.Path("src"), "a.txt", "nope.txt" }; }, 1, "nope.txt: no such file or folder",
		  [](Scratch &s) { EXPECT_FALSE(File(s.Path("new.zbk")).Exists()); } },
		{ "create from outside the folder", [](Scratch &s) { return std::vector<String> { "create", s.Path("new.zbk"), "-C", s.Path("src"), "../good.zbk" }; }, 1, "../good.zbk: not a relative path",
		  [](Scratch &s) { EXPECT_FALSE(File(s.Path("new.zbk")).Exists()); } },
		{ "create into a missing folder", [](Scratch &s) { return std::vector<String> { "create", s.Path("no/such/new.zbk"), "-C", s.Path("src"), "." }; }, 1, "new.zbk: cannot write",
		  [](Scratch &s) { EXPECT_FALSE(Directory(s.Path("no")).Exists()); } },
		{ "create over an archive, failing", [](Scratch &s) { return std::vector<String> { "create", s.Path("good.zbk"), "-C", s.Path("src"), "a.txt", "gone" }; }, 1, "gone: no such file", unchanged },
		{ "add a name already present", [](Scratch &s) { return std::vector<String> { "add", s.Path("good.zbk"), "--as", "sub\\readme.md", s.Path("src/a.txt") }; }, 1, "\"sub/readme.md\" is already in the archive", unchanged },
		{ "add under an unsafe name", [](Scratch &s) { return std::vector<String> { "add", s.Path("good.zbk"), "--as", "../evil.txt", s.Path("src/a.txt") }; }, 1, "../evil.txt: not a safe entry name", unchanged },
		{ "add under a device name", [](Scratch &s) { return std::vector<String> { "add", s.Path("good.zbk"), "--as", "sub/con.txt", s.Path("src/a.txt") }; }, 1, "is not a safe entry name", unchanged },
		{ "add an absolute path without a name", [](Scratch &s) { return std::vector<String> { "add", s.Path("good.zbk"), s.Path("src/a.txt") }; }, 1, "not a relative path; give its name", unchanged },
		{ "add to a foreign file", [](Scratch &s) { s.Write("foreign.txt", "plain text"); return std::vector<String> { "add", s.Path("foreign.txt"), "--as", "x", s.Path("src/a.txt") }; }, 1, "not a ZBK archive",
		  [](Scratch &s) { EXPECT_EQ("plain text", s.Read("foreign.txt")); } },
		{ "remove a name not listed", [](Scratch &s) { return std::vector<String> { "remove", s.Path("good.zbk"), "a.txt", "b.txt" }; }, 1, "\"b.txt\" is not in the archive", unchanged },
		{ "extract a name not listed", [](Scratch &s) { return std::vector<String> { "extract", s.Path("good.zbk"), "-C", s.Path("dst"), "b.txt" }; }, 1, "\"b.txt\" is not in the archive",
		  [](Scratch &s) { EXPECT_FALSE(Directory(s.Path("dst")).Exists()); } },
		{ "test a damaged chunk", [&](Scratch &s) { damage(s); return std::vector<String> { "test", s.Path("good.zbk") }; }, 1, "good.zbk: chunk 2 is damaged", nothing },
		{ "extract a damaged chunk", [&](Scratch &s) { damage(s); return std::vector<String> { "extract", s.Path("good.zbk"), "-C", s.Path("dst") }; }, 1, "good.zbk: chunk 2 is damaged",
		  [](Scratch &s) {
			// The intact first chunk is extracted; nothing of the damaged one is left behind.
			EXPECT_EQ("hello, archive\n", s.Read("dst/a.txt"));
			EXPECT_FALSE(File(s.Path("dst/sub/readme.md")).Exists());
		  } },
		{ "remove from a damaged archive", [&](Scratch &s) { damage(s); s.Write("good.copy", s.Read("good.zbk")); return std::vector<String> { "remove", s.Path("good.zbk"), "sub/readme.md" }; }, 1, "good.zbk: cannot rewrite: chunk 2 is damaged", unchanged },
		{ "list a truncated archive", [](Scratch &s) {
			std::string bytes = s.Read("good.zbk");
			s.Write("cut.zbk", bytes.substr(0, bytes.size() - 10));
			return std::vector<String> { "list", s.Path("cut.zbk") }; }, 1, "cut.zbk: chunk 2 is damaged", nothing },
		{ "list trailing garbage", [](Scratch &s) {
			s.Write("tail.zbk", s.Read("good.zbk") + std::string("\xff\xff\xff\xff", 4) + "FILES junk");
			return std::vector<String> { "list", s.Path("tail.zbk") }; }, 1, "tail.zbk: damaged after chunk 2", nothing },
		{ "unknown command", [](Scratch &) { return std::vector<String> { "frobnicate" }; }, 2, "unknown command frobnicate", nothing },
		{ "unknown option", [](Scratch &s) { return std::vector<String> { "list", "-x", s.Path("good.zbk") }; }, 2, "unknown option -x", nothing },
		{ "option without its value", [](Scratch &s) { return std::vector<String> { "extract", s.Path("good.zbk"), "-C" }; }, 2, "-C needs a value", nothing },
		{ "create without paths", [](Scratch &s) { return std::vector<String> { "create", s.Path("new.zbk") }; }, 2, "needs an archive and at least one path", nothing },
		{ "no jobs", [](Scratch &s) { return std::vector<String> { "create", s.Path("new.zbk"), "--jobs", "0", s.Path("src") }; }, 2, "--jobs needs a whole number from 1 to 9999, not \"0\"", nothing },
		{ "jobs not a number", [](Scratch &s) { return std::vector<String> { "create", s.Path("new.zbk"), "--jobs", "2x", s.Path("src") }; }, 2, "--jobs needs a whole number", nothing },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Scratch scratch;

		scratch.Write("src/a.txt", "hello, archive\n");
		scratch.Write("src/sub/readme.md", Noise(200000, 3));
		ASSERT_EQ(0, Zbk({ "create", scratch.Path("good.zbk"), "-C", scratch.Path("src"), "a.txt" }).code);
		ASSERT_EQ(0, Zbk({ "add", scratch.Path("good.zbk"), "--as", "sub", scratch.Path("src/sub") }).code);
		scratch.Write("good.copy", scratch.Read("good.zbk"));

		std::vector<String> arguments = c.prepare(scratch);
		Result		    result    = Zbk(arguments);

		EXPECT_EQ(c.code, result.code) << result.err;
		EXPECT_NE(std::string::npos, result.err.find(c.cause)) << result.err;
		EXPECT_EQ(0u, result.err.rfind("zbk: ", 0)) << result.err;

		c.check(scratch);
	}
}

// The folder given with -C holds what is extracted, whatever its name ends
// with: on linux a trailing '\' is part of the folder's name, not a
// separator, and an entry joined to it must not land beside the folder.
TEST(ZbkTool, ExtractIntoAFolderWhoseNameEndsWithABackslash)
{
	Scratch scratch;

	scratch.Write("src/a.txt", "inside");
	ASSERT_EQ(0, Zbk({ "create", scratch.Path("b.zbk"), "-C", scratch.Path("src"), "a.txt" }).code);

	Result extracted = Zbk({ "extract", scratch.Path("b.zbk"), "-C", scratch.Path("dst\\") });

	ASSERT_EQ(0, extracted.code) << extracted.err;
	EXPECT_EQ(std::vector<String> { "a.txt" }, Directory(scratch.Path("dst\\")).GetFiles());
	EXPECT_EQ(std::vector<String> { "b.zbk" }, Directory(scratch.Path("")).GetFiles());
}

// Names from an archive are untrusted: an unsafe one stops the extraction
// before anything is written.
TEST(ZbkTool, ExtractRefusesUnsafeNames)
{
	Scratch scratch;

	scratch.Write("src/aa/evil.txt", "payload");
	scratch.Write("src/ok.txt", "fine");
	ASSERT_EQ(0, Zbk({ "create", scratch.Path("evil.zbk"), "-C", scratch.Path("src"), "." }).code);

	// The writer refuses "../evil.txt", so the hostile name is patched in.
	std::string bytes = scratch.Read("evil.zbk");
	size_t	    at	  = bytes.find("aa/evil.txt");

	ASSERT_NE(std::string::npos, at);
	Scratch::WriteAt(scratch.Path("evil.zbk"), Int64(at), "..");

	Result hostile = Zbk({ "extract", scratch.Path("evil.zbk"), "-C", scratch.Path("dst/inner") });

	EXPECT_EQ(1, hostile.code);
	EXPECT_NE(std::string::npos, hostile.err.find("\"../evil.txt\" has an unsafe name")) << hostile.err;
	EXPECT_FALSE(File(scratch.Path("dst/evil.txt")).Exists());
	EXPECT_FALSE(File(scratch.Path("dst/inner/ok.txt")).Exists());
	EXPECT_EQ(1, Zbk({ "test", scratch.Path("evil.zbk") }).code);
}

// A symbolic link already in the target folder is never written through.
TEST(ZbkTool, ExtractDoesNotFollowLinks)
{
	Scratch scratch;

	// A link named like an entry's folder, pointing outside.
	scratch.Write("src2/sub/file.txt", "through the link?");
	ASSERT_EQ(0, Zbk({ "create", scratch.Path("link.zbk"), "-C", scratch.Path("src2"), "." }).code);
	Directory(scratch.Path("outside")).Create();
	Directory(scratch.Path("dst2")).Create();

	std::error_code ec;

	std::filesystem::create_directory_symlink(std::filesystem::u8path(scratch.Path("outside").ToUTF8()), std::filesystem::u8path(scratch.Path("dst2/sub").ToUTF8()), ec);

	if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();

	Result linked = Zbk({ "extract", scratch.Path("link.zbk"), "-C", scratch.Path("dst2") });

	EXPECT_EQ(1, linked.code);
	EXPECT_NE(std::string::npos, linked.err.find("is a symbolic link")) << linked.err;
	EXPECT_FALSE(File(scratch.Path("outside/file.txt")).Exists());

	std::filesystem::remove(std::filesystem::u8path(scratch.Path("dst2/sub").ToUTF8()), ec);
}

// The bar appears only on a terminal, reaches 100% over a multi-chunk
// create whose chunks are compressed at once, and clears its line at the
// end. (How many steps show between depends on the threads' timing.)
TEST(ZbkTool, ProgressBarOnlyOnTerminal)
{
	Scratch scratch;

	MakeTree(scratch, "src");

	for (bool terminal : { false, true })
	{
		Result result = Zbk({ "create", scratch.Path(terminal ? "t.zbk" : "p.zbk"), "--jobs", "8", "-C", scratch.Path("src"), "." }, OneChunkPerFile, terminal);

		ASSERT_EQ(0, result.code) << result.err;

		if (!terminal) { EXPECT_EQ("", result.err); continue; }

		// The shown percentages: never back, 100 last.
		std::vector<int> shown;

		for (size_t at = result.err.find('%'); at != std::string::npos; at = result.err.find('%', at + 1)) shown.push_back(atoi(result.err.substr(at - 3, 3).c_str()));

		ASSERT_GE(shown.size(), 1u) << result.err;
		EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
		EXPECT_EQ(100, shown.back());
		EXPECT_EQ('\r', result.err.back());
	}

	Result help = Zbk({ "--help" });

	EXPECT_EQ(0, help.code);
	EXPECT_NE(std::string::npos, help.out.find("zbk extract ARCHIVE [-C DIR] [NAME...]"));
}

// Chunk boundaries come from sizes and entry counts alone, and no chunk's
// total may pass what the format can hold, however large its files.
TEST(ZbkTool, ChunkStarts)
{
	struct Case { const char *what; std::vector<Int64> sizes; Int64 bytes; Int64 entries; std::vector<size_t> starts; };

	const Int64 max = ZBK::MaxFormatValue;

	const Case cases[] = {
		{ "nothing", {}, 100, 500, { 0, 0 } },
		{ "all in one", { 10, 0, 20, 30 }, 100, 500, { 0, 4 } },
		{ "by bytes: a chunk closes once it holds enough", { 60, 50, 10, 100, 1 }, 100, 500, { 0, 2, 4, 5 } },
		{ "by entries", { 1, 1, 1, 1, 1, 1, 1 }, 100, 3, { 0, 3, 6, 7 } },
		{ "a file that would pass the format's limit", { 10, max - 5, 5, max, 1 }, Int64(1) << 40, 500, { 0, 1, 3, 4, 5 } },
		{ "one file of the largest size alone", { max }, 100, 500, { 0, 1 } },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		Settings settings;

		settings.chunkBytes   = c.bytes;
		settings.chunkEntries = c.entries;

		EXPECT_EQ(c.starts, ZBK::Tool::ChunkStarts(c.sizes, settings));
	}
}

// Each command takes its own options and refuses the others'; "--help"
// after any command shows the same help as alone.
TEST(ZbkTool, CommandsTakeTheirOwnOptions)
{
	const std::map<std::string, std::set<std::string> > takes = {
		{ "create", { "-C", "--jobs" } }, { "list", {} }, { "test", {} }, { "extract", { "-C" } }, { "add", { "--as" } }, { "remove", {} } };

	const Result help = Zbk({ "--help" });

	ASSERT_EQ(0, help.code);

	for (const auto &command : takes)
	{
		for (const char *option : { "-C", "--jobs", "--as" })
		{
			SCOPED_TRACE(command.first + " " + option);

			// No archive named: an option taken gets past the parse, and the
			// command then refuses its missing arguments; nothing is touched.
			Result result = Zbk({ String::FromUTF8(command.first.c_str()), option, "1" });

			EXPECT_EQ(2, result.code);
			EXPECT_EQ(command.second.count(option) == 0, result.err.find(std::string(": unknown option ") + option) != std::string::npos) << result.err;
			EXPECT_EQ(0u, result.err.rfind("zbk: " + command.first + ": ", 0)) << result.err;
		}

		Result commandHelp = Zbk({ String::FromUTF8(command.first.c_str()), "--help" });

		EXPECT_EQ(0, commandHelp.code);
		EXPECT_EQ(help.out, commandHelp.out);
		EXPECT_NE(std::string::npos, help.out.find("\n  " + command.first + " ARCHIVE")) << command.first;
	}
}
