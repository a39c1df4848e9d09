// What the engine's tests share: a recording fake of the system interface
// (special folders inside a scratch folder, shortcuts written as small text
// files), recording progress bars, and a reader of saved uninstall scripts.
#pragma once

#include "install_run.h"
#include "test_support.h"

#include <map>
#include <string>
#include <vector>

namespace EngineTest
{
	using smooth::String;

	// Test double of the Windows system: every special folder is a folder
	// below the scratch root named after its number; shortcuts are files
	// holding "target|working folder".
	class RecordingSystem : public Tolvane::SystemInterface
	{
		public:
			explicit		 RecordingSystem(const String &root);

			smooth::Int		 platformId = Tolvane::PLATFORM_NT;
			std::map<smooth::Int, String> folders;		// the special folders it knows
			std::vector<smooth::Int> asked;			// folders asked for, in order
			std::vector<std::string> links;			// "link|target|working folder"
			std::map<std::string, Tolvane::UninstallEntry> entries;	// the list of installed programs

			smooth::Int	 GetPlatformId() override	{ return platformId; }
			bool		 GetSpecialFolder(smooth::Int folder, String &path) override;
			String		 GetProgramFilesFolder() override	{ return "C:\\Program Files\\"; }
			String		 CreateShellLink(const String &target, const String &link, const String &workingFolder) override;
			String		 WriteUninstallEntry(const String &key, const Tolvane::UninstallEntry &entry) override { entries[key.ToUTF8()] = entry; return String(); }
			bool		 DeleteUninstallEntry(const String &key) override { return entries.erase(key.ToUTF8()) == 1; }
			// The entries as the registry would hold them: their text values.
			bool		 ReadUninstallEntry(const String &key, Tolvane::RegistrySnapshot &snapshot) override;
			bool		 RestoreUninstallEntry(const String &key, const Tolvane::RegistrySnapshot &snapshot) override;
	};

	class RecordingBar : public Tolvane::ProgressBar
	{
		public:
			std::vector<smooth::Int> values;

			void		 SetValue(smooth::Int percent) override	{ values.push_back(percent); }
	};

	// The saved script's children as "element path" lines, in document order.
	std::vector<std::string>	 ScriptEntries(const String &fileName);

	// Writes an archive at path whose entries are name -> content (a name
	// ending with '/' is a folder entry), using the archive module's writer.
	void		 WriteArchive(const String &path, const std::vector<std::pair<std::string, std::string> > &entries);
	// Writes the same by hand, so that names the writer refuses can be stored.
	void		 WriteRawArchive(const String &path, const std::vector<std::pair<std::string, std::string> > &entries);
}
