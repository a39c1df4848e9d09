// Causes a test can only arrange on linux: a full disk, made with the
// process's file size limit (every write past it fails with "File too
// large", as the last write before a full disk does), and a file that exists
// but cannot be opened even by root (a socket).
#include "archive.h"
#include "archive_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace ZBKTest;
using smooth::String;
using ZBK::Status;

namespace
{
	std::string Noise(size_t size)
	{
		std::string bytes(size, '\0');
		unsigned    seed = 5;

		for (char &c : bytes) { seed = seed * 1103515245u + 12345u; c = char(seed >> 16); }

		return bytes;
	}
}

// Whether the chunk is decoded into the cache on the way or copied from a
// cache made earlier, a full disk is told apart from damage and from a
// refused write, and the earlier file at the destination stays as it was.
TEST(ArchiveDisk, AFullDiskIsReportedAsSuch)
{
	std::string big = Noise(400000);

	for (bool warm : { false, true })
	{
		SCOPED_TRACE(warm ? "cache made before" : "decoded on the way");

		Workspace space;

		space.folder.Write("in.zbk", "ZBK" + ChunkBytes({ { "small.txt", 5 }, { "big.bin", uint32_t(big.size()) } }, Compress("small" + big)));
		space.folder.Write("big.bin", "earlier");

		ZBK::Archive archive;

		ASSERT_TRUE(archive.Open(space.Path("in.zbk")));

		if (warm) ASSERT_TRUE(archive.ExtractFile("small.txt", space.Path("small.txt")));

		bool extracted;

		{
			smooth_test::FileSizeLimit limit(100000);

			extracted = archive.ExtractFile("big.bin", space.Path("big.bin"));
		}

		EXPECT_FALSE(extracted);
		EXPECT_EQ(Status::DiskFull, archive.GetLastStatus());
		EXPECT_EQ(EFBIG, archive.GetLastSystemError());
		EXPECT_EQ("earlier", space.Read("big.bin"));

		// With room again the same object extracts it.
		EXPECT_TRUE(archive.ExtractFile("big.bin", space.Path("big.bin")));
		EXPECT_EQ(big, space.Read("big.bin"));
	}
}

TEST(ArchiveDisk, AFileThatCannotBeOpenedIsNotMissing)
{
	Workspace space;
	String path = space.Path("socket");
	sockaddr_un address = {};

	address.sun_family = AF_UNIX;

	std::string native = path.ToUTF8();

	if (native.size() >= sizeof(address.sun_path)) GTEST_SKIP() << "temporary path too long for a socket";

	std::strcpy(address.sun_path, native.c_str());

	int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);

	ASSERT_GE(socket, 0);
	ASSERT_EQ(0, bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof(address))) << strerror(errno);

	ZBK::Archive archive;

	EXPECT_FALSE(archive.Open(path));
	EXPECT_EQ(Status::CannotOpen, archive.GetLastStatus());
	EXPECT_NE(0, archive.GetLastSystemError());

	close(socket);
}
