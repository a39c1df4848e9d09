// The wizard's flow as plain data: which pages the setup script enables,
// where Next and Back lead, when the installation runs, what the window
// shows after every step, the questions the wizard asks and what their
// answers do, and the choices the installation run receives.
//
// Nothing here knows a window. The Windows side (Wizard) forwards every
// button and close request to a WizardFlow, shows what GetView() says and
// asks the questions it is told to ask, so the whole flow is tested
// natively. A new page is a Page value with its rules in PageSet and
// WizardFlow; a new question is a WizardMessage and a step that asks it.
#pragma once

#include "command_line.h"
#include "configuration.h"
#include "install_run.h"
#include "install_target.h"

#include <vector>

namespace Tolvane
{
	// The pages by the numbers of their dialogs in the setup script (the
	// configuration's PAGE_* numbers). The installation page has no number:
	// it is shown only while the run goes.
	enum class Page : smooth::Int
	{
		None		= 0,
		Intro		= PAGE_INTRO,
		License		= PAGE_LICENSE,
		Directory	= PAGE_DIRECTORY,
		Components	= PAGE_COMPONENTS,
		Links		= PAGE_LINKS,
		Summary		= PAGE_SUMMARY,
		Finish		= PAGE_FINISH,
		Reboot		= PAGE_REBOOT
	};

	// The numbered pages run from Page::Intro to Page::Reboot.
	const smooth::Int PAGE_FIRST_NUMBER = PAGE_INTRO;
	const smooth::Int PAGE_LAST_NUMBER  = PAGE_REBOOT;

	// The page of a number 1 to 8; Page::None for any other number.
	Page			 PageOfNumber(smooth::Int number);
	inline smooth::Int	 NumberOfPage(Page page)	{ return smooth::Int(page); }

	// A set of numbered pages: the ones the setup script enables.
	class PageSet
	{
		public:
					 PageSet() = default;

			// The pages whose flag (showIntro to showReboot) config sets.
			static PageSet	 Enabled(const Configuration &config);
			// Page n is in the set when bit n - 1 of bits is set; higher bits
			// are ignored.
			static PageSet	 FromBits(unsigned int bits);

			// Whether page is in the set; never for Page::None.
			bool		 Has(Page page) const;
			// Adds page; Page::None adds nothing.
			PageSet		&Add(Page page);
			bool		 IsEmpty() const	{ return bits == 0; }

			// The lowest and the highest page of the set; Page::None when it is
			// empty.
			Page		 First() const;
			Page		 Last() const;
			// The lowest page of the set above page, and the highest below it;
			// Page::None when there is none.
			Page		 Above(Page page) const;
			Page		 Below(Page page) const;
		private:
			unsigned int	 bits = 0;
	};

	// The page whose display the installation run precedes: the finish page
	// when it is enabled, else the restart page when that is, else
	// Page::None (the installation never runs).
	Page		 InstallPageOf(PageSet pages);

	// The restart page's choice, shared by its two option boxes.
	const long	 RESTART_NOW   = 1;
	const long	 RESTART_LATER = 2;

	// The choice at start: RESTART_NOW when the restart page is enabled,
	// else RESTART_LATER, so that Finish without that page never restarts.
	long		 InitialRestartChoice(PageSet pages);

	// What Finish on the last page does: RESTART_LATER closes the wizard,
	// any other choice asks the system to restart. A refused restart
	// changes nothing: the wizard stays as it was.
	enum class FinishStep { Close, Restart };

	FinishStep	 FinishFor(long restartChoice);

	// Texts of the three buttons.
	const char *const TEXT_BACK	= "<- Back";
	const char *const TEXT_NEXT	= "Next ->";
	const char *const TEXT_FINISH	= "Finish";
	const char *const TEXT_YES	= "Yes";
	const char *const TEXT_CANCEL	= "Cancel";
	const char *const TEXT_NO	= "No";

	// What the wizard window shows: one numbered page or the installation
	// page (with both progress texts and bars beside it), which of the
	// three buttons are visible, what Next and Cancel read (also while they
	// are hidden), and whether the icon left of the page text is visible.
	struct WizardView
	{
		Page		 page		= Page::None;	// None while the installation page is up, and without pages
		bool		 installation	= false;
		bool		 back		= false;
		bool		 next		= true;
		bool		 cancel		= true;
		const char	*nextText	= TEXT_NEXT;
		const char	*cancelText	= TEXT_CANCEL;
		bool		 icon		= true;
	};

	// Equal views show the same; texts compare by content.
	bool		 operator ==(const WizardView &a, const WizardView &b);
	inline bool	 operator !=(const WizardView &a, const WizardView &b)	{ return !(a == b); }

	// The wizard window's title for view: the installation title while the
	// installation page is up, else the page's dialog title (empty without
	// a page).
	smooth::String	 WizardTitle(const Configuration &config, const WizardView &view);

	// A message box as the platform's QuickMessage shows it.
	struct WizardMessage
	{
		smooth::String	 text;
		smooth::String	 caption;
		smooth::Int	 buttons;	// BUTTONS_...
		smooth::Int	 icon;		// ICON_...
	};

	// Buttons, icons and answers of message boxes, as the platform numbers
	// them.
	const smooth::Int BUTTONS_OK		= 0;
	const smooth::Int BUTTONS_OKCANCEL	= 1;
	const smooth::Int BUTTONS_ABORTRETRYIGNORE = 2;
	const smooth::Int BUTTONS_YESNO		= 4;
	const smooth::Int DEFAULT_SECOND	= 0x100;	// with BUTTONS_YESNO: Enter answers No
	const smooth::Int ICON_QUESTION		= 32514;
	const smooth::Int ICON_WARNING		= 32515;
	const smooth::Int ICON_INFORMATION	= 32516;
	const smooth::Int ANSWER_OK		= 1;
	const smooth::Int ANSWER_CANCEL		= 2;
	const smooth::Int ANSWER_ABORT		= 3;
	const smooth::Int ANSWER_RETRY		= 4;
	const smooth::Int ANSWER_IGNORE		= 5;
	const smooth::Int ANSWER_YES		= 6;
	const smooth::Int ANSWER_NO		= 7;

	// Cancel away from the licence page, and the window's close request.
	WizardMessage	 ExitQuestion();
	// Cancel (reading "No") on the licence page.
	WizardMessage	 LicenceCancelMessage();
	// After a run with failures: what failed, and whether to take it back.
	WizardMessage	 TakeBackQuestion(const std::vector<InstallFailure> &failures);
	// After taking back: what stayed (stayed entries could not be removed).
	WizardMessage	 TakenBackMessage(smooth::Int stayed);

	// Before the wizard starts, when a newer version is registered: whether
	// to go back to this older one (No, the default, ends Setup).
	WizardMessage	 DowngradeMessage(const Configuration &config, const Registered &registered);
	// Next on the directory page with a folder that may not be installed
	// into (check.verdict is not Go); the wizard stays on the page.
	WizardMessage	 FolderRefusedMessage(const Configuration &config, const TargetCheck &check, const smooth::String &folder);
	// An installation run that did not finish in folder was taken back.
	WizardMessage	 UnfinishedRunMessage(const smooth::String &folder, smooth::Int failed);

	// Before the run, when programs hold files it would replace or remove:
	// the programs and their files; Retry (close them first), Ignore
	// (replace at restart) or Abort (cancel: nothing changed).
	WizardMessage	 FilesInUseMessage(const std::vector<FileInUse> &uses);

	// What an answer to the FilesInUseMessage does: look again, run with
	// the files replaced at restart, or stay on the page without a run.
	enum class InUseStep	{ CheckAgain, ReplaceAtRestart, Stay };

	InUseStep	 AnswerFilesInUse(smooth::Int answer);

	// The restart page's text after a run that left files in use for the
	// restart, when the setup script gives the page no text of its own.
	const char *const TEXT_RESTART_FOR_FILES_IN_USE = "Some files were in use by running programs. They are replaced when the computer restarts.";

	// What Setup does before its first page (or its silent run), from what
	// the list of installed programs says about the product.
	struct SetupStart
	{
		Registered	 registered;
		// A newer version is registered: ask (wizard) or refuse (silent,
		// without /ALLOWDOWNGRADE).
		bool		 downgrade = false;
		// The folder the directory page starts at (and a silent run goes
		// to): /D=, else the registered installation's folder; empty for the
		// pages' own proposal.
		smooth::String	 folder;
	};

	SetupStart	 PlanStart(const Configuration &config, const Registered &registered, const Options &options);

	// Steps the Windows side carries out.
	enum class NextStep	{ Ignored, Finish, ShowPage, Install };
	enum class RunEndStep	{ ShowPage, AskTakeBack };
	enum class TakeBackStep	{ ShowPage, TakeBackAndEnd };
	enum class CancelStep	{ Ignored, AskLicenceCancel, RequestClose };
	enum class CloseStep	{ Refuse, Grant, AskExit };

	// The flow through the pages of one wizard, from the first enabled page
	// to the end of the program.
	class WizardFlow
	{
		public:
			// Starts on the first page of pages: every button reads as on an
			// ordinary page ("Next ->", "Cancel"), even when that page is the
			// licence page or the last; Back is hidden, and the icon is hidden
			// only on the restart page. Without pages there is nothing to show
			// and every step is ignored.
			explicit	 WizardFlow(PageSet pages);

			PageSet		 GetPages() const	{ return pages; }
			bool		 HasPages() const	{ return !pages.IsEmpty(); }
			Page		 GetCurrentPage() const	{ return current; }
			Page		 GetFirstPage() const	{ return pages.First(); }
			Page		 GetLastPage() const	{ return pages.Last(); }
			Page		 GetInstallPage() const	{ return InstallPageOf(pages); }
			// True from NextStep::Install until RunEnded.
			bool		 IsInstalling() const	{ return installing; }

			// What the window shows now.
			const WizardView &GetView() const	{ return view; }

			// Next. On the last page: NextStep::Finish, nothing changes (see
			// FinishFor). Elsewhere the next enabled page becomes current:
			// NextStep::Install when the run comes first (the view is then the
			// installation page with no button; RunEnded follows), else
			// NextStep::ShowPage with Back visible and Next reading "Finish"
			// on the last page. Ignored without pages and while installing.
			NextStep	 Next();
			// Whether Next now leaves the directory page for a page further
			// on: the folder it holds is checked (CheckTarget) first, and Next
			// is not pressed when it may not be installed into.
			bool		 LeavesDirectoryPage() const;
			// The passive mode: the installation page at once, as while a run
			// goes (no button, a close request refused), whatever pages the
			// setup script enables; the program ends after the run.
			void		 ShowInstallationOnly();
			// Whether Next now starts the run: the files in use are asked
			// about first, and Next is not pressed when the user cancels.
			bool		 StartsInstallation() const;

			// The run is over; failed when any step of it failed. Without
			// failures the page after the run is shown (Next only: Back and
			// Cancel stay hidden); with failures the installation page stays
			// until the take-back question is answered. Ignored (ShowPage,
			// nothing changes) when no run was going.
			//
			// restartNeeded: the run left files in use for the restart. The
			// page after the run is then the restart page, as the last page,
			// whether the setup script enables it or not, and the finish page
			// is gone (also after AnswerTakeBack keeps the run).
			RunEndStep	 RunEnded(bool failed, bool restartNeeded = false);
			// The answer to TakeBackQuestion: Yes takes the run back and ends
			// the program (the view stays); any other answer shows the page
			// after the run as RunEnded does without failures.
			TakeBackStep	 AnswerTakeBack(smooth::Int answer);

			// Back: from the licence to the summary page to the nearest
			// enabled page below, from the restart page to the finish page when
			// that is enabled. True when the page changed (Back is then hidden
			// on the first page and on the page the run preceded); false, and
			// nothing changes, anywhere else, without pages and while
			// installing.
			bool		 Back();

			// Cancel: on the licence page (also when it is the first page and
			// its button reads "Cancel") the LicenceCancelMessage, whose
			// answer AnswerLicenceCancel judges; elsewhere a close request
			// (CloseRequested). Ignored without pages and while installing.
			CancelStep	 Cancel() const;
			// True when the answer to the LicenceCancelMessage ends the program
			// (OK), without the exit question.
			bool		 AnswerLicenceCancel(smooth::Int answer) const;

			// The window's close request: refused while installing, granted
			// without a question on the last page and without pages, else the
			// ExitQuestion, whose answer AnswerExit judges.
			CloseStep	 CloseRequested() const;
			// True when the answer to the ExitQuestion ends the program (Yes);
			// the backdrop then closes too.
			bool		 AnswerExit(smooth::Int answer) const;
		private:
			// The view of the current page after Next or Back; finishRule
			// makes Next read "Finish" on the last page.
			void		 ShowPage(bool finishRule);

			// After a run that needs a restart: the restart page in the
			// finish page's place, current.
			void		 RestartInstead();

			PageSet		 pages;
			Page		 current    = Page::None;
			bool		 installing = false;
			bool		 restartNeeded = false;
			WizardView	 view;
	};

	// What the pages hold when the run starts, as plain values.
	struct PageChoices
	{
		smooth::String		 targetFolder;		// the directory page's folder
		std::vector<bool>	 marked;		// the components page's marks, by entry
		bool			 createStartMenu   = false;
		bool			 createDesktop	   = false;
		bool			 createQuickLaunch = false;
	};

	// The record the installation run takes: the pages' values with exactly
	// one mark per component of config; a component without an entry
	// counts as unmarked, entries beyond the components are dropped.
	InstallChoices	 ChoicesFromPages(const PageChoices &pages, const Configuration &config);
}
