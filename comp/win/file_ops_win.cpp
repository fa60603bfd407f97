#include "file_ops_win.h"

#include "winsupport/owners_win.h"
#include "error_text_win.h"

namespace velmora::engine {

EngineError LocalFileError(std::string what, const std::wstring& path) {
    return {EngineStatus::WrongFile, what + " " + Utf8(path) + ": " + LastErrorText(), true};
}

std::optional<FileStamp> PlainFileStamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return FileStamp{(std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                     (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime};
}

std::optional<std::uint64_t> PlainFileSize(const std::wstring& path) {
    const std::optional<FileStamp> stamp = PlainFileStamp(path);
    return stamp ? std::optional<std::uint64_t>(stamp->size) : std::nullopt;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLinkedFolder(const std::wstring& path) {
    constexpr DWORD kLinkAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kLinkAttributes) != kLinkAttributes) return false;
    // The search entry carries the reparse tag; the cloud tags differ only
    // in the bits 12 to 15.
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle found(::FindFirstFileW(path.c_str(), &entry));
    constexpr DWORD kCloudTagMask = 0xFFFF0FFF;
    return !found || (entry.dwReserved0 & kCloudTagMask) != IO_REPARSE_TAG_CLOUD;
}

EngineError LinkedFolderError(const std::wstring& path) {
    return {EngineStatus::WrongFile,
            Utf8(path) + " is a link to another place (a junction or a symbolic link): nothing is written or "
                         "deleted through it",
            true};
}

std::optional<std::string> ReadFileUpTo(const std::wstring& path, std::uint64_t limit) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > limit)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const std::size_t piece = bytes.size() - filled < (1u << 20) ? bytes.size() - filled : (1u << 20);
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + filled, static_cast<DWORD>(piece), &got, nullptr) || got == 0)
            return std::nullopt;
        filled += got;
    }
    return bytes;
}

Result<void> WriteFileFlushed(const std::wstring& path, const PiecesOfFile& write) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot create", path);
    auto written = write([&](std::string_view bytes) -> Result<void> {
        while (!bytes.empty()) {
            const std::size_t piece = bytes.size() < (1u << 20) ? bytes.size() : (1u << 20);
            DWORD done = 0;
            if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(piece), &done, nullptr) || done != piece)
                return LocalFileError("cannot write", path);
            bytes.remove_prefix(piece);
        }
        return {};
    });
    if (!written) return written;
    if (!::FlushFileBuffers(file.get())) return LocalFileError("cannot flush", path);
    return {};
}

Result<void> WriteFileFlushed(const std::wstring& path, std::string_view bytes) {
    return WriteFileFlushed(path, [bytes](const auto& take) { return take(bytes); });
}

namespace {

bool MoveTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != 0;
}

}  // namespace

Result<UniqueFileHandle> OpenForReadingAlone(const std::wstring& path) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot open", path);
    return file;
}

Result<void> ReadFromStart(HANDLE file, const std::wstring& path,
                           const std::function<Result<void>(std::string_view piece)>& take) {
    if (!MoveTo(file, 0)) return LocalFileError("cannot position in", path);
    std::string piece(std::size_t{1} << 20, '\0');
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr))
            return LocalFileError("cannot read", path);
        if (got == 0) return {};
        if (auto taken = take(std::string_view(piece.data(), got)); !taken) return taken;
    }
}

Result<UniqueFileHandle> CreateForWriting(const std::wstring& path) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot create", path);
    return file;
}

Result<std::vector<std::uint8_t>> ReadAt(const std::wstring& path, std::uint64_t offset, std::uint32_t size) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot open", path);
    return ReadAt(file.get(), path, offset, size);
}

Result<std::vector<std::uint8_t>> ReadAt(HANDLE file, const std::wstring& path, std::uint64_t offset,
                                         std::uint32_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::size_t have = 0;
    while (have < bytes.size()) {
        const std::uint64_t at = offset + have;
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data() + have, static_cast<DWORD>(bytes.size() - have), &read, &place)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return LocalFileError("cannot read", path);
        }
        if (read == 0) break;
        have += read;
    }
    bytes.resize(have);
    return bytes;
}

Result<UniqueFileHandle> OpenForWriting(const std::wstring& path) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot open", path);
    return file;
}

Result<void> WriteAt(HANDLE file, const std::wstring& path, std::uint64_t offset,
                     std::span<const std::uint8_t> bytes) {
    if (!MoveTo(file, offset)) return LocalFileError("cannot position in", path);
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        return LocalFileError("cannot write", path);
    return {};
}

Result<void> CreateSized(const std::wstring& path, std::uint64_t size) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot create", path);
    if (!MoveTo(file.get(), size) || !::SetEndOfFile(file.get())) return LocalFileError("cannot size", path);
    return {};
}

Result<void> Flush(const std::wstring& path) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LocalFileError("cannot flush", path);
    return Flush(file.get(), path);
}

Result<void> Flush(HANDLE file, const std::wstring& path) {
    if (!::FlushFileBuffers(file)) return LocalFileError("cannot flush", path);
    return {};
}

Result<void> CreateFolders(const std::wstring& folder) {
    if (folder.empty() || IsFolder(folder)) return {};
    const std::wstring parent = ParentFolder(folder);
    if (!parent.empty() && parent != folder)
        if (auto made = CreateFolders(parent); !made) return made;
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && !IsFolder(folder))
        return LocalFileError("cannot create the folder", folder);
    return {};
}

Result<void> ReplaceWith(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = ::GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(to.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    // A virus scanner or indexer that holds the old file for a moment makes
    // the rename fail with a sharing error: try again for about a second.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
        const DWORD error = ::GetLastError();
        if (attempt == 20 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return LocalFileError("cannot move " + Utf8(from) + " to", to);
        ::Sleep(50);
    }
}

Result<void> CopyFlushed(const std::wstring& from, const std::wstring& to) {
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE)) return LocalFileError("cannot copy " + Utf8(from) + " to", to);
    UniqueFileHandle copy(
        ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy || !::FlushFileBuffers(copy.get())) return LocalFileError("cannot flush", to);
    return {};
}

bool DeleteIfPresent(const std::wstring& path) {
    if (::DeleteFileW(path.c_str())) return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace velmora::engine
