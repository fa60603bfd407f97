#include "staging_win.h"

#include <vector>

#include "winsupport/owners_win.h"
#include "core/hex.h"
#include "file_ops_win.h"
#include "sha256_win.h"
#include "system_text_win.h"

namespace velmora::engine {
namespace {

std::wstring AsciiWide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

Result<void> Matches(const ContentToBuild& content, const FileDigest& digest, const std::wstring& path) {
    if (digest.size != content.size)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has " + std::to_string(digest.size) +
                                                        " bytes, the manifest says " + std::to_string(content.size)};
    if (digest.sha256 != content.sha256)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has SHA-256 " + ToHex(digest.sha256) +
                                                        ", the manifest says " + ToHex(content.sha256)};
    return {};
}

}  // namespace

Result<void> StagingFolder::Create() const {
    if (IsLinkedFolder(path_)) return LinkedFolderError(path_);
    return CreateFolders(path_);
}

std::wstring StagingFolder::BuildName(const Sha256Digest& content) const { return AsciiWide(ToHex(content)) + L".build"; }
std::wstring StagingFolder::ReadyName(const Sha256Digest& content) const { return AsciiWide(ToHex(content)) + L".ready"; }
std::wstring StagingFolder::CopyPath(const Sha256Digest& content) const {
    return path_ + L"\\" + AsciiWide(ToHex(content)) + L".copy";
}
std::wstring StagingFolder::ManifestPath() const { return path_ + L"\\gamedata.vel.new"; }

Result<std::unordered_map<std::wstring, std::uint64_t>> StagingFolder::List() const {
    std::unordered_map<std::wstring, std::uint64_t> files;
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(::FindFirstFileW((path_ + L"\\*").c_str(), &entry));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return files;
        return LocalFileError("cannot list", path_);
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.emplace(entry.cFileName, (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow);
    } while (::FindNextFileW(search.get(), &entry));
    return files;
}

Result<void> StagingFolder::CheckReady(const ContentToBuild& content, const CancelFlag& cancel) const {
    const std::wstring ready = ReadyPath(content.sha256);
    auto digest = DigestOfFile(ready, cancel);
    if (!digest) return digest.Error();
    if (auto matches = Matches(content, digest.Value(), ready); !matches) {
        DeleteIfPresent(ready);
        return matches;
    }
    return {};
}

Result<void> StagingFolder::RemoveLeftovers() const {
    if (IsLinkedFolder(path_)) return LinkedFolderError(path_);
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(::FindFirstFileW((path_ + L"\\*").c_str(), &entry));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return LocalFileError("cannot list", path_);
    }
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring file = path_ + L"\\" + entry.cFileName;
        if (!DeleteIfPresent(file)) return LocalFileError("cannot delete", file);
    } while (::FindNextFileW(search.get(), &entry));
    search.reset();
    if (!::RemoveDirectoryW(path_.c_str()) && IsFolder(path_)) {
        // A folder someone put inside keeps it; that is not the engine's
        // to remove.
        if (::GetLastError() != ERROR_DIR_NOT_EMPTY) return LocalFileError("cannot remove", path_);
    }
    return {};
}

}  // namespace velmora::engine
