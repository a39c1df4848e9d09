#include "page_text.h"

#include "license_encoding.h"

#include <string>

using namespace smooth;

String Tolvane::PageText(const String &text, const String &version)
{
	String	 result = text;

	result.Replace("%VERSION%", version);

	return result;
}

String Tolvane::LoadLicenseText(const String &licenseFile)
{
	String	 text;

	if (licenseFile.Compare("nolicense") == 0) return text;

	/* An empty name would make the stream try a file without a name; it
	 * names no licence, so the box stays empty.
	 */
	if (licenseFile == 0) return text;

	IO::InStream	 in(IO::STREAM_FILE, licenseFile, IO::IS_READ_ONLY);

	if (in.GetLastError() != IO::IO_ERROR_OK) return text;

	Int64	 size = in.Size();

	/* A file beyond the String's reach is not a licence anybody reads in
	 * a box.
	 */
	if (size <= 0 || size > 0x7FFFFFFF) return text;

	std::string	 bytes(size_t(size), '\0');

	for (Int64 i = 0; i < size; i++)
	{
		Int64	 byte = in.InputNumber(1);

		/* The file may shrink while we read: keep what was there. */
		if (byte < 0) { bytes.resize(size_t(i)); break; }

		bytes[size_t(i)] = char(byte);
	}

	in.Close();

	return DecodeLicenseText(bytes);
}

String Tolvane::ShownLicenseText(const String &licence)
{
	/* A text box ends its text at the first character 0, so a licence file
	 * holding a zero byte (a text in a two-byte encoding has one after
	 * almost every letter) would be shown cut off there: the user could not
	 * read what the Yes button accepts. Shown as a blank, it hides nothing.
	 */
	String	 shown = licence;

	for (Int i = 0; i < shown.Length(); i++) if (shown[i] == 0) shown[i] = ' ';

	return shown;
}

Tolvane::ComponentEntry Tolvane::EntryOfComponent(const Component &component, const String &version)
{
	bool	 required = component.mode == COMPONENT_REQUIRED;

	return { PageText(component.name, version), required || component.mode == COMPONENT_DEFAULT, required };
}

String Tolvane::ComponentDescription(const Configuration &config, Int hovered)
{
	Component	*component = hovered >= 0 && hovered < config.components.Length() ? config.components.GetNth(hovered) : nullptr;

	if (component == nullptr) return DESCRIPTION_HINT;

	return component->description;
}
