#pragma once
// Which files of a server manifest need work, decided from the last manifest
// applied in full and what the disk says of each listed file, without
// reading any file's content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/contents_to_build.h"
#include "core/engine_status.h"
#include "core/file_stamp.h"
#include "core/folded_path_index.h"
#include "core/manifest.h"

namespace velmora::engine {

// What the disk says of the files a manifest lists. The Windows side answers
// from the file system (ToWindowsRelativePath, GetFileAttributesExW).
class InstalledFiles {
public:
    virtual ~InstalledFiles() = default;
    // The size of the plain file at the safe manifest path `path` inside the
    // game folder, or nothing when there is none (missing, or a folder).
    virtual std::optional<std::uint64_t> FileSize(std::string_view path) const = 0;
    // Its size and last-write time; the time is unknown where the disk
    // does not tell it.
    virtual std::optional<FileStamp> Stamp(std::string_view path) const {
        const std::optional<std::uint64_t> size = FileSize(path);
        if (!size) return std::nullopt;
        return FileStamp{*size, 0};
    }
};

struct UpdatePlan {
    // UpToDate when there is nothing to build; else DownloadingClient
    // without a local manifest, DownloadingChanges with one.
    EngineStatus status = EngineStatus::UpToDate;
    ContentsToBuild contents;  // in the order the remote lists their first file
    std::size_t filesUpToDate = 0;
};

// A file known to hold a content: its path, the content and its size,
// viewed where a manifest or the record of placed files holds them.
struct FileInPlace {
    std::string_view path;
    const Sha256Digest* sha256 = nullptr;
    std::uint64_t size = 0;
};

// Files known to hold a content, found by path as Windows compares names:
// those a local manifest lists, or those the record of placed files vouches
// for (KnownContents).
class FilesInPlace {
public:
    virtual ~FilesInPlace() = default;
    virtual std::optional<FileInPlace> InPlaceAt(std::string_view path) const = 0;
};

// The files of a list, the first of a path counting; the list must outlive
// this.
class ListedFilesInPlace final : public FilesInPlace {
public:
    explicit ListedFilesInPlace(std::span<const FileInPlace> files);
    std::optional<FileInPlace> InPlaceAt(std::string_view path) const override;

private:
    std::span<const FileInPlace> files_;
    FoldedPathIndex byPath_;
};

// A file is up to date, and is not read, when it is in place (path compared
// as Windows compares names) with the remote SHA-256 and size and the disk
// has a file of that size there. Every other file needs its content built.
// Files in place that the remote does not list are left alone here
// (dropped_files.h).
UpdatePlan PlanUpdate(const FilesInPlace& inPlace, const Manifest& remote, const InstalledFiles& disk);
// The same with the files the local manifest lists in place; `local` is
// null when there is no valid local manifest.
UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk);

}  // namespace velmora::engine

namespace velmora::engine {

// The most the staging folder holds at once while these contents are built
// and placed: each content whole (its chunks are written into it as they
// come), and the largest copy made for a file that shares its content with
// others. `present` bytes of staging files an earlier run left count as
// there already. Checked against the free space before anything is fetched.
// `remote`: the manifest whose files the contents are.
std::uint64_t StagingBytesNeeded(const Manifest& remote, const ContentsToBuild& contents, std::uint64_t present);

}  // namespace velmora::engine
