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
    DroppedFiles dropped;
    if (previous.empty()) return dropped;
    // The release's files by path: most files placed before it still lists.
    const auto fileOf = [&next](std::uint32_t i) { return std::string_view(next.files[i].path); };
    FoldedPathIndex files(next.files.size());
    for (std::size_t i = 0; i < next.files.size(); ++i)
        files.FindOrAdd(next.files[i].path, static_cast<std::uint32_t>(i), fileOf);
    std::vector<std::string_view> gone;
    for (const std::string_view path : previous)
        if (!files.Find(path, fileOf)) gone.push_back(path);
    if (gone.empty()) return dropped;
    // The folders that hold the release's files, for the few that are gone.
    std::vector<std::string_view> folderPaths;
    const auto folderOf = [&folderPaths](std::uint32_t i) { return folderPaths[i]; };
    FoldedPathIndex folders(next.files.size());
    for (const ManifestFile& file : next.files) {
        for (const std::string_view folder : ParentFolders(file.path)) {
            const auto added = static_cast<std::uint32_t>(folderPaths.size());
            // Deeper folders were added with an earlier file of this folder.
            if (folders.FindOrAdd(folder, added, folderOf) != added) break;
            folderPaths.push_back(folder);
        }
    }
    for (const std::string_view path : gone) {
        bool inTheWay = folders.Find(path, folderOf).has_value();
        for (const std::string_view folder : ParentFolders(path)) inTheWay = inTheWay || files.Find(folder, fileOf);
        (inTheWay ? dropped.inTheWay : dropped.afterwards).emplace_back(path);
    }
    return dropped;
}

}  // namespace velmora::engine
