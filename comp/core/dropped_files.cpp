#include "core/dropped_files.h"

#include "core/folded_path_index.h"
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

DroppedFiles FindDroppedFiles(const std::vector<std::string_view>& previous, const Manifest& next) {
    // The release's files, and the folders that hold them, by path.
    const auto fileOf = [&next](std::uint32_t i) { return std::string_view(next.files[i].path); };
    FoldedPathIndex files(next.files.size());
    std::vector<std::string_view> folderPaths;
    const auto folderOf = [&folderPaths](std::uint32_t i) { return folderPaths[i]; };
    FoldedPathIndex folders(next.files.size());
    for (std::size_t i = 0; i < next.files.size(); ++i) {
        const std::string_view path = next.files[i].path;
        files.FindOrAdd(path, static_cast<std::uint32_t>(i), fileOf);
        for (const std::string_view folder : ParentFolders(path)) {
            const auto added = static_cast<std::uint32_t>(folderPaths.size());
            // Deeper folders were added with an earlier file of this folder.
            if (folders.FindOrAdd(folder, added, folderOf) != added) break;
            folderPaths.push_back(folder);
        }
    }
    DroppedFiles dropped;
    for (const std::string_view path : previous) {
        if (files.Find(path, fileOf)) continue;
        bool inTheWay = folders.Find(path, folderOf).has_value();
        for (const std::string_view folder : ParentFolders(path)) inTheWay = inTheWay || files.Find(folder, fileOf);
        (inTheWay ? dropped.inTheWay : dropped.afterwards).emplace_back(path);
    }
    return dropped;
}

}  // namespace velmora::engine
