#include "report.h"

#include <gtest/gtest.h>

using namespace Tolvane::Tool;

TEST(Report, ResultAndExitCode)
{
	const struct { const char *cannotRun; size_t findings; int code; const char *result; const char *summary; } cases[] = {
		{ "", 0, 0, "\"result\": \"passed\"", "Pebble 2.5: passed\n" },
		{ "", 1, 1, "\"result\": \"failed\"", "Pebble 2.5: failed with 1 finding\n  leftover: C:\\a: left\n" },
		{ "", 2, 1, "\"result\": \"failed\"", "failed with 2 findings\n" },
		{ "no wine", 1, 2, "\"cannotRun\": \"no wine\"", "Pebble 2.5: not run: no wine\n" },
	};

	for (const auto &c : cases)
	{
		TestReport	 report;

		report.product	 = "Pebble";
		report.version	 = "2.5";
		report.cannotRun = c.cannotRun;
		report.findings.assign(c.findings, Finding { "leftover", "C:\\a", "left" });

		EXPECT_EQ(ReportExitCode(report), c.code);
		EXPECT_NE(ReportJson(report).find(c.result), std::string::npos) << ReportJson(report);
		EXPECT_NE(ReportSummary(report).find(c.summary), std::string::npos) << ReportSummary(report);
	}
}

// Whatever a machine's names hold, the report stays JSON.
TEST(Report, JsonEscapes)
{
	const struct { std::string subject; const char *json; } cases[] = {
		{ "C:\\Program Files\\\"x\"", "\"C:\\\\Program Files\\\\\\\"x\\\"\"" },
		{ "line\nnext\ttab\x01\x7f", "\"line\\nnext\\ttab\\u0001\\u007f\"" },
		{ "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"" },
		{ "bad \xff end \xc3", "\"bad \\ufffd end \\ufffd\"" },
		{ "overlong \xc0\xaf", "\"overlong \\ufffd\\ufffd\"" },
	};

	for (const auto &c : cases)
	{
		TestReport	 report;

		report.findings.push_back({ "c", c.subject, "" });
		report.steps.push_back({ "install", 1.25 });
		report.registration = { { "DisplayName", c.subject }, { "DisplayVersion", "2.5" } };

		std::string	 json = ReportJson(report);

		EXPECT_NE(json.find(std::string("\"subject\": ") + c.json), std::string::npos) << json;
		EXPECT_NE(json.find("{ \"name\": \"install\", \"seconds\": 1.2"), std::string::npos) << json;
		EXPECT_NE(json.find(std::string("\"registration\": { \"DisplayName\": ") + c.json + ", \"DisplayVersion\": \"2.5\" },"), std::string::npos) << json;
	}
}
