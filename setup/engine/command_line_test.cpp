#include "command_line.h"

#include <gtest/gtest.h>

using namespace smooth;

namespace
{
	TEST(CommandLine, OptionsOfSetupAndUninstall)
	{
		struct { const char *line; bool setup, silent, help, hasTarget; const char *target, *log; bool refused; bool downgrade = false; } cases[] = {
			{ "", true, false, false, false, "", "", false },
			{ "/S", true, true, false, false, "", "", false },
			{ "/s /log=C:\\setup.log", true, true, false, false, "", "C:\\setup.log", false },
			{ "/S /LOG=C:\\setup.log /D=C:\\Some Folder\\Pebble", true, true, false, true, "C:\\Some Folder\\Pebble", "C:\\setup.log", false },
			{ "/D=C:\\Some Folder\\Pebble  ", true, false, false, true, "C:\\Some Folder\\Pebble", "", false },
			{ "/D=C:\\Plain /S", true, true, false, true, "C:\\Plain", "", false },
			{ "/D=\"C:\\Some Folder\\Pebble\" /S", true, true, false, true, "C:\\Some Folder\\Pebble", "", false },
			{ "\"/D=C:\\Some Folder\" /LOG=\"C:\\a b.log\"", true, false, false, true, "C:\\Some Folder", "C:\\a b.log", false },
			{ "/D=C:\\x /LOG=C:\\y.log", true, false, false, true, "C:\\x", "C:\\y.log", false },
			{ "/?", true, false, true, false, "", "", false },
			{ "/X", true, false, false, false, "", "", true },
			{ "/S /silent", true, true, false, false, "", "", true },
			{ "/bogus /S /LOG=C:\\x.log", true, true, false, false, "", "C:\\x.log", true },	// read on past a refusal
			{ "/LOG=", true, false, false, false, "", "", true },
			{ "/D=", true, false, false, false, "", "", true },
			{ "/D=  /S", true, true, false, false, "", "", true },		// blanks are no folder either
			{ "/D= ", true, false, false, false, "", "", true },
			{ "/D=C:\\x", false, false, false, false, "", "", true },		// the uninstaller has no target
			{ "/S", false, true, false, false, "", "", false },
			{ "/S /allowdowngrade /D=C:\\Old Version", true, true, false, true, "C:\\Old Version", "", false, true },
			{ "/D=C:\\x /ALLOWDOWNGRADE", true, false, false, true, "C:\\x", "", false, true },	// ends the unquoted folder
			{ "/ALLOWDOWNGRADES", true, false, false, false, "", "", true },
			{ "/ALLOWDOWNGRADE", false, false, false, false, "", "", true },	// the uninstaller has nothing to downgrade
		};

		for (const auto &c : cases)
		{
			Tolvane::Options	 options = Tolvane::ParseOptions(c.line, c.setup);

			EXPECT_EQ(c.refused, options.refused != 0) << c.line;
			EXPECT_EQ(c.silent, options.silent) << c.line;
			EXPECT_EQ(c.log, options.logFile.ToUTF8()) << c.line;

			if (c.refused) continue;

			EXPECT_EQ(c.help, options.help) << c.line;
			EXPECT_EQ(c.hasTarget, options.hasTarget) << c.line;
			EXPECT_EQ(c.target, options.target.ToUTF8()) << c.line;
			EXPECT_EQ(c.downgrade, options.allowDowngrade) << c.line;
		}
	}

	// Both programs have a passive mode; closing programs is setup's alone.
	// Both end an unquoted folder.
	TEST(CommandLine, PassiveAndCloseApps)
	{
		struct { const char *line; bool setup, passive, closeApps, refused; const char *target; } cases[] = {
			{ "/P", true, true, false, false, "" },
			{ "/p /closeapps", true, true, true, false, "" },
			{ "/S /CLOSEAPPS", true, false, true, false, "" },
			{ "/D=C:\\Some Folder /P /CLOSEAPPS", true, true, true, false, "C:\\Some Folder" },
			{ "/D=C:\\Pictures /Photos", true, false, false, false, "C:\\Pictures /Photos" },
			{ "/PASSIVE", true, false, false, true, "" },
			{ "/P", false, true, false, false, "" },
			{ "/S /CLOSEAPPS", false, false, false, true, "" },
		};

		for (const auto &c : cases)
		{
			Tolvane::Options	 options = Tolvane::ParseOptions(c.line, c.setup);

			EXPECT_EQ(c.refused, options.refused != 0) << c.line;
			EXPECT_EQ(c.passive, options.passive) << c.line;
			EXPECT_EQ(c.closeApps, options.closeApps) << c.line;
			EXPECT_EQ(c.target, options.target.ToUTF8()) << c.line;
		}
	}
}
