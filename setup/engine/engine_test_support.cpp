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
