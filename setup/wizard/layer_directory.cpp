#include "layer_directory.h"

#include "configuration.h"
#include "page_text.h"

#include <windows.h>

#include <cstring>

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerDirectory::LayerDirectory() : Layer(String())
{
	pageText	= new Text(PageText(config->directoryText), Point(59, 63));
	directoryGroup	= new GroupBox("Destination Directory", Point(9, 243), Size(456, 43));
	directoryEdit	= new EditBox(GetProgramFilesFolder().Append(config->defaultDir), Point(19, 256), Size(348, 0), 0);
	browseButton	= new Button("Browse", Bitmap(), Point(377, 255), Size(0, 0));

	browseButton->onAction.Connect(&LayerDirectory::OnBrowse, this);

	Add(pageText);
	Add(directoryGroup);
	Add(directoryEdit);
	Add(browseButton);
}

Tolvane::LayerDirectory::~LayerDirectory()
{
	DeleteObject(pageText);
	DeleteObject(directoryGroup);
	DeleteObject(directoryEdit);
	DeleteObject(browseButton);
}

Directory Tolvane::LayerDirectory::GetTargetDirectory() const
{
	return Directory(directoryEdit->GetText(), String());
}

String Tolvane::LayerDirectory::GetProgramFilesFolder()
{
	String	 folder;
	HKEY	 key;

	if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
	{
		/* The stored value need not end with a terminator, and a failed read
		 * leaves the buffer as it was: a zeroed buffer one byte longer than we
		 * let the registry fill keeps the text terminated in every case.
		 */
		char	 buffer[261];
		DWORD	 size = 260;

		memset(buffer, 0, sizeof(buffer));

		if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, (BYTE *) buffer, &size) == ERROR_SUCCESS) folder = String::Decode(buffer, "CP_ACP");

		RegCloseKey(key);
	}

	if (folder == 0)
	{
		if (Setup::enableUnicode)
		{
			wchar_t	 buffer[261];

			memset(buffer, 0, sizeof(buffer));

			if (ExpandEnvironmentStringsW(L"%ProgramFiles%", buffer, 260) <= 260) folder = buffer;
		}
		else
		{
			char	 buffer[261];

			memset(buffer, 0, sizeof(buffer));

			if (ExpandEnvironmentStringsA("%ProgramFiles%", buffer, 260) <= 260) folder = String::Decode(buffer, "CP_ACP");
		}
	}

	if (folder.Length() == 0 || folder[folder.Length() - 1] != '\\') folder.Append("\\");

	return folder;
}

void Tolvane::LayerDirectory::OnBrowse()
{
	Dialogs::DirSelection	*dialog = new Dialogs::DirSelection();

	dialog->SetParentWindow(config->mainWindow);
	dialog->SetDirName(directoryEdit->GetText());
	dialog->SetCaption("\nSelect the folder in which the program will be installed:");

	if (dialog->ShowDialog() == Success()) directoryEdit->SetText(dialog->GetDirName());

	DeleteObject(dialog);
}
