// Records of the setup script: one installable component, one shortcut.
#pragma once

#include <smooth.h>

namespace Tolvane
{
	// Mode values of a component's entry on the components page.
	const smooth::Int COMPONENT_OPTIONAL	= 0;	// initially unmarked
	const smooth::Int COMPONENT_REQUIRED	= 1;	// marked and locked
	const smooth::Int COMPONENT_DEFAULT	= 2;	// initially marked

	class Component
	{
		public:
			smooth::String	 id;
			smooth::String	 name;		// may hold "%VERSION%", replaced when shown
			smooth::String	 description;
			smooth::String	 archive;	// opened by the name as written
			smooth::String	 subdir;	// "." is the target folder itself
			smooth::Int	 mode;

					 Component();
			virtual		~Component();

			smooth::Int	 SetID(const smooth::String &text)		{ id = text; return smooth::Success(); }
			smooth::Int	 SetName(const smooth::String &text)		{ name = text; return smooth::Success(); }
			smooth::Int	 SetDescription(const smooth::String &text)	{ description = text; return smooth::Success(); }
			smooth::Int	 SetArchive(const smooth::String &text)		{ archive = text; return smooth::Success(); }
			smooth::Int	 SetSubdir(const smooth::String &text)		{ subdir = text; return smooth::Success(); }
			smooth::Int	 SetMode(smooth::Int value)			{ mode = value; return smooth::Success(); }
	};

	// Shortcut kinds.
	const smooth::Int LINK_DESKTOP		= 1;
	const smooth::Int LINK_STARTMENU	= 2;
	const smooth::Int LINK_QUICKLAUNCH	= 3;

	class Link
	{
		public:
			smooth::String	 name;		// shortcut name; "%VERSION%" replaced in the file name
			smooth::String	 file;		// target, relative to the target folder
			smooth::String	 depends;	// id of a component that must be marked, or empty
			smooth::Int	 type;

					 Link();
			virtual		~Link();

			smooth::Int	 SetName(const smooth::String &text)	{ name = text; return smooth::Success(); }
			smooth::Int	 SetFile(const smooth::String &text)	{ file = text; return smooth::Success(); }
			smooth::Int	 SetDepends(const smooth::String &text)	{ depends = text; return smooth::Success(); }
			smooth::Int	 SetType(smooth::Int value)		{ type = value; return smooth::Success(); }
	};
}
