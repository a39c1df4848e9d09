#include "configuration.h"

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

	struct DialogFields
	{
		const char	*id;
		bool		 Tolvane::Configuration::*flag;
		String		 Tolvane::Configuration::*title;
		String		 Tolvane::Configuration::*text;
		const char	*extraChild;
		String		 Tolvane::Configuration::*extra;
	};

	// In the order in which a dialog's id is compared.
	const DialogFields dialogFields[] = {
		{ "intro",	  &Tolvane::Configuration::showIntro,	   &Tolvane::Configuration::introTitle,	       &Tolvane::Configuration::introText,	  nullptr,	 nullptr },
		{ "license",	  &Tolvane::Configuration::showLicense,	   &Tolvane::Configuration::licenseTitle,      &Tolvane::Configuration::licenseText,	  "licensefile", &Tolvane::Configuration::licenseFile },
		{ "directory",	  &Tolvane::Configuration::showDirectory,  &Tolvane::Configuration::directoryTitle,    &Tolvane::Configuration::directoryText,	  "defaultdir",	 &Tolvane::Configuration::defaultDir },
		{ "components",	  &Tolvane::Configuration::showComponents, &Tolvane::Configuration::componentsTitle,   &Tolvane::Configuration::componentsText,	  nullptr,	 nullptr },
		{ "links",	  &Tolvane::Configuration::showLinks,	   &Tolvane::Configuration::linksTitle,	       &Tolvane::Configuration::linksText,	  nullptr,	 nullptr },
		{ "summary",	  &Tolvane::Configuration::showSummary,	   &Tolvane::Configuration::summaryTitle,      &Tolvane::Configuration::summaryText,	  nullptr,	 nullptr },
		{ "installation", nullptr,				   &Tolvane::Configuration::installationTitle, &Tolvane::Configuration::installationText, nullptr,	 nullptr },
		{ "finish",	  &Tolvane::Configuration::showFinish,	   &Tolvane::Configuration::finishTitle,       &Tolvane::Configuration::finishText,	  nullptr,	 nullptr },
		{ "reboot",	  &Tolvane::Configuration::showReboot,	   &Tolvane::Configuration::rebootTitle,       &Tolvane::Configuration::rebootText,	  nullptr,	 nullptr },
	};

	// Page numbers 1 to 8 in dialogFields (the installation dialog has no number).
	const DialogFields *PageFields(Int page)
	{
		if (page < Tolvane::PAGE_INTRO || page > Tolvane::PAGE_REBOOT) return nullptr;

		return &dialogFields[page <= Tolvane::PAGE_SUMMARY ? page - 1 : page];
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
	return LoadFile("setup.xml");
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
	if (Node *setup = root->GetNodeByName("setup"))
	{
		static const struct { const char *name; bool Configuration::*field; } switches[] = {
			{ "background",		&Configuration::background },
			{ "displayAppName",	&Configuration::displayAppName },
			{ "displayAppVersion",	&Configuration::displayAppVersion },
			{ "displayCompanyName",	&Configuration::displayCompanyName } };

		for (Int i = 0; i < setup->GetNOfNodes(); i++)
		{
			Node	*node = setup->GetNthNode(i);

			for (const auto &entry : switches)
			{
				if (node->GetName() != entry.name) continue;

				if (const String *value = AttributeText(node, "value")) this->*entry.field = IsTrue(*value);
			}
		}
	}

	if (Node *application = root->GetNodeByName("application"))
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

	if (Node *uninstall = root->GetNodeByName("uninstall"))
	{
		if (const String *value = AttributeText(uninstall, "createLog")) createLog = IsTrue(*value);

		for (Int i = 0; i < uninstall->GetNOfNodes(); i++)
		{
			Node	*node = uninstall->GetNthNode(i);

			if (node->GetName() == "file") uninstallFiles.Add(node->GetContent());
		}
	}

	if (Node *dialogs = root->GetNodeByName("dialogs"))
	{
		for (Int i = 0; i < dialogs->GetNOfNodes(); i++)
		{
			Node		*node  = dialogs->GetNthNode(i);
			const String	*id    = AttributeText(node, "id");
			Node		*title = node->GetNodeByName("title");
			Node		*text  = node->GetNodeByName("text");

			if (node->GetName() != "dialog" || id == nullptr || title == nullptr || text == nullptr) continue;

			for (const DialogFields &fields : dialogFields)
			{
				if (*id != fields.id) continue;

				if (fields.flag != nullptr) this->*fields.flag = true;

				this->*fields.title = title->GetContent();
				this->*fields.text  = text->GetContent();

				if (fields.extraChild != nullptr)
				{
					if (Node *extra = node->GetNodeByName(fields.extraChild)) this->*fields.extra = extra->GetContent();
				}

				break;
			}
		}
	}

	if (Node *section = root->GetNodeByName("components"))
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
				else if (name == "file" && child->GetContent() == "smooth.dll") copySmoothDll = true;
			}

			components.Add(component);
		}
	}

	if (Node *section = root->GetNodeByName("links"))
	{
		for (Int i = 0; i < section->GetNOfNodes(); i++)
		{
			Node		*group = section->GetNthNode(i);
			const String	&kind  = group->GetName();
			Int		 type  = 0;

			if	(kind == "desktop")	type = LINK_DESKTOP;
			else if (kind == "startmenu")	type = LINK_STARTMENU;
			else if (kind == "quicklaunch")	type = LINK_QUICKLAUNCH;
			else				continue;

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
	const DialogFields	*fields = PageFields(page);

	return fields != nullptr && this->*fields->flag;
}

const String &Tolvane::Configuration::GetPageTitle(Int page) const
{
	const DialogFields	*fields = PageFields(page);

	return fields != nullptr ? this->*fields->title : emptyText;
}

const String &Tolvane::Configuration::GetPageText(Int page) const
{
	const DialogFields	*fields = PageFields(page);

	return fields != nullptr ? this->*fields->text : emptyText;
}
