#include "core/path_collisions.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/case_fold.h"

namespace velmora::engine {

// Each path is compared in its folded form with '/' as '\0', a byte no safe
// path holds, so that the sorted keys put everything under "a/" right after
// "a" (nothing sorts between "a" and "a\0..."): every collision is between
// neighbours. That is n log n comparisons, where looking up every parent
// folder of every path costs the square of the depth for each path.
std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    // The folded paths back to back in one string, each key naming its
    // piece: a few bytes a path on top of its text, where a string of its
    // own costs a block of the heap each.
    struct Key {
        std::size_t begin;
        std::size_t size;
        std::size_t index;
    };
    std::size_t bytes = 0;
    for (const std::string_view path : paths) bytes += path.size();
    std::string folded;
    folded.reserve(bytes);
    std::vector<Key> keys;
    keys.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::size_t begin = folded.size();
        folded += FoldCase(paths[i]);
        keys.push_back({begin, folded.size() - begin, i});
    }
    std::replace(folded.begin(), folded.end(), '/', '\0');
    const auto text = [&](const Key& key) { return std::string_view(folded).substr(key.begin, key.size); };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        const int order = text(a).compare(text(b));
        return order != 0 ? order < 0 : a.index < b.index;
    });
    for (std::size_t k = 1; k < keys.size(); ++k) {
        const std::string_view before = text(keys[k - 1]);
        const std::string_view after = text(keys[k]);
        if (after == before) return PathCollision{PathCollision::Kind::SameFile, keys[k - 1].index, keys[k].index};
        if (after.size() > before.size() && after.starts_with(before) && after[before.size()] == '\0')
            return PathCollision{PathCollision::Kind::FileIsFolder, keys[k - 1].index, keys[k].index};
    }
    return std::nullopt;
}

}  // namespace velmora::engine
