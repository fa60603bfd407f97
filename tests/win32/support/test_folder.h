#pragma once
// Helpers for Windows tests: a scratch folder removed afterwards, whole-file
// reads and writes, and the fixture binaries copied beside each test program.
#include <windows.h>

#include <string>
#include <vector>

#include "winsupport/system_text_win.h"
#include "winsupport/text_win.h"

namespace velmora::testing {

// A new empty folder under the system's temporary folder, removed with
// everything in it when the owner goes. The name may contain a blank on
// request, for paths like an install under "Program Files".
class TestFolder {
public:
    // A new folder in `parent`, or in the temporary folder when it is empty.
    explicit TestFolder(const std::wstring& prefix = L"velmora", const std::wstring& parent = L"");
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Deletes a folder and all it holds; a link inside is removed, not
// followed.
void RemoveTree(const std::wstring& path);
// Makes `link` a symbolic link to the folder `target` (under Wine, through
// the host); false when no link could be made.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
void RemoveLink(const std::wstring& link);
void WriteTextFile(const std::wstring& path, const std::string& content);
std::string ReadTextFile(const std::wstring& path);
std::vector<std::string> ReadLines(const std::wstring& path);
// Lines of the file whose first tab-separated field is `name`.
std::vector<std::string> LinesNamed(const std::wstring& path, const std::string& name);
// The value of "key=value" among the tab-separated fields of a log line.
std::string Field(const std::string& line, const std::string& key);

// The folder of the running test program and its fixtures\ subfolder.
std::wstring ProgramFolder();
std::wstring FixturePath(const std::wstring& fileName);
void CopyFixture(const std::wstring& fileName, const std::wstring& destination);

}  // namespace velmora::testing
