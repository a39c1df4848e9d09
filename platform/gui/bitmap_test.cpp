#include "gui_test_support.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace smooth;
using namespace smooth::GUI;

namespace
{
	typedef std::vector<unsigned char> Bytes;

	// A 3 by 2 picture: top row red, green, blue; bottom row white, black, grey.
	const unsigned char pixels[2][3][3] = { { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 } },
						{ { 255, 255, 255 }, { 0, 0, 0 }, { 128, 128, 128 } } };

	void Put32LE(Bytes &b, unsigned v) { for (int i = 0; i < 4; i++) b.push_back((v >> (8 * i)) & 255); }
	void Put16LE(Bytes &b, unsigned v) { b.push_back(v & 255); b.push_back((v >> 8) & 255); }
	void Put32BE(Bytes &b, unsigned v) { for (int i = 3; i >= 0; i--) b.push_back((v >> (8 * i)) & 255); }

	Bytes MakeBMP()
	{
		Bytes	 b = { 'B', 'M' };
		unsigned rowSize = 12;	// 3 pixels * 3 bytes, already a multiple of 4

		Put32LE(b, 54 + rowSize * 2); Put32LE(b, 0); Put32LE(b, 54);
		Put32LE(b, 40); Put32LE(b, 3); Put32LE(b, 2); Put16LE(b, 1); Put16LE(b, 24);
		Put32LE(b, 0); Put32LE(b, rowSize * 2); Put32LE(b, 2835); Put32LE(b, 2835); Put32LE(b, 0); Put32LE(b, 0);

		for (int y = 1; y >= 0; y--)	// bottom-up
		{
			for (int x = 0; x < 3; x++) { b.push_back(pixels[y][x][2]); b.push_back(pixels[y][x][1]); b.push_back(pixels[y][x][0]); }

			b.insert(b.end(), 3, 0);	// rows are padded to 4 bytes
		}

		return b;
	}

	unsigned Crc32(const unsigned char *data, size_t n)
	{
		unsigned crc = 0xffffffffu;

		for (size_t i = 0; i < n; i++)
		{
			crc ^= data[i];

			for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
		}

		return ~crc;
	}

	void Chunk(Bytes &png, const char *type, const Bytes &data)
	{
		Bytes	 body(type, type + 4);

		body.insert(body.end(), data.begin(), data.end());

		Put32BE(png, unsigned(data.size()));
		png.insert(png.end(), body.begin(), body.end());
		Put32BE(png, Crc32(body.data(), body.size()));
	}

	// An uncompressed (stored) deflate stream is enough for a decoder.
	Bytes MakePNG()
	{
		Bytes	 png = { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };
		Bytes	 header;

		Put32BE(header, 3); Put32BE(header, 2);
		header.insert(header.end(), { 8, 2, 0, 0, 0 });
		Chunk(png, "IHDR", header);

		Bytes	 raw;

		for (int y = 0; y < 2; y++) { raw.push_back(0); for (int x = 0; x < 3; x++) raw.insert(raw.end(), pixels[y][x], pixels[y][x] + 3); }

		unsigned a = 1, b = 0;

		for (unsigned char c : raw) { a = (a + c) % 65521; b = (b + a) % 65521; }

		Bytes	 z = { 0x78, 0x01, 0x01 };

		Put16LE(z, unsigned(raw.size())); Put16LE(z, ~unsigned(raw.size()) & 0xffff);
		z.insert(z.end(), raw.begin(), raw.end());
		Put32BE(z, (b << 16) | a);

		Chunk(png, "IDAT", z);
		Chunk(png, "IEND", Bytes());

		return png;
	}

	std::wstring TempFile(const wchar_t *name, const Bytes &content)
	{
		wchar_t	 folder[MAX_PATH];

		GetTempPathW(MAX_PATH, folder);

		std::wstring	 path = std::wstring(folder) + L"smooth_gui_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
		FILE		*file = _wfopen(path.c_str(), L"wb");

		if (file != nullptr)
		{
			fwrite(content.data(), 1, content.size(), file);
			fclose(file);
		}

		return path;
	}

	struct FileCase { const wchar_t *name; Bytes (*make)(); };
}

TEST(ImageLoader, DecodesBitmapAndPngFiles)
{
	const FileCase	 cases[] = { { L"picture.bmp", &MakeBMP }, { L"picture.png", &MakePNG } };

	for (const FileCase &c : cases)
	{
		std::wstring	 path	= TempFile(c.name, c.make());
		Bitmap		 bitmap	= ImageLoader::Load(String(path));

		SCOPED_TRACE(String(c.name).Narrow());

		ASSERT_FALSE(bitmap.IsEmpty());
		EXPECT_EQ(bitmap.GetSize(), Size(3, 2));

		for (int y = 0; y < 2; y++)
		{
			for (int x = 0; x < 3; x++) EXPECT_EQ(bitmap.GetPixel(Point(x, y)), Color(pixels[y][x][0], pixels[y][x][1], pixels[y][x][2])) << x << "," << y;
		}

		EXPECT_EQ(bitmap.GetPixel(Point(3, 0)), Color());

		// The file is not kept open.
		EXPECT_TRUE(DeleteFileW(path.c_str()));
	}
}

TEST(ImageLoader, FailsCleanlyOnBadNames)
{
	std::wstring	 garbage = TempFile(L"garbage.png", Bytes { 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e' });
	Bytes		 png	 = MakePNG();
	std::wstring	 cut	 = TempFile(L"cut.png", Bytes(png.begin(), png.begin() + 40));

	const String	 names[] = { "", "C:\\no\\such\\folder\\logo.bmp", String(garbage), String(cut), "Icon:999", "Icon:", "Icon:abc", "Icon:-1", "Icon:99999999999" };

	for (const String &name : names) EXPECT_TRUE(ImageLoader::Load(name).IsEmpty()) << name.Narrow();

	DeleteFileW(garbage.c_str());
	DeleteFileW(cut.c_str());
}

TEST(ImageLoader, LoadsTheProgramsIcon)
{
	Bitmap	 icon = ImageLoader::Load("Icon:100");

	ASSERT_FALSE(icon.IsEmpty());
	EXPECT_EQ(icon.GetSize(), Size(32, 32));

	// Our test icon: red with a blue middle.
	EXPECT_EQ(icon.GetPixel(Point(2, 2)), Color(255, 0, 0));
	EXPECT_EQ(icon.GetPixel(Point(16, 16)), Color(0, 0, 255));
}

TEST(Bitmap, SizeDecidesEmptinessAndImagesTakeTheirSize)
{
	EXPECT_TRUE(Bitmap().IsEmpty());
	EXPECT_TRUE(Bitmap(Size(0, 5), Color()).IsEmpty());
	EXPECT_TRUE(Bitmap(Size(5, -1), Color()).IsEmpty());
	EXPECT_TRUE(Bitmap(nullptr).IsEmpty());

	Bitmap	 filled(Size(4, 3), Color(1, 2, 3));
	Bitmap	 copy = filled;

	EXPECT_EQ(copy.GetSystemBitmap(), filled.GetSystemBitmap());
	EXPECT_EQ(copy.GetPixel(Point(3, 2)), Color(1, 2, 3));

	Image	 natural(filled, Point(1, 0), Size(0, 0));
	Image	 scaled(filled, Point(1, 0), Size(8, 6));
	Image	 none(Bitmap(), Point(1, 0), Size(0, 0));

	EXPECT_EQ(natural.GetSize(), Size(4, 3));
	EXPECT_EQ(scaled.GetSize(), Size(8, 6));
	EXPECT_EQ(none.GetSize(), Size(0, 0));
	EXPECT_EQ(natural.GetHandle(), nullptr);
}

using guitest::WindowTest;

TEST_F(WindowTest, ImageDrawsItsBitmap)
{
	Image	*image = new Image(Bitmap(Size(10, 10), Color(0, 200, 0)), Point(1, 0), Size(0, 0));

	window->Add(image);
	UpdateWindow((HWND) window->GetSystemWindow());

	EXPECT_EQ(window->GetDrawSurface()->GetPixel(Point(3 + 1, 25)), Color(0, 200, 0));
	EXPECT_EQ(window->GetDrawSurface()->GetPixel(Point(3 + 10, 25 + 9)), Color(0, 200, 0));

	image->Hide();
	UpdateWindow((HWND) window->GetSystemWindow());

	EXPECT_NE(window->GetDrawSurface()->GetPixel(Point(3 + 1, 25)), Color(0, 200, 0));

	Object::DeleteObject(image);
}
