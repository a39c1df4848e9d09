// What the in-process wizard tests share: a fresh working folder with a
// setup script, scripted answers for message boxes, a fake system restart,
// and helpers to drive and read the real windows.
#pragma once

#include "wizard.h"

#include "layer_components.h"
#include "layer_directory.h"
#include "layer_license.h"
#include "layer_links.h"
#include "layer_reboot.h"
#include "layer_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace WizardTest
{
	// A setup script built from parts. Pages are given by their dialog ids
	// ("intro", "license", ...); every page gets the title "<id> title" and
	// the text "<id> text" unless texts overrides it.
	struct Script
	{
		std::vector<std::string>	 pages;
		std::string			 texts;		// extra <dialog> elements, verbatim
		std::string			 licenseFile = "license.txt";
		std::string			 defaultDir  = "Sample";
		std::string			 setup;		// children of <setup>, verbatim
		std::string			 application = "<name>Sample</name><version>2.5</version><company>Example</company>";
		std::string			 components;	// children of <components>, verbatim

		std::string Xml() const;
	};

	// A message box as the wizard asked it.
	struct Question
	{
		std::wstring	 text;
		std::wstring	 caption;
		int		 buttons;
		int		 icon;
	};

	class WizardFixture : public ::testing::Test
	{
		protected:
			void SetUp() override;
			void TearDown() override;

			// Writes a file into the working folder (bytes as given).
			void WriteFile(const std::string &name, const std::string &bytes);
			// Writes setup.xml and builds the wizard from it, then lets the
			// windows settle.
			void Start(const Script &script);
			void StartRaw(const std::string &xml);

			// Dispatches what is waiting in the queue, for up to ms
			// milliseconds (at least one pass).
			static void Pump(int ms = 50);

			// Puts the backdrop (when there is one) and the wizard on screen, as
			// the message loop does, and lets them paint.
			void ShowWindows();

			// Whether the wizard window still exists as a system window.
			bool WizardAlive() const;

			// The wizard's windows and widgets.
			const Tolvane::Wizard::Widgets &W() const	{ return wizard->GetWidgets(); }

			// Clicks a button as a user does (BM_CLICK to its control),
			// whether or not it is visible.
			static void Click(smooth::GUI::Widget *button);

			Tolvane::Wizard		*wizard = nullptr;
			std::wstring		 folder;
			std::wstring		 previousFolder;
			void			*wizardHandle = nullptr;
	};

	// Answers queued for the next message boxes (first in, first out; an
	// empty queue answers IDCANCEL) and the boxes asked so far.
	extern std::vector<int>		 answers;
	extern std::vector<Question>	 questions;

	// Calls of the fake system restart (flags, reason) and what it returns.
	extern std::vector<std::pair<unsigned int, unsigned long> > restarts;
	extern int			 restartResult;

	// Runs run (a message loop) with a safety net: should it not return
	// within ms milliseconds, a timer posts WM_QUIT to end it. Returns
	// whether the net was needed.
	bool LoopTimesOut(int ms, const std::function<void()> &run);

	// What a window shows, read from the screen once: pixels in the
	// window's own coordinates (0,0 = its outer top-left).
	class WindowShot
	{
		public:
			explicit WindowShot(void *window);

			// The pixel as 0xRRGGBB; -1 outside the window or when the
			// window could not be read.
			long Pixel(int x, int y) const;
		private:
			int			 width = 0;
			int			 height = 0;
			std::vector<unsigned int> pixels;
	};

	// The bytes of a 24-bit BMP file of the given size in one colour (0xRRGGBB).
	std::string SolidBmp(int width, int height, long rgb);
}
