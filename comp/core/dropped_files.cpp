#include "core/dropped_files.h"

#include <unordered_set>

#include "core/case_fold.h"
#include "core/placed_files.h"

namespace velmora::engine {

std::vector<std::string_view> ParentFolders(std::string_view path) {
    std::vector<std::string_view> folders;
    for (std::size_t slash = path.rfind('/'); slash != std::string_view::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        folders.push_back(path.substr(0, slash));
    }
    return folders;
}

DroppedFiles FindDroppedFiles(const std::vector<std::string>& previous, const Manifest& next) {
    DroppedFiles dropped;
    std::unordered_set<std::string> files;
    std::unordered_set<std::string> folders;
    for (const ManifestFile& file : next.files) {
        const std::string folded = FoldCase(file.path);
        for (std::string_view folder : ParentFolders(folded)) {
            // Deeper folders were added with an earlier file of this folder.
            if (!folders.emplace(folder).second) break;
        }
        files.insert(folded);
    }
    for (const std::string& path : previous) {
        const std::string folded = FoldCase(path);
        if (files.contains(folded)) continue;
        bool inTheWay = folders.contains(folded);
        for (std::string_view folder : ParentFolders(folded)) inTheWay = inTheWay || files.contains(std::string(folder));
        (inTheWay ? dropped.inTheWay : dropped.afterwards).push_back(path);
    }
    return dropped;
}

}  // namespace velmora::engine
