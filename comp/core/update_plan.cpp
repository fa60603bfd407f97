#include "core/update_plan.h"

#include <unordered_map>

#include "core/case_fold.h"
#include "core/digest_hash.h"

namespace velmora::engine {

UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk) {
    std::unordered_map<std::string, const ManifestFile*> installed;
    if (local) {
        installed.reserve(local->files.size());
        for (const ManifestFile& file : local->files) installed.emplace(FoldCase(file.path), &file);
    }

    UpdatePlan plan;
    std::unordered_map<Sha256Digest, std::size_t, DigestHash> contentIndex;
    for (std::size_t i = 0; i < remote.files.size(); ++i) {
        const ManifestFile& file = remote.files[i];
        const std::optional<std::uint64_t> sizeOnDisk = disk.FileSize(file.path);
        const bool sizeMatches = sizeOnDisk == file.size;
        const auto before = installed.find(FoldCase(file.path));
        if (sizeMatches && before != installed.end() && before->second->sha256 == file.sha256 &&
            before->second->size == file.size) {
            ++plan.filesUpToDate;
            continue;
        }
        const auto [slot, added] = contentIndex.try_emplace(file.sha256, plan.contents.size());
        if (added) plan.contents.push_back({i, file.sha256, file.size, {}});
        plan.contents[slot->second].files.push_back({i, sizeMatches});
    }
    if (!plan.contents.empty())
        plan.status = local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
    return plan;
}

std::uint64_t StagingBytesNeeded(const std::vector<ContentToBuild>& contents, std::uint64_t present) {
    std::uint64_t needed = 0;
    std::uint64_t largestCopy = 0;
    for (const ContentToBuild& content : contents) {
        needed += content.size;
        if (content.files.size() > 1 && content.size > largestCopy) largestCopy = content.size;
    }
    needed += largestCopy;
    return needed > present ? needed - present : 0;
}

}  // namespace velmora::engine
