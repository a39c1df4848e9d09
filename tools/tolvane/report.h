// What `tolvane test` found, as a short human summary and as a JSON report
// for CI. Plain data and text only: the tests check both natively.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Tolvane
{
	namespace Tool
	{
		struct Finding
		{
			std::string	 check;		// which check: "silent-window", "leftover", ... (stable, for scripts)
			std::string	 subject;	// the file, key or value concerned
			std::string	 detail;	// one sentence, UTF-8
		};

		struct TestReport
		{
			std::string					 installer;	// as given
			std::string					 product;	// name and version from its script
			std::string					 version;
			std::vector<std::pair<std::string, double> >	 steps;		// what ran, with its seconds
			std::vector<std::pair<std::string, std::string> > registration;	// the product's entry in the list of installed programs after the installation: value name, text ("ProductCode": the key's name)
			std::vector<Finding>				 findings;
			std::string					 cannotRun;	// why the test could not run; empty when it ran
		};

		// 0 when it ran without findings, 1 with findings, 2 when it could
		// not run.
		int		 ReportExitCode(const TestReport &report);

		// One JSON object: installer, product, version, result ("passed",
		// "failed", "not run"), cannotRun (when set), registration {name:
		// text} (when read), steps [{name, seconds}],
		// findings [{check, subject, detail}]. Texts are escaped as JSON
		// wants (quotes, backslashes, control characters); bytes that are
		// not UTF-8 become U+FFFD, so the report always parses.
		std::string	 ReportJson(const TestReport &report);

		// A line for the product and its result, one line per finding
		// ("  CHECK: SUBJECT: DETAIL"), and the steps' times on one line.
		std::string	 ReportSummary(const TestReport &report);
	}
}
