#include "configuration.h"
#include "script_layout.h"

#include <installed_layout.h>

using namespace smooth;
using smooth::XML::Node;
using smooth::XML::Attribute;

namespace
{
	// Booleans of the script are true only for the exact text "true".
	bool IsTrue(const String &text)
	{
		return text == "true";
	}

	const String *AttributeText(const Node *node, const char *name)
	{
		Attribute *attribute = node->GetAttributeByName(name);

		return attribute != nullptr ? &attribute->GetContent() : nullptr;
	}

	// Position and font of a text on the backdrop: each is taken only when all
	// of its attributes are present, so a half-written element keeps the default.
	void ReadPlacement(const Node *node, GUI::Point &position, GUI::Font &font)
	{
		const String *x = AttributeText(node, "xpos");
		const String *y = AttributeText(node, "ypos");

		if (x != nullptr && y != nullptr) position = GUI::Point(Int(x->ToInt()), Int(y->ToInt()));

		const String *face	= AttributeText(node, "font");
		const String *size	= AttributeText(node, "size");
		const String *color	= AttributeText(node, "color");
		const String *weight	= AttributeText(node, "weight");
		const String *italic	= AttributeText(node, "italic");
		const String *underline	= AttributeText(node, "underline");

		if (face == nullptr || size == nullptr || color == nullptr || weight == nullptr || italic == nullptr || underline == nullptr) return;

		Int style = (IsTrue(*italic) ? GUI::Font::Italic : GUI::Font::Normal) | (IsTrue(*underline) ? GUI::Font::Underline : GUI::Font::Normal);

		font = GUI::Font(*face, Int(size->ToInt()), Int(weight->ToInt()), style, GUI::Color(UnsignedInt(color->ToInt()), 0));
	}

	// The dialog of a page number 1 to 8.
	const Tolvane::ScriptLayout::Dialog *PageDialog(Int page)
	{
		if (page < Tolvane::PAGE_INTRO || page > Tolvane::PAGE_REBOOT) return nullptr;

		for (const auto &dialog : Tolvane::ScriptLayout::Dialogs) if (dialog.page == page) return &dialog;

		return nullptr;
	}

	const String emptyText;
}

Tolvane::Configuration::Configuration()
	: background(false), displayAppName(false), displayAppVersion(false), displayCompanyName(false),
	  showIntro(false), showLicense(false), showDirectory(false), showComponents(false),
	  showLinks(false), showSummary(false), showFinish(false), showReboot(false),
	  copySmoothDll(false),
	  appNameFont(GUI::Font::Default, GUI::Font::DefaultSize, GUI::Font::Normal, GUI::Font::Normal, GUI::Color(0, 0)),
	  companyFont(GUI::Font::Default, GUI::Font::DefaultSize, GUI::Font::Normal, GUI::Font::Normal, GUI::Color(0, 0)),
	  createLog(false)
{
}

Tolvane::Configuration::~Configuration()
{
	for (Int i = 0; i < components.Length(); i++) delete components.GetNth(i);
	for (Int i = 0; i < links.Length(); i++) delete links.GetNth(i);

	components.RemoveAll();
	links.RemoveAll();
}

Int Tolvane::Configuration::Load()
{
	return LoadFile(ScriptLayout::FileName);
}

Int Tolvane::Configuration::LoadFile(const String &fileName)
{
	XML::Document	 document;

	// Whatever goes wrong, the installer carries on with the defaults: a
	// missing or broken script is not an error the user could act on here.
	if (document.LoadFile(fileName) != Success()) return Success();

	Node	*root = document.GetRootNode();

	if (root == nullptr) return Success();

	// The sections are read in a fixed order, whatever their order in the file;
	// only the first section of each name counts.
	if (Node *setup = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionSetup]))
	{
		for (Int i = 0; i < setup->GetNOfNodes(); i++)
		{
			Node	*node = setup->GetNthNode(i);

			for (const ScriptLayout::Switch &entry : ScriptLayout::Switches)
			{
				if (node->GetName() != entry.name) continue;

				if (const String *value = AttributeText(node, "value")) this->*entry.field = IsTrue(*value);
			}
		}
	}

	if (Node *application = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionApplication]))
	{
		for (Int i = 0; i < application->GetNOfNodes(); i++)
		{
			Node		*node = application->GetNthNode(i);
			const String	&name = node->GetName();

			if	(name == "name")    { appName = node->GetContent(); ReadPlacement(node, appNamePos, appNameFont); }
			else if (name == "version") { appVersion = node->GetContent(); }
			else if (name == "logo")    { logo = node->GetContent(); }
			else if (name == "company") { companyName = node->GetContent(); ReadPlacement(node, companyPos, companyFont); }
		}
	}

	if (Node *uninstall = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionUninstall]))
	{
		if (const String *value = AttributeText(uninstall, "createLog")) createLog = IsTrue(*value);

		for (Int i = 0; i < uninstall->GetNOfNodes(); i++)
		{
			Node	*node = uninstall->GetNthNode(i);

			if (node->GetName() == "file") uninstallFiles.Add(node->GetContent());
		}
	}

	if (Node *dialogs = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionDialogs]))
	{
		for (Int i = 0; i < dialogs->GetNOfNodes(); i++)
		{
			Node		*node  = dialogs->GetNthNode(i);
			const String	*id    = AttributeText(node, "id");
			Node		*title = node->GetNodeByName("title");
			Node		*text  = node->GetNodeByName("text");

			if (node->GetName() != "dialog" || id == nullptr || title == nullptr || text == nullptr) continue;

			for (const ScriptLayout::Dialog &dialog : ScriptLayout::Dialogs)
			{
				if (*id != dialog.id) continue;

				if (dialog.shown != nullptr) this->*dialog.shown = true;

				this->*dialog.title = title->GetContent();
				this->*dialog.text  = text->GetContent();

				if (dialog.extraChild != nullptr)
				{
					if (Node *extra = node->GetNodeByName(dialog.extraChild)) this->*dialog.extra = extra->GetContent();
				}

				break;
			}
		}
	}

	if (Node *section = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionComponents]))
	{
		for (Int i = 0; i < section->GetNOfNodes(); i++)
		{
			Node	*node = section->GetNthNode(i);

			if (node->GetName() != "component") continue;

			Component	*component = new Component();

			if (const String *value = AttributeText(node, "name"))	 component->SetName(*value);
			if (const String *value = AttributeText(node, "id"))	 component->SetID(*value);
			if (const String *value = AttributeText(node, "subdir")) component->SetSubdir(*value);

			// "required" is read after "default", so a component marked both ways is required.
			if (const String *value = AttributeText(node, "default"))  { if (IsTrue(*value)) component->SetMode(COMPONENT_DEFAULT); }
			if (const String *value = AttributeText(node, "required")) { if (IsTrue(*value)) component->SetMode(COMPONENT_REQUIRED); }

			for (Int j = 0; j < node->GetNOfNodes(); j++)
			{
				Node		*child = node->GetNthNode(j);
				const String	&name  = child->GetName();

				if	(name == "archive") component->SetArchive(child->GetContent());
				else if (name == "text")    component->SetDescription(child->GetContent());
				else if (name == "file" && child->GetContent() == Layout::LibraryName) copySmoothDll = true;
			}

			components.Add(component);
		}
	}

	if (Node *section = root->GetNodeByName(ScriptLayout::Sections[ScriptLayout::SectionLinks]))
	{
		for (Int i = 0; i < section->GetNOfNodes(); i++)
		{
			Node		*group = section->GetNthNode(i);
			const String	&kind  = group->GetName();
			Int		 type  = 0;

			for (const ScriptLayout::LinkGroup &known : ScriptLayout::LinkGroups) if (kind == known.name) type = known.type;

			if (type == 0) continue;

			// One shared folder name, whichever kind of group carries it.
			if (const String *value = AttributeText(group, "subdir")) startMenuSubdir = *value;

			for (Int j = 0; j < group->GetNOfNodes(); j++)
			{
				Node	*node = group->GetNthNode(j);

				if (node->GetName() != "link") continue;

				Link	*link = new Link();

				link->SetType(type);
				link->SetName(node->GetContent());

				if (const String *value = AttributeText(node, "file"))	  link->SetFile(*value);
				if (const String *value = AttributeText(node, "depends")) link->SetDepends(*value);

				links.Add(link);
			}
		}
	}

	return Success();
}

bool Tolvane::Configuration::IsPageEnabled(Int page) const
{
	const ScriptLayout::Dialog	*dialog = PageDialog(page);

	return dialog != nullptr && this->*dialog->shown;
}

const String &Tolvane::Configuration::GetPageTitle(Int page) const
{
	const ScriptLayout::Dialog	*dialog = PageDialog(page);

	return dialog != nullptr ? this->*dialog->title : emptyText;
}

const String &Tolvane::Configuration::GetPageText(Int page) const
{
	const ScriptLayout::Dialog	*dialog = PageDialog(page);

	return dialog != nullptr ? this->*dialog->text : emptyText;
}
