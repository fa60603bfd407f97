#pragma once
// The files a new release drops: placed by the engine or listed by a
// manifest it applied, and not listed by the new one. Only such files are
// ever removed from the game folder: a player's own files (saves, settings,
// screenshots) were never placed or listed by us, and are never touched.
#include <string>
#include <string_view>
#include <vector>

#include "core/manifest.h"

namespace velmora::engine {

struct DroppedFiles {
    // Dropped files that stand where the new release puts something: a file
    // where it puts a folder (the file became a folder), or a file inside a
    // folder where it puts a file (the folder became a file). They go before
    // the new files are placed.
    std::vector<std::string> inTheWay;
    // The others, removed once the new files are in place.
    std::vector<std::string> afterwards;
};

// The paths of `previous` that `next` does not list. Paths are compared as
// Windows compares names, as the plan compares them.
DroppedFiles FindDroppedFiles(const std::vector<std::string_view>& previous, const Manifest& next);

// The folders that hold a manifest path, deepest first:
// "a/b/c.txt" gives "a/b", then "a".
std::vector<std::string_view> ParentFolders(std::string_view path);

}  // namespace velmora::engine
