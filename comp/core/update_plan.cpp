#include "core/update_plan.h"

#include "core/digest_index.h"
#include "core/folded_path_index.h"

namespace velmora::engine {

UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk) {
    std::vector<FileInPlace> inPlace;
    if (local) {
        inPlace.reserve(local->files.size());
        for (const ManifestFile& file : local->files) inPlace.push_back({file.path, &file.sha256, file.size});
    }
    UpdatePlan plan = PlanUpdate(inPlace, remote, disk);
    if (!local && !plan.contents.empty()) plan.status = EngineStatus::DownloadingClient;
    return plan;
}

UpdatePlan PlanUpdate(std::span<const FileInPlace> inPlace, const Manifest& remote, const InstalledFiles& disk) {
    // The files in place by path, compared as Windows compares names; the
    // first one listed where two share a path.
    const auto pathOf = [&](std::uint32_t i) { return inPlace[i].path; };
    FoldedPathIndex installed(inPlace.size());
    for (std::size_t i = 0; i < inPlace.size(); ++i)
        installed.FindOrAdd(inPlace[i].path, static_cast<std::uint32_t>(i), pathOf);
    UpdatePlan plan;
    const auto contentDigest = [&](std::uint32_t c) -> const Sha256Digest& {
        return remote.files[plan.contents[c].source].sha256;
    };
    DigestIndex contentIndex(contentDigest);
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        const ManifestFile& file = remote.files[i];
        const std::optional<std::uint64_t> sizeOnDisk = disk.FileSize(file.path);
        const bool sizeMatches = sizeOnDisk == file.size;
        const std::optional<std::uint32_t> found = installed.Find(file.path, pathOf);
        const FileInPlace* before = found ? &inPlace[*found] : nullptr;
        if (sizeMatches && before && *before->sha256 == file.sha256 && before->size == file.size) {
            ++plan.filesUpToDate;
            continue;
        }
        const auto index = static_cast<std::uint32_t>(i);
        const auto next = static_cast<std::uint32_t>(plan.contents.size());
        const std::uint32_t slot = contentIndex.FindOrAdd(file.sha256, next);
        if (slot == next) plan.contents.AddContent(index);
        plan.contents.AddFile(slot, {index, sizeMatches});
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
