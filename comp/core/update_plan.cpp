#include "core/update_plan.h"

#include <algorithm>
#include <compare>
#include <functional>

#include "core/case_fold.h"
#include "core/digest_index.h"

namespace velmora::engine {

namespace {

// The local manifest's files by the hash of their path compared as Windows
// compares names, sorted; a match is confirmed on the folded paths
// themselves. A few bytes a file, where a map keyed by the folded paths
// would hold a copy of every path.
class InstalledByPath {
public:
    explicit InstalledByPath(const Manifest* local) : local_(local) {
        if (!local) return;
        entries_.reserve(local->files.size());
        for (std::size_t i = 0; i < local->files.size(); ++i)
            entries_.push_back({Hash(FoldCase(local->files[i].path)), static_cast<std::uint32_t>(i)});
        std::sort(entries_.begin(), entries_.end());
    }

    // The local file at `path`, or null.
    const ManifestFile* Find(std::string_view path) const {
        if (!local_) return nullptr;
        const std::string folded = FoldCase(path);
        const Entry key{Hash(folded), 0};
        for (auto at = std::lower_bound(entries_.begin(), entries_.end(), key);
             at != entries_.end() && at->hash == key.hash; ++at) {
            const ManifestFile& file = local_->files[at->index];
            if (FoldCase(file.path) == folded) return &file;
        }
        return nullptr;
    }

private:
    struct Entry {
        std::size_t hash;
        std::uint32_t index;
        friend auto operator<=>(const Entry&, const Entry&) = default;
    };

    static std::size_t Hash(std::string_view folded) { return std::hash<std::string_view>{}(folded); }

    const Manifest* local_;
    std::vector<Entry> entries_;
};

}  // namespace

UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk) {
    const InstalledByPath installed(local);
    UpdatePlan plan;
    const auto contentDigest = [&](std::uint32_t c) -> const Sha256Digest& {
        return remote.files[plan.contents[c].source].sha256;
    };
    DigestIndex contentIndex(contentDigest);
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        const ManifestFile& file = remote.files[i];
        const std::optional<std::uint64_t> sizeOnDisk = disk.FileSize(file.path);
        const bool sizeMatches = sizeOnDisk == file.size;
        const ManifestFile* before = installed.Find(file.path);
        if (sizeMatches && before && before->sha256 == file.sha256 && before->size == file.size) {
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
    if (!plan.contents.empty())
        plan.status = local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
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
