#include "component.h"

Tolvane::Component::Component() : subdir("."), mode(COMPONENT_OPTIONAL)
{
}

Tolvane::Component::~Component()
{
}

Tolvane::Link::Link() : type(0)
{
}

Tolvane::Link::~Link()
{
}
