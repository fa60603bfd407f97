#include "core/update_plan.h"

#include <unordered_map>

#include "core/case_fold.h"

namespace velmora::engine {

UpdatePlan PlanUpdate(const Manifest* local, const Manifest& remote, const InstalledFiles& disk) {
    std::unordered_map<std::string, const ManifestFile*> installed;
    if (local) {
        installed.reserve(local->files.size());
        for (const ManifestFile& file : local->files) installed.emplace(FoldCase(file.path), &file);
    }

    UpdatePlan plan;
    std::unordered_map<std::string_view, std::size_t> objectIndex;
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
        const auto [slot, added] = objectIndex.try_emplace(file.object, plan.objects.size());
        if (added) {
            plan.objects.push_back({file.object, file.storedSize, file.sha256, file.size, {}});
            plan.totalStoredBytes += file.storedSize;
        }
        plan.objects[slot->second].files.push_back({i, sizeMatches});
    }
    if (!plan.objects.empty())
        plan.status = local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
    return plan;
}

std::uint64_t TotalStoredBytes(const std::vector<ObjectToFetch>& objects) {
    std::uint64_t total = 0;
    for (const ObjectToFetch& object : objects) total += object.storedSize;
    return total;
}

}  // namespace velmora::engine

namespace velmora::engine {

std::uint64_t StagingBytesNeeded(const std::vector<ObjectToFetch>& objects, const std::vector<std::uint64_t>& begun) {
    std::uint64_t needed = 0;
    std::uint64_t largestCopy = 0;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const ObjectToFetch& object = objects[i];
        const std::uint64_t already = i < begun.size() ? begun[i] : 0;
        needed += already < object.storedSize ? object.storedSize - already : 0;
        if (object.object.ends_with(".z")) needed += object.size;
        if (object.files.size() > 1 && object.size > largestCopy) largestCopy = object.size;
    }
    return needed + largestCopy;
}

}  // namespace velmora::engine
