#include "core/path_collisions.h"

#include <algorithm>
#include <string>

#include "core/case_fold.h"

namespace velmora::engine {

// Each path is compared in its folded form with '/' as '\0', a byte no safe
// path holds, so that the sorted keys put everything under "a/" right after
// "a" (nothing sorts between "a" and "a\0..."): every collision is between
// neighbours. That is n log n comparisons, where looking up every parent
// folder of every path costs the square of the depth for each path.
std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    struct Key {
        std::string folded;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string folded = FoldCase(paths[i]);
        std::replace(folded.begin(), folded.end(), '/', '\0');
        keys.push_back({std::move(folded), i});
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        const int order = a.folded.compare(b.folded);
        return order != 0 ? order < 0 : a.index < b.index;
    });
    for (std::size_t k = 1; k < keys.size(); ++k) {
        const Key& before = keys[k - 1];
        const Key& after = keys[k];
        if (after.folded == before.folded) return PathCollision{PathCollision::Kind::SameFile, before.index, after.index};
        if (after.folded.size() > before.folded.size() && after.folded.starts_with(before.folded) &&
            after.folded[before.folded.size()] == '\0')
            return PathCollision{PathCollision::Kind::FileIsFolder, before.index, after.index};
    }
    return std::nullopt;
}

}  // namespace velmora::engine
