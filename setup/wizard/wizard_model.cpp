#include "wizard_model.h"

#include "files_in_use.h"

#include <cstring>

using namespace smooth;

Tolvane::Page Tolvane::PageOfNumber(Int number)
{
	if (number < PAGE_FIRST_NUMBER || number > PAGE_LAST_NUMBER) return Page::None;

	return Page(number);
}

Tolvane::PageSet Tolvane::PageSet::Enabled(const Configuration &config)
{
	PageSet	 pages;

	for (Int number = PAGE_FIRST_NUMBER; number <= PAGE_LAST_NUMBER; number++)
	{
		if (config.IsPageEnabled(number)) pages.Add(PageOfNumber(number));
	}

	return pages;
}

Tolvane::PageSet Tolvane::PageSet::FromBits(unsigned int bits)
{
	PageSet	 pages;

	pages.bits = bits & ((1u << PAGE_LAST_NUMBER) - 1);

	return pages;
}

bool Tolvane::PageSet::Has(Page page) const
{
	if (page == Page::None) return false;

	return (bits >> (NumberOfPage(page) - 1)) & 1;
}

Tolvane::PageSet &Tolvane::PageSet::Add(Page page)
{
	if (page != Page::None) bits |= 1u << (NumberOfPage(page) - 1);

	return *this;
}

Tolvane::Page Tolvane::PageSet::First() const
{
	return Above(Page::None);
}

Tolvane::Page Tolvane::PageSet::Last() const
{
	return Below(Page(PAGE_LAST_NUMBER + 1));
}

Tolvane::Page Tolvane::PageSet::Above(Page page) const
{
	for (Int number = NumberOfPage(page) + 1; number <= PAGE_LAST_NUMBER; number++)
	{
		if (Has(PageOfNumber(number))) return PageOfNumber(number);
	}

	return Page::None;
}

Tolvane::Page Tolvane::PageSet::Below(Page page) const
{
	for (Int number = NumberOfPage(page) - 1; number >= PAGE_FIRST_NUMBER; number--)
	{
		if (Has(PageOfNumber(number))) return PageOfNumber(number);
	}

	return Page::None;
}

Tolvane::Page Tolvane::InstallPageOf(PageSet pages)
{
	if (pages.Has(Page::Finish)) return Page::Finish;
	if (pages.Has(Page::Reboot)) return Page::Reboot;

	return Page::None;
}

long Tolvane::InitialRestartChoice(PageSet pages)
{
	return pages.Has(Page::Reboot) ? RESTART_NOW : RESTART_LATER;
}

Tolvane::FinishStep Tolvane::FinishFor(long restartChoice)
{
	/* Only the explicit "later" closes: the restart page starts on "now",
	 * and a choice that is neither is the page's, not ours, to mean.
	 */
	return restartChoice == RESTART_LATER ? FinishStep::Close : FinishStep::Restart;
}

bool Tolvane::operator ==(const WizardView &a, const WizardView &b)
{
	return a.page == b.page && a.installation == b.installation &&
	       a.back == b.back && a.next == b.next && a.cancel == b.cancel &&
	       std::strcmp(a.nextText, b.nextText) == 0 && std::strcmp(a.cancelText, b.cancelText) == 0 &&
	       a.icon == b.icon;
}

String Tolvane::WizardTitle(const Configuration &config, const WizardView &view)
{
	if (view.installation) return config.installationTitle;

	return config.GetPageTitle(NumberOfPage(view.page));
}

Tolvane::WizardMessage Tolvane::ExitQuestion()
{
	return { "Do you really want to exit Setup now?\n\nIf you quit now, the program will not be installed on your computer.\nYou may run Setup again later to complete the installation.",
		 "Exit Setup", BUTTONS_YESNO, ICON_QUESTION };
}

Tolvane::WizardMessage Tolvane::LicenceCancelMessage()
{
	return { "The Setup will be cancelled now!", "Info", BUTTONS_OKCANCEL, ICON_INFORMATION };
}

Tolvane::WizardMessage Tolvane::TakeBackQuestion(const std::vector<InstallFailure> &failures)
{
	return { DescribeFailures(failures), "Setup", BUTTONS_YESNO, ICON_WARNING };
}

Tolvane::WizardMessage Tolvane::TakenBackMessage(Int stayed)
{
	if (stayed == 0) return { "Setup has taken back everything it installed.", "Setup", BUTTONS_OK, ICON_INFORMATION };

	return { String("Setup has taken back what it installed; ").Append(String::FromInt(stayed)).Append(" files or folders could not be removed."),
		 "Setup", BUTTONS_OK, ICON_INFORMATION };
}

Tolvane::WizardMessage Tolvane::DowngradeMessage(const Configuration &config, const Registered &registered)
{
	return { DowngradeQuestion(config.appName, config.appVersion, registered), "Setup", BUTTONS_YESNO | DEFAULT_SECOND, ICON_QUESTION };
}

Tolvane::WizardMessage Tolvane::FolderRefusedMessage(const Configuration &config, const TargetCheck &check, const String &folder)
{
	return { check.Text(config.appName, folder), "Setup", BUTTONS_OK, ICON_WARNING };
}

Tolvane::WizardMessage Tolvane::UnfinishedRunMessage(const String &folder, Int failed)
{
	return { UnfinishedRunText(folder, failed), "Setup", BUTTONS_OK, ICON_INFORMATION };
}

Tolvane::SetupStart Tolvane::PlanStart(const Configuration &config, const Registered &registered, const Options &options)
{
	SetupStart	 start;

	start.registered = registered;
	start.downgrade	 = IsDowngrade(config.appVersion, registered);

	if	(options.hasTarget)			 start.folder = options.target;
	else if (registered.exists && registered.folder != 0) start.folder = registered.folder;

	return start;
}

bool Tolvane::WizardFlow::LeavesDirectoryPage() const
{
	return HasPages() && !installing && current == Page::Directory && current != pages.Last();
}

Tolvane::WizardFlow::WizardFlow(PageSet pages) : pages(pages)
{
	current = pages.First();

	/* The first page keeps the buttons as they were built, whatever page it
	 * is: its texts are set only by a step.
	 */
	view.page = current;
	view.icon = current != Page::Reboot;
}

void Tolvane::WizardFlow::ShowPage(bool finishRule)
{
	view.page	  = current;
	view.installation = false;
	view.next	  = true;

	/* The restart page puts its text where the icon would be. */
	view.icon	  = current != Page::Reboot;

	view.nextText	  = current == Page::License ? TEXT_YES : TEXT_NEXT;
	view.cancelText	  = current == Page::License ? TEXT_NO	: TEXT_CANCEL;

	if (finishRule && current == pages.Last()) view.nextText = TEXT_FINISH;
}

Tolvane::NextStep Tolvane::WizardFlow::Next()
{
	if (!HasPages() || installing) return NextStep::Ignored;

	if (current == pages.Last()) return NextStep::Finish;

	current	  = pages.Above(current);
	view.back = true;

	if (current != GetInstallPage())
	{
		ShowPage(true);

		return NextStep::ShowPage;
	}

	ShowInstallationOnly();

	return NextStep::Install;
}

void Tolvane::WizardFlow::ShowInstallationOnly()
{
	/* The installation page: no button until the run is over, and none
	 * that leads back to the pages whose values the run reads.
	 */
	installing	  = true;

	view.page	  = Page::None;
	view.installation = true;
	view.back	  = false;
	view.next	  = false;
	view.cancel	  = false;
	view.icon	  = true;
}

bool Tolvane::WizardFlow::StartsInstallation() const
{
	return HasPages() && !installing && current != pages.Last() && pages.Above(current) == GetInstallPage();
}

void Tolvane::WizardFlow::RestartInstead()
{
	PageSet	 after;

	for (Int number = PAGE_FIRST_NUMBER; number <= PAGE_LAST_NUMBER; number++)
	{
		if (PageOfNumber(number) != Page::Finish && pages.Has(PageOfNumber(number))) after.Add(PageOfNumber(number));
	}

	pages	= after.Add(Page::Reboot);
	current = Page::Reboot;
}

Tolvane::RunEndStep Tolvane::WizardFlow::RunEnded(bool failed, bool restart)
{
	if (!installing) return RunEndStep::ShowPage;

	installing    = false;
	restartNeeded = restart;

	/* The run never stops on a failure, so the page after it alone would
	 * claim success: the question comes first, with the installation page
	 * still up.
	 */
	if (failed) return RunEndStep::AskTakeBack;

	if (restartNeeded) RestartInstead();

	ShowPage(true);

	return RunEndStep::ShowPage;
}

Tolvane::TakeBackStep Tolvane::WizardFlow::AnswerTakeBack(Int answer)
{
	/* Taken back, the page after the run would be untrue: Setup ends. */
	if (answer == ANSWER_YES) return TakeBackStep::TakeBackAndEnd;

	if (restartNeeded) RestartInstead();

	ShowPage(true);

	return TakeBackStep::ShowPage;
}

bool Tolvane::WizardFlow::Back()
{
	if (!HasPages() || installing) return false;

	Page	 page = current;

	/* The run is never repeated and never undone: from the finish page
	 * there is no way back, and the restart page leads only to it.
	 */
	if	(current >= Page::License && current <= Page::Summary) page = pages.Below(current);
	else if (current == Page::Reboot && pages.Has(Page::Finish))   page = Page::Finish;

	/* Back is hidden where it leads nowhere, but a click can still reach
	 * the hidden button: going nowhere leaves the page as it is.
	 */
	if (page == Page::None || page == current) return false;

	current = page;

	ShowPage(false);

	if (current == GetFirstPage() || current == GetInstallPage()) view.back = false;

	return true;
}

Tolvane::CancelStep Tolvane::WizardFlow::Cancel() const
{
	if (!HasPages() || installing) return CancelStep::Ignored;

	/* The page, not the button's text, decides: a licence page that comes
	 * first reads "Cancel" and still asks this.
	 */
	if (current == Page::License) return CancelStep::AskLicenceCancel;

	return CancelStep::RequestClose;
}

bool Tolvane::WizardFlow::AnswerLicenceCancel(Int answer) const
{
	return answer == ANSWER_OK;
}

Tolvane::CloseStep Tolvane::WizardFlow::CloseRequested() const
{
	/* The worker still fills the window's bars: it must not go before the
	 * run is over.
	 */
	if (installing) return CloseStep::Refuse;

	if (current == pages.Last()) return CloseStep::Grant;

	return CloseStep::AskExit;
}

bool Tolvane::WizardFlow::AnswerExit(Int answer) const
{
	return answer == ANSWER_YES;
}

Tolvane::InstallChoices Tolvane::ChoicesFromPages(const PageChoices &pages, const Configuration &config)
{
	InstallChoices	 choices;

	choices.targetFolder = pages.targetFolder;

	for (Int i = 0; i < config.components.Length(); i++) choices.selected.push_back(size_t(i) < pages.marked.size() && pages.marked[size_t(i)]);

	choices.createStartMenu	  = pages.createStartMenu;
	choices.createDesktop	  = pages.createDesktop;
	choices.createQuickLaunch = pages.createQuickLaunch;

	return choices;
}

Tolvane::WizardMessage Tolvane::FilesInUseMessage(const std::vector<FileInUse> &uses)
{
	return { FilesInUseQuestion(uses, false), "Setup", BUTTONS_ABORTRETRYIGNORE, ICON_WARNING };
}

Tolvane::InUseStep Tolvane::AnswerFilesInUse(Int answer)
{
	if (answer == ANSWER_RETRY)  return InUseStep::CheckAgain;
	if (answer == ANSWER_IGNORE) return InUseStep::ReplaceAtRestart;

	/* Abort, or the box closed some other way: nothing happens. */
	return InUseStep::Stay;
}
