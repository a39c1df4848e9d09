#include "smooth/file.h"
#include "native.h"

namespace
{
	// Joins a folder and a name with one separator between them.
	smooth::String Join(const smooth::String &path, const smooth::String &name)
	{
		using namespace smooth;

		if (path.Length() == 0) return name;
		if (name.Length() == 0) return path;

		if (Native::IsSeparator(path[path.Length() - 1])) return path + name;

		wchar_t separator[2] = { System::System::PathSeparator, 0 };

		return path + separator + name;
	}

	smooth::Int LastSeparator(const smooth::String &path)
	{
		for (smooth::Int i = path.Length() - 1; i >= 0; i--)
		{
			if (smooth::Native::IsSeparator(path[i])) return i;
		}

		return -1;
	}
}

smooth::File::File(const String &fileName, const String &path) : full(Join(path, fileName))
{
}

smooth::String smooth::File::GetFileName() const
{
	return full.Tail(full.Length() - LastSeparator(full) - 1);
}

smooth::String smooth::File::GetFilePath() const
{
	Int last = LastSeparator(full);

	if (last < 0) return String();

	// The root keeps its separator: the folder of "/a" is "/", not "".
	if (last == 0) return full.Head(1);

	return full.Head(last);
}

smooth::Directory::Directory(const String &name, const String &path) : full(Join(path, name))
{
}

std::vector<smooth::String> smooth::Directory::GetFiles() const
{
	return Native::List(full, false);
}

std::vector<smooth::String> smooth::Directory::GetDirectories() const
{
	return Native::List(full, true);
}

smooth::String smooth::System::System::GetAPIVersion()
{
	return "0.8.70.0";
}
