#include <smooth.h>

#include "test_support.h"

#include <gtest/gtest.h>

using smooth::String;
using smooth::XML::Document;
using smooth::XML::Node;

namespace
{
	// UTF-16 bytes with a byte-order mark, from UTF-8 text.
	std::string UTF16(const std::string &utf8, bool bigEndian)
	{
		std::wstring wide = String::FromUTF8(utf8).WideString();
		std::string  bytes = bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");

		for (wchar_t c : wide)
		{
			unsigned v = unsigned(c);
			char hi = char((v >> 8) & 0xFF), lo = char(v & 0xFF);

			if (bigEndian) { bytes += hi; bytes += lo; } else { bytes += lo; bytes += hi; }
		}

		return bytes;
	}
}

TEST(XML, ReadsEveryEncodingWithNonASCIITextUnchanged)
{
	smooth_test::ScratchFolder folder;

	const std::string text = "<?xml version=\"1.0\"?>\n<setup><product name=\"Gr\xC3\xBC\xC3\x9F" "e\">Caf\xC3\xA9 %VERSION%</product><empty/></setup>";

	struct { const char *name; std::string bytes; } cases[] = {
		{ "utf8-bom.xml",  "\xEF\xBB\xBF" + text },
		{ "utf8.xml",	   text },
		{ "utf16le.xml",   UTF16(text, false) },
		{ "utf16be.xml",   UTF16(text, true) },
	};

	for (const auto &c : cases)
	{
		folder.Write(c.name, c.bytes);

		Document document;

		ASSERT_EQ(document.LoadFile(folder.Path(c.name)), smooth::Success()) << c.name;

		Node *root = document.GetRootNode();

		ASSERT_NE(root, nullptr);
		EXPECT_EQ(root->GetName(), "setup");
		ASSERT_EQ(root->GetNOfNodes(), 2);

		Node *product = root->GetNodeByName("product");

		ASSERT_NE(product, nullptr);
		EXPECT_EQ(product->GetContent(), L"Caf\u00E9 %VERSION%") << c.name;
		ASSERT_NE(product->GetAttributeByName("name"), nullptr);
		EXPECT_EQ(product->GetAttributeByName("name")->GetContent(), L"Gr\u00FC\u00DFe") << c.name;
		EXPECT_EQ(product->GetAttributeByName("missing"), nullptr);
		EXPECT_EQ(root->GetNthNode(2), nullptr);
	}
}

TEST(XML, UnusableInputLeavesNoRoot)
{
	smooth_test::ScratchFolder folder;

	struct { const char *name; std::string bytes; } cases[] = {
		{ "empty.xml",	   "" },
		{ "text.xml",	   "this is not XML at all" },
		{ "unclosed.xml",  "<setup><product>" },
		{ "mismatch.xml",  "<setup></product>" },
		{ "binary.xml",	   std::string("\x00\x01\x02<\xFF", 5) },
	};

	for (const auto &c : cases)
	{
		folder.Write(c.name, c.bytes);

		Document document;

		EXPECT_EQ(document.LoadFile(folder.Path(c.name)), smooth::Error()) << c.name;
		EXPECT_EQ(document.GetRootNode(), nullptr) << c.name;
	}

	Document document;

	EXPECT_EQ(document.LoadFile(folder.Path("missing.xml")), smooth::Error());
	EXPECT_EQ(document.GetRootNode(), nullptr);
}

TEST(XML, SavedTreeReadsBackTheSame)
{
	smooth_test::ScratchFolder folder;

	Node root("uninstall");
	Node *file = root.AddNode("file", L"C:\\Programme\\Gr\u00FC\u00DFe & <more>");

	file->SetAttribute("mode", "1");
	file->SetAttribute("mode", "2");	// replaces, does not add
	root.AddNode("folder", "x");

	Document out;

	out.SetRootNode(&root);
	ASSERT_EQ(out.SaveFile(folder.Path("out.xml")), smooth::Success());
	out.SetRootNode(nullptr);		// the caller keeps ownership

	EXPECT_EQ(folder.Read("out.xml").rfind("<?xml", 0), 0u);

	Document in;

	ASSERT_EQ(in.LoadFile(folder.Path("out.xml")), smooth::Success());
	ASSERT_EQ(in.GetRootNode()->GetNOfNodes(), 2);

	Node *back = in.GetRootNode()->GetNthNode(0);

	EXPECT_EQ(back->GetContent(), L"C:\\Programme\\Gr\u00FC\u00DFe & <more>");
	EXPECT_EQ(back->GetNOfAttributes(), 1);
	EXPECT_EQ(back->GetAttributeByName("mode")->GetContent(), "2");

	Document none;

	EXPECT_EQ(none.SaveFile(folder.Path("none.xml")), smooth::Error());
}
