#include "engine_test_support.h"

#include <archive_test_support.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace smooth;

EngineTest::RecordingSystem::RecordingSystem(const String &root)
{
	for (Int folder : { Tolvane::FOLDER_DESKTOP, Tolvane::FOLDER_PROGRAMS, Tolvane::FOLDER_COMMON_PROGRAMS, Tolvane::FOLDER_COMMON_DESKTOP, Tolvane::FOLDER_APPDATA })
	{
		folders[folder] = Path::Join(root, String("special").Append(String::FromInt(folder)));

		Directory(folders[folder]).Create();
	}
}

bool EngineTest::RecordingSystem::GetSpecialFolder(Int folder, String &path)
{
	asked.push_back(folder);

	if (folders.count(folder) == 0) return false;

	path = folders[folder];

	return true;
}

String EngineTest::RecordingSystem::CreateShellLink(const String &target, const String &link, const String &workingFolder)
{
	links.push_back(link.ToUTF8() + "|" + target.ToUTF8() + "|" + workingFolder.ToUTF8());

	IO::OutStream	 out(IO::STREAM_FILE, link, IO::OS_REPLACE);

	if (out.GetLastError() != IO::IO_ERROR_OK) return "cannot write";

	out.OutputData(target.ToUTF8().data(), Int(target.ToUTF8().size()));

	return out.Close() == Success() ? String() : String("cannot write");
}

namespace
{
	// The fields of an entry by the names the registry gives its values.
	const std::pair<const char *, String Tolvane::UninstallEntry::*> textValues[] = {
		{ "DisplayName", &Tolvane::UninstallEntry::displayName }, { "DisplayVersion", &Tolvane::UninstallEntry::displayVersion },
		{ "Publisher", &Tolvane::UninstallEntry::publisher }, { "InstallLocation", &Tolvane::UninstallEntry::installLocation },
		{ "UninstallString", &Tolvane::UninstallEntry::uninstallString }, { "QuietUninstallString", &Tolvane::UninstallEntry::quietUninstallString },
		{ "DisplayIcon", &Tolvane::UninstallEntry::displayIcon }, { "InstallDate", &Tolvane::UninstallEntry::installDate },
	};
}

bool EngineTest::RecordingSystem::ReadUninstallEntry(const String &key, Tolvane::RegistrySnapshot &snapshot)
{
	snapshot = Tolvane::RegistrySnapshot();

	auto	 found = entries.find(key.ToUTF8());

	if (found == entries.end()) return true;

	snapshot.exists = true;

	for (const auto &value : textValues)
	{
		std::string	 bytes;

		for (wchar_t c : (found->second.*value.second).WideString()) bytes.append(1, char(c & 0xFF)).append(1, char((c >> 8) & 0xFF));

		snapshot.values.push_back({ value.first, 1, bytes.append(2, '\0') });
	}

	UnsignedInt	 size = found->second.estimatedSize;

	snapshot.values.push_back({ "EstimatedSize", 4, std::string({ char(size & 0xFF), char((size >> 8) & 0xFF), char((size >> 16) & 0xFF), char(size >> 24) }) });

	return true;
}

bool EngineTest::RecordingSystem::RestoreUninstallEntry(const String &key, const Tolvane::RegistrySnapshot &snapshot)
{
	entries.erase(key.ToUTF8());

	if (!snapshot.exists) return true;

	Tolvane::UninstallEntry	 entry;

	for (const auto &value : textValues) entry.*value.second = snapshot.GetText(value.first);

	for (const Tolvane::RegistryValue &value : snapshot.values)
	{
		if (value.name == "EstimatedSize" && value.data.size() == 4) entry.estimatedSize = UnsignedInt((unsigned char) value.data[0]) | UnsignedInt((unsigned char) value.data[1]) << 8 |
												   UnsignedInt((unsigned char) value.data[2]) << 16 | UnsignedInt((unsigned char) value.data[3]) << 24;
	}

	entries[key.ToUTF8()] = entry;

	return true;
}

std::vector<std::string> EngineTest::ScriptEntries(const String &fileName)
{
	std::vector<std::string> lines;
	XML::Document		 document;

	if (document.LoadFile(fileName) != Success()) return lines;

	XML::Node		*root = document.GetRootNode();

	for (Int i = 0; i < root->GetNOfNodes(); i++) lines.push_back(root->GetNthNode(i)->GetName().ToUTF8() + " " + root->GetNthNode(i)->GetContent().ToUTF8());

	return lines;
}

void EngineTest::WriteArchive(const String &path, const std::vector<std::pair<std::string, std::string> > &entries)
{
	smooth_test::ScratchFolder sources;
	ZBK::Archive	 archive;
	Int		 n = 0;

	for (const auto &entry : entries)
	{
		String	 name = String::FromUTF8(entry.first);

		if (Path::EndsWithSeparator(name))
		{
			ASSERT_TRUE(archive.AddFile(String(sources.Root()).Append("/"), name));

			continue;
		}

		String	 source = String("source").Append(String::FromInt(n++));

		sources.Write(source, entry.second);

		ASSERT_TRUE(archive.AddFile(sources.Path(source), name)) << entry.first;
	}

	ASSERT_TRUE(archive.Write(path));
}

void EngineTest::WriteRawArchive(const String &path, const std::vector<std::pair<std::string, std::string> > &entries)
{
	std::vector<ZBKTest::Record> records;
	std::string		 data;

	for (const auto &entry : entries)
	{
		records.push_back({ entry.first, uint32_t(entry.second.size()) });
		data += entry.second;
	}

	std::ofstream	 out(path.ToUTF8(), std::ios::binary);

	out << "ZBK" << ZBKTest::ChunkBytes(records, ZBKTest::Compress(data));
}
