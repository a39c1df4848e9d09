#include "uninstall_script.h"

#include "installed_layout.h"
#include "upgrade.h"

using namespace smooth;

namespace
{
	// The script's elements, as the writer makes them and the readers look
	// for them.
	const char *const ScriptElement		= "UninstallScript";
	const char *const ApplicationElement	= "application";
	const char *const VersionElement	= "version";
	const char *const DirectoryElement	= "directory";
	const char *const FileElement		= "file";
	const char *const RegistryElement	= "registry";
}

Tolvane::UninstallScript::UninstallScript(const String &application, const String &version)
{
	/* The document does not own its root: we release both ourselves, the
	 * root first, so a script outlives nothing it points into.
	 */
	document = new XML::Document();
	root	 = new XML::Node(ScriptElement, String());

	document->SetRootNode(root);

	root->AddNode(ApplicationElement, application);
	root->AddNode(VersionElement, version);
}

Tolvane::UninstallScript::~UninstallScript()
{
	delete root;
	delete document;
}

void Tolvane::UninstallScript::RecordDirectory(const String &path)
{
	root->AddNode(DirectoryElement, path);
}

void Tolvane::UninstallScript::RecordFile(const String &path)
{
	root->AddNode(FileElement, path);
}

void Tolvane::UninstallScript::RecordRegistryKey(const String &key)
{
	root->AddNode(RegistryElement, key);
}

namespace Tolvane
{
	const char *const UninstallKeyPath = Layout::UninstallEntryPrefix;
}

String Tolvane::UninstallEntryKey(const String &name)
{
	return String(Layout::UninstallKey).Append("\\").Append(name);
}

String Tolvane::UninstallEntryName(const String &key)
{
	String	 root = UninstallKeyPath;

	/* A script can be edited by anyone who can write the installation
	 * folder: only a program's own entry in the list may ever be removed by
	 * it, never a key elsewhere or the list itself.
	 */
	if (key.Length() <= root.Length() || key.Head(root.Length()).Compare(root) != 0) return String();

	String	 name = key.Tail(key.Length() - root.Length());

	if (name.Find("\\") >= 0 || name == "." || name == "..") return String();

	return name;
}

Int Tolvane::UninstallScript::Save(const String &fileName) const
{
	return document->SaveFile(fileName);
}

namespace
{
	Tolvane::RemovalList ListOf(const XML::Node *root)
	{
		Tolvane::RemovalList	 list;

		for (Int i = 0; i < root->GetNOfNodes(); i++)
		{
			XML::Node	*node = root->GetNthNode(i);

			if	(node->GetName() == FileElement)	list.files.push_back(node->GetContent());
			else if (node->GetName() == DirectoryElement)	list.folders.push_back(node->GetContent());
			else if (node->GetName() == RegistryElement)	list.registryKeys.push_back(node->GetContent());
		}

		return list;
	}

	/* A script written by hand or by an older installer may lack the name or
	 * the version: that is an empty text, not a failure.
	 */
	String ChildContent(const XML::Node *root, const char *name)
	{
		XML::Node	*node = root->GetNodeByName(name);

		return node != nullptr ? node->GetContent() : String();
	}

	bool ReadRoot(const XML::Node *root, Tolvane::ScriptContents &contents)
	{
		if (root == nullptr) return false;

		contents.application = ChildContent(root, ApplicationElement);
		contents.version     = ChildContent(root, VersionElement);
		contents.removal     = ListOf(root);

		return true;
	}
}

Tolvane::RemovalList Tolvane::GetRemovalList(const UninstallScript &script)
{
	return ListOf(script.GetRootNode());
}

Tolvane::RemovalList Tolvane::ConfinedRemovalList(const RemovalList &list, const String &installation)
{
	RemovalList	 confined;

	for (const String &file : list.files)
	{
		if (IsBelow(file, installation) || IsShortcutFile(file)) confined.files.push_back(file);
	}

	/* Folders go only when empty, but an emptied folder of someone else's
	 * is still not ours: above the installation folder lie the parents the
	 * installer made for it, elsewhere only the Start-menu group, which
	 * holds our shortcuts.
	 */
	const std::wstring	 own = PathKey(installation);

	for (const String &folder : list.folders)
	{
		bool	 ours = !own.empty() && (PathKey(folder) == own || IsBelow(folder, installation) || IsBelow(installation, folder));

		for (size_t i = 0; !ours && i < confined.files.size(); i++) ours = IsShortcutFile(confined.files[i]) && IsBelow(confined.files[i], folder);

		if (ours) confined.folders.push_back(folder);
	}

	for (const String &key : list.registryKeys)
	{
		if (UninstallEntryName(key) != 0) confined.registryKeys.push_back(key);
	}

	return confined;
}

bool Tolvane::ReadUninstallScript(const String &fileName, ScriptContents &contents)
{
	XML::Document	 document;

	contents = ScriptContents();

	return document.LoadFile(fileName) == Success() && ReadRoot(document.GetRootNode(), contents);
}

bool Tolvane::ParseUninstallScript(const std::string &bytes, ScriptContents &contents)
{
	XML::Document	 document;

	contents = ScriptContents();

	return document.ParseMemory(bytes.data(), Int64(bytes.size())) == Success() && ReadRoot(document.GetRootNode(), contents);
}

bool Tolvane::ReadRemovalList(const String &fileName, RemovalList &list)
{
	ScriptContents	 contents;
	bool		 loaded = ReadUninstallScript(fileName, contents);

	list = contents.removal;

	return loaded;
}

bool Tolvane::Remover::RemoveFile(const String &path)
{
	/* What is not there is not left behind: a listed file the program never
	 * made, or one listed twice.
	 */
	return File(path).Delete() == Success() || !(File(path).Exists() || Directory(path).Exists());
}

bool Tolvane::Remover::RemoveFolder(const String &path)
{
	return Directory(path).Delete() == Success() || !(Directory(path).Exists() || File(path).Exists());
}

Int Tolvane::RunRemoval(const RemovalList &list, Remover &remover)
{
	Int	 stayed = 0;

	/* Folders are recorded parent first and before anything inside them, so
	 * going backwards empties each folder before it is removed, inner ones
	 * before outer ones. A folder that still holds something of the user's
	 * simply stays, and so do its parents.
	 */
	for (size_t i = list.files.size(); i-- > 0; )	if (!remover.RemoveFile(list.files[i]))	    stayed++;
	for (size_t i = list.folders.size(); i-- > 0; ) if (!remover.RemoveFolder(list.folders[i])) stayed++;

	return stayed;
}
