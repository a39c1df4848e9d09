#include "wizard.h"

#include "files_in_use.h"
#include "layer_directory.h"
#include "layer_reboot.h"

#include "layer_text.h"

#include <windows.h>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	/* Show and Hide repaint what they touch even when nothing changes; a
	 * step touches only what it changes, so the window does not flicker.
	 */
	void ShowIf(Widget *widget, bool visible)
	{
		if (widget == nullptr || bool(widget->IsVisible()) == visible) return;

		if (visible) widget->Show();
		else	     widget->Hide();
	}

	void SetTextIf(Widget *widget, const String &text)
	{
		if (widget->GetText() != text) widget->SetText(text);
	}
}

void Tolvane::Wizard::ShowView()
{
	const WizardView	&view = flow.GetView();
	Widgets			&w    = widgets;

	ShowIf(w.backButton, view.back);
	ShowIf(w.nextButton, view.next);
	ShowIf(w.cancelButton, view.cancel);

	SetTextIf(w.nextButton, view.nextText);
	SetTextIf(w.cancelButton, view.cancelText);

	ShowIf(w.iconImage, view.icon);

	/* Hide before show: the page going away gives up its place first. */
	for (Int number = PAGE_FIRST_NUMBER; number <= PAGE_LAST_NUMBER; number++)
	{
		if (PageOfNumber(number) != view.page) ShowIf(GetPage(PageOfNumber(number)), false);
	}

	for (Widget *widget : { (Widget *) w.currentFileText, (Widget *) w.currentFileBar, (Widget *) w.totalText, (Widget *) w.totalBar, (Widget *) w.layerInstall })
	{
		ShowIf(widget, view.installation);
	}

	/* Without a page the window is never shown and keeps its empty title. */
	if (HasPages()) SetTextIf(w.wizardWindow, WizardTitle(config, view));

	ShowIf(GetPage(view.page), true);
}

Int Tolvane::Wizard::Ask(const WizardMessage &message)
{
	return Dialogs::QuickMessage(message.text, message.caption, message.buttons, message.icon).ShowDialog();
}

void Tolvane::Wizard::EndMessageLoop()
{
	/* The platform's window procedure ends the message loop on a quit
	 * message sent to it, so this returns to Main without a question.
	 */
	HWND	 window = (HWND) widgets.wizardWindow->GetSystemWindow();

	if (Setup::enableUnicode) SendMessageW(window, WM_QUIT, 0, 0);
	else			  SendMessageA(window, WM_QUIT, 0, 0);
}

bool Tolvane::Wizard::TargetAccepted()
{
	String		 folder = widgets.layerDirectory->GetTargetDirectory().GetPath();
	Int		 failed = 0;

	if (RecoverFolder(folder, installLog, failed)) Ask(UnfinishedRunMessage(folder, failed));

	TargetCheck	 check = CheckTarget(config.appName, folder, registered);

	if (check.verdict == TargetCheck::Verdict::Go) return true;

	Ask(FolderRefusedMessage(config, check, folder));

	return false;
}

bool Tolvane::Wizard::FilesInUseSettled()
{
	/* Asked before anything changes, so the run never stops halfway for a
	 * program the user could have closed.
	 */
	InstallChoices			 choices = ReadChoices();
	std::vector<String>		 files	 = FilesTheRunChanges(config, choices);

	replaceAtRestart.clear();

	while (true)
	{
		std::vector<FileInUse>	 uses = WithoutUnchanged(GetSystem().FindFilesInUse(files), config, choices);

		if (uses.empty()) return true;

		for (const FileInUse &use : uses) if (installLog != nullptr) installLog->Write(String("in use ").Append(use.path).Append(" by ").Append(use.program != 0 ? use.program : String("an unknown program")));

		switch (AnswerFilesInUse(Ask(FilesInUseMessage(uses))))
		{
			case InUseStep::CheckAgain:
				continue;
			case InUseStep::ReplaceAtRestart:
				replaceAtRestart = InUseKeys(uses);

				return true;
			case InUseStep::Stay:
				return false;
		}
	}
}

void Tolvane::Wizard::OnNext()
{
	/* The folder is judged once it is chosen, while the user can still
	 * choose another.
	 */
	if (flow.LeavesDirectoryPage() && !TargetAccepted()) return;

	if (flow.StartsInstallation() && !FilesInUseSettled()) return;

	switch (flow.Next())
	{
		case NextStep::Ignored:
			return;
		case NextStep::Finish:
			/* A refused restart is silent: the wizard stays as it is. */
			if (FinishFor(restartChoice) == FinishStep::Close) widgets.wizardWindow->Close();
			else						   exitWindowsEx(EWX_REBOOT, 0);

			return;
		case NextStep::ShowPage:
			ShowView();

			return;
		case NextStep::Install:
			RunInstallation();

			return;
	}
}

void Tolvane::Wizard::RunInstallation()
{
	ShowView();

	installThread = new Threads::Thread(nullptr);
	installThread->threadMain.Connect(&Wizard::InstallThread, this);

	/* A thread that could not start never finishes: wait only for one
	 * that runs, and go on to the next page either way.
	 */
	QuitRequest	 quit;

	if (installThread->Start() == Success()) quit = PumpMessagesWhileRunning(*installThread);

	DeleteObject(installThread);

	installThread = nullptr;

	bool	 restart = installRun != nullptr && !installRun->GetRestartWork().empty();

	if (flow.RunEnded(!installFailures.empty(), restart) == RunEndStep::AskTakeBack &&
	    flow.AnswerTakeBack(Ask(TakeBackQuestion(installFailures))) == TakeBackStep::TakeBackAndEnd)
	{
		Int	 stayed = installRun != nullptr ? installRun->TakeBack() : 0;

		installRun.reset();

		Ask(TakenBackMessage(stayed));

		EndMessageLoop();

		return;
	}

	/* Kept as it is, failures and all. */
	if (installRun != nullptr) installRun->Commit();

	installRun.reset();

	/* The restart page stands in for the finish page; a script that never
	 * meant to show it gave it no text.
	 */
	if (restart)
	{
		restartChoice = RESTART_NOW;

		widgets.layerReboot->restartNowOption->Update();
		widgets.layerReboot->restartLaterOption->Update();

		if (config.rebootText == 0) widgets.layerReboot->pageText->SetText(TEXT_RESTART_FOR_FILES_IN_USE);
	}

	ShowView();

	/* The quit request taken while the run went belongs to the loop. */
	if (quit.taken) PostQuitMessage(int(quit.code));
}

void Tolvane::Wizard::OnBack()
{
	if (flow.Back()) ShowView();
}

void Tolvane::Wizard::OnCancel()
{
	switch (flow.Cancel())
	{
		case CancelStep::Ignored:
			return;
		case CancelStep::AskLicenceCancel:
			if (flow.AnswerLicenceCancel(Ask(LicenceCancelMessage()))) EndMessageLoop();

			return;
		case CancelStep::RequestClose:
			widgets.wizardWindow->Close();

			return;
	}
}

Bool Tolvane::Wizard::QueryExit()
{
	switch (flow.CloseRequested())
	{
		case CloseStep::Refuse:
			return false;
		case CloseStep::Grant:
			return true;
		case CloseStep::AskExit:
			break;
	}

	if (!flow.AnswerExit(Ask(ExitQuestion()))) return false;

	if (widgets.backgroundWindow != nullptr) widgets.backgroundWindow->Close();

	return true;
}
