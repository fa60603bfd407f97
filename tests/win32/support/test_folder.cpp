#include "support/test_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora::testing {

TestFolder::TestFolder(const std::wstring& prefix) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(temp) + prefix + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create test folder");
    }
}

TestFolder::~TestFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry{};
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

void WriteTextFile(const std::wstring& path, const std::string& content) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) throw std::runtime_error("cannot write " + Utf8(path));
}

std::string ReadTextFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::istringstream content(ReadTextFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(content, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LinesNamed(const std::wstring& path, const std::string& name) {
    std::vector<std::string> named;
    for (const std::string& line : ReadLines(path))
        if (line.substr(0, line.find('\t')) == name) named.push_back(line);
    return named;
}

std::string Field(const std::string& line, const std::string& key) {
    const std::string marker = "\t" + key + "=";
    const size_t start = line.find(marker);
    if (start == std::string::npos) return "(missing " + key + ")";
    const size_t from = start + marker.size();
    return line.substr(from, line.find('\t', from) - from);
}

std::wstring ProgramFolder() { return ModuleFolder(nullptr); }

std::wstring FixturePath(const std::wstring& fileName) { return ProgramFolder() + L"\\fixtures\\" + fileName; }

void CopyFixture(const std::wstring& fileName, const std::wstring& destination) {
    if (!::CopyFileW(FixturePath(fileName).c_str(), destination.c_str(), FALSE))
        throw std::runtime_error("cannot copy fixture " + Utf8(fileName));
}

}  // namespace velmora::testing
