#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

smooth_test::ScratchFolder::ScratchFolder()
{
	static std::atomic<int> counter{0};

	using smooth::String;

	root = smooth::System::System::GetTempDirectory() + "smooth-test-" + String::FromInt(smooth::System::System::GetProcessID()) + "-" + String::FromInt(++counter);

	smooth::Directory folder(root);

	if (folder.Exists()) folder.Empty();

	EXPECT_EQ(folder.Create(), smooth::Success());
}

smooth_test::ScratchFolder::~ScratchFolder()
{
	smooth::Directory folder(root);

	folder.Empty();
	folder.Delete();
}

smooth::String smooth_test::ScratchFolder::Path(const smooth::String &name) const
{
	return smooth::File(name, root).GetPath();
}

void smooth_test::ScratchFolder::Write(const smooth::String &name, const std::string &bytes) const
{
	smooth::IO::OutStream out(smooth::IO::STREAM_FILE, Path(name), smooth::IO::OS_REPLACE);

	ASSERT_EQ(out.GetLastError(), smooth::IO::IO_ERROR_OK);
	ASSERT_EQ(out.OutputData(bytes.data(), smooth::Int(bytes.size())), smooth::Success());
	ASSERT_EQ(out.Close(), smooth::Success());
}

std::string smooth_test::ScratchFolder::Read(const smooth::String &name) const
{
	smooth::IO::InStream in(smooth::IO::STREAM_FILE, Path(name), smooth::IO::IS_READ_ONLY);
	std::string	     bytes(in.Size() > 0 ? size_t(in.Size()) : 0, '\0');

	if (!bytes.empty()) in.InputData(&bytes[0], smooth::Int(bytes.size()));

	return bytes;
}
