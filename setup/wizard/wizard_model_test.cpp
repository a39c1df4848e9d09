// The wizard's flow without a window: every combination of enabled pages
// against a reference of the rules written out step by step, the walks
// through typical scripts, the installation's failure step, Finish, Cancel
// and the close request, and the choices handed to the run.
#include "wizard_model.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace smooth;
using namespace Tolvane;

namespace
{
	// The rules as the wizard has always applied them to its widgets,
	// written out handler by handler with page numbers and flags, apart from
	// the model: which widgets are visible, what the buttons read, whose
	// title the window has.
	struct Reference
	{
		bool		 flags[9]    = { };	// [1] to [8]
		int		 current     = 0;
		int		 first	     = 0;
		int		 last	     = 0;
		int		 installPage = -1;
		bool		 installing  = false;

		bool		 back	     = false;
		bool		 next	     = true;
		bool		 cancel	     = true;
		bool		 icon	     = true;
		bool		 progress    = false;	// both texts and bars, and the installation page
		bool		 shown[9]    = { };
		std::string	 nextText    = "Next ->";
		std::string	 cancelText  = "Cancel";
		int		 title	     = 0;	// page number; -1 the installation title

		explicit Reference(unsigned int bits)
		{
			for (int p = 1; p <= 8; p++) flags[p] = (bits >> (p - 1)) & 1;

			for (int p = 1; p <= 8; p++) if (flags[p]) { current = p; break; }
			for (int p = 8; p >= 1; p--) if (flags[p]) { last = p; break; }

			first	    = current;
			installPage = flags[7] ? 7 : (flags[8] ? 8 : -1);
			title	    = current;
			shown[current] = current != 0;

			if (current == 8) icon = false;
		}

		void HideAll()
		{
			icon = false;

			for (bool &page : shown) page = false;
		}

		void ShowPage(bool finishRule)
		{
			icon	   = current >= 1 && current <= 7;
			nextText   = "Next ->";
			cancelText = "Cancel";

			if (current == 2) { nextText = "Yes"; cancelText = "No"; }

			if (finishRule && current == last) nextText = "Finish";

			title	       = current;
			shown[current] = true;
		}

		// '-' ignored, 'F' Finish, 'I' the run starts, 'S' a page is shown.
		char Next()
		{
			if (current == 0 || installing) return '-';
			if (current == last) return 'F';

			for (int p = current + 1; p <= 8; p++) if (flags[p]) { current = p; break; }

			back = true;
			HideAll();

			if (current != installPage) { ShowPage(true); return 'S'; }

			title	   = -1;
			back	   = next = cancel = false;
			icon	   = progress = true;
			installing = true;

			return 'I';
		}

		void RunOver()		{ installing = false; }

		void PageAfterRun()
		{
			next	 = true;
			progress = false;
			ShowPage(true);
		}

		bool Back()
		{
			if (current == 0 || installing) return false;

			int	 previous = current;

			if (current >= 2 && current <= 6)
			{
				for (int p = current - 1; p >= 1; p--) if (flags[p]) { current = p; break; }
			}
			else if (current == 8 && flags[7])
			{
				current = 7;
			}

			if (current == previous) return false;

			HideAll();

			if (current == first)	    back = false;
			if (current == installPage) back = false;

			if (current >= 1 && current <= 7) ShowPage(false);

			return true;
		}

		// '-' ignored, 'L' the licence page's message, 'C' a close request.
		char Cancel() const	{ return current == 0 || installing ? '-' : (current == 2 ? 'L' : 'C'); }
		// 'R' refused, 'G' granted, 'A' the exit question.
		char Close() const	{ return installing ? 'R' : (current == last ? 'G' : 'A'); }

		std::string Key() const
		{
			std::string	 key = std::to_string(current) + (installing ? "i" : "") + (back ? "b" : "") + (next ? "n" : "") + (cancel ? "c" : "") + (icon ? "o" : "") + (progress ? "p" : "");

			for (int p = 1; p <= 8; p++) key += shown[p] ? char('0' + p) : '.';

			return key + nextText + "|" + cancelText + "|" + std::to_string(title);
		}
	};

	::testing::AssertionResult Same(const Reference &reference, const WizardFlow &flow)
	{
		const WizardView	&view = flow.GetView();
		int			 shownPage = 0;
		int			 shownCount = 0;

		for (int p = 1; p <= 8; p++) if (reference.shown[p]) { shownPage = p; shownCount++; }

		std::string	 wrong;

		if (shownCount > 1) wrong += " more than one page shown;";
		if (NumberOfPage(view.page) != shownPage) wrong += " page " + std::to_string(NumberOfPage(view.page)) + " instead of " + std::to_string(shownPage) + ";";
		if (view.installation != reference.progress) wrong += " installation page;";
		if (view.back != reference.back) wrong += " back;";
		if (view.next != reference.next) wrong += " next;";
		if (view.cancel != reference.cancel) wrong += " cancel;";
		if (view.icon != reference.icon) wrong += " icon;";
		if (view.nextText != reference.nextText) wrong += std::string(" next reads ") + view.nextText + ";";
		if (view.cancelText != reference.cancelText) wrong += std::string(" cancel reads ") + view.cancelText + ";";
		if ((reference.title == -1) != view.installation || (!view.installation && NumberOfPage(view.page) != reference.title)) wrong += " title;";
		if (NumberOfPage(flow.GetCurrentPage()) != reference.current) wrong += " current page;";
		if (flow.IsInstalling() != reference.installing) wrong += " installing;";

		const char	 cancels[] = { '-', 'L', 'C' };
		const char	 closes[]  = { 'R', 'G', 'A' };

		if (cancels[int(flow.Cancel())] != reference.Cancel()) wrong += " cancel step;";
		if (closes[int(flow.CloseRequested())] != reference.Close()) wrong += " close step;";

		if (wrong.empty()) return ::testing::AssertionSuccess();

		return ::testing::AssertionFailure() << "reference " << reference.Key() << ":" << wrong;
	}

	struct Node
	{
		Reference	 reference;
		WizardFlow	 flow;
		std::string	 path;

		// Both sides: a state the model reaches in a way of its own is
		// compared again.
		std::string Key() const
		{
			const WizardView	&view = flow.GetView();

			return reference.Key() + "/" + std::to_string(NumberOfPage(view.page)) + (view.installation ? "i" : "") + (view.back ? "b" : "") + (view.next ? "n" : "") +
			       (view.cancel ? "c" : "") + (view.icon ? "o" : "") + view.nextText + view.cancelText + std::to_string(NumberOfPage(flow.GetCurrentPage()));
		}
	};
}

// Every one of the 256 sets of enabled pages, every state reachable by
// Next and Back, through the run with and without failures.
TEST(WizardFlowReference, EveryPageSetFollowsTheRulesOnEveryPath)
{
	std::set<std::pair<unsigned int, int> >	 visited;	// (pages, page shown)

	for (unsigned int bits = 0; bits < 256; bits++)
	{
		std::vector<Node>	 todo { { Reference(bits), WizardFlow(PageSet::FromBits(bits)), "start" } };
		std::set<std::string>	 seen;

		while (!todo.empty())
		{
			Node	 node = todo.back();

			todo.pop_back();

			if (!seen.insert(node.Key()).second) continue;

			visited.insert({ bits, node.reference.current });

			std::string	 where = "pages " + std::to_string(bits) + ", " + node.path;

			ASSERT_TRUE(Same(node.reference, node.flow)) << where;

			/* Next */
			{
				Node	 next	   = node;
				char	 expected  = next.reference.Next();
				NextStep step	   = next.flow.Next();
				const char steps[] = { '-', 'F', 'S', 'I' };

				ASSERT_EQ(steps[int(step)], expected) << where << " N";

				next.path += " N";

				if (expected == 'S') todo.push_back(next);

				/* Finish and an ignored Next change nothing: a refused
				 * restart leaves the wizard as it was. */
				if (expected == 'F' || expected == '-') ASSERT_TRUE(next.flow.GetView() == node.flow.GetView() && next.flow.GetCurrentPage() == node.flow.GetCurrentPage()) << where;

				if (expected == 'I')
				{
					ASSERT_TRUE(Same(next.reference, next.flow)) << where << " N";

					/* While the run goes every button is ignored. */
					WizardFlow	 running = next.flow;

					EXPECT_EQ(running.Next(), NextStep::Ignored);
					EXPECT_FALSE(running.Back());
					EXPECT_TRUE(running.GetView() == next.flow.GetView());

					for (int outcome = 0; outcome < 3; outcome++)	// 0 no failure, 1 failures kept, 2 taken back
					{
						Node	 after = next;

						after.reference.RunOver();

						if (outcome == 0)
						{
							ASSERT_EQ(after.flow.RunEnded(false), RunEndStep::ShowPage) << where;
						}
						else
						{
							ASSERT_EQ(after.flow.RunEnded(true), RunEndStep::AskTakeBack) << where;
							/* The question comes with the installation page still up. */
							ASSERT_TRUE(Same(after.reference, after.flow)) << where << " failed";

							if (outcome == 2)
							{
								WizardView	 before = after.flow.GetView();

								ASSERT_EQ(after.flow.AnswerTakeBack(ANSWER_YES), TakeBackStep::TakeBackAndEnd) << where;
								ASSERT_TRUE(after.flow.GetView() == before) << where;

								continue;
							}

							ASSERT_EQ(after.flow.AnswerTakeBack(ANSWER_NO), TakeBackStep::ShowPage) << where;
						}

						after.reference.PageAfterRun();
						after.path += outcome == 0 ? " (run)" : " (run failed, kept)";
						todo.push_back(after);
					}
				}
			}

			/* Back */
			{
				Node	 back	  = node;
				bool	 expected = back.reference.Back();

				ASSERT_EQ(back.flow.Back(), expected) << where << " B";

				if (expected) { back.path += " B"; todo.push_back(back); }
				else	      ASSERT_TRUE(back.flow.GetView() == node.flow.GetView()) << where << " B";
			}
		}
	}

	/* Every enabled page of every set was reached: 8 pages, each in 128
	 * of the sets. */
	visited.erase({ 0, 0 });
	EXPECT_EQ(visited.size(), 8u * 128u);
}

namespace
{
	// What the wizard shows after one step of a walk.
	struct Expect
	{
		char		 action;	// 'N' Next (through the run when it comes), 'B' Back, '-' the start
		Page		 page;
		bool		 back;
		bool		 cancel;
		const char	*next;
		const char	*cancelText;
		bool		 icon;
	};

	struct Walk
	{
		const char		*name;
		std::vector<Page>	 pages;
		std::vector<Expect>	 steps;
	};

	const Walk walks[] =
	{
		{ "every page", { Page::Intro, Page::License, Page::Directory, Page::Components, Page::Links, Page::Summary, Page::Finish, Page::Reboot },
		  { { '-', Page::Intro,	     false, true,  "Next ->", "Cancel", true },
		    { 'N', Page::License,    true,  true,  "Yes",     "No",	true },
		    { 'N', Page::Directory,  true,  true,  "Next ->", "Cancel", true },
		    { 'B', Page::License,    true,  true,  "Yes",     "No",	true },
		    { 'N', Page::Directory,  true,  true,  "Next ->", "Cancel", true },
		    { 'N', Page::Components, true,  true,  "Next ->", "Cancel", true },
		    { 'N', Page::Links,	     true,  true,  "Next ->", "Cancel", true },
		    { 'N', Page::Summary,    true,  true,  "Next ->", "Cancel", true },
		    { 'N', Page::Finish,     false, false, "Next ->", "Cancel", true },
		    { 'N', Page::Reboot,     true,  false, "Finish",  "Cancel", false },
		    { 'B', Page::Finish,     false, false, "Next ->", "Cancel", true },
		    { 'B', Page::Finish,     false, false, "Next ->", "Cancel", true },
		    { 'N', Page::Reboot,     true,  false, "Finish",  "Cancel", false } } },
		{ "licence first", { Page::License, Page::Directory, Page::Finish },
		  { { '-', Page::License,   false, true,  "Next ->", "Cancel", true },
		    { 'N', Page::Directory, true,  true,  "Next ->", "Cancel", true },
		    { 'B', Page::License,   false, true,  "Yes",     "No",     true },
		    { 'N', Page::Directory, true,  true,  "Next ->", "Cancel", true },
		    { 'N', Page::Finish,    false, false, "Finish",  "Cancel", true } } },
		{ "restart without finish", { Page::Intro, Page::Reboot },
		  { { '-', Page::Intro,	 false, true,  "Next ->", "Cancel", true },
		    { 'N', Page::Reboot, false, false, "Finish",  "Cancel", false },
		    { 'B', Page::Reboot, false, false, "Finish",  "Cancel", false } } },
		{ "no finish, no restart", { Page::Intro, Page::Directory },
		  { { '-', Page::Intro,	    false, true, "Next ->", "Cancel", true },
		    { 'N', Page::Directory, true,  true, "Finish",  "Cancel", true },
		    { 'B', Page::Intro,	    false, true, "Next ->", "Cancel", true } } },
		{ "finish first", { Page::Finish, Page::Reboot },
		  { { '-', Page::Finish, false, true, "Next ->", "Cancel", true },
		    { 'N', Page::Reboot, true,	true, "Finish",	 "Cancel", false },
		    { 'B', Page::Finish, false, true, "Next ->", "Cancel", true } } },
		{ "restart only", { Page::Reboot },
		  { { '-', Page::Reboot, false, true, "Next ->", "Cancel", false } } },
		{ "one page", { Page::Summary },
		  { { '-', Page::Summary, false, true, "Next ->", "Cancel", true } } },
	};

	void PrintTo(const Walk &walk, std::ostream *out)
	{
		*out << walk.name;
	}

	PageSet SetOf(const std::vector<Page> &pages)
	{
		PageSet	 set;

		for (Page page : pages) set.Add(page);

		return set;
	}

	class WalkTest : public ::testing::TestWithParam<Walk>
	{
	};
}

TEST_P(WalkTest, ButtonsAndPagesFollowEachStep)
{
	const Walk	&walk = GetParam();
	WizardFlow	 flow(SetOf(walk.pages));

	for (size_t i = 0; i < walk.steps.size(); i++)
	{
		const Expect	&step = walk.steps[i];

		SCOPED_TRACE(std::string(walk.name) + ", step " + std::to_string(i) + " (" + step.action + ")");

		if (step.action == 'N' && flow.Next() == NextStep::Install) EXPECT_EQ(flow.RunEnded(false), RunEndStep::ShowPage);
		if (step.action == 'B') flow.Back();

		const WizardView	&view = flow.GetView();

		ASSERT_EQ(flow.GetCurrentPage(), step.page);
		EXPECT_EQ(view.page, step.page);
		EXPECT_FALSE(view.installation);
		EXPECT_EQ(view.back, step.back);
		EXPECT_EQ(view.cancel, step.cancel);
		EXPECT_TRUE(view.next);
		EXPECT_STREQ(view.nextText, step.next);
		EXPECT_STREQ(view.cancelText, step.cancelText);
		EXPECT_EQ(view.icon, step.icon);
	}
}

INSTANTIATE_TEST_SUITE_P(Walks, WalkTest, ::testing::ValuesIn(walks),
	[](const ::testing::TestParamInfo<Walk> &info) { std::string n = info.param.name; for (char &c : n) if (!isalnum((unsigned char) c)) c = '_'; return n; });

TEST(PageSet, BitsFlagsAndNeighbours)
{
	EXPECT_TRUE(PageSet().IsEmpty());
	EXPECT_TRUE(PageSet::FromBits(0x100).IsEmpty());		// a ninth page does not exist
	EXPECT_EQ(PageSet::FromBits(0x1FF).Last(), Page::Reboot);
	EXPECT_FALSE(PageSet::FromBits(0xFF).Has(Page::None));
	EXPECT_TRUE(PageSet().Add(Page::None).IsEmpty());

	EXPECT_EQ(PageOfNumber(0), Page::None);
	EXPECT_EQ(PageOfNumber(1), Page::Intro);
	EXPECT_EQ(PageOfNumber(8), Page::Reboot);
	EXPECT_EQ(PageOfNumber(9), Page::None);
	EXPECT_EQ(PageOfNumber(-1), Page::None);

	struct Case { unsigned int bits; Page first, last, aboveLicense, belowSummary, aboveReboot, belowIntro; };
	const Case	 cases[] =
	{
		{ 0x00, Page::None,	 Page::None,	  Page::None,	    Page::None,	     Page::None, Page::None },
		{ 0x01, Page::Intro,	 Page::Intro,	  Page::None,	    Page::Intro,     Page::None, Page::None },
		{ 0x80, Page::Reboot,	 Page::Reboot,	  Page::Reboot,	    Page::None,	     Page::None, Page::None },
		{ 0x3A, Page::License,	 Page::Summary,	  Page::Components, Page::Links,     Page::None, Page::None },	// 2, 4, 5, 6
		{ 0xFF, Page::Intro,	 Page::Reboot,	  Page::Directory,  Page::Links,     Page::None, Page::None },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.bits);

		PageSet	 pages = PageSet::FromBits(c.bits);

		EXPECT_EQ(pages.First(), c.first);
		EXPECT_EQ(pages.Last(), c.last);
		EXPECT_EQ(pages.Above(Page::License), c.aboveLicense);
		EXPECT_EQ(pages.Below(Page::Summary), c.belowSummary);
		EXPECT_EQ(pages.Above(Page::Reboot), c.aboveReboot);
		EXPECT_EQ(pages.Below(Page::Intro), c.belowIntro);
	}

	/* The flags of the configuration, page by page. */
	Configuration	 config;
	bool Configuration::*const flags[] = { &Configuration::showIntro, &Configuration::showLicense, &Configuration::showDirectory, &Configuration::showComponents,
					       &Configuration::showLinks, &Configuration::showSummary, &Configuration::showFinish, &Configuration::showReboot };

	for (int p = 0; p < 8; p++)
	{
		config.*flags[p] = true;

		EXPECT_EQ(PageSet::Enabled(config).Last(), PageOfNumber(p + 1));
		EXPECT_EQ(PageSet::Enabled(config).First(), Page::Intro);
	}
}

namespace
{
	// A setup script whose dialogs are given in document order.
	std::string Script(const std::vector<std::string> &ids)
	{
		std::string	 xml = "<?xml version=\"1.0\"?><installer><dialogs>";

		for (const std::string &id : ids) xml += "<dialog id=\"" + id + "\"><title>" + id + " title</title><text>" + id + " text</text></dialog>";

		return xml + "<dialog id=\"installation\"><title>installation title</title><text>x</text></dialog></dialogs></installer>";
	}
}

TEST(WizardFlow, TheFirstPageIsTheLowestEnabledWhateverTheScriptsOrder)
{
	smooth_test::ScratchFolder	 scratch;
	Configuration			 config;

	scratch.Write("setup.xml", Script({ "links", "components", "summary" }));
	config.LoadFile(scratch.Path("setup.xml"));

	WizardFlow	 flow(PageSet::Enabled(config));

	EXPECT_EQ(flow.GetCurrentPage(), Page::Components);
	EXPECT_EQ(flow.GetFirstPage(), Page::Components);
	EXPECT_EQ(flow.GetLastPage(), Page::Summary);
	EXPECT_EQ(flow.GetInstallPage(), Page::None);
	EXPECT_EQ(InitialRestartChoice(flow.GetPages()), RESTART_LATER);
	EXPECT_EQ(WizardTitle(config, flow.GetView()).ToUTF8(), "components title");

	WizardView	 installing;

	installing.installation = true;
	EXPECT_EQ(WizardTitle(config, installing).ToUTF8(), "installation title");
	EXPECT_EQ(WizardTitle(config, WizardView()).ToUTF8(), "");
}

// Scripts that leave nothing to show: no page, every step ignored, and a
// close request needs no question.
TEST(WizardFlow, ScriptsWithoutPagesLeaveNothingToDo)
{
	struct Case { const char *name; const char *xml; };	// xml null: no script at all
	const Case	 cases[] =
	{
		{ "no setup.xml", nullptr },
		{ "not xml", "this is not a setup script" },
		{ "cut short", "<?xml version=\"1.0\"?><installer><dialogs><dialog id=\"intro\"><title>t</title>" },
		{ "no pages", "<installer><application><name>x</name></application><dialogs><dialog id=\"installation\"><title>t</title><text>x</text></dialog></dialogs></installer>" },
		{ "dialogs incomplete", "<installer><dialogs><dialog id=\"intro\"><title>t</title></dialog><dialog id=\"unknown\"><title>t</title><text>x</text></dialog></dialogs></installer>" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		smooth_test::ScratchFolder	 scratch;
		Configuration			 config;

		if (c.xml != nullptr) scratch.Write("setup.xml", c.xml);

		config.LoadFile(scratch.Path("setup.xml"));

		WizardFlow	 flow(PageSet::Enabled(config));
		WizardView	 start = flow.GetView();

		EXPECT_FALSE(flow.HasPages());
		EXPECT_EQ(start.page, Page::None);
		EXPECT_EQ(flow.Next(), NextStep::Ignored);
		EXPECT_FALSE(flow.Back());
		EXPECT_EQ(flow.Cancel(), CancelStep::Ignored);
		EXPECT_EQ(flow.CloseRequested(), CloseStep::Grant);
		EXPECT_EQ(flow.RunEnded(true), RunEndStep::ShowPage);
		EXPECT_TRUE(flow.GetView() == start);
	}
}

TEST(WizardFlow, FailedRunAsksToTakeItBack)
{
	struct Case { const char *name; bool failed; Int answer; TakeBackStep step; bool pageAfter; };
	const Case	 cases[] =
	{
		{ "no failure", false, 0, TakeBackStep::ShowPage, true },
		{ "failed, keep", true, ANSWER_NO, TakeBackStep::ShowPage, true },
		{ "failed, take back", true, ANSWER_YES, TakeBackStep::TakeBackAndEnd, false },
		{ "failed, no box", true, 0, TakeBackStep::ShowPage, true },		// the box could not be shown
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		WizardFlow	 flow(SetOf({ Page::Summary, Page::Finish, Page::Reboot }));

		ASSERT_EQ(flow.Next(), NextStep::Install);

		/* No run happens twice and none is ended twice. */
		EXPECT_EQ(flow.RunEnded(c.failed), c.failed ? RunEndStep::AskTakeBack : RunEndStep::ShowPage);

		if (c.failed)
		{
			/* While the question is up the run is over: a close request is
			 * judged by the page after it. */
			EXPECT_FALSE(flow.IsInstalling());
			EXPECT_TRUE(flow.GetView().installation);
			EXPECT_EQ(flow.CloseRequested(), CloseStep::AskExit);
			EXPECT_EQ(flow.AnswerTakeBack(c.answer), c.step);
		}

		EXPECT_EQ(flow.GetView().installation, !c.pageAfter);
		EXPECT_EQ(flow.GetView().page, c.pageAfter ? Page::Finish : Page::None);
		EXPECT_EQ(flow.GetView().next, c.pageAfter);
		EXPECT_FALSE(flow.GetView().cancel);
		EXPECT_EQ(flow.RunEnded(false), RunEndStep::ShowPage);
		EXPECT_EQ(flow.GetCurrentPage(), Page::Finish);
	}
}

// Files left for the restart: the restart page follows the run as the last
// page in the finish page's place, whether the script enables it or not,
// and Finish there restarts; Next starts the run only from the page before
// the installation page.
TEST(WizardFlow, ARunThatNeedsARestartEndsOnTheRestartPage)
{
	struct Case { const char *name; std::initializer_list<Page> pages; bool failed; Int answer; bool backToFinish; };
	const Case	 cases[] =
	{
		{ "finish only", { Page::Intro, Page::Summary, Page::Finish }, false, 0, false },
		{ "finish and restart", { Page::Summary, Page::Finish, Page::Reboot }, false, 0, false },
		{ "restart only", { Page::Summary, Page::Reboot }, false, 0, false },
		{ "failed, kept", { Page::Summary, Page::Finish }, true, ANSWER_NO, false },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		WizardFlow	 flow(SetOf(c.pages));

		while (!flow.StartsInstallation()) ASSERT_EQ(flow.Next(), NextStep::ShowPage);

		ASSERT_EQ(flow.GetCurrentPage(), Page::Summary);
		ASSERT_EQ(flow.Next(), NextStep::Install);
		EXPECT_FALSE(flow.StartsInstallation()) << "not while installing";

		if (c.failed)
		{
			ASSERT_EQ(flow.RunEnded(true, true), RunEndStep::AskTakeBack);
			EXPECT_EQ(flow.AnswerTakeBack(c.answer), TakeBackStep::ShowPage);
		}
		else EXPECT_EQ(flow.RunEnded(false, true), RunEndStep::ShowPage);

		EXPECT_EQ(flow.GetView().page, Page::Reboot);
		EXPECT_STREQ(flow.GetView().nextText, TEXT_FINISH);
		EXPECT_FALSE(flow.GetView().icon);
		EXPECT_FALSE(flow.GetView().cancel);
		EXPECT_FALSE(flow.Back()) << "no finish page to go back to";
		EXPECT_EQ(flow.GetLastPage(), Page::Reboot);
		EXPECT_EQ(flow.Next(), NextStep::Finish);
		EXPECT_FALSE(flow.StartsInstallation());
	}

	WizardFlow	 none(SetOf({ Page::Summary, Page::Finish }));

	ASSERT_EQ(none.Next(), NextStep::Install);
	EXPECT_EQ(none.RunEnded(false, false), RunEndStep::ShowPage);
	EXPECT_EQ(none.GetView().page, Page::Finish) << "without files in use nothing changes";
}

// Passive: the installation page at once, even without the pages a run
// needs; nothing a button or the close box does gets past it.
TEST(WizardFlow, PassiveShowsOnlyTheInstallationPage)
{
	for (PageSet pages : { PageSet(), SetOf({ Page::Intro, Page::Finish }) })
	{
		WizardFlow	 flow(pages);

		flow.ShowInstallationOnly();

		EXPECT_TRUE(flow.GetView().installation);
		EXPECT_EQ(flow.GetView().page, Page::None);
		EXPECT_FALSE(flow.GetView().next || flow.GetView().back || flow.GetView().cancel);
		EXPECT_EQ(flow.Next(), NextStep::Ignored);
		EXPECT_FALSE(flow.Back());
		EXPECT_EQ(flow.Cancel(), CancelStep::Ignored);
		EXPECT_EQ(flow.CloseRequested(), CloseStep::Refuse);
	}
}

TEST(WizardMessages, FilesInUseAnswers)
{
	struct { Int answer; InUseStep step; } answers[] = {
		{ ANSWER_RETRY, InUseStep::CheckAgain }, { ANSWER_IGNORE, InUseStep::ReplaceAtRestart },
		{ ANSWER_ABORT, InUseStep::Stay }, { 0, InUseStep::Stay }, { ANSWER_CANCEL, InUseStep::Stay },
	};

	for (const auto &a : answers) EXPECT_EQ(AnswerFilesInUse(a.answer), a.step) << a.answer;

	WizardMessage	 message = FilesInUseMessage({ { "C:\\App\\app.exe", "App Window", 7 } });

	EXPECT_EQ(message.buttons, BUTTONS_ABORTRETRYIGNORE);
	EXPECT_NE(message.text.Find("App Window: C:\\App\\app.exe"), -1) << message.text.ToUTF8();
}

TEST(WizardFlow, FinishClosesOrRestarts)
{
	EXPECT_EQ(InitialRestartChoice(SetOf({ Page::Finish, Page::Reboot })), RESTART_NOW);
	EXPECT_EQ(InitialRestartChoice(SetOf({ Page::Intro, Page::Finish })), RESTART_LATER);

	EXPECT_EQ(FinishFor(RESTART_NOW), FinishStep::Restart);
	EXPECT_EQ(FinishFor(RESTART_LATER), FinishStep::Close);

	/* Finish asks once more after a refused restart, from the same page. */
	WizardFlow	 flow(SetOf({ Page::Finish, Page::Reboot }));

	ASSERT_EQ(flow.Next(), NextStep::ShowPage);

	WizardView	 last = flow.GetView();

	for (int i = 0; i < 2; i++)
	{
		EXPECT_EQ(flow.Next(), NextStep::Finish);
		EXPECT_TRUE(flow.GetView() == last);
		EXPECT_EQ(flow.GetCurrentPage(), Page::Reboot);
	}
}

// Which step Cancel and the close request take on each page is checked
// against the reference above; here the answers to the questions.
TEST(WizardFlow, AnswersEndTheProgramOnlyWhenTheyShould)
{
	/* The page decides, not the button's text: a licence page that comes
	 * first reads "Cancel" and still asks the licence's question. */
	WizardFlow	 flow(SetOf({ Page::License, Page::Summary }));

	EXPECT_STREQ(flow.GetView().cancelText, "Cancel");
	EXPECT_EQ(flow.Cancel(), CancelStep::AskLicenceCancel);

	struct Answer { Int answer; bool licenceEnds; bool exitEnds; };
	const Answer	 answers[] =
	{
		{ ANSWER_OK, true, false }, { ANSWER_CANCEL, false, false }, { ANSWER_YES, false, true }, { ANSWER_NO, false, false },
		{ 0, false, false },	// the box could not be shown
	};

	for (const Answer &a : answers)
	{
		EXPECT_EQ(flow.AnswerLicenceCancel(a.answer), a.licenceEnds) << a.answer;
		EXPECT_EQ(flow.AnswerExit(a.answer), a.exitEnds) << a.answer;
	}
}

TEST(WizardMessages, TextsCaptionsButtonsAndIcons)
{
	std::vector<InstallFailure>	 failures { { "C:\\x\\missing.zbk", "no such file" } };

	struct Case { const char *name; WizardMessage message; std::string text; const char *caption; Int buttons; Int icon; };
	const Case	 cases[] =
	{
		{ "exit", ExitQuestion(), "Do you really want to exit Setup now?\n\nIf you quit now, the program will not be installed on your computer.\nYou may run Setup again later to complete the installation.",
		  "Exit Setup", 4, 32514 },
		{ "licence", LicenceCancelMessage(), "The Setup will be cancelled now!", "Info", 1, 32516 },
		{ "take back", TakeBackQuestion(failures), DescribeFailures(failures).ToUTF8(), "Setup", 4, 32515 },
		{ "taken back", TakenBackMessage(0), "Setup has taken back everything it installed.", "Setup", 0, 32516 },
		{ "taken back, some stayed", TakenBackMessage(3), "Setup has taken back what it installed; 3 files or folders could not be removed.", "Setup", 0, 32516 },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		EXPECT_EQ(c.message.text.ToUTF8(), c.text);
		EXPECT_EQ(c.message.caption.ToUTF8(), c.caption);
		EXPECT_EQ(c.message.buttons, c.buttons);
		EXPECT_EQ(c.message.icon, c.icon);
	}

	EXPECT_NE(TakeBackQuestion(failures).text.Find("missing.zbk\n    no such file"), -1);
}

TEST(PageChoices, OneMarkPerComponentWhateverTheListHolds)
{
	Configuration	 config;

	for (int i = 0; i < 3; i++) config.components.Add(new Component());

	struct Case { const char *name; std::vector<bool> marked; std::vector<bool> selected; };
	const Case	 cases[] =
	{
		{ "as many", { true, false, true }, { true, false, true } },
		{ "fewer entries", { true }, { true, false, false } },
		{ "no entries", { }, { false, false, false } },
		{ "more entries", { false, true, true, true }, { false, true, true } },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);

		PageChoices	 pages;

		pages.targetFolder	= "D:\\Target";
		pages.marked		= c.marked;
		pages.createStartMenu	= true;
		pages.createQuickLaunch = true;

		InstallChoices	 choices = ChoicesFromPages(pages, config);

		EXPECT_EQ(choices.selected, c.selected);
		EXPECT_EQ(choices.targetFolder.ToUTF8(), "D:\\Target");
		EXPECT_TRUE(choices.createStartMenu);
		EXPECT_FALSE(choices.createDesktop);
		EXPECT_TRUE(choices.createQuickLaunch);
	}

	Configuration	 none;
	PageChoices	 pages;

	pages.marked = { true };
	EXPECT_TRUE(ChoicesFromPages(pages, none).selected.empty());
}

// Where Setup starts: /D= before the registered folder before the pages'
// own proposal; a newer registered version is a downgrade to ask about.
TEST(WizardStart, FolderAndDowngrade)
{
	Configuration	 config;

	config.appName	  = "Editor";
	config.appVersion = "2.9";

	struct Case { const char *name, *line; Registered registered; const char *folder; bool downgrade; };
	const Case cases[] = {
		{ "nothing registered", "", {}, "", false },
		{ "registered older", "", { true, "C:\\Apps\\Editor", "2.8" }, "C:\\Apps\\Editor", false },
		{ "registered newer", "", { true, "C:\\Apps\\Editor", "2.10" }, "C:\\Apps\\Editor", true },
		{ "/D= wins", "/D=D:\\Elsewhere", { true, "C:\\Apps\\Editor", "2.9" }, "D:\\Elsewhere", false },
		{ "registered without a folder", "", { true, "", "1.0" }, "", false },
	};

	for (const Case &c : cases)
	{
		SetupStart	 start = PlanStart(config, c.registered, ParseOptions(c.line, true));

		EXPECT_EQ(start.folder.ToUTF8(), c.folder) << c.name;
		EXPECT_EQ(start.downgrade, c.downgrade) << c.name;
	}

	WizardMessage	 question = DowngradeMessage(config, { true, "C:\\Apps\\Editor", "2.10" });

	EXPECT_EQ(question.text.ToUTF8(), "Editor 2.10 is installed, which is newer than 2.9.\n\nDo you want to replace it with the older version?");
	EXPECT_EQ(question.buttons, BUTTONS_YESNO | DEFAULT_SECOND) << "Enter answers No";
	EXPECT_EQ(UnfinishedRunMessage("C:\\E", 0).text.ToUTF8(), "Setup did not finish an earlier run in C:\\E. What it had changed has been taken back.");
}

// The folder is checked when Next leaves the directory page forward, and
// only then.
TEST(WizardStart, DirectoryPageIsLeftForward)
{
	for (unsigned int bits = 0; bits < 256; bits++)
	{
		PageSet		 pages = PageSet::FromBits(bits);
		WizardFlow	 flow(pages);

		for (int steps = 0; steps < 10 && flow.HasPages(); steps++)
		{
			bool	 expected = flow.GetCurrentPage() == Page::Directory && pages.Above(Page::Directory) != Page::None && !flow.IsInstalling();

			ASSERT_EQ(flow.LeavesDirectoryPage(), expected) << "pages " << bits << ", step " << steps;

			if (flow.Next() == NextStep::Install) flow.RunEnded(false);
		}
	}
}
