#include "layer_directory.h"

#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerDirectory::LayerDirectory(const Configuration &config, SystemInterface &system) : Layer(String())
{
	pageText	= new Text(PageText(config.directoryText, config.appVersion), Point(59, 63));
	directoryGroup	= new GroupBox("Destination Directory", Point(9, 243), Size(456, 43));
	directoryEdit	= new EditBox(system.GetProgramFilesFolder().Append(config.defaultDir), Point(19, 256), Size(348, 0), 0);
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

void Tolvane::LayerDirectory::OnBrowse()
{
	Dialogs::DirSelection	*dialog = new Dialogs::DirSelection();

	/* The page lives in the wizard window: the dialog belongs over it. */
	dialog->SetParentWindow(GetContainerWindow());
	dialog->SetDirName(directoryEdit->GetText());
	dialog->SetCaption("\nSelect the folder in which the program will be installed:");

	if (dialog->ShowDialog() == Success()) directoryEdit->SetText(dialog->GetDirName());

	DeleteObject(dialog);
}
