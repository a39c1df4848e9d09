#include "install_run.h"

#include <archive.h>

#include <cstring>
#include <vector>

using namespace smooth;

namespace Tolvane
{
	ProgressBar *fileProgressbar = nullptr;
}

void Tolvane::UpdateFileProgress(int value)
{
	if (fileProgressbar != nullptr) fileProgressbar->SetValue(value / 10);
}

Int Tolvane::TotalAfterComponent(Int index, Int components, Int libraryCopies)
{
	return Int((index + 1) * (100.0 / (components + libraryCopies)));
}

Int Tolvane::CopyBlockSize(Int64 size)
{
	if (size <= 999999) return 10000;

	return Int(size / 100);
}

String Tolvane::DescribeFailures(const std::vector<InstallFailure> &failures, Int shown)
{
	String	 text = failures.size() == 1 ? String("One step of the installation failed:\n")
					     : String(String::FromInt(Int64(failures.size()))).Append(" steps of the installation failed:\n");

	for (size_t i = 0; i < failures.size() && i < size_t(shown); i++)
	{
		text.Append("\n").Append(failures[i].path).Append("\n    ").Append(failures[i].cause);
	}

	if (failures.size() > size_t(shown)) text.Append("\n\n... and ").Append(String::FromInt(Int64(failures.size()) - shown)).Append(" more.");

	text.Append("\n\nThe program may not work as it should. Everything that was installed is still listed for the uninstaller.");

	return text;
}

namespace
{
	// Paths are the system's own: on Windows every part is joined with '\'.
	// The portable tests run the same code with the native separator.
	String Separator()
	{
		wchar_t	 separator[2] = { System::System::PathSeparator, 0 };

		return String(separator);
	}

	String Join(const String &folder, const String &name)
	{
		return String(folder).Append(Separator()).Append(name);
	}

	String LastErrorText()
	{
		Int	 code = System::System::GetLastErrorCode();

		return code != 0 ? System::System::GetErrorText(code) : String("unknown error");
	}

	// Names of entries are read through a buffer of this many characters; a
	// longer name cannot be read and is not installed.
	const int NameBufferSize = 2048;
}

Tolvane::InstallRun::InstallRun(const Configuration &config, const InstallChoices &choices, SystemInterface &system, ProgressBar &fileBar, ProgressBar &totalBar)
	: config(config), choices(choices), system(system), fileBar(fileBar), totalBar(totalBar)
{
}

void Tolvane::InstallRun::Fail(const String &path, const String &cause)
{
	failures.push_back({ path, cause });
}

bool Tolvane::InstallRun::MakeFolder(UninstallScript &script, const String &path)
{
	if (knownFolders.count(path.WideString()) != 0) return true;

	Directory	 folder(path, String());

	if (!folder.Exists()) script.RecordDirectory(path);

	if (folder.Create() != Success() || !folder.Exists())
	{
		Fail(path, String("cannot create the folder (").Append(LastErrorText()).Append(")"));

		return false;
	}

	knownFolders.insert(path.WideString());

	return true;
}

Int Tolvane::InstallRun::Run()
{
	target = Directory(choices.targetFolder, String()).GetPath();

	Int	 components    = config.components.Length();
	Int	 libraryCopies = config.copySmoothDll ? 1 : 0;

	UninstallScript	 script(config.appName, config.appVersion);

	MakeFolder(script, target);

	for (Int i = 0; i < components; i++)
	{
		if (!choices.IsSelected(i)) continue;

		InstallComponent(script, i, components, libraryCopies);
	}

	if (libraryCopies == 1) CopyLibrary(script, components);

	CreateLinks(script);

	if (config.createLog)
	{
		for (Int i = 0; i < config.uninstallFiles.Length(); i++) script.RecordFile(Join(target, config.uninstallFiles.GetNth(i)));

		String	 folder = Join(target, "uninstall");
		String	 file	= Join(folder, "uninstall.xml");

		MakeFolder(script, folder);

		script.RecordFile(file);

		if (script.Save(file) != Success()) Fail(file, String("cannot save the uninstall script (").Append(LastErrorText()).Append(")"));
	}

	return Success();
}

void Tolvane::InstallRun::InstallComponent(UninstallScript &script, Int index, Int components, Int libraryCopies)
{
	const Component	*component = config.components.GetNth(index);
	String		 folder	   = target;

	if (component->subdir != ".")
	{
		folder = Join(target, component->subdir);

		MakeFolder(script, folder);
	}

	ZBK::Archive	*archive = ZBK::OpenArchive(component->archive.Wide());

	/* A file that is not there or not an archive opens as an archive without
	 * entries; the component then installs nothing, which the user must
	 * hear about.
	 */
	if (ZBK::GetLastStatus(archive) != ZBK::Status::Ok) Fail(component->archive, ZBK::StatusText(ZBK::GetLastStatus(archive)));

	std::vector<String>	 names;
	Int			 count = ZBK::GetNumberOfFiles(archive);
	std::vector<wchar_t>	 buffer(NameBufferSize);

	for (Int n = 0; n < count; n++)
	{
		/* A name that does not fit the buffer is not read at all: the slot
		 * stays empty and the entry is reported below, never installed under
		 * whatever the buffer held before.
		 */
		if (ZBK::GetFileName(archive, n, buffer.data(), NameBufferSize)) names.push_back(String(buffer.data()));
		else								 names.push_back(String());
	}

	fileProgressbar = &fileBar;

	ZBK::SetProgressCallback(archive, &UpdateFileProgress);

	for (Int n = 0; n < count; n++)
	{
		const String	&name = names[size_t(n)];

		if (name == 0)
		{
			Fail(String(component->archive).Append(": entry ").Append(String::FromInt(n + 1)), String("the entry's name has ").Append(String::FromInt(NameBufferSize)).Append(" characters or more; not installed"));

			continue;
		}

		/* A hostile name (absolute, a drive, "..", a device, a stream) must not
		 * become a path at all: no folder for its prefixes, nothing written.
		 */
		if (!ZBK::IsSafeName(name))
		{
			Fail(String(component->archive).Append(": ").Append(name), ZBK::StatusText(ZBK::Status::UnsafeName));

			continue;
		}

		for (Int c = 0; c < name.Length(); c++)
		{
			if (name[c] != '/' && name[c] != '\\') continue;

			String	 prefix = name.Head(c);

			for (Int p = 0; p < prefix.Length(); p++) if (prefix[p] == '/' || prefix[p] == '\\') prefix[p] = System::System::PathSeparator;

			MakeFolder(script, Join(folder, prefix));
		}

		String	 destination = Join(folder, name);

		script.RecordFile(destination);

		if (!ZBK::ExtractFile(archive, name.Wide(), destination.Wide())) Fail(destination, ZBK::StatusText(ZBK::GetLastStatus(archive)));
	}

	ZBK::CloseArchive(archive);

	totalBar.SetValue(TotalAfterComponent(index, components, libraryCopies));
}

void Tolvane::InstallRun::CopyLibrary(UninstallScript &script, Int components)
{
	fileBar.SetValue(0);

	String		 destination = Join(target, "smooth.dll");
	IO::InStream	 source(IO::STREAM_FILE, librarySource, IO::IS_READ_ONLY);
	IO::OutStream	 output(IO::STREAM_FILE, destination, IO::OS_REPLACE);
	Int64		 size = source.Size();

	script.RecordFile(destination);

	/* An unreadable source reports its size as -1: nothing may be read or
	 * written with that, and an empty copy is no copy.
	 */
	if (source.GetLastError() != IO::IO_ERROR_OK || size < 0)
	{
		Fail(librarySource, String("cannot read the platform library (").Append(LastErrorText()).Append(")"));

		return;
	}

	if (output.GetLastError() != IO::IO_ERROR_OK)
	{
		Fail(destination, String("cannot write the platform library (").Append(LastErrorText()).Append(")"));

		return;
	}

	Int			 block = CopyBlockSize(size);
	std::vector<char>	 buffer(static_cast<size_t>(block));
	double			 share = 100.0 / (components + 1);
	double			 base  = components * share;
	double			 scale = 1.0 / (components + 1);
	Int			 last  = 0;
	Int64			 remaining = size;

	while (remaining != 0)
	{
		Int	 n = Int(remaining < block ? remaining : block);

		if (source.InputData(buffer.data(), n) != n || output.OutputData(buffer.data(), n) != Success())
		{
			Fail(destination, String("cannot copy the platform library (").Append(LastErrorText()).Append(")"));

			return;
		}

		remaining -= n;

		Int	 percent = Int((size - remaining) * 100.0 / size);

		if (percent != last)
		{
			fileBar.SetValue(percent);
			totalBar.SetValue(Int(percent * scale + base));
		}

		last = percent;
	}

	if (output.Close() != Success()) Fail(destination, String("cannot write the platform library (").Append(LastErrorText()).Append(")"));
}

bool Tolvane::InstallRun::LinkAllowed(const Link &link) const
{
	for (Int i = 0; i < config.components.Length(); i++)
	{
		const Component	*component = config.components.GetNth(i);

		if (component->id != 0 && component->id == link.depends && !choices.IsSelected(i)) return false;
	}

	if (link.type == LINK_STARTMENU	  && !choices.createStartMenu)	 return false;
	if (link.type == LINK_DESKTOP	  && !choices.createDesktop)	 return false;
	if (link.type == LINK_QUICKLAUNCH && !choices.createQuickLaunch) return false;

	return link.type == LINK_STARTMENU || link.type == LINK_DESKTOP || link.type == LINK_QUICKLAUNCH;
}

String Tolvane::InstallRun::LinkFolder(const Link &link, UninstallScript &script, bool &usable)
{
	bool	 nt	= system.GetPlatformId() == PLATFORM_NT;
	Int	 which	= FOLDER_APPDATA;

	if	(link.type == LINK_STARTMENU) which = nt ? FOLDER_COMMON_PROGRAMS : FOLDER_PROGRAMS;
	else if (link.type == LINK_DESKTOP)   which = nt ? FOLDER_COMMON_DESKTOP : FOLDER_DESKTOP;

	String	 folder;

	usable = system.GetSpecialFolder(which, folder);

	if (!usable)
	{
		Fail(String("special folder ").Append(String::FromInt(which)), "the system does not know this folder; shortcut not created");

		return folder;
	}

	if (link.type == LINK_QUICKLAUNCH) folder = Join(Join(Join(folder, "Microsoft"), "Internet Explorer"), "Quick Launch");

	if (link.type == LINK_STARTMENU && config.startMenuSubdir != 0)
	{
		folder = Join(folder, config.startMenuSubdir);

		/* Whichever link is first, a group folder this run creates is
		 * recorded, so that the uninstaller takes it away again.
		 */
		usable = MakeFolder(script, folder);
	}

	return folder;
}

Int Tolvane::InstallRun::CreateLinks(UninstallScript &script)
{
	for (Int j = 0; j < config.links.Length(); j++)
	{
		const Link	*link = config.links.GetNth(j);

		if (!LinkAllowed(*link)) continue;

		bool	 usable = false;
		String	 folder = LinkFolder(*link, script, usable);

		if (!usable) continue;

		String	 title	= String(link->name).Replace("%VERSION%", config.appVersion);
		String	 path	= Join(folder, String(title).Append(".lnk"));

		/* The shell cannot save a longer path; a cut name would be a
		 * different file.
		 */
		if (path.Length() > MAX_LINK_PATH)
		{
			Fail(path, String("the shortcut's path is longer than ").Append(String::FromInt(MAX_LINK_PATH)).Append(" characters; not created"));

			continue;
		}

		script.RecordFile(path);

		String	 cause = system.CreateShellLink(Join(target, link->file), path, target);

		if (cause != 0) Fail(path, cause);
	}

	return Success();
}
