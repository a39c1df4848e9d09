#include "files_in_use.h"

#include "command_line.h"
#include "upgrade.h"

using namespace smooth;

std::vector<String> Tolvane::ExistingFilesOnce(const std::vector<String> &candidates, const std::vector<String> &skipped)
{
	std::set<std::wstring>	 met;
	std::vector<String>	 files;

	for (const String &path : skipped) met.insert(PathKey(path));

	for (const String &path : candidates)
	{
		if (met.insert(PathKey(path)).second && File(path).Exists()) files.push_back(path);
	}

	return files;
}

std::set<std::wstring> Tolvane::InUseKeys(const std::vector<FileInUse> &uses)
{
	std::set<std::wstring>	 keys;

	for (const FileInUse &use : uses) keys.insert(PathKey(use.path));

	return keys;
}

String Tolvane::DescribeFilesInUse(const std::vector<FileInUse> &uses, Int shown)
{
	std::vector<String>		 programs;
	std::vector<std::vector<String>> files;

	for (const FileInUse &use : uses)
	{
		String	 program = use.program != 0 ? use.program : String("Unknown program");
		size_t	 p	 = 0;

		while (p < programs.size() && programs[p] != program) p++;

		if (p == programs.size()) { programs.push_back(program); files.emplace_back(); }

		files[p].push_back(use.path);
	}

	String	 text;

	for (size_t p = 0; p < programs.size(); p++)
	{
		if (p > 0) text.Append("\n");

		text.Append(programs[p]).Append(":");

		for (size_t f = 0; f < files[p].size() && f < size_t(shown); f++) text.Append(f == 0 ? " " : ", ").Append(files[p][f]);

		if (files[p].size() > size_t(shown)) text.Append(" and ").Append(String::FromInt(Int64(files[p].size()) - shown)).Append(" more");
	}

	return text;
}

String Tolvane::FilesInUseQuestion(const std::vector<FileInUse> &uses, bool removal)
{
	return String("Programs that are running use files that ").Append(removal ? "the uninstaller has to remove" : "Setup has to replace or remove").Append(":\n\n")
		.Append(DescribeFilesInUse(uses)).Append("\n\nClose them and press Retry. Ignore ").Append(removal ? "removes" : "replaces")
		.Append(" those files when the computer restarts. Abort cancels the ").Append(removal ? "removal" : "installation").Append("; nothing has been changed.");
}

String Tolvane::BesideName(const String &path, const std::function<bool(const String &)> &exists)
{
	String	 name = String(path).Append(".new");

	for (Int n = 2; exists(name); n++) name = String(path).Append(".new").Append(String::FromInt(n));

	return name;
}

Int Tolvane::SilentExitCode(bool failed, bool restartNeeded)
{
	if (failed)	   return EXIT_FAILED;
	if (restartNeeded) return EXIT_RESTART;

	return EXIT_OK;
}
