#pragma once
// Which files of a server manifest need work, decided from the last manifest
// applied in full and what the disk says of each listed file, without
// reading any file's content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_status.h"
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
};

struct FileToWrite {
    std::size_t index = 0;  // into the remote manifest's files
    // A file of the remote size already lies there. It may already hold the
    // new content (a run that was stopped after moving it into place), so
    // the Windows side hashes it before it downloads anything for it.
    bool sizeOnDiskMatches = false;
};

// One object to download; several files may share it (same content).
struct ObjectToFetch {
    std::string object;          // name under objects/
    std::uint64_t storedSize = 0;
    Sha256Digest sha256{};       // of the content once unpacked
    std::uint64_t size = 0;      // of the content once unpacked
    std::vector<FileToWrite> files;
};

struct UpdatePlan {
    // UpToDate when there is nothing to fetch; else DownloadingClient without
    // a local manifest, DownloadingChanges with one.
    EngineStatus status = EngineStatus::UpToDate;
    std::vector<ObjectToFetch> objects;  // in the order the remote lists their first file
    std::uint64_t totalStoredBytes = 0;  // each object's stored size, once
    std::size_t filesUpToDate = 0;
};

// A file is up to date, and is not read, when the local manifest lists it
// (path compared without ASCII case) with the remote SHA-256 and size and
// the disk has a file of that size there. Every other file needs its
// object. Files the local manifest lists and the remote does not are left
// alone. `local` is null when there is no valid local manifest.
UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk);

// The sum of the stored sizes, for a caller that drops objects from a plan
// (their files turned out to hold the new content already).
std::uint64_t TotalStoredBytes(const std::vector<ObjectToFetch>& objects);

}  // namespace velmora::engine

namespace velmora::engine {

// The most the staging folder holds at once while these objects are
// fetched and placed: what is left to download of each (`begun` bytes of
// each, in the same order, are there already), the unpacked content of each
// compressed one, and the largest copy made for a file that shares its
// object with others. Checked against the free space before any download.
std::uint64_t StagingBytesNeeded(const std::vector<ObjectToFetch>& objects, const std::vector<std::uint64_t>& begun);

}  // namespace velmora::engine
