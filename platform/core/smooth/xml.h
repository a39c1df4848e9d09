// smooth::XML: a small document tree over an XML parser.
#pragma once

#include "string.h"

#include <vector>

namespace smooth
{
	namespace XML
	{
		class SMOOTH_API Attribute
		{
			public:
						 Attribute(const String &name, const String &content);

				const String	&GetName() const	{ return name; }
				const String	&GetContent() const	{ return content; }
				Int		 SetContent(const String &text)	{ content = text; return Success(); }
			private:
				String		 name;
				String		 content;
		};

		// An element: a name, a text content, attributes and child elements in
		// document order. A node owns its attributes and children.
		class SMOOTH_API Node
		{
			public:
						 Node(const String &name = String(), const String &content = String());
						~Node();
				Node(const Node &) = delete;
				Node &operator =(const Node &) = delete;

				const String	&GetName() const	{ return name; }
				Int		 SetName(const String &text)	{ name = text; return Success(); }
				const String	&GetContent() const	{ return content; }
				Int		 SetContent(const String &text)	{ content = text; return Success(); }

				// Appends a new child and returns it (owned by this node).
				Node		*AddNode(const String &name, const String &content = String());
				// Appends an existing node; this node takes ownership.
				Node		*AddNode(Node *child);

				Int		 GetNOfNodes() const	{ return Int(children.size()); }
				Node		*GetNthNode(Int n) const;			// null when out of range
				Node		*GetNodeByName(const String &name) const;	// first such child, or null

				Int		 GetNOfAttributes() const	{ return Int(attributes.size()); }
				Attribute	*GetNthAttribute(Int n) const;
				Attribute	*GetAttributeByName(const String &name) const;	// null when absent
				// Sets (or adds) an attribute and returns it.
				Attribute	*SetAttribute(const String &name, const String &content);
			private:
				String			 name;
				String			 content;
				std::vector<Attribute *> attributes;
				std::vector<Node *>	 children;
		};

		// A document with at most one root element.
		class SMOOTH_API Document
		{
			public:
						 Document();
						~Document();
				Document(const Document &) = delete;
				Document &operator =(const Document &) = delete;

				// Reads a file in UTF-8 (with or without byte-order mark) or UTF-16
				// with byte-order mark. A missing file or a text that is not
				// well-formed XML gives Error() and leaves the document without root.
				// An element's content is the concatenation of its direct text and
				// CDATA children, as stored (no trimming).
				Int		 LoadFile(const String &fileName);
				// Parses the same from memory (UTF-8 or UTF-16 with byte-order mark).
				Int		 ParseMemory(const void *data, Int64 size);

				// Writes the tree as indented UTF-8 with an XML declaration. Error()
				// when there is no root or the file cannot be written completely.
				Int		 SaveFile(const String &fileName) const;

				Node		*GetRootNode() const	{ return root; }
				// Sets the root; the caller keeps ownership of the node.
				Int		 SetRootNode(Node *node);
			private:
				Node		*root = nullptr;
				Bool		 ownsRoot = false;
		};
	}
}
