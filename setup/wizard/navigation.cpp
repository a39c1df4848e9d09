#include "tolvane.h"

#include "layer_install.h"

#include <windows.h>

using namespace smooth;
using namespace smooth::GUI;

void Tolvane::Tolvane::ShowCurrentPage(bool finishRule)
{
	if (currentPage >= PAGE_INTRO && currentPage <= PAGE_FINISH) iconImage->Show();
	else							     iconImage->Hide();

	nextButton->SetText("Next ->");
	cancelButton->SetText("Cancel");

	if (currentPage == PAGE_LICENSE)
	{
		nextButton->SetText("Yes");
		cancelButton->SetText("No");
	}

	if (finishRule && currentPage == lastPage) nextButton->SetText("Finish");

	wizardWindow->SetText(config->GetPageTitle(currentPage));

	Layer	*page = GetPage(currentPage);

	if (page != nullptr) page->Show();
}

void Tolvane::Tolvane::EndMessageLoop()
{
	/* The platform's window procedure ends the message loop on a quit
	 * message sent to it, so this returns to Main without a question.
	 */
	HWND	 window = (HWND) wizardWindow->GetSystemWindow();

	if (Setup::enableUnicode) SendMessageW(window, WM_QUIT, 0, 0);
	else			  SendMessageA(window, WM_QUIT, 0, 0);
}

void Tolvane::Tolvane::OnNext()
{
	/* Nothing is on screen without a page, and the buttons are hidden while
	 * the installation runs; a click that arrives anyway changes nothing.
	 */
	if (!HasPages() || installing) return;

	if (currentPage == lastPage)
	{
		if (rebootChoice == 2) wizardWindow->Close();
		else		       exitWindowsEx(EWX_REBOOT, 0);

		return;
	}

	for (long page = currentPage + 1; page <= PAGE_REBOOT; page++)
	{
		if (config->IsPageEnabled(page)) { currentPage = page; break; }
	}

	backButton->Show();
	iconImage->Hide();

	for (long page = PAGE_INTRO; page <= PAGE_REBOOT; page++) GetPage(page)->Hide();

	if (currentPage == installPage)
	{
		wizardWindow->SetText(config->installationTitle);

		backButton->Hide();
		nextButton->Hide();
		cancelButton->Hide();

		iconImage->Show();
		currentFileText->Show();
		currentFileBar->Show();
		totalText->Show();
		totalBar->Show();
		layerInstall->Show();

		installing    = true;
		installThread = new Threads::Thread(nullptr);

		installThread->threadMain.Connect(&Tolvane::InstallThread, this);

		/* A thread that could not start never finishes: pump only for one
		 * that runs, and go on to the next page either way.
		 */
		bool	 quit	  = false;
		WPARAM	 quitCode = 0;

		if (installThread->Start() == Success())
		{
			do
			{
				MSG	 msg;
				BOOL	 got = Setup::enableUnicode ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)
								    : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);

				if (got)
				{
					/* A quit request taken here belongs to the main loop:
					 * keep it and hand it back once the run is over.
					 */
					if (msg.message == WM_QUIT) { quit = true; quitCode = msg.wParam; }

					TranslateMessage(&msg);

					if (Setup::enableUnicode) DispatchMessageW(&msg);
					else			  DispatchMessageA(&msg);
				}

				Sleep(10);
			}
			while (installThread->GetStatus() != Threads::THREAD_FINISHED);
		}

		if (installThread != nullptr) DeleteObject(installThread);

		installThread = nullptr;
		installing    = false;

		/* The run never stops on a failure, so the finish page alone would
		 * claim success: say what went wrong first, while the installation
		 * page is still up.
		 */
		if (!installFailures.empty())
		{
			Dialogs::QuickMessage	 message(DescribeFailures(installFailures), "Setup", MB_YESNO, 32515);

			/* Taking back what a broken installation left is the way back to
			 * the machine as it was; the finish page would then be untrue,
			 * so Setup ends.
			 */
			if (message.ShowDialog() == IDYES)
			{
				Int	 stayed = UndoInstallation(installRecorded, GetSystem());

				Dialogs::QuickMessage(stayed == 0 ? String("Setup has taken back everything it installed.")
								  : String("Setup has taken back what it installed; ").Append(String::FromInt(stayed)).Append(" files or folders could not be removed."),
						      "Setup", MB_OK, 32516).ShowDialog();

				EndMessageLoop();

				return;
			}
		}

		nextButton->Show();
		currentFileText->Hide();
		currentFileBar->Hide();
		totalText->Hide();
		totalBar->Hide();
		layerInstall->Hide();

		if (quit) PostQuitMessage(int(quitCode));
	}

	ShowCurrentPage(true);
}

void Tolvane::Tolvane::OnBack()
{
	if (!HasPages() || installing) return;

	long	 previousPage = currentPage;

	if (currentPage >= PAGE_LICENSE && currentPage <= PAGE_SUMMARY)
	{
		for (long page = currentPage - 1; page >= PAGE_INTRO; page--)
		{
			if (config->IsPageEnabled(page)) { currentPage = page; break; }
		}
	}
	else if (currentPage == PAGE_REBOOT)
	{
		if (config->showFinish) currentPage = PAGE_FINISH;
	}

	/* Back is hidden wherever there is nothing to go back to, but a click
	 * can still reach the hidden button (BM_CLICK from outside). Going
	 * nowhere must not take the page off the screen: the restart page after
	 * the run would be hidden and never shown again.
	 */
	if (currentPage == previousPage) return;

	iconImage->Hide();

	for (long page = PAGE_INTRO; page <= PAGE_REBOOT; page++) GetPage(page)->Hide();

	if (currentPage == firstPage)	backButton->Hide();
	if (currentPage == installPage) backButton->Hide();

	if (currentPage >= PAGE_INTRO && currentPage <= PAGE_FINISH) ShowCurrentPage(false);
}

void Tolvane::Tolvane::OnCancel()
{
	if (!HasPages() || installing) return;

	if (currentPage == PAGE_LICENSE)
	{
		Dialogs::QuickMessage	 message("The Setup will be cancelled now!", "Info", MB_OKCANCEL, 32516);

		if (message.ShowDialog() != IDOK) return;

		EndMessageLoop();

		return;
	}

	wizardWindow->Close();
}

Bool Tolvane::Tolvane::QueryExit()
{
	/* The worker still fills the widgets of this window: it must not go
	 * away before the run is over.
	 */
	if (installing) return false;

	if (currentPage == lastPage) return true;

	Dialogs::QuickMessage	 message("Do you really want to exit Setup now?\n\nIf you quit now, the program will not be installed on your computer.\nYou may run Setup again later to complete the installation.", "Exit Setup", MB_YESNO, 32514);

	if (message.ShowDialog() != IDYES) return false;

	if (config->background && backgroundWindow != nullptr) backgroundWindow->Close();

	return true;
}
