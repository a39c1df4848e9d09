#include "smooth/xml.h"
#include "native.h"

#include <pugixml.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
	using smooth::String;

	String FromPugi(const pugi::char_t *text)
	{
		return String::FromUTF8(text);
	}

	// Copies one parsed element (and everything below it) into our tree.
	// An element's content is its direct text and CDATA, in document order.
	void Copy(const pugi::xml_node &from, smooth::XML::Node *to)
	{
		std::string content;

		for (pugi::xml_attribute attribute = from.first_attribute(); attribute; attribute = attribute.next_attribute())
		{
			to->SetAttribute(FromPugi(attribute.name()), FromPugi(attribute.value()));
		}

		for (pugi::xml_node child = from.first_child(); child; child = child.next_sibling())
		{
			switch (child.type())
			{
				case pugi::node_pcdata:
				case pugi::node_cdata:
					content += child.value();
					break;
				case pugi::node_element:
					Copy(child, to->AddNode(FromPugi(child.name())));
					break;
				default:
					break;
			}
		}

		to->SetContent(String::FromUTF8(content));
	}

	void Copy(const smooth::XML::Node *from, pugi::xml_node to)
	{
		for (smooth::Int i = 0; i < from->GetNOfAttributes(); i++)
		{
			const smooth::XML::Attribute *attribute = from->GetNthAttribute(i);

			to.append_attribute(attribute->GetName().ToUTF8().c_str()).set_value(attribute->GetContent().ToUTF8().c_str());
		}

		if (from->GetContent().Length() > 0) to.append_child(pugi::node_pcdata).set_value(from->GetContent().ToUTF8().c_str());

		for (smooth::Int i = 0; i < from->GetNOfNodes(); i++)
		{
			const smooth::XML::Node *child = from->GetNthNode(i);

			Copy(child, to.append_child(child->GetName().ToUTF8().c_str()));
		}
	}

	// Writes into a FILE and remembers whether every byte went out.
	class FileWriter : public pugi::xml_writer
	{
		public:
			explicit FileWriter(FILE *f) : file(f) {}

			void write(const void *data, size_t size) override
			{
				if (ok && fwrite(data, 1, size, file) != size) ok = false;
			}

			FILE	*file;
			bool	 ok = true;
	};
}

smooth::XML::Attribute::Attribute(const String &name, const String &content) : name(name), content(content)
{
}

smooth::XML::Node::Node(const String &name, const String &content) : name(name), content(content)
{
}

smooth::XML::Node::~Node()
{
	for (Attribute *attribute : attributes) delete attribute;
	for (Node *child : children) delete child;
}

smooth::XML::Node *smooth::XML::Node::AddNode(const String &childName, const String &childContent)
{
	return AddNode(new Node(childName, childContent));
}

smooth::XML::Node *smooth::XML::Node::AddNode(Node *child)
{
	if (child == nullptr) return nullptr;

	children.push_back(child);

	return child;
}

smooth::XML::Node *smooth::XML::Node::GetNthNode(Int n) const
{
	if (n < 0 || n >= Int(children.size())) return nullptr;

	return children[n];
}

smooth::XML::Node *smooth::XML::Node::GetNodeByName(const String &childName) const
{
	for (Node *child : children)
	{
		if (child->name == childName) return child;
	}

	return nullptr;
}

smooth::XML::Attribute *smooth::XML::Node::GetNthAttribute(Int n) const
{
	if (n < 0 || n >= Int(attributes.size())) return nullptr;

	return attributes[n];
}

smooth::XML::Attribute *smooth::XML::Node::GetAttributeByName(const String &attributeName) const
{
	for (Attribute *attribute : attributes)
	{
		if (attribute->GetName() == attributeName) return attribute;
	}

	return nullptr;
}

smooth::XML::Attribute *smooth::XML::Node::SetAttribute(const String &attributeName, const String &attributeContent)
{
	if (Attribute *attribute = GetAttributeByName(attributeName))
	{
		attribute->SetContent(attributeContent);

		return attribute;
	}

	attributes.push_back(new Attribute(attributeName, attributeContent));

	return attributes.back();
}

smooth::XML::Document::Document()
{
}

smooth::XML::Document::~Document()
{
	if (ownsRoot) delete root;
}

smooth::Int smooth::XML::Document::LoadFile(const String &fileName)
{
	FILE *file = Native::OpenFile(fileName, "rb");

	if (file == nullptr)
	{
		SetRootNode(nullptr);

		return Error();
	}

	std::vector<char> data;
	char		  buffer[65536];

	for (size_t got; (got = fread(buffer, 1, sizeof(buffer), file)) > 0; ) data.insert(data.end(), buffer, buffer + got);

	bool failed = ferror(file) != 0;

	fclose(file);

	if (failed)
	{
		SetRootNode(nullptr);

		return Error();
	}

	return ParseMemory(data.data(), Int64(data.size()));
}

smooth::Int smooth::XML::Document::ParseMemory(const void *data, Int64 size)
{
	SetRootNode(nullptr);

	if (data == nullptr || size <= 0) return Error();

	// The parser detects UTF-8 and UTF-16/32 by their byte-order marks (and
	// by the first '<' when there is none) and hands us UTF-8.
	pugi::xml_document	 document;
	pugi::xml_parse_result	 result = document.load_buffer(data, size_t(size), pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);

	if (!result) return Error();

	pugi::xml_node element = document.document_element();

	if (!element) return Error();

	Node *node = new Node(FromPugi(element.name()));

	Copy(element, node);

	root	 = node;
	ownsRoot = true;

	return Success();
}

smooth::Int smooth::XML::Document::SaveFile(const String &fileName) const
{
	if (root == nullptr) return Error();

	pugi::xml_document document;

	pugi::xml_node declaration = document.append_child(pugi::node_declaration);

	declaration.append_attribute("version").set_value("1.0");
	declaration.append_attribute("encoding").set_value("UTF-8");

	Copy(root, document.append_child(root->GetName().ToUTF8().c_str()));

	FILE *file = Native::OpenFile(fileName, "wb");

	if (file == nullptr) return Error();

	FileWriter writer(file);

	document.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);

	bool ok = writer.ok && fflush(file) == 0;

	if (fclose(file) != 0) ok = false;

	return ok ? Success() : Error();
}

smooth::Int smooth::XML::Document::SetRootNode(Node *node)
{
	if (ownsRoot && root != node) delete root;

	root	 = node;
	ownsRoot = false;

	return Success();
}
