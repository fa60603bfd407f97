#pragma once
// Paths Windows cannot hold side by side in one folder tree: two that name
// the same file (compared as case_fold.h compares them), or one that is a
// folder of another ("a" and "A/b").
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora::engine {

struct PathCollision {
    enum class Kind { SameFile, FileIsFolder };
    Kind kind;
    std::size_t first;   // index into the paths; for FileIsFolder, the file
    std::size_t second;  // the later-listed duplicate, or a path inside `first`
};

// A collision among `paths` (safe manifest paths: no control characters),
// or nothing. The paths are sorted in their folded form, eight bytes at a
// time: n log n comparisons of numbers, and each path's bytes read a few
// times.
std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths);

// The same among `count` paths, `pathOf(i)` the one at index i: the caller
// need not gather them in a list of their own.
std::optional<PathCollision> FindPathCollision(std::size_t count,
                                               const std::function<std::string_view(std::size_t)>& pathOf);

}  // namespace velmora::engine
