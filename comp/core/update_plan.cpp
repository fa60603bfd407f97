#include "core/update_plan.h"

#include <algorithm>
#include <compare>
#include <functional>

#include "core/case_fold.h"
#include "core/digest_index.h"

namespace velmora::engine {

namespace {

// The files in place by the hash of their path compared as Windows
// compares names, sorted; a match is confirmed on the folded paths
// themselves. Eight bytes a file, where a map keyed by the folded paths
// would hold a copy of every path.
class InstalledByPath {
public:
    explicit InstalledByPath(std::span<const FileInPlace> files) : files_(files) {
        entries_.reserve(files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            entries_.push_back({Hash(FoldCase(files[i].path)), static_cast<std::uint32_t>(i)});
        std::sort(entries_.begin(), entries_.end());
    }

    // The first file in place at `path`, or null.
    const FileInPlace* Find(std::string_view path) const {
        if (entries_.empty()) return nullptr;
        const std::string folded = FoldCase(path);
        const Entry key{Hash(folded), 0};
        for (auto at = std::lower_bound(entries_.begin(), entries_.end(), key);
             at != entries_.end() && at->hash == key.hash; ++at) {
            const FileInPlace& file = files_[at->index];
            if (FoldCase(file.path) == folded) return &file;
        }
        return nullptr;
    }

private:
    struct Entry {
        std::uint32_t hash;
        std::uint32_t index;
        friend auto operator<=>(const Entry&, const Entry&) = default;
    };

    // 32 bits: a match is confirmed on the paths anyway.
    static std::uint32_t Hash(std::string_view folded) {
        return static_cast<std::uint32_t>(std::hash<std::string_view>{}(folded));
    }

    std::span<const FileInPlace> files_;
    std::vector<Entry> entries_;
};

}  // namespace

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
    const InstalledByPath installed(inPlace);
    UpdatePlan plan;
    const auto contentDigest = [&](std::uint32_t c) -> const Sha256Digest& {
        return remote.files[plan.contents[c].source].sha256;
    };
    DigestIndex contentIndex(contentDigest);
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        const ManifestFile& file = remote.files[i];
        const std::optional<std::uint64_t> sizeOnDisk = disk.FileSize(file.path);
        const bool sizeMatches = sizeOnDisk == file.size;
        const FileInPlace* before = installed.Find(file.path);
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
