// The Windows side of the uninstaller, for real: the once-only command run
// through cmd on an awkward temporary path, the RunOnce value, and a copy
// that the system refuses to start.
#include "uninstaller.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

using namespace smooth;

namespace
{
	// Runs a command line as the logon would, and waits for it.
	DWORD RunCommand(const String &command)
	{
		std::wstring		 line = command.WideString();
		STARTUPINFOW		 startup = { sizeof(startup) };
		PROCESS_INFORMATION	 process = {};

		if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) return DWORD(-1);

		WaitForSingleObject(process.hProcess, 30000);

		DWORD	 code = 0;

		GetExitCodeProcess(process.hProcess, &code);
		CloseHandle(process.hThread);
		CloseHandle(process.hProcess);

		return code;
	}

	TEST(UninstallSystem, CleanupCommandSurvivesAwkwardTemporaryPaths)
	{
		smooth_test::ScratchFolder	 scratch;

		for (const char *name : { "plain", "with spaces", "a&b (c) ^d", "x & rmdir y" })
		{
			String	 folder = Path::Join(Path::Join(scratch.Root(), name), "1234");

			ASSERT_EQ(Success(), Directory(folder).Create()) << name;
			scratch.Write(Path::Join(name, Path::Join("1234", "uninstall.exe")), "MZ");
			scratch.Write(Path::Join(name, Path::Join("1234", "smooth.dll")), "MZ");

			RunCommand(Tolvane::CleanupCommand(folder));

			EXPECT_FALSE(Directory(folder).Exists()) << name;
			EXPECT_TRUE(Directory(Path::Join(scratch.Root(), name)).Exists()) << name << ": only the temporary folder goes";
		}
	}

	TEST(UninstallSystem, RunOnceValueIsStoredAsAString)
	{
		String	 name	 = String("removeTempFilesTest").Append(String::FromInt(GetCurrentProcessId()));
		String	 command = Tolvane::CleanupCommand("C:\\Temp dir\\99");

		ASSERT_TRUE(Tolvane::GetUninstallSystem().WriteRunOnce(name, command));

		HKEY	 key	= nullptr;
		wchar_t	 value[1024] = { 0 };
		DWORD	 size	= sizeof(value) - sizeof(wchar_t), type = 0;

		ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key));
		EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name.Wide(), nullptr, &type, (BYTE *) value, &size));
		EXPECT_EQ(DWORD(REG_SZ), type);
		EXPECT_EQ(command.WideString(), std::wstring(value));
		EXPECT_EQ(DWORD(command.Length() * 2 + 2), size) << "the terminator is stored too";
		RegDeleteValueW(key, name.Wide());
		RegCloseKey(key);

		// A process that is not running is not waited for.
		DWORD	 before = GetTickCount();

		Tolvane::GetUninstallSystem().WaitForProcess(0x7FFFFFF0, 5000);
		EXPECT_LT(GetTickCount() - before, 4000u);
	}

	// The real system, but message boxes and the next logon's commands are
	// recorded, and the temporary folder is the test's own.
	class RecordingWindows : public Tolvane::UninstallSystem
	{
		public:
			Tolvane::UninstallSystem	&real = Tolvane::GetUninstallSystem();
			std::vector<std::string>	 calls;
			String				 temp;

			Int ShowMessage(const String &text, const String &, Int buttons, Int) override
			{
				calls.push_back("message " + text.ToUTF8());

				return buttons == Tolvane::BOX_YESNO ? Tolvane::ANSWER_YES : 0;
			}
			bool StartProgram(const String &program, const String &parameters, const String &folder) override { return real.StartProgram(program, parameters, folder); }
			bool WriteRunOnce(const String &name, const String &) override	{ calls.push_back("runonce " + name.ToUTF8()); return true; }
			void WaitForProcess(Int processId, Int milliseconds) override	{ real.WaitForProcess(processId, milliseconds); }
			bool DeleteUninstallEntry(const String &) override		{ return false; }
			String GetProgramFile() override				{ return real.GetProgramFile(); }
			bool SetWorkingFolder(const String &folder) override		{ return real.SetWorkingFolder(folder); }
			UnsignedInt GetTickCount() override				{ return 1234; }
			Int GetProcessId() override					{ return real.GetProcessId(); }
			String GetTempDirectory() override				{ return temp; }
			String GetWorkingFolder() override				{ return real.GetWorkingFolder(); }
			bool RestoreRegistration(const String &, const Tolvane::RegistrySnapshot &) override { return false; }
	};

	// The installed uninstaller is no program: its copy cannot start. The
	// user hears so and the copy's folder is gone, no command left for it.
	TEST(UninstallSystem, ACopyThatCannotStartIsReportedAndRemoved)
	{
		smooth_test::ScratchFolder	 scratch;
		RecordingWindows		 system;
		String				 install = scratch.Path("install");
		std::filesystem::path		 previous = std::filesystem::current_path();

		system.temp = Path::Join(scratch.Root(), "tmp-");
		ASSERT_EQ(Success(), Directory(Path::Join(install, "uninstall")).Create());
		scratch.Write(Path::Join("install", Path::Join("uninstall", "uninstall.exe")), "not a program");
		scratch.Write(Path::Join("install", "smooth.dll"), "not a library");
		scratch.Write(Path::Join("install", Path::Join("uninstall", "uninstall.xml")), "<UninstallScript><application>App</application><version>1.0</version></UninstallScript>");
		ASSERT_TRUE(system.SetWorkingFolder(install));

		Int	 code = Tolvane::RunFirstInstance(system, Tolvane::Options());

		std::filesystem::current_path(previous);

		EXPECT_EQ(Tolvane::EXIT_FAILED, code);
		EXPECT_EQ((std::vector<std::string>{ "message " + Tolvane::QuestionText("App", "1.0").ToUTF8(), "message " + std::string(Tolvane::StartFailedText) }), system.calls);
		EXPECT_FALSE(Directory(String(system.temp).Append("1234")).Exists());
		EXPECT_TRUE(File(Path::Join(install, "smooth.dll")).Exists()) << "nothing was removed";
	}
}
