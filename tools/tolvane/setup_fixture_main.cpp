// A stand-in installer for `tolvane test`'s own test: a built folder's
// setup.exe that hands its command line to setup_fixture.cmd in its working
// folder and returns what that returns. The script runs the real installer
// and then changes what it did, which makes installers with faults our own
// never has (a registration whose version is not the script's).
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
	std::string	 command = "cmd /c setup_fixture.cmd";

	for (int i = 1; i < argc; i++) command += std::string(" \"") + argv[i] + "\"";

	return std::system(command.c_str());
}
