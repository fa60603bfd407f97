#include "support/test_folder.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora::testing {

TestFolder::TestFolder(const std::wstring& prefix, const std::wstring& parent) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = parent.empty() ? std::wstring(temp) : parent + L"\\";
    static unsigned counter = 0;
    for (;;) {
        path_ = folder + prefix + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
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
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveLink(child);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

namespace {

using UnixFileNameFunction = char* (*)(const wchar_t*);

// Starts a program of the host with Unix paths: under Wine a Windows
// program can start one, but cannot wait for it or learn its exit code.
bool RunOnTheHost(const wchar_t* program, const std::vector<std::wstring>& paths) {
    const auto unixName = reinterpret_cast<UnixFileNameFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    std::wstring command = program;
    for (const std::wstring& path : paths) {
        char* name = unixName(path.c_str());
        if (!name) return false;
        command += L" \"" + std::wstring(name, name + std::strlen(name)) + L"\"";
        ::HeapFree(::GetProcessHeap(), 0, name);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

template <typename Condition>
bool Eventually(Condition condition) {
    for (int tries = 0; tries < 100; ++tries) {
        if (condition()) return true;
        ::Sleep(50);
    }
    return false;
}

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                              SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        IsReparsePoint(link))
        return true;
    // Wine's CreateSymbolicLinkW reports success and makes nothing; a link
    // the host makes is shown as a reparse point.
    return RunOnTheHost(L"Z:\\bin\\ln -s", {target, link}) && Eventually([&] { return IsReparsePoint(link); });
}

void RemoveLink(const std::wstring& link) {
    if (::RemoveDirectoryW(link.c_str()) || ::DeleteFileW(link.c_str()) || !IsReparsePoint(link)) return;
    if (RunOnTheHost(L"Z:\\bin\\rm", {link})) Eventually([&] { return !IsReparsePoint(link); });
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
