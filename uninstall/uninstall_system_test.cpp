// The Windows side of the uninstaller, for real: the once-only command run
// through cmd on an awkward temporary path, and the RunOnce value.
#include "uninstaller.h"
#include "test_support.h"

#include <gtest/gtest.h>

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
}
