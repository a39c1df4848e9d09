#include "zbk_tool.h"
#include "extract_guard.h"

#include <archive.h>
#include <ordered_jobs.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace
{
	using namespace smooth;
	using namespace ZBK::Tool;

	const char *UsageText =
		"usage: zbk create ARCHIVE [-C DIR] [--jobs N] PATH...\n"
		"       zbk list ARCHIVE\n"
		"       zbk test ARCHIVE\n"
		"       zbk extract ARCHIVE [-C DIR] [NAME...]\n"
		"       zbk add ARCHIVE [--as NAME] PATH\n"
		"       zbk remove ARCHIVE NAME...\n"
		"       zbk --help\n";

	const char *HelpText =
		"zbk builds, lists, tests, extracts and changes ZBK package archives.\n"
		"\n"
		"  create ARCHIVE [-C DIR] [--jobs N] PATH...\n"
		"      Writes a new archive (replacing ARCHIVE) of the files and folders\n"
		"      named, folders with everything below them. PATHs are relative to DIR\n"
		"      when -C is given; entry names are those relative paths with '/'.\n"
		"      Entries are stored in sorted order, so the same input always gives\n"
		"      the same archive. Large inputs are split into several chunks\n"
		"      (a new one after 32 MiB of files or 500 entries), which N threads\n"
		"      compress at once (default: one per processor); the archive is the\n"
		"      same for every N.\n"
		"  list ARCHIVE\n"
		"      Prints size, chunk number and name of every entry.\n"
		"  test ARCHIVE\n"
		"      Decompresses every chunk and checks it against its table.\n"
		"  extract ARCHIVE [-C DIR] [NAME...]\n"
		"      Extracts every entry, or the NAMEd entries and everything below\n"
		"      NAMEd folders, into DIR (default: the current folder). Unsafe\n"
		"      names and symbolic links on the way are refused.\n"
		"  add ARCHIVE [--as NAME] PATH\n"
		"      Appends one chunk holding PATH (a folder with its contents) under\n"
		"      NAME, or under PATH itself when it is a relative path.\n"
		"  remove ARCHIVE NAME...\n"
		"      Removes the NAMEd entries (folders with everything below them) and\n"
		"      rewrites the archive.\n"
		"\n"
		"Exit status: 0 success, 1 failure, 2 wrong command line.\n";

	std::string UTF8(const String &text)	{ return text.ToUTF8(); }

	// One error line; returns ExitFailure so callers can return it directly.
	int Fail(Console &console, const String &file, const String &cause)
	{
		console.err("zbk: " + UTF8(file) + ": " + UTF8(cause) + "\n");

		return ExitFailure;
	}

	int Usage(Console &console, const String &problem)
	{
		console.err("zbk: " + UTF8(problem) + "\n" + UsageText);

		return ExitUsage;
	}

	// The reason the platform gave for the last failed call.
	String LastCause(Int code)
	{
		if (code == 0) return "unknown error";

		return System::System::GetErrorText(code);
	}

	// Entry names and paths typed on the command line end with either
	// separator; paths on disk are joined with the system's own.
	using Path::EndsWithSeparator;
	using Path::Join;

	// The archive module's cause, with the system's reason where it has one.
	String Cause(ZBK::Status status, Int systemError)
	{
		String text = ZBK::StatusText(status);

		if (systemError != 0) text.Append(" (").Append(LastCause(systemError)).Append(")");

		return text;
	}

	// A path given on the command line as an entry name: '/' separators, no
	// empty or "." components. false when it leaves the folder it is
	// relative to (absolute, drive letter, "..").
	bool RelativeName(const String &path, String &name)
	{
		std::wstring text = path.WideString();

		std::replace(text.begin(), text.end(), L'\\', L'/');

		if (!text.empty() && text[0] == L'/') return false;
		if (text.size() >= 2 && text[1] == L':') return false;

		std::wstring result;
		size_t	     start = 0;

		while (start <= text.size())
		{
			size_t	     end       = text.find(L'/', start);
			if (end == std::wstring::npos) end = text.size();
			std::wstring component = text.substr(start, end - start);

			if (component == L"..") return false;

			if (!component.empty() && component != L".")
			{
				if (!result.empty()) result += L'/';
				result += component;
			}

			start = end + 1;
		}

		name = String(result);

		return true;
	}

	// Parsed command line of one command.
	struct CommandLine
	{
		String			 command;
		std::vector<String>	 positional;
		String			 folder;		// -C
		bool			 haveFolder = false;
		String			 as;			// --as
		bool			 haveAs = false;
		Int			 jobs = 0;		// --jobs; 0 when not given
		bool			 help = false;
	};

	// false (after printing the usage) on an unknown option or one without
	// its argument. allowed lists the options the command takes.
	bool Parse(const std::vector<String> &arguments, const std::vector<String> &allowed, CommandLine &line, Console &console, int &exitCode)
	{
		bool options = true;

		for (size_t i = 1; i < arguments.size(); i++)
		{
			const String &argument = arguments[i];

			if (options && (argument == "--help" || argument == "-h")) { line.help = true; continue; }
			if (options && argument == "--") { options = false; continue; }

			if (options && argument.Length() > 1 && argument[0] == L'-')
			{
				bool known = std::find(allowed.begin(), allowed.end(), argument) != allowed.end();

				if (!known)			{ exitCode = Usage(console, String(line.command).Append(": unknown option ").Append(argument)); return false; }
				if (i + 1 >= arguments.size())	{ exitCode = Usage(console, String(line.command).Append(": ").Append(argument).Append(" needs a value")); return false; }

				if (argument == "-C")		{ line.folder = arguments[++i]; line.haveFolder = true; }
				else if (argument == "--jobs")
				{
					const String &value = arguments[++i];
					std::string   digits = value.ToUTF8();

					// Digits only, 1 to 9999: a count of threads, not a number the
					// platform may read partly or as something else.
					if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos || atoi(digits.c_str()) < 1)
					{
						exitCode = Usage(console, String(line.command).Append(": --jobs needs a whole number from 1 to 9999, not \"").Append(value).Append("\""));

						return false;
					}

					line.jobs = atoi(digits.c_str());
				}
				else				{ line.as     = arguments[++i]; line.haveAs	= true; }

				continue;
			}

			line.positional.push_back(argument);
		}

		return true;
	}

	// Opens an existing archive for a command; prints the error and returns
	// false when it is not one we can work on. A file without the magic opens
	// as an empty archive, but no command has any use for it.
	bool OpenArchive(Console &console, const String &path, ZBK::Archive &archive, bool forWriting)
	{
		if (!archive.Open(path) || archive.GetLastStatus() != ZBK::Status::Ok)
		{
			Fail(console, path, Cause(archive.GetLastStatus(), archive.GetLastSystemError()));

			return false;
		}

		if (forWriting && archive.IsReadOnly())
		{
			Fail(console, path, ZBK::StatusText(ZBK::Status::ReadOnly));

			return false;
		}

		return true;
	}

	// Describes what is wrong with the archive's chunk structure, or returns
	// an empty text: a chunk whose payload cannot match its table, or bytes
	// after the last chunk that the walk could not read as a chunk.
	String StructureProblem(const ZBK::Archive &archive, const String &path)
	{
		Int chunks = archive.GetNumberOfChunks();

		for (Int i = 1; i <= chunks; i++)
		{
			if (archive.GetChunk(i)->IsDamaged()) return String("chunk ").Append(String::FromInt(i)).Append(" is damaged (its payload does not match its table)");
		}

		Int64 end  = 3;
		Int64 size = File(path).GetFileSize();

		if (chunks > 0) end = archive.GetChunk(chunks)->GetPayloadOffset() + archive.GetChunk(chunks)->GetCompressedSize();

		// One stray byte after the last chunk is tolerated by every reader.
		if (end < size - 1 && chunks == 0) return "damaged: what follows the magic is not a valid chunk";
		if (end < size - 1)		   return String("damaged after chunk ").Append(String::FromInt(chunks)).Append(": the rest of the file is not a valid chunk");

		return String();
	}

	// Routes an archive's progress to whatever step is running now.
	struct ProgressRoute
	{
		std::function<void(Int)> sink;

		void Attach(ZBK::Archive &archive)
		{
			archive.onProgress.Connect(std::function<void(Int)>([this](Int value) { if (sink) sink(value); }));
		}
	};

	// One file or folder to add. Large trees have many thousands of these,
	// so only the UTF-8 name is kept; the source path is rebuilt from the
	// command-line path it came from (see Inputs::SourceOf).
	struct Input
	{
		std::string	 name;		// '/' separators; also the sort key
		Int64		 size = 0;
		uint32_t	 root = 0;
		bool		 folder = false;
	};

	struct Inputs
	{
		// A command-line path: where it is and the name it has (empty for
		// "." standing for a folder's contents).
		struct Root
		{
			String		 base;
			std::string	 stem;
		};

		std::vector<Root>	 roots;
		std::vector<Input>	 list;

		String SourceOf(const Input &input) const
		{
			const Root &root = roots[input.root];

			if (root.stem.empty()) return Join(root.base, String::FromUTF8(input.name));

			return String(root.base).Append(String::FromUTF8(input.name.substr(root.stem.size())));
		}

		Int64 SumSizes(size_t first, size_t last) const
		{
			Int64 total = 0;

			for (size_t i = first; i < last; i++) total += list[i].size;

			return total;
		}
	};

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

	// Adds the file or folder at source under name (empty: only the folder's
	// contents, at the top). false after printing why when source is missing.
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

	// Sorts by name bytes, drops repeats (a file named twice on the command
	// line, or inside a folder that is named too) and checks every name.
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

	// After a failed write: names the first source that cannot be read in
	// full, or else the archive and the platform's reason.
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

		return Fail(console, archivePath, String("cannot write (").Append(LastCause(code)).Append(")"));
	}

	// Appends the chunks of the archive file at path (everything after its
	// magic) to output.
	bool AppendChunks(const String &path, IO::OutStream &output)
	{
		IO::InStream	  input(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
		std::vector<char> block(131072);

		if (input.GetLastError() != IO::IO_ERROR_OK || input.Seek(3) != Success()) return false;

		for (;;)
		{
			Int got = input.InputData(block.data(), Int(block.size()));

			if (got < 0) return false;
			if (got == 0) return true;
			if (output.OutputData(block.data(), got) != Success()) return false;
		}
	}

	// The entries a list of names selects: each name itself and, for a
	// folder, everything below it. Prints the names that select nothing.
	bool Select(Console &console, const ZBK::Archive &archive, const String &archivePath, const std::vector<String> &wanted, std::vector<Int> &selected)
	{
		Int			 count = archive.GetNumberOfFiles();
		std::vector<bool>	 chosen(count, false);
		bool			 ok    = true;

		for (const String &want : wanted)
		{
			String name   = ZBK::NormaliseName(want);
			String folder = EndsWithSeparator(name) ? name : String(name).Append("/");
			bool   found  = false;

			for (Int n = 0; n < count; n++)
			{
				String entry = archive.GetFileName(n);

				if (entry == name || entry.StartsWith(folder)) { chosen[n] = true; found = true; }
			}

			if (!found) { Fail(console, archivePath, String("\"").Append(want).Append("\" is not in the archive")); ok = false; }
		}

		for (Int n = 0; n < count; n++) if (chosen[n]) selected.push_back(n);

		return ok;
	}

	// Threads that compress at once: --jobs, else the settings, else one
	// per processor (the standard library may not know: then one).
	Int JobCount(const CommandLine &line, const Settings &settings)
	{
		if (line.jobs > 0)	return line.jobs;
		if (settings.jobs > 0)	return settings.jobs;

		unsigned int processors = std::thread::hardware_concurrency();

		return processors > 0 ? Int(processors) : 1;
	}

	int Create(const CommandLine &line, Console &console, const Settings &settings)
	{
		if (line.positional.size() < 2) return Usage(console, "create: needs an archive and at least one path");

		const String &archivePath = line.positional[0];
		Inputs	      inputs;
		bool	      ok	  = true;

		for (size_t i = 1; i < line.positional.size(); i++)
		{
			const String &path = line.positional[i];
			String	      name;

			if (!RelativeName(path, name)) { Fail(console, path, "not a relative path below the input folder (use -C)"); ok = false; continue; }

			// "." (or "DIR/.") stands for the folder's contents, without an entry of its own.
			String source = line.haveFolder ? Join(line.folder, path) : path;

			if (name == 0) source = line.haveFolder ? line.folder : String(".");

			if (!Gather(console, source, name, inputs)) ok = false;
		}

		if (!ok || !Prepare(console, inputs)) return ExitFailure;

		const std::vector<Input> &list = inputs.list;
		std::vector<Int64>	  sizes;

		for (const Input &input : list) sizes.push_back(input.size);

		std::vector<size_t> starts = ChunkStarts(sizes, settings);

		// The archive is built under a name of its own beside the target and
		// moved into place at the end, so a failed create leaves any old
		// archive as it was. Each chunk is compressed by an archive object of
		// its own into a chunk file, several at once, and the chunk files are
		// copied on strictly in their order: the chunks were cut above without
		// regard to the number of jobs, so the bytes are the same for any.
		// Memory holds one chunk's table and one compressor per job; finished
		// chunk files wait on disk, a bounded number of them (OrderedJobs).
		String	      stem	= String(archivePath).Append(".").Append(String::FromInt(System::System::GetProcessID()));
		String	      partPath	= String(stem).Append(".part");
		IO::OutStream part(IO::STREAM_FILE, partPath, IO::OS_REPLACE);
		size_t	      count	= starts.size() - 1;
		ProgressBar   bar(console, "create", inputs.SumSizes(0, list.size()));

		auto chunkPath = [&](size_t c) { return String(stem).Append(".").Append(String::FromInt(Int(c))).Append(".chunk"); };

		auto cannotWrite = [&]() {
			Int code = System::System::GetLastErrorCode();

			bar.Finish();
			part.Close();
			File(partPath).Delete();

			return Fail(console, archivePath, String("cannot write (").Append(LastCause(code)).Append(")"));
		};

		if (part.GetLastError() != IO::IO_ERROR_OK || part.OutputData("ZBK", 3) != Success()) return cannotWrite();

		// What each job tells the calling thread. progress is written by its
		// worker while the job runs and read for the bar at any time; the rest
		// is read only after the run, when every worker has ended.
		struct Job
		{
			Int64		 bytes = 0;
			std::atomic<Int> progress { 0 };	// thousandths
			bool		 addFailed = false;
			size_t		 failedEntry = 0;
			Int		 systemError = 0;	// the worker's own last error
		};

		std::vector<Job>  jobs(count);
		Int64		  before = 0;		// input bytes of the chunks taken
		size_t		  takenChunks = 0;
		Int		  appendError = 0;
		ZBK::OrderedJobs  runner(count, JobCount(line, settings));

		for (size_t c = 0; c < count; c++) jobs[c].bytes = inputs.SumSizes(starts[c], starts[c + 1]);

		auto work = [&](size_t c) {
			Job	     &job = jobs[c];
			ZBK::Archive  archive;
			ProgressRoute route;

			route.Attach(archive);
			route.sink = [&](Int value) { job.progress = value; runner.Notify(); };

			for (size_t i = starts[c]; i < starts[c + 1]; i++)
			{
				if (!archive.AddFile(inputs.SourceOf(list[i]), String::FromUTF8(list[i].name))) { job.addFailed = true; job.failedEntry = i; return false; }
			}

			if (archive.Write(chunkPath(c))) return true;

			job.systemError = System::System::GetLastErrorCode();

			return false;
		};

		auto take = [&](size_t c) {
			bool good = AppendChunks(chunkPath(c), part);

			if (!good) appendError = System::System::GetLastErrorCode();

			File(chunkPath(c)).Delete();

			before += jobs[c].bytes;
			takenChunks = c + 1;

			return good;
		};

		auto drop = [&](size_t c) { File(chunkPath(c)).Delete(); };

		// The chunks being compressed count with their own progress; each
		// one's rises, so the sum never falls.
		auto show = [&]() {
			Int64 done = before;

			for (size_t c = takenChunks; c < count && c < takenChunks + runner.GetWindow(); c++) done += jobs[c].bytes * jobs[c].progress / 1000;

			bar.Update(done);
		};

		size_t failed = runner.Run(work, take, drop, show);

		if (failed < count)
		{
			bar.Finish();
			part.Close();
			File(partPath).Delete();

			const Job &job = jobs[failed];

			if (takenChunks > failed)	 return Fail(console, archivePath, String("cannot write (").Append(LastCause(appendError)).Append(")"));
			if (job.addFailed)		 return Fail(console, inputs.SourceOf(list[job.failedEntry]), String("cannot add \"").Append(String::FromUTF8(list[job.failedEntry].name)).Append("\""));

			return ExplainWriteFailure(console, archivePath, inputs, starts[failed], starts[failed + 1], job.systemError);
		}

		if (part.Close() != Success()) return cannotWrite();

		bar.Finish();

		if (File(partPath).Replace(File(archivePath)) != Success()) return cannotWrite();

		return ExitOK;
	}

	int List(const CommandLine &line, Console &console)
	{
		if (line.positional.size() != 1) return Usage(console, "list: needs exactly one archive");

		const String &archivePath = line.positional[0];
		ZBK::Archive  archive;

		if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

		std::string text;

		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			char numbers[64];

			snprintf(numbers, sizeof(numbers), "%12lld %5d  ", (long long) archive.GetFileSize(n), (int) archive.GetChunkNumber(n));

			text.append(numbers).append(UTF8(archive.GetFileName(n))).append("\n");

			if (text.size() > 65536) { console.out(text); text.clear(); }
		}

		console.out(text);

		String problem = StructureProblem(archive, archivePath);

		if (problem != 0) return Fail(console, archivePath, problem);

		return ExitOK;
	}

	int Test(const CommandLine &line, Console &console)
	{
		if (line.positional.size() != 1) return Usage(console, "test: needs exactly one archive");

		const String &archivePath = line.positional[0];
		ZBK::Archive  archive;

		if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

		Int   chunks = archive.GetNumberOfChunks();
		Int64 total  = 0;
		Int64 before = 0;

		for (Int i = 1; i <= chunks; i++) total += archive.GetChunk(i)->GetTotalSize();

		ProgressBar bar(console, "test", total);

		for (Int i = 1; i <= chunks; i++)
		{
			if (archive.GetChunk(i)->Verify([&](Int64 done) { bar.Update(before + done); }) != ZBK::Status::Ok)
			{
				bar.Finish();

				return Fail(console, archivePath, String("chunk ").Append(String::FromInt(i)).Append(" is damaged (its payload does not decode to the sizes of its table)"));
			}

			before += archive.GetChunk(i)->GetTotalSize();
		}

		bar.Finish();

		String problem = StructureProblem(archive, archivePath);

		if (problem != 0) return Fail(console, archivePath, problem);

		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			if (!ZBK::IsSafeName(archive.GetFileName(n))) return Fail(console, archivePath, String("entry \"").Append(archive.GetFileName(n)).Append("\" has an unsafe name"));
		}

		console.out(UTF8(archivePath) + ": " + std::to_string(archive.GetNumberOfFiles()) + " entries in " + std::to_string(chunks) + " chunks, all intact\n");

		return ExitOK;
	}

	int Extract(const CommandLine &line, Console &console)
	{
		if (line.positional.empty()) return Usage(console, "extract: needs an archive");

		const String &archivePath = line.positional[0];
		String	      folder	  = line.haveFolder ? line.folder : String(".");
		ZBK::Archive  archive;

		if (!OpenArchive(console, archivePath, archive, false)) return ExitFailure;

		std::vector<Int> selected;

		if (line.positional.size() > 1)
		{
			std::vector<String> wanted(line.positional.begin() + 1, line.positional.end());

			if (!Select(console, archive, archivePath, wanted, selected)) return ExitFailure;
		}
		else
		{
			for (Int n = 0; n < archive.GetNumberOfFiles(); n++) selected.push_back(n);
		}

		// Every name is checked before anything is written: an archive with
		// one hostile name is refused as a whole.
		bool safe = true;

		for (Int n : selected)
		{
			if (!ZBK::IsSafeName(archive.GetFileName(n))) { Fail(console, archivePath, String("entry \"").Append(archive.GetFileName(n)).Append("\" has an unsafe name; nothing extracted")); safe = false; }
		}

		if (!safe) return ExitFailure;

		if (Directory(folder).Create() != Success()) return Fail(console, folder, String("cannot create the folder (").Append(LastCause(System::System::GetLastErrorCode())).Append(")"));

		// Progress units: the first entry taken from a chunk decompresses the
		// whole chunk; later ones copy their own bytes from the cache.
		std::unordered_set<Int> touched;
		Int64			total = 0;

		for (Int n : selected)
		{
			Int chunk = archive.GetChunkNumber(n);

			if (EndsWithSeparator(archive.GetFileName(n))) continue;

			if (touched.insert(chunk).second && archive.GetChunk(chunk) != nullptr) total += archive.GetChunk(chunk)->GetTotalSize();
			else									total += archive.GetFileSize(n);
		}

		ProgressBar		bar(console, "extract", total);
		ProgressRoute		route;
		Int64			before = 0;
		std::unordered_set<Int> decoded;
		std::unordered_set<Int> damaged;
		std::unordered_set<std::wstring> reportedLinks;
		bool			ok     = true;

		route.Attach(archive);

		for (Int n : selected)
		{
			String name	= archive.GetFileName(n);
			Int    chunk	= archive.GetChunkNumber(n);
			bool   isFolder = EndsWithSeparator(name);
			ZBK::Chunk *owner = archive.GetChunk(chunk);
			Int64  units	= isFolder ? 0 : (decoded.count(chunk) || owner == nullptr ? archive.GetFileSize(n) : owner->GetTotalSize());
			String target	= Join(folder, name);
			String link;

			if (damaged.count(chunk)) continue;

			if (FindLinkOnPath(folder, name, link))
			{
				// One line per link, however many entries lie below it.
				bar.Finish();

				if (reportedLinks.insert(link.WideString()).second) Fail(console, link, "is a symbolic link; not writing through it");

				ok = false;

				continue;
			}

			route.sink = [&](Int value) { bar.Update(before + units * value / 1000); };

			if (!archive.ExtractFile(name, target))
			{
				ZBK::Status status = archive.GetLastStatus();

				route.sink = nullptr;
				bar.Finish();

				if (status == ZBK::Status::Damaged)
				{
					damaged.insert(chunk);
					Fail(console, archivePath, String("chunk ").Append(String::FromInt(chunk)).Append(" is damaged; its entries cannot be extracted"));
				}
				else if (status == ZBK::Status::WriteRefused || status == ZBK::Status::DiskFull)
				{
					// The system's own text names the cause ("No space left on
					// device", "File too large"), so it stands for both.
					Fail(console, target, String("cannot write (").Append(LastCause(archive.GetLastSystemError())).Append(")"));
				}
				else
				{
					Fail(console, archivePath, String("\"").Append(name).Append("\": ").Append(Cause(status, archive.GetLastSystemError())));
				}

				ok = false;
			}

			if (!isFolder) decoded.insert(chunk);

			before += units;
		}

		bar.Finish();

		return ok ? ExitOK : ExitFailure;
	}

	int Add(const CommandLine &line, Console &console)
	{
		if (line.positional.size() != 2) return Usage(console, "add: needs an archive and one path");

		const String &archivePath = line.positional[0];
		const String &path	  = line.positional[1];
		String	      name;

		if (!RelativeName(line.haveAs ? line.as : path, name) || name == 0)
		{
			if (line.haveAs) return Fail(console, line.as, "not a safe entry name");

			return Fail(console, path, "not a relative path; give its name in the archive with --as");
		}

		ZBK::Archive archive;

		if (!OpenArchive(console, archivePath, archive, true)) return ExitFailure;

		Inputs inputs;

		if (!Gather(console, path, name, inputs) || !Prepare(console, inputs)) return ExitFailure;

		// Which of the new names are listed already. A folder that is listed
		// only gains new entries below it; a file may not be added twice.
		std::unordered_map<std::string, size_t> wanted;
		std::vector<bool>			 listed(inputs.list.size(), false);
		bool					 ok = true;

		for (size_t i = 0; i < inputs.list.size(); i++) wanted[inputs.list[i].name] = i;

		for (Int n = 0; n < archive.GetNumberOfFiles(); n++)
		{
			auto found = wanted.find(archive.GetFileName(n).ToUTF8());

			if (found != wanted.end()) listed[found->second] = true;
		}

		Inputs fresh;

		fresh.roots = inputs.roots;

		for (size_t i = 0; i < inputs.list.size(); i++)
		{
			const Input &input = inputs.list[i];

			if (!listed[i])		{ fresh.list.push_back(input); continue; }
			if (input.folder)	continue;

			Fail(console, archivePath, String("\"").Append(String::FromUTF8(input.name)).Append("\" is already in the archive"));
			ok = false;
		}

		if (!ok) return ExitFailure;
		if (fresh.list.empty()) return ExitOK;

		ProgressRoute route;
		Int64	      total = fresh.SumSizes(0, fresh.list.size());
		ProgressBar   bar(console, "add", total);

		route.Attach(archive);
		route.sink = [&](Int value) { bar.Update(total * value / 1000); };

		for (const Input &input : fresh.list)
		{
			String source = fresh.SourceOf(input);

			if (!archive.AddFile(source, String::FromUTF8(input.name))) return Fail(console, source, String("cannot add \"").Append(String::FromUTF8(input.name)).Append("\""));
		}

		if (!archive.Write(String()))
		{
			Int code = System::System::GetLastErrorCode();

			bar.Finish();

			return ExplainWriteFailure(console, archivePath, fresh, 0, fresh.list.size(), code);
		}

		bar.Finish();

		return ExitOK;
	}

	int Remove(const CommandLine &line, Console &console)
	{
		if (line.positional.size() < 2) return Usage(console, "remove: needs an archive and at least one name");

		const String &archivePath = line.positional[0];
		ZBK::Archive  archive;

		if (!OpenArchive(console, archivePath, archive, true)) return ExitFailure;

		std::vector<String> wanted(line.positional.begin() + 1, line.positional.end());
		std::vector<Int>    selected;

		if (!Select(console, archive, archivePath, wanted, selected)) return ExitFailure;

		std::vector<String> names;
		std::vector<Int>    changed;	// chunks that lose entries: they are decoded

		for (Int n : selected)
		{
			names.push_back(archive.GetFileName(n));

			if (std::find(changed.begin(), changed.end(), archive.GetChunkNumber(n)) == changed.end()) changed.push_back(archive.GetChunkNumber(n));
		}

		for (const String &name : names)
		{
			if (!archive.RemoveFile(name)) return Fail(console, archivePath, String("cannot remove \"").Append(name).Append("\""));
		}

		Int64	      total = File(archivePath).GetFileSize();
		ProgressRoute route;
		ProgressBar   bar(console, "remove", total);

		route.Attach(archive);
		route.sink = [&](Int value) { bar.Update(total * value / 1000); };

		if (!archive.Write(String()))
		{
			Int code = System::System::GetLastErrorCode();

			bar.Finish();

			String problem = StructureProblem(archive, archivePath);

			if (problem != 0) return Fail(console, archivePath, String("cannot rewrite: ").Append(problem));

			for (Int chunk : changed)
			{
				ZBK::Chunk *owner = archive.GetChunk(chunk);

				if (owner != nullptr && owner->Verify() == ZBK::Status::Damaged) return Fail(console, archivePath, String("cannot rewrite: chunk ").Append(String::FromInt(chunk)).Append(" is damaged; the archive is unchanged"));
			}

			return Fail(console, archivePath, String("cannot write (").Append(LastCause(code)).Append("); the archive is unchanged"));
		}

		bar.Finish();

		return ExitOK;
	}
}

namespace ZBK
{
	namespace Tool
	{
		int Run(const std::vector<String> &arguments, Console &console, const Settings &settings)
		{
			if (arguments.empty()) return Usage(console, "no command given");

			const String &command = arguments[0];

			if (command == "--help" || command == "-h" || command == "help")
			{
				console.out(std::string(UsageText) + "\n" + HelpText);

				return ExitOK;
			}

			std::vector<String> allowed;

			if	(command == "create")				allowed = { "-C", "--jobs" };
			else if (command == "extract")				allowed = { "-C" };
			else if (command == "add")				allowed = { "--as" };
			else if (command != "list" && command != "test" && command != "remove") return Usage(console, String("unknown command ").Append(command));

			CommandLine line;
			int	    exitCode = ExitUsage;

			line.command = command;

			if (!Parse(arguments, allowed, line, console, exitCode)) return exitCode;

			if (line.help)
			{
				console.out(std::string(UsageText) + "\n" + HelpText);

				return ExitOK;
			}

			if (command == "create")  return Create(line, console, settings);
			if (command == "list")	  return List(line, console);
			if (command == "test")	  return Test(line, console);
			if (command == "extract") return Extract(line, console);
			if (command == "add")	  return Add(line, console);

			return Remove(line, console);
		}

		std::vector<size_t> ChunkStarts(const std::vector<Int64> &sizes, const Settings &settings)
		{
			std::vector<size_t> starts  = { 0 };
			Int64		    inChunk = 0;

			for (size_t i = 0; i < sizes.size(); i++)
			{
				// A chunk's total is a signed 32-bit number in the format: a large
				// file that would carry it past that starts a chunk of its own.
				bool full = inChunk >= settings.chunkBytes || Int64(i - starts.back()) >= settings.chunkEntries || inChunk + sizes[i] > ZBK::MaxFormatValue;

				if (full && i > starts.back()) { starts.push_back(i); inChunk = 0; }

				inChunk += sizes[i];
			}

			starts.push_back(sizes.size());

			return starts;
		}

		ProgressBar::ProgressBar(Console &console, const String &label, Int64 total) : console(console), label(label.ToUTF8()), total(total)
		{
		}

		ProgressBar::~ProgressBar()
		{
			Finish();
		}

		void ProgressBar::Update(Int64 done)
		{
			if (!console.progress || total <= 0) return;

			if (done < 0)	  done = 0;
			if (done > total) done = total;

			int percent = int(done * 100 / total);

			if (percent <= shown) return;

			shown = percent;

			const int   width = 30;
			int	    full  = percent * width / 100;
			std::string line  = "\r" + label + " [" + std::string(full, '#') + std::string(width - full, '.') + "] ";
			char	    number[16];

			snprintf(number, sizeof(number), "%3d%%", percent);

			console.err(line + number);
			drawn = true;
		}

		void ProgressBar::Finish()
		{
			if (!drawn) return;

			console.err("\r" + std::string(label.size() + 40, ' ') + "\r");
			drawn = false;
		}
	}
}
