#include "layer_components.h"

#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerComponents::LayerComponents(const Configuration &config) : Layer(String()), config(config)
{
	pageText	 = new Text(PageText(config.componentsText, config.appVersion), Point(59, 63));
	componentsGroup	 = new GroupBox("Available components", Point(9, 143), Size(276, 143));
	componentList	 = new ListBox(Point(19, 156), Size(256, 120));
	descriptionGroup = new GroupBox("Description", Point(295, 143), Size(170, 143));
	descriptionText	 = new Text(String(), Point(305, 158));

	componentList->SetFlags(LF_MULTICHECKBOX);

	for (Int i = 0; i < config.components.Length(); i++)
	{
		Component	*component = config.components.GetNth(i);
		ComponentEntry	 shown	   = component != nullptr ? EntryOfComponent(*component, config.appVersion) : ComponentEntry { String(), false, false };
		ListEntry	*entry	   = componentList->AddEntry(shown.label);

		if (shown.marked) entry->SetMark(true);
		if (shown.locked) entry->Deactivate();

		entry->onMouseOver.Connect(&LayerComponents::UpdateDescription, this);
		entry->onMouseOut.Connect(&LayerComponents::UpdateDescription, this);
	}

	Add(pageText);
	Add(componentsGroup);
	Add(componentList);
	Add(descriptionGroup);
	Add(descriptionText);

	UpdateDescription();
}

Tolvane::LayerComponents::~LayerComponents()
{
	DeleteObject(pageText);
	DeleteObject(componentsGroup);
	DeleteObject(componentList);
	DeleteObject(descriptionGroup);
	DeleteObject(descriptionText);
}

bool Tolvane::LayerComponents::IsComponentSelected(int index) const
{
	/* The worker asks with indices of the configuration; a negative one
	 * must not reach the list.
	 */
	if (index < 0 || index >= componentList->Length()) return false;

	ListEntry	*entry = componentList->GetNthEntry(index);

	return entry != nullptr && entry->IsMarked();
}

void Tolvane::LayerComponents::UpdateDescription()
{
	Int	 hovered = -1;

	for (Int i = 0; i < componentList->Length(); i++)
	{
		ListEntry	*entry = componentList->GetNthEntry(i);

		if (entry != nullptr && entry->IsMouseOver()) { hovered = i; break; }
	}

	descriptionText->SetText(ComponentDescription(config, hovered));
}
