#include "zbk_tool.h"

#include <cstdio>

using namespace smooth;

namespace ZBK
{
	namespace Tool
	{
		ProgressBar::ProgressBar(Console &console, const String &label, Int64 total) : console(console), label(label.ToUTF8()), total(total)
		{
		}

		ProgressBar::~ProgressBar()
		{
			Finish();
		}

		void ProgressBar::Update(Int64 done)
		{
			if (!console.progress || total <= 0) return;

			if (done < 0)	  done = 0;
			if (done > total) done = total;

			int percent = int(done * 100 / total);

			// Progress arrives far more often than the percentage changes;
			// writing each report would slow the work down on a terminal.
			if (percent <= shown) return;

			shown = percent;

			const int   width = 30;
			int	    full  = percent * width / 100;
			std::string line  = "\r" + label + " [" + std::string(full, '#') + std::string(width - full, '.') + "] ";
			char	    number[16];

			snprintf(number, sizeof(number), "%3d%%", percent);

			console.err(line + number);
			drawn = true;
		}

		void ProgressBar::Finish()
		{
			if (!drawn) return;

			// Wider than the bar ever is: the label, the bar and its brackets,
			// the percentage.
			console.err("\r" + std::string(label.size() + 40, ' ') + "\r");
			drawn = false;
		}
	}
}
