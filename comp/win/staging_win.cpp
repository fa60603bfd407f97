#include "staging_win.h"

#include <vector>

#include "winsupport/owners_win.h"
#include "core/hex.h"
#include "file_ops_win.h"
#include "sha256_win.h"
#include "error_text_win.h"

namespace velmora::engine {
namespace {

std::wstring AsciiWide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

Result<void> Matches(const ManifestFile& content, const FileDigest& digest, const std::wstring& path) {
    if (digest.size != content.size)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has " + std::to_string(digest.size) +
                                                        " bytes, the manifest says " + std::to_string(content.size)};
    if (digest.sha256 != content.sha256)
        return EngineError{EngineStatus::WrongFile, Utf8(path) + " has SHA-256 " + ToHex(digest.sha256) +
                                                        ", the manifest says " + ToHex(content.sha256)};
    return {};
}

// Calls `visit` with each entry of the folder but "." and ".."; a missing
// folder has none.
template <typename Visit>
Result<void> ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return LocalFileError("cannot list", folder);
    }
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (auto visited = visit(entry); !visited) return visited;
    } while (::FindNextFileW(search.get(), &entry));
    return {};
}

// The engine's subfolders: two lowercase hex digits.
bool IsSubfolderName(const WIN32_FIND_DATAW& entry) {
    const std::wstring_view name = entry.cFileName;
    const auto hex = [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); };
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() == 2 && hex(name[0]) && hex(name[1]);
}

}  // namespace

Result<void> StagingFolder::Create() const {
    if (IsLinkedFolder(path_)) return LinkedFolderError(path_);
    return CreateFolders(path_);
}

std::wstring StagingFolder::BuildName(const Sha256Digest& content) const { return AsciiWide(ToHex(content)) + L".build"; }
std::wstring StagingFolder::ReadyName(const Sha256Digest& content) const { return AsciiWide(ToHex(content)) + L".ready"; }
std::wstring StagingFolder::Subfolder(const Sha256Digest& content) const {
    return path_ + L"\\" + AsciiWide(ToHex(content).substr(0, 2));
}
std::wstring StagingFolder::BuildPath(const Sha256Digest& content) const {
    return Subfolder(content) + L"\\" + BuildName(content);
}
std::wstring StagingFolder::ReadyPath(const Sha256Digest& content) const {
    return Subfolder(content) + L"\\" + ReadyName(content);
}
std::wstring StagingFolder::CopyPath(const Sha256Digest& content) const {
    return Subfolder(content) + L"\\" + AsciiWide(ToHex(content)) + L".copy";
}

Result<void> StagingFolder::CreateBuild(const ManifestFile& content) const {
    if (auto made = CreateFolders(Subfolder(content.sha256)); !made) return made;
    return CreateSized(BuildPath(content.sha256), content.size);
}

Result<void> StagingFolder::WriteReady(const ManifestFile& content, std::span<const std::uint8_t> bytes) const {
    if (auto made = CreateFolders(Subfolder(content.sha256)); !made) return made;
    return WriteFileFlushed(ReadyPath(content.sha256),
                            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
std::wstring StagingFolder::ManifestPath() const { return path_ + L"\\gamedata.vel.new"; }

Result<std::unordered_map<std::wstring, std::uint64_t>> StagingFolder::List() const {
    std::unordered_map<std::wstring, std::uint64_t> files;
    std::vector<std::wstring> subfolders;
    auto listed = ForEachEntry(path_, [&](const WIN32_FIND_DATAW& entry) {
        if (IsSubfolderName(entry)) subfolders.push_back(path_ + L"\\" + entry.cFileName);
        return Result<void>();
    });
    if (!listed) return listed.Error();
    for (const std::wstring& subfolder : subfolders) {
        auto inside = ForEachEntry(subfolder, [&](const WIN32_FIND_DATAW& entry) {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.emplace(entry.cFileName, (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow);
            return Result<void>();
        });
        if (!inside) return inside.Error();
    }
    return files;
}

Result<void> StagingFolder::CheckReady(const ManifestFile& content, const CancelFlag& cancel) const {
    return CheckWhole(ReadyPath(content.sha256), content, cancel);
}

Result<void> StagingFolder::CheckBuilt(const ManifestFile& content, const CancelFlag& cancel) const {
    return CheckWhole(BuildPath(content.sha256), content, cancel);
}

Result<void> StagingFolder::CheckWhole(const std::wstring& path, const ManifestFile& content,
                                       const CancelFlag& cancel) const {
    auto digest = DigestOfFile(path, cancel);
    if (!digest) return digest.Error();
    if (auto matches = Matches(content, digest.Value(), path); !matches) {
        DeleteIfPresent(path);
        return matches;
    }
    return {};
}

Result<void> StagingFolder::RemoveLeftovers() const {
    if (IsLinkedFolder(path_)) return LinkedFolderError(path_);
    std::vector<std::wstring> subfolders;
    auto cleared = ForEachEntry(path_, [&](const WIN32_FIND_DATAW& entry) -> Result<void> {
        const std::wstring path = path_ + L"\\" + entry.cFileName;
        if (IsSubfolderName(entry)) {
            subfolders.push_back(path);
        } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !DeleteIfPresent(path)) {
            return LocalFileError("cannot delete", path);
        }
        return {};
    });
    if (!cleared) return cleared;
    subfolders.push_back(path_);
    for (const std::wstring& subfolder : subfolders) {
        if (IsLinkedFolder(subfolder)) return LinkedFolderError(subfolder);
        if (subfolder != path_) {
            auto emptied = ForEachEntry(subfolder, [&](const WIN32_FIND_DATAW& entry) -> Result<void> {
                const std::wstring file = subfolder + L"\\" + entry.cFileName;
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !DeleteIfPresent(file))
                    return LocalFileError("cannot delete", file);
                return {};
            });
            if (!emptied) return emptied;
        }
        // A folder someone put inside keeps its folder; that is not the
        // engine's to remove.
        if (!::RemoveDirectoryW(subfolder.c_str()) && IsFolder(subfolder) && ::GetLastError() != ERROR_DIR_NOT_EMPTY)
            return LocalFileError("cannot remove", subfolder);
    }
    return {};
}

}  // namespace velmora::engine
