#include "sha256.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tolvane;

namespace
{
	std::string Hex(const uint8_t digest[kSha256Size])
	{
		std::string text;
		for (size_t i = 0; i < kSha256Size; i++)
		{
			text += "0123456789abcdef"[digest[i] >> 4];
			text += "0123456789abcdef"[digest[i] & 15];
		}
		return text;
	}

	std::string OneShot(const std::string &message)
	{
		uint8_t digest[kSha256Size];
		Sha256::Hash(message.data(), message.size(), digest);
		return Hex(digest);
	}
}

// The test vectors of FIPS 180-4's examples and NIST's long-message set.
TEST(Sha256, StandardVectors)
{
	const std::pair<std::string, const char *> vectors[] = {
		{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
		{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
		{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
		{"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
		 "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
		{std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
	};
	for (const auto &vector : vectors) EXPECT_EQ(OneShot(vector.first), vector.second) << vector.first.size() << " bytes";
}

// Pieces of every size across the block and padding boundaries give the
// digest of the whole.
TEST(Sha256, PiecesGiveTheDigestOfTheWhole)
{
	std::string message;
	for (int i = 0; i < 200; i++) message += char(i * 7 + 3);
	for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 200u})
	{
		const std::string whole = OneShot(message.substr(0, length));
		for (size_t piece : {1u, 3u, 63u, 64u, 65u})
		{
			Sha256 sha;
			for (size_t at = 0; at < length; at += piece) sha.Update(message.data() + at, std::min(piece, length - at));
			uint8_t digest[kSha256Size];
			sha.Final(digest);
			EXPECT_EQ(Hex(digest), whole) << length << " bytes in pieces of " << piece;
		}
	}
}
