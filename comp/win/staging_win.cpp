#include "staging_win.h"

#include <vector>

#include "common/owners_win.h"
#include "core/hex.h"
#include "file_ops_win.h"
#include "inflate_stream.h"
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

Result<void> StagingFolder::Create() const { return CreateFolders(path_); }

// Object names are lowercase hex and ".z" (the manifest's rules), so the
// ASCII widening is exact.
std::wstring StagingFolder::PartPath(std::string_view object) const { return path_ + L"\\" + AsciiWide(object) + L".part"; }
std::wstring StagingFolder::ReadyPath(std::string_view object) const { return path_ + L"\\" + AsciiWide(object) + L".ready"; }
std::wstring StagingFolder::CopyPath(std::string_view object) const { return path_ + L"\\" + AsciiWide(object) + L".copy"; }
std::wstring StagingFolder::ManifestPath() const { return path_ + L"\\gamedata.vel.new"; }

bool StagingFolder::HasReady(const ObjectToFetch& object) const {
    return PlainFileSize(ReadyPath(object.object)) == object.size;
}

Result<void> StagingFolder::MakeReady(const ObjectToFetch& object, const CancelFlag& cancel) const {
    const std::wstring part = PartPath(object.object);
    if (object.object.ends_with(".z")) {
        auto unpacked = Unpack(object, cancel);
        if (!unpacked && !IsStop(unpacked.Error())) DeleteIfPresent(part);
        return unpacked;
    }
    auto digest = DigestOfFile(part, cancel);
    if (!digest) return digest.Error();
    if (auto matches = Matches(object, digest.Value(), part); !matches) {
        DeleteIfPresent(part);
        return matches;
    }
    return ReplaceWith(part, ReadyPath(object.object));
}

Result<void> StagingFolder::Unpack(const ObjectToFetch& object, const CancelFlag& cancel) const {
    const std::wstring part = PartPath(object.object);
    const std::wstring unpacking = path_ + L"\\" + AsciiWide(object.object) + L".unpack";
    {
        UniqueFileHandle input(::CreateFileW(part.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!input) return LocalFileError("cannot open", part);
        UniqueFileHandle output(::CreateFileW(unpacking.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) return LocalFileError("cannot create", unpacking);

        Sha256 hash;
        InflateStream inflate(object.size, [&](std::span<const std::uint8_t> bytes) -> Result<void> {
            if (auto hashed = hash.Update(bytes); !hashed) return hashed;
            DWORD written = 0;
            if (!::WriteFile(output.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                written != bytes.size())
                return LocalFileError("cannot write", unpacking);
            return {};
        });
        std::vector<std::uint8_t> buffer(256 * 1024);
        Result<void> outcome;
        for (;;) {
            if (cancel.Raised()) {
                outcome = Stopped();
                break;
            }
            DWORD got = 0;
            if (!::ReadFile(input.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                outcome = LocalFileError("cannot read", part);
                break;
            }
            if (got == 0) {
                outcome = inflate.Finish();
                break;
            }
            if (outcome = inflate.Feed(std::span(buffer.data(), got)); !outcome) break;
        }
        if (outcome) {
            auto digest = hash.Finish();
            if (!digest)
                outcome = digest.Error();
            else
                outcome = Matches(object, FileDigest{object.size, digest.Value()}, part);
        }
        if (outcome && !::FlushFileBuffers(output.get())) outcome = LocalFileError("cannot flush", unpacking);
        if (!outcome) {
            output.reset();
            DeleteIfPresent(unpacking);
            return outcome;
        }
    }
    if (auto renamed = ReplaceWith(unpacking, ReadyPath(object.object)); !renamed) return renamed;
    DeleteIfPresent(part);
    return {};
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
