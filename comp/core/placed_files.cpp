#include "core/placed_files.h"

#include <unordered_set>

#include "core/case_fold.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

constexpr std::string_view kFirstLine = "VELPLACED 1\n";

}  // namespace

std::string PlacedFilesText(const std::vector<std::string>& paths) {
    std::string text(kFirstLine);
    for (const std::string& path : paths) text.append(path).push_back('\n');
    return text;
}

std::optional<std::vector<std::string>> ParsePlacedFiles(std::string_view text) {
    if (!text.starts_with(kFirstLine)) return std::nullopt;
    text.remove_prefix(kFirstLine.size());
    std::vector<std::string> paths;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view path = text.substr(0, end);
        if (!IsSafeManifestPath(path)) return std::nullopt;
        paths.emplace_back(path);
        text.remove_prefix(end + 1);
    }
    return paths;
}

std::vector<std::string> UnionOfPaths(const std::vector<std::vector<std::string>>& lists) {
    std::vector<std::string> all;
    std::unordered_set<std::string> seen;
    for (const std::vector<std::string>& list : lists)
        for (const std::string& path : list)
            if (seen.insert(FoldCase(path)).second) all.push_back(path);
    return all;
}

std::vector<std::string> PathsOf(const Manifest& manifest) {
    std::vector<std::string> paths;
    paths.reserve(manifest.files.size());
    for (const ManifestFile& file : manifest.files) paths.push_back(file.path);
    return paths;
}

}  // namespace velmora::engine
