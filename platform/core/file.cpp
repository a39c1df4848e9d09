#include "smooth/file.h"
#include "smooth/path.h"
#include "native.h"

smooth::Bool smooth::Path::IsSeparator(wchar_t c)
{
	return c == L'/' || c == L'\\';
}

smooth::Bool smooth::Path::IsNativeSeparator(wchar_t c)
{
	return c == L'/' || (System::System::PathSeparator == L'\\' && c == L'\\');
}

smooth::Bool smooth::Path::EndsWithSeparator(const String &text)
{
	return text.Length() > 0 && IsSeparator(text[text.Length() - 1]);
}

smooth::Int smooth::Path::LastSeparator(const String &text)
{
	for (Int i = text.Length() - 1; i >= 0; i--)
	{
		if (IsSeparator(text[i])) return i;
	}

	return -1;
}

smooth::Int smooth::Path::LastNativeSeparator(const String &path)
{
	for (Int i = path.Length() - 1; i >= 0; i--)
	{
		if (IsNativeSeparator(path[i])) return i;
	}

	return -1;
}

smooth::String smooth::Path::Join(const String &folder, const String &name)
{
	if (folder.Length() == 0) return name;
	if (name.Length() == 0) return folder;

	if (IsNativeSeparator(folder[folder.Length() - 1])) return folder + name;

	wchar_t separator[2] = { System::System::PathSeparator, 0 };

	return folder + separator + name;
}

smooth::File::File(const String &fileName, const String &path) : full(Path::Join(path, fileName))
{
}

smooth::String smooth::File::GetFileName() const
{
	return full.Tail(full.Length() - Path::LastNativeSeparator(full) - 1);
}

smooth::String smooth::File::GetFilePath() const
{
	Int last = Path::LastNativeSeparator(full);

	if (last < 0) return String();

	// The root keeps its separator: the folder of "/a" is "/", not "".
	if (last == 0) return full.Head(1);

	return full.Head(last);
}

smooth::Directory::Directory(const String &name, const String &path) : full(Path::Join(path, name))
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
