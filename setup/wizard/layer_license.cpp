#include "layer_license.h"

#include "configuration.h"
#include "page_text.h"

using namespace smooth;
using namespace smooth::GUI;

Tolvane::LayerLicense::LayerLicense() : Layer(String())
{
	pageText	= new Text(PageText(config->licenseText), Point(59, 63));
	licenseEdit	= new MultiEdit(ShownLicenseText(LoadLicenseText()), Point(9, 101), Size(456, 185), 0);

	licenseEdit->Deactivate();

	Add(pageText);
	Add(licenseEdit);
}

Tolvane::LayerLicense::~LayerLicense()
{
	DeleteObject(pageText);
	DeleteObject(licenseEdit);
}

String Tolvane::LayerLicense::LoadLicenseText()
{
	String	 text;

	if (config == nullptr || config->licenseFile.Compare("nolicense") == 0) return text;

	/* An empty name would make the stream try a file without a name; it
	 * names no licence, so the box stays empty.
	 */
	if (config->licenseFile == 0) return text;

	IO::InStream	 in(IO::STREAM_FILE, config->licenseFile, IO::IS_READ_ONLY);

	if (in.GetLastError() != IO::IO_ERROR_OK) return text;

	Int64	 size = in.Size();

	/* The text is a String of one character per byte; a file beyond the
	 * String's reach is not a licence anybody reads in a box.
	 */
	if (size <= 0 || size > 0x7FFFFFFF) return text;

	std::wstring	 chars(size_t(size), L'\0');

	for (Int64 i = 0; i < size; i++)
	{
		Int64	 byte = in.InputNumber(1);

		/* The file may shrink while we read: keep what was there. */
		if (byte < 0) { chars.resize(size_t(i)); break; }

		chars[size_t(i)] = wchar_t(byte);
	}

	in.Close();

	return String(chars);
}

String Tolvane::LayerLicense::ShownLicenseText(const String &licence)
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
