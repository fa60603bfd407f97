#include "staging_win.h"

#include <vector>

#include "winsupport/owners_win.h"
#include "core/hex.h"
#include "file_ops_win.h"
#include "object_check_win.h"
#include "sha256_win.h"
#include "system_text_win.h"

namespace velmora::engine {
namespace {

std::wstring AsciiWide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

Result<void> Matches(const ObjectToFetch& object, const FileDigest& digest, const std::wstring& path) {
    if (digest.size != object.size)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has " + std::to_string(digest.size) +
                                                        " bytes, the manifest says " + std::to_string(object.size)};
    if (digest.sha256 != object.sha256)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has SHA-256 " + ToHex(digest.sha256) +
                                                        ", the manifest says " + ToHex(object.sha256)};
    return {};
}

}  // namespace

Result<void> StagingFolder::Create() const {
    if (IsLinkedFolder(path_)) return LinkedFolderError(path_);
    return CreateFolders(path_);
}

// Object names are lowercase hex and ".z" (the manifest's rules), so the
// ASCII widening is exact.
std::wstring StagingFolder::PartName(std::string_view object) const { return AsciiWide(object) + L".part"; }
std::wstring StagingFolder::ReadyName(std::string_view object) const { return AsciiWide(object) + L".ready"; }
std::wstring StagingFolder::UnpackPath(std::string_view object) const { return path_ + L"\\" + AsciiWide(object) + L".unpack"; }
std::wstring StagingFolder::CopyPath(std::string_view object) const { return path_ + L"\\" + AsciiWide(object) + L".copy"; }
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

std::wstring StagingFolder::ContentPath(const ObjectToFetch& object) const {
    return object.object.ends_with(".z") ? ReadyPath(object.object) : PartPath(object.object);
}

Result<void> StagingFolder::MakeReady(const ObjectToFetch& object, const CancelFlag& cancel) const {
    const std::wstring part = PartPath(object.object);
    ObjectCheck check(*this, object, cancel);
    Result<void> outcome = check.Start();
    if (outcome) {
        UniqueFileHandle input(::CreateFileW(part.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!input) return LocalFileError("cannot open", part);
        outcome = FeedFromFile(check, input.get(), object.storedSize, part, cancel);
        // Anything beyond the stored size is not the object either.
        if (outcome && PlainFileSize(part) != object.storedSize)
            outcome = EngineError{EngineStatus::WrongFile, Utf8(part) + " is not of the stored size"};
    }
    if (outcome) outcome = check.Finish();
    if (!outcome && FailedVerification(outcome.Error())) check.Discard();
    return outcome;
}

Result<void> StagingFolder::CheckReady(const ObjectToFetch& object, const CancelFlag& cancel) const {
    const std::wstring ready = ReadyPath(object.object);
    auto digest = DigestOfFile(ready, cancel);
    if (!digest) return digest.Error();
    if (auto matches = Matches(object, digest.Value(), ready); !matches) {
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
