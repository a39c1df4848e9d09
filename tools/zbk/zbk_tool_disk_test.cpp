// Write failures part way through, as on a full disk. The process's file
// size limit makes every write past it fail ("File too large"), which is the
// nearest thing to a full disk a test can arrange; linux only.
#include "zbk_tool.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace smooth;

namespace
{
	String Folder()
	{
		static int counter = 0;

		return System::System::GetTempDirectory().Append("zbk_disk_test_").Append(String::FromInt(System::System::GetProcessID())).Append("_").Append(String::FromInt(counter++));
	}

	void Write(const String &path, const std::string &bytes)
	{
		IO::OutStream out(IO::STREAM_FILE, path, IO::OS_REPLACE);

		out.OutputData(bytes.data(), Int(bytes.size()));
	}

	std::string Read(const String &path)
	{
		IO::InStream in(IO::STREAM_FILE, path, IO::IS_READ_ONLY);
		std::string  bytes(in.Size() > 0 ? size_t(in.Size()) : 0, '\0');

		if (!bytes.empty()) in.InputData(&bytes[0], Int(bytes.size()));

		return bytes;
	}

	std::string Noise(size_t size)
	{
		std::string bytes(size, '\0');
		unsigned    seed = 11;

		for (char &c : bytes) { seed = seed * 1103515245u + 12345u; c = char(seed >> 16); }

		return bytes;
	}

	int Zbk(const std::vector<String> &arguments, std::string &err, const ZBK::Tool::Settings &settings = ZBK::Tool::Settings())
	{
		ZBK::Tool::Console console;

		console.out = [](const std::string &) {};
		console.err = [&](const std::string &text) { err += text; };

		return ZBK::Tool::Run(arguments, console, settings);
	}
}

TEST(ZbkToolDisk, WriteFailuresLeaveEverythingAsItWas)
{
	struct Case
	{
		const char	*what;
		std::function<std::vector<String>(const String &)> arguments;
		const char	*cause;
		// A chunk per file: several jobs at once, one of them failing.
		bool		 chunkPerFile = false;
	};

	const Case cases[] = {
		{ "create", [](const String &f) { return std::vector<String> { "create", String(f).Append("/good.zbk"), "-C", f, "big.bin" }; }, "good.zbk: cannot write (" },
		// The big chunk cannot be compressed while the small one is.
		{ "create, one of two jobs failing", [](const String &f) { return std::vector<String> { "create", String(f).Append("/good.zbk"), "--jobs", "2", "-C", f, "big.bin", "small.txt" }; }, "good.zbk: cannot write (", true },
		// Each chunk fits; the archive they make does not.
		{ "create, the chunks too many", [](const String &f) { return std::vector<String> { "create", String(f).Append("/good.zbk"), "--jobs", "8", "-C", f, "small.txt", "small.txt", "half.bin", "half2.bin", "half3.bin" }; }, "good.zbk: cannot write (", true },
		{ "add", [](const String &f) { return std::vector<String> { "add", String(f).Append("/good.zbk"), "--as", "more.bin", String(f).Append("/big.bin") }; }, "good.zbk: cannot write (" },
		{ "remove", [](const String &f) { return std::vector<String> { "remove", String(f).Append("/good.zbk"), "small.txt" }; }, "good.zbk: cannot write (" },
		{ "extract", [](const String &f) { return std::vector<String> { "extract", String(f).Append("/good.zbk"), "-C", String(f).Append("/out") }; }, "cannot write (" },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		String folder = Folder();

		Directory(folder).Create();
		Write(String(folder).Append("/small.txt"), "small");
		Write(String(folder).Append("/big.bin"), Noise(400000));

		// Bytes that do not compress: each under the limit, together over it.
		for (const char *half : { "/half.bin", "/half2.bin", "/half3.bin" }) Write(String(folder).Append(half), Noise(45000).substr(0, 45000 - strlen(half)) + half);

		std::string err;

		// good.zbk: the small file, and (for remove and extract) the big one.
		ASSERT_EQ(0, Zbk({ "create", String(folder).Append("/good.zbk"), "-C", folder, "small.txt" }, err)) << err;
		if (c.what != std::string("add") && c.what != std::string("create")) ASSERT_EQ(0, Zbk({ "add", String(folder).Append("/good.zbk"), "--as", "big.bin", String(folder).Append("/big.bin") }, err)) << err;

		std::string before = Read(String(folder).Append("/good.zbk"));
		int	    code;

		{
			// Big enough for the small files, too small for the big one.
			smooth_test::FileSizeLimit limit(100000);

			ZBK::Tool::Settings settings;

			if (c.chunkPerFile) settings.chunkBytes = 1;

			code = Zbk(c.arguments(folder), err, settings);
		}

		EXPECT_EQ(1, code);
		// The cause is the write that failed, not a clean-up after it.
		EXPECT_NE(std::string::npos, err.find(std::string(c.cause) + strerror(EFBIG))) << err;
		EXPECT_EQ(before, Read(String(folder).Append("/good.zbk")));

		// Nothing half-written is left: only the files made above (and, for
		// extract, the small entry and its folder).
		std::vector<String> files = Directory(folder).GetFiles();

		EXPECT_EQ(6u, files.size());
		EXPECT_FALSE(File(String(folder).Append("/out/big.bin")).Exists());

		Directory(folder).Empty();
		Directory(folder).Delete();
	}
}
