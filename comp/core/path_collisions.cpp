#include "core/path_collisions.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/case_fold.h"

namespace velmora::engine {

// Each path is compared in its folded form with '/' as '\0', a byte no safe
// path holds, so that the sorted keys put everything under "a/" right after
// "a" (nothing sorts between "a" and "a\0..."): every collision is between
// neighbours. That is n log n comparisons, where looking up every parent
// folder of every path costs the square of the depth for each path.
std::optional<PathCollision> FindPathCollision(std::size_t count,
                                               const std::function<std::string_view(std::size_t)>& pathOf) {
    // The folded paths back to back in one string, and where each begins
    // (32-bit numbers: a manifest is far below 4 GiB), sorted as numbers of
    // the paths: a few bytes a path on top of its text, where a string of
    // its own costs a block of the heap each.
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) bytes += pathOf(i).size();
    std::string folded;
    folded.reserve(bytes);
    std::vector<std::uint32_t> starts;
    starts.reserve(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        starts.push_back(static_cast<std::uint32_t>(folded.size()));
        folded += FoldCase(pathOf(i));
    }
    starts.push_back(static_cast<std::uint32_t>(folded.size()));
    std::replace(folded.begin(), folded.end(), '/', '\0');
    const auto text = [&](std::uint32_t i) {
        return std::string_view(folded).substr(starts[i], starts[i + 1] - starts[i]);
    };
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int compared = text(a).compare(text(b));
        return compared != 0 ? compared < 0 : a < b;
    });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::string_view before = text(order[k - 1]);
        const std::string_view after = text(order[k]);
        if (after == before) return PathCollision{PathCollision::Kind::SameFile, order[k - 1], order[k]};
        if (after.size() > before.size() && after.starts_with(before) && after[before.size()] == '\0')
            return PathCollision{PathCollision::Kind::FileIsFolder, order[k - 1], order[k]};
    }
    return std::nullopt;
}

std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    return FindPathCollision(paths.size(), [&](std::size_t i) { return paths[i]; });
}

}  // namespace velmora::engine
