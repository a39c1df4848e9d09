// `zbk create ARCHIVE [-C DIR] [--jobs N] PATH...`
#include "command_line.h"
#include "folder_walk.h"
#include "tool_internal.h"

#include <ordered_jobs.h>

#include <atomic>
#include <thread>

using namespace smooth;

using Path::Join;

namespace
{
	using namespace ZBK::Tool;

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

	// Threads that compress at once: --jobs, else the settings, else one
	// per processor (the standard library may not know: then one).
	Int JobCount(const CommandLine &line, const Settings &settings)
	{
		if (line.jobs > 0)	return line.jobs;
		if (settings.jobs > 0)	return settings.jobs;

		unsigned int processors = std::thread::hardware_concurrency();

		return processors > 0 ? Int(processors) : 1;
	}
}

namespace ZBK
{
	namespace Tool
	{
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

		int RunCreate(const CommandLine &line, Console &console, const Settings &settings)
		{
			if (line.positional.size() < 2) return UsageError(console, "create: needs an archive and at least one path");

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

			// Every failure ends the bar's line and leaves no part file behind.
			auto discard = [&]() {
				bar.Finish();
				part.Close();
				File(partPath).Delete();
			};

			auto cannotWrite = [&]() {
				Int code = System::System::GetLastErrorCode();

				discard();

				return Fail(console, archivePath, CannotWrite(code));
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

				if (!AddInputs(archive, inputs, starts[c], starts[c + 1], job.failedEntry)) { job.addFailed = true; return false; }

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
				discard();

				const Job &job = jobs[failed];

				if (takenChunks > failed)	 return Fail(console, archivePath, CannotWrite(appendError));
				if (job.addFailed)		 return FailToAdd(console, inputs, job.failedEntry);

				return ExplainWriteFailure(console, archivePath, inputs, starts[failed], starts[failed + 1], job.systemError);
			}

			if (part.Close() != Success()) return cannotWrite();

			bar.Finish();

			if (File(partPath).Replace(File(archivePath)) != Success()) return cannotWrite();

			return ExitOK;
		}
	}
}
