#include "game_folder_win.h"

#include <algorithm>
#include <unordered_set>

#include "core/dropped_files.h"
#include "contract/engine_contract.h"
#include "core/path_rules.h"
#include "file_ops_win.h"
#include "winsupport/owners_win.h"
#include "error_text_win.h"

namespace velmora::engine {

std::optional<std::wstring> GameFolder::FullPath(std::string_view manifestPath) const {
    const std::optional<std::wstring> relative = FromUtf8(ToWindowsRelativePath(manifestPath));
    if (!relative) return std::nullopt;
    return path_ + L"\\" + *relative;
}

std::optional<std::uint64_t> GameFolder::FileSize(std::string_view manifestPath) const {
    const std::optional<std::wstring> full = FullPath(manifestPath);
    return full ? PlainFileSize(*full) : std::nullopt;
}

std::optional<FileStamp> GameFolder::Stamp(std::string_view manifestPath) const {
    const std::optional<std::wstring> full = FullPath(manifestPath);
    return full ? PlainFileStamp(*full) : std::nullopt;
}

Result<void> GameFolder::PutInPlace(const std::wstring& verified, std::string_view manifestPath) const {
    const std::optional<std::wstring> target = FullPath(manifestPath);
    if (!target) return InvalidFormat("path is not UTF-8: " + std::string(manifestPath));
    if (IsFolder(*target))
        return EngineError{EngineStatus::WrongFile, "a folder stands where " + Utf8(*target) + " belongs"};
    if (auto folders = CreateFolders(ParentFolder(*target)); !folders) return folders;
    return ReplaceWith(verified, *target);
}

std::wstring SetAsidePath(const std::wstring& path) { return path + kSetAsideSuffix; }

Result<SwitchedUpdaterFile> GameFolder::PutUpdaterFileInPlace(const std::wstring& verified,
                                                              std::string_view manifestPath) const {
    const std::optional<std::wstring> target = FullPath(manifestPath);
    if (!target) return InvalidFormat("path is not UTF-8: " + std::string(manifestPath));
    SwitchedUpdaterFile switched{*target, {}, verified};
    if (PlainFileSize(*target)) {
        const std::wstring aside = SetAsidePath(*target);
        if (!DeleteIfPresent(aside)) return LocalFileError("cannot remove", aside);
        // Not written through: the rename of the new file, which is, puts
        // both on the disk, and the place stays empty no longer than the
        // two renames take.
        if (!::MoveFileExW(target->c_str(), aside.c_str(), 0)) return LocalFileError("cannot set aside", *target);
        switched.setAside = aside;
    }
    if (auto placed = ReplaceWith(verified, *target); !placed) {
        if (!switched.setAside.empty() &&
            !::MoveFileExW(switched.setAside.c_str(), target->c_str(), MOVEFILE_WRITE_THROUGH))
            return EngineError{EngineStatus::WrongFile,
                               placed.Error().reason + "; the old file stays set aside as " +
                                   Utf8(switched.setAside) + ": " + LastErrorText(),
                               true};
        return placed.Error();
    }
    return switched;
}

Result<void> GameFolder::SwitchBack(const SwitchedUpdaterFile& switched) const {
    if (!::MoveFileExW(switched.path.c_str(), switched.cameFrom.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LocalFileError("cannot take back the new file", switched.path);
    if (switched.setAside.empty()) return {};
    if (::MoveFileExW(switched.setAside.c_str(), switched.path.c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    const EngineError failure = LocalFileError("cannot put back the old file", switched.path);
    if (!::MoveFileExW(switched.cameFrom.c_str(), switched.path.c_str(), MOVEFILE_WRITE_THROUGH))
        return EngineError{failure.status, failure.reason + "; nor the new one: " + LastErrorText(), true};
    return failure;
}

void GameFolder::ClearSetAsideFiles() const {
    for (const std::string_view file : kUpdaterFiles) {
        const std::optional<std::wstring> full = FullPath(file);
        if (full && PlainFileSize(*full)) ::DeleteFileW(SetAsidePath(*full).c_str());
    }
}

Result<void> GameFolder::CheckNoLinks(const std::vector<std::string>& manifestPaths) const {
    std::unordered_set<std::string_view> seen;
    for (const std::string& path : manifestPaths) {
        for (std::string_view folder : ParentFolders(path)) {
            if (!seen.insert(folder).second) continue;
            const std::optional<std::wstring> full = FullPath(folder);
            if (full && IsLinkedFolder(*full)) return LinkedFolderError(*full);
        }
    }
    return {};
}

Result<void> GameFolder::CheckFree(const std::vector<std::string>& manifestPaths, unsigned waitMilliseconds) const {
    if (auto noLinks = CheckNoLinks(manifestPaths); !noLinks) return noLinks;
    const ULONGLONG deadline = ::GetTickCount64() + waitMilliseconds;
    for (const std::string& path : manifestPaths) {
        // The updater's own files are in use by design; they are set aside.
        if (IsUpdaterFile(path)) continue;
        const std::optional<std::wstring> full = FullPath(path);
        if (!full) continue;
        for (;;) {
            // Opened with no sharing at all, the file is free exactly when no
            // other handle to it is open; the system would refuse to replace
            // or delete it otherwise.
            const UniqueFileHandle probe(::CreateFileW(full->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            if (probe) break;
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || IsFolder(*full)) break;
            if (::GetTickCount64() >= deadline) return LocalFileError("another program holds", *full);
            ::Sleep(100);
        }
    }
    return {};
}

Result<void> GameFolder::RemoveFiles(const std::vector<std::string>& manifestPaths) const {
    for (const std::string& path : manifestPaths) {
        const std::optional<std::wstring> full = FullPath(path);
        if (!full || IsFolder(*full)) continue;
        const DWORD attributes = ::GetFileAttributesW(full->c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(full->c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        if (!DeleteIfPresent(*full)) return LocalFileError("cannot remove", *full);
    }
    // Deepest first, so that a folder's emptied subfolders are gone before
    // it is tried. Removing a folder fails while anything is left inside.
    std::vector<std::string_view> folders;
    for (const std::string& path : manifestPaths)
        for (std::string_view folder : ParentFolders(path)) folders.push_back(folder);
    const auto depth = [](std::string_view folder) { return std::count(folder.begin(), folder.end(), '/'); };
    std::sort(folders.begin(), folders.end(), [&](std::string_view a, std::string_view b) {
        return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
    });
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (std::string_view folder : folders) {
        if (const std::optional<std::wstring> full = FullPath(folder)) ::RemoveDirectoryW(full->c_str());
    }
    return {};
}

}  // namespace velmora::engine
