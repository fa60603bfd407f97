#include "core/update_plan.h"

#include "core/digest_index.h"
#include "core/lone_digests.h"

namespace velmora::engine {

ListedFilesInPlace::ListedFilesInPlace(std::span<const FileInPlace> files) : files_(files), byPath_(files.size()) {
    const auto pathOf = [this](std::uint32_t i) { return files_[i].path; };
    for (std::size_t i = 0; i < files_.size(); ++i)
        byPath_.FindOrAdd(files_[i].path, static_cast<std::uint32_t>(i), pathOf);
}

std::optional<FileInPlace> ListedFilesInPlace::InPlaceAt(std::string_view path) const {
    const auto found = byPath_.Find(path, [this](std::uint32_t i) { return files_[i].path; });
    if (!found) return std::nullopt;
    return files_[*found];
}

UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk) {
    std::vector<FileInPlace> listed;
    if (local) {
        listed.reserve(local->files.size());
        for (const ManifestFile& file : local->files) listed.push_back({file.path, &file.sha256, file.size});
    }
    UpdatePlan plan = PlanUpdate(ListedFilesInPlace(listed), remote, disk);
    if (!local && !plan.contents.empty()) plan.status = EngineStatus::DownloadingClient;
    return plan;
}

UpdatePlan PlanUpdate(const FilesInPlace& inPlace, const Manifest& remote, const InstalledFiles& disk) {
    UpdatePlan plan;
    // Each file decided first, so that the lists are made at their size:
    // a fresh install of a large game builds some hundred thousand
    // contents, and lists that doubled as they grew would hold half as much
    // again, twice over while they move.
    std::vector<bool> needsWork(remote.files.size(), false);
    std::vector<bool> sizeMatches(remote.files.size(), false);
    std::size_t filesToWrite = 0;
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        const ManifestFile& file = remote.files[i];
        const std::optional<std::uint64_t> sizeOnDisk = disk.FileSize(file.path);
        sizeMatches[i] = sizeOnDisk == file.size;
        const std::optional<FileInPlace> before = sizeMatches[i] ? inPlace.InPlaceAt(file.path) : std::nullopt;
        if (before && *before->sha256 == file.sha256 && before->size == file.size) {
            ++plan.filesUpToDate;
            continue;
        }
        needsWork[i] = true;
        ++filesToWrite;
    }
    // Most files have a content of their own: only those whose digest may
    // be another's are looked up by it.
    LoneDigests lone(filesToWrite);
    for (std::size_t i = 0; i < remote.files.size(); ++i)
        if (needsWork[i]) lone.Count(remote.files[i].sha256);
    const auto contentDigest = [&](std::uint32_t c) -> const Sha256Digest& {
        return remote.files[plan.contents[c].source].sha256;
    };
    DigestIndex contentIndex(contentDigest, lone.SharedCount());
    plan.contents.Reserve(filesToWrite);
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        if (!needsWork[i]) continue;
        const Sha256Digest& digest = remote.files[i].sha256;
        const auto index = static_cast<std::uint32_t>(i);
        const auto next = static_cast<std::uint32_t>(plan.contents.size());
        const std::uint32_t content = lone.Lone(digest) ? next : contentIndex.FindOrAdd(digest, next);
        if (content == next) plan.contents.AddContent(index);
        plan.contents.AddFile(content, {index, sizeMatches[i]});
    }
    plan.contents.Group();
    if (!plan.contents.empty()) plan.status = EngineStatus::DownloadingChanges;
    return plan;
}

std::uint64_t StagingBytesNeeded(const Manifest& remote, const ContentsToBuild& contents, std::uint64_t present) {
    std::uint64_t needed = 0;
    std::uint64_t largestCopy = 0;
    for (const ContentToBuild& content : contents) {
        const std::uint64_t size = remote.files[content.source].size;
        needed += size;
        if (content.fileCount > 1 && size > largestCopy) largestCopy = size;
    }
    needed += largestCopy;
    return needed > present ? needed - present : 0;
}

}  // namespace velmora::engine
