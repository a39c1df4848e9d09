#include "report.h"

#include <cstdio>

namespace
{
	using namespace Tolvane::Tool;

	// A JSON string. Paths and names come from the machine under test, so
	// whatever bytes they hold must still give a report that parses.
	std::string Json(const std::string &text)
	{
		std::string	 out = "\"";

		for (size_t i = 0; i < text.size(); )
		{
			unsigned char	 c = text[i];
			size_t		 length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
			bool		 valid = length > 0 && i + length <= text.size() && (length != 2 || c >= 0xC2);

			for (size_t j = 1; valid && j < length; j++) valid = (text[i + j] & 0xC0) == 0x80;

			if (!valid) { out += "\\ufffd"; i++; continue; }

			if (length > 1) { out += text.substr(i, length); i += length; continue; }

			char	 escaped[8];

			if	(c == '"' || c == '\\') out += '\\', out += char(c);
			else if (c == '\n')		out += "\\n";
			else if (c == '\t')		out += "\\t";
			else if (c < 0x20 || c == 0x7F) snprintf(escaped, sizeof(escaped), "\\u%04x", c), out += escaped;
			else				out += char(c);

			i++;
		}

		return out + "\"";
	}

	const char *Result(const TestReport &report)
	{
		int	 code = ReportExitCode(report);

		return code == 0 ? "passed" : code == 1 ? "failed" : "not run";
	}

	std::string Seconds(double seconds)
	{
		char	 text[32];

		snprintf(text, sizeof(text), "%.1f", seconds);

		return text;
	}
}

int Tolvane::Tool::ReportExitCode(const TestReport &report)
{
	return !report.cannotRun.empty() ? 2 : report.findings.empty() ? 0 : 1;
}

std::string Tolvane::Tool::ReportJson(const TestReport &report)
{
	std::string	 json = "{\n  \"installer\": " + Json(report.installer) + ",\n  \"product\": " + Json(report.product) +
			        ",\n  \"version\": " + Json(report.version) + ",\n  \"result\": \"" + Result(report) + "\",\n";

	if (!report.cannotRun.empty()) json += "  \"cannotRun\": " + Json(report.cannotRun) + ",\n";

	if (!report.registration.empty())
	{
		json += "  \"registration\": {";

		for (size_t i = 0; i < report.registration.size(); i++) json += std::string(i == 0 ? " " : ", ") + Json(report.registration[i].first) + ": " + Json(report.registration[i].second);

		json += " },\n";
	}

	json += "  \"steps\": [";

	for (size_t i = 0; i < report.steps.size(); i++) json += std::string(i == 0 ? "\n" : ",\n") + "    { \"name\": " + Json(report.steps[i].first) + ", \"seconds\": " + Seconds(report.steps[i].second) + " }";

	json += report.steps.empty() ? "],\n  \"findings\": [" : "\n  ],\n  \"findings\": [";

	for (size_t i = 0; i < report.findings.size(); i++)
	{
		const Finding	&finding = report.findings[i];

		json += std::string(i == 0 ? "\n" : ",\n") + "    { \"check\": " + Json(finding.check) + ", \"subject\": " + Json(finding.subject) + ", \"detail\": " + Json(finding.detail) + " }";
	}

	return json + (report.findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string Tolvane::Tool::ReportSummary(const TestReport &report)
{
	std::string	 text = "tolvane test: " + (report.product.empty() ? report.installer : report.product) + (report.version.empty() ? "" : " " + report.version) + ": ";

	if	(!report.cannotRun.empty())  text += "not run: " + report.cannotRun + "\n";
	else if (report.findings.empty())    text += "passed\n";
	else				     text += "failed with " + std::to_string(report.findings.size()) + (report.findings.size() == 1 ? " finding\n" : " findings\n");

	for (const Finding &finding : report.findings) text += "  " + finding.check + ": " + finding.subject + ": " + finding.detail + "\n";

	if (report.steps.empty()) return text;

	std::string	 times;

	for (const auto &step : report.steps) times += (times.empty() ? "" : ", ") + step.first + " " + Seconds(step.second) + " s";

	return text + "  (" + times + ")\n";
}
