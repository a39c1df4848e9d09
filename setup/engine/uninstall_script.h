// The uninstall script: the list of every folder the installation created
// and every file it wrote, saved as <target>\uninstall\uninstall.xml by the
// installer and applied backwards by the uninstaller.
//
// Root element "UninstallScript"; its children carry their value as text:
// "application" and "version" first, then "directory" and "file" entries in
// the order they were recorded. Readers skip every other element, so newer
// writers may add elements of their own.
#pragma once

#include <smooth.h>

#include <string>
#include <vector>

namespace Tolvane
{
	class UninstallScript
	{
		public:
			// A new script whose first two entries are the application's name
			// and version.
					 UninstallScript(const smooth::String &application, const smooth::String &version);
					~UninstallScript();
			UninstallScript(const UninstallScript &) = delete;
			UninstallScript &operator =(const UninstallScript &) = delete;

			// Appends a "directory" entry (a folder the run created) or a "file"
			// entry (a file it writes or makes the uninstaller responsible for).
			void		 RecordDirectory(const smooth::String &path);
			void		 RecordFile(const smooth::String &path);
			// Appends a "registry" entry: the full path of a key the run made
			// in the machine's list of installed programs (UninstallKeyPath and
			// the entry's name).
			void		 RecordRegistryKey(const smooth::String &key);

			// The root element; entries added to it directly are saved as well.
			smooth::XML::Node *GetRootNode() const	{ return root; }

			// Writes the script to fileName (UTF-8 XML). Error() when the file
			// cannot be written completely.
			smooth::Int	 Save(const smooth::String &fileName) const;
		private:
			smooth::XML::Document *document;
			smooth::XML::Node *root;
	};

	// The machine's list of installed programs, as a "registry" entry
	// starts: Layout::UninstallEntryPrefix (installed_layout.h).
	extern const char *const UninstallKeyPath;

	// The key of entry name below the local machine's hive, as the registry
	// calls take it: UninstallKeyPath without the hive, then the name.
	smooth::String	 UninstallEntryKey(const smooth::String &name);

	// The entry name of a key path directly below UninstallKeyPath (a name
	// without '\'); empty for any other path, which no reader may touch.
	smooth::String	 UninstallEntryName(const smooth::String &key);

	// What a script asks to remove, in recording order.
	struct RemovalList
	{
		std::vector<smooth::String>	 files;
		std::vector<smooth::String>	 folders;
		std::vector<smooth::String>	 registryKeys;
	};

	// The same from a script in memory (a run's own, before or without
	// saving it).
	RemovalList	 GetRemovalList(const UninstallScript &script);

	// The part of list that an uninstaller of the installation in folder
	// installation may act on, in the same order: files inside that folder
	// and shortcut files (".lnk") elsewhere; folders inside it, the folder
	// itself and the folders above it, and folders that hold one of the
	// shortcut files kept (the Start-menu group); registry keys that name
	// one entry directly below UninstallKeyPath. Paths compare as
	// IsBelow (upgrade.h) compares them, so no path with a "." or ".."
	// component is inside. Everything else is left out: a script lies in
	// the installation folder, where anyone who can write there may edit it,
	// and must not make the uninstaller delete other files.
	RemovalList	 ConfinedRemovalList(const RemovalList &list, const smooth::String &installation);

	// Everything a saved script says: the application's name and version
	// (the content of the root's first "application" / "version" child,
	// empty when there is none) and the root's direct "file", "directory"
	// and "registry" children in document order; every other child is
	// skipped.
	struct ScriptContents
	{
		smooth::String	 application;
		smooth::String	 version;
		RemovalList	 removal;
	};

	// Loads fileName once and reads all of it. false, with contents empty,
	// when the script cannot be loaded (missing, unreadable, not well-formed
	// XML, no root element).
	bool		 ReadUninstallScript(const smooth::String &fileName, ScriptContents &contents);

	// The same from the bytes of a script file already read into memory.
	bool		 ParseUninstallScript(const std::string &bytes, ScriptContents &contents);

	// Only the removal list of ReadUninstallScript.
	bool		 ReadRemovalList(const smooth::String &fileName, RemovalList &list);

	// Deletes files and removes folders for the removal walk; the default
	// works on the real file system.
	class Remover
	{
		public:
			virtual		~Remover() = default;

			// Deletes a file (never a folder); false when something stays at
			// path (a path that is already gone counts as removed).
			virtual bool	 RemoveFile(const smooth::String &path);
			// Removes a folder only when it is empty; false when something
			// stays at path.
			virtual bool	 RemoveFolder(const smooth::String &path);
	};

	// The removal walk: the files from the last recorded to the first, then
	// the folders from the last recorded to the first. A failure leaves that
	// file or folder in place and the walk goes on. Returns how many entries
	// stayed.
	smooth::Int	 RunRemoval(const RemovalList &list, Remover &remover);
}
