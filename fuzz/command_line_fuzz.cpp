// Reads arbitrary text (UTF-8) as the command lines of setup.exe,
// uninstall.exe, the uninstaller's copy and the bundle stub. Beyond the
// sanitizers' findings it traps when accepted options, written out again
// the way a person or our own programs would write them, read back as other
// options: setup.exe's and uninstall.exe's options, the options the first
// uninstaller hands on to its copy, and the stub's own option beside what
// it passes on to setup.exe.
#include <command_line.h>
#include <stub_command_line.h>
#include <uninstaller.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace smooth;
using namespace Tolvane;

namespace
{
	bool Same(const Options &a, const Options &b)
	{
		return a.silent == b.silent && a.help == b.help && a.hasTarget == b.hasTarget && a.allowDowngrade == b.allowDowngrade &&
		       a.target == b.target && a.logFile == b.logFile;
	}

	// The options as an administrator writes them: values quoted where they
	// can be, an unquotable folder unquoted as the last option.
	String Written(const Options &options)
	{
		String line;

		if (options.silent)	    line.Append("/S ");
		if (options.help)	    line.Append("/? ");
		if (options.allowDowngrade) line.Append("/ALLOWDOWNGRADE ");
		if (options.logFile != 0)   line.Append("\"/LOG=").Append(options.logFile).Append("\" ");

		if (options.hasTarget)
		{
			if (options.target.Find("\"") < 0) line.Append("/D=\"").Append(options.target).Append("\"");
			else				   line.Append("/D=").Append(options.target);
		}

		return line;
	}

	void CheckOptions(const String &line, bool setup)
	{
		const Options options = ParseOptions(line, setup);

		if (!setup && (options.hasTarget || options.allowDowngrade)) __builtin_trap();
		if (options.refused != 0) return;

		// Nothing accepted is empty: an option without its value is refused.
		if ((options.hasTarget && options.target == 0) || (options.logFile != 0 && options.logFile.Find("\"") >= 0)) __builtin_trap();

		const Options again = ParseOptions(Written(options), setup);

		if (again.refused != 0 || !Same(options, again)) __builtin_trap();

		if (setup) return;

		// The copy of the uninstaller reads what the first instance hands on.
		String parameters = String("--wait ").Append(String::FromInt(4242));

		if (options.silent)	  parameters.Append(" /S");
		if (options.logFile != 0) parameters.Append(" \"/LOG=").Append(options.logFile).Append("\"");

		parameters.Append(" --temp");

		const Options copy = RemovalOptions(parameters);

		if (!IsTempStart(parameters) || WaitedProcess(parameters) != 4242 || copy.silent != options.silent || copy.logFile != options.logFile) __builtin_trap();
	}

	void CheckStub(const std::wstring &line)
	{
		const wchar_t *tail = CommandLineTail(line.c_str());

		if (tail < line.c_str() || tail > line.c_str() + line.size()) __builtin_trap();

		const size_t	     size = wcslen(tail);
		std::vector<wchar_t> passOn(size + 1), extractDir(size + 1);
		const StubOptions    options = ParseStubTail(tail, passOn.data(), extractDir.data());

		if (wcslen(passOn.data()) > size || wcslen(extractDir.data()) > size) __builtin_trap();
		if (options.emptyExtractDir && (!options.hasExtractDir || extractDir[0] != 0)) __builtin_trap();

		// What goes on to setup.exe holds no option of the stub's any more,
		// and reads the same once more.
		const std::wstring   passed(passOn.data());
		std::vector<wchar_t> passOn2(passed.size() + 1), extractDir2(passed.size() + 1);
		const StubOptions    again = ParseStubTail(passed.c_str(), passOn2.data(), extractDir2.data());

		if (again.hasExtractDir || again.silent != options.silent || passed != passOn2.data()) __builtin_trap();

		// The folder written back, quoted, after what is passed on (unless
		// that ends inside an open quote, which would take it in).
		size_t quotes = 0;

		for (wchar_t c : passed) quotes += c == L'"';

		if (!options.hasExtractDir || quotes % 2 != 0) return;

		std::wstring written = passed;

		while (!written.empty() && (written.back() == L' ' || written.back() == L'\t')) written.pop_back();

		const std::wstring   trimmed = written;

		written.append(written.empty() ? L"" : L" ").append(L"\"/extractdir=").append(extractDir.data()).append(L"\"");

		std::vector<wchar_t> passOn3(written.size() + 1), extractDir3(written.size() + 1);
		const StubOptions    third = ParseStubTail(written.c_str(), passOn3.data(), extractDir3.data());

		if (!third.hasExtractDir || third.emptyExtractDir != options.emptyExtractDir || third.silent != options.silent ||
		    std::wstring(extractDir3.data()) != extractDir.data() || trimmed != passOn3.data()) __builtin_trap();
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const String line = String::FromUTF8(std::string(reinterpret_cast<const char *>(data), size));

	CheckOptions(line, true);
	CheckOptions(line, false);

	RemovalOptions(line);
	WaitedProcess(line);

	// The stub reads the whole line, its own name first, up to the first zero.
	std::wstring wide = line.WideString();

	wide.resize(wcslen(wide.c_str()));
	CheckStub(wide);

	return 0;
}
