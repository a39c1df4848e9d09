#include "uninstall_script.h"

using namespace smooth;

Tolvane::UninstallScript::UninstallScript(const String &application, const String &version)
{
	/* The document does not own its root: we release both ourselves, the
	 * root first, so a script outlives nothing it points into.
	 */
	document = new XML::Document();
	root	 = new XML::Node("UninstallScript", String());

	document->SetRootNode(root);

	root->AddNode("application", application);
	root->AddNode("version", version);
}

Tolvane::UninstallScript::~UninstallScript()
{
	delete root;
	delete document;
}

void Tolvane::UninstallScript::RecordDirectory(const String &path)
{
	root->AddNode("directory", path);
}

void Tolvane::UninstallScript::RecordFile(const String &path)
{
	root->AddNode("file", path);
}

void Tolvane::UninstallScript::RecordRegistryKey(const String &key)
{
	root->AddNode("registry", key);
}

namespace Tolvane
{
	const char *const UninstallKeyPath = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
}

String Tolvane::UninstallEntryKey(const String &name)
{
	String	 path = UninstallKeyPath;
	Int	 hive = path.Find("\\");

	return path.Tail(path.Length() - hive - 1).Append(name);
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
	String ReadRootChild(const String &fileName, const char *name)
	{
		XML::Document	 document;

		if (document.LoadFile(fileName) != Success() || document.GetRootNode() == nullptr) return String();

		/* A script written by hand or by an older installer may lack the
		 * element: that is an empty name, not a failure.
		 */
		XML::Node	*node = document.GetRootNode()->GetNodeByName(name);

		return node != nullptr ? node->GetContent() : String();
	}
}

String Tolvane::ReadScriptApplication(const String &fileName)
{
	return ReadRootChild(fileName, "application");
}

String Tolvane::ReadScriptVersion(const String &fileName)
{
	return ReadRootChild(fileName, "version");
}

namespace
{
	Tolvane::RemovalList ListOf(const XML::Node *root)
	{
		Tolvane::RemovalList	 list;

		for (Int i = 0; i < root->GetNOfNodes(); i++)
		{
			XML::Node	*node = root->GetNthNode(i);

			if	(node->GetName() == "file")	 list.files.push_back(node->GetContent());
			else if (node->GetName() == "directory") list.folders.push_back(node->GetContent());
			else if (node->GetName() == "registry")	 list.registryKeys.push_back(node->GetContent());
		}

		return list;
	}
}

Tolvane::RemovalList Tolvane::GetRemovalList(const UninstallScript &script)
{
	return ListOf(script.GetRootNode());
}

bool Tolvane::ReadRemovalList(const String &fileName, RemovalList &list)
{
	list = RemovalList();

	XML::Document	 document;

	if (document.LoadFile(fileName) != Success() || document.GetRootNode() == nullptr) return false;

	list = ListOf(document.GetRootNode());

	return true;
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
