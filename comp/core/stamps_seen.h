#pragma once
// The disk as seen once: the stamps of a set of paths, asked of the file
// system a single time and then answered from memory, so that a run with
// nothing to do asks about each file once however many steps look at it.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/update_plan.h"

namespace velmora::engine {

class StampsSeen final : public InstalledFiles {
public:
    // Asks `disk` for the stamp of each of `paths` now; `disk` answers for
    // any other path, each time it is asked.
    StampsSeen(const std::vector<std::string_view>& paths, const InstalledFiles& disk);

    std::optional<std::uint64_t> FileSize(std::string_view path) const override;
    std::optional<FileStamp> Stamp(std::string_view path) const override;

private:
    const InstalledFiles& disk_;
    std::unordered_map<std::string_view, std::optional<FileStamp>> seen_;  // by path as given
};

}  // namespace velmora::engine
