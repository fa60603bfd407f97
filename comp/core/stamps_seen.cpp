#include "core/stamps_seen.h"

namespace velmora::engine {

StampsSeen::StampsSeen(const std::vector<std::string_view>& paths, const InstalledFiles& disk) : disk_(disk) {
    seen_.reserve(paths.size());
    for (std::string_view path : paths) seen_.try_emplace(path, disk.Stamp(path));
}

std::optional<FileStamp> StampsSeen::Stamp(std::string_view path) const {
    const auto found = seen_.find(path);
    return found != seen_.end() ? found->second : disk_.Stamp(path);
}

std::optional<std::uint64_t> StampsSeen::FileSize(std::string_view path) const {
    const auto found = seen_.find(path);
    if (found == seen_.end()) return disk_.FileSize(path);
    if (!found->second) return std::nullopt;
    return found->second->size;
}

}  // namespace velmora::engine
