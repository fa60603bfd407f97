#include "player_files.h"

#include "core/case_fold.h"
#include "core/path_rules.h"
#include "core/star_match.h"
#include "publish_error.h"

namespace velmora::publish {
namespace {

std::vector<std::string_view> Segments(std::string_view path) {
    std::vector<std::string_view> segments;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        segments.push_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) return segments;
        start = slash + 1;
    }
}

// One segment against a pattern segment of literal characters and `*`.
bool SegmentMatches(std::string_view pattern, std::string_view name) {
    return engine::StarMatches(pattern, name, [](char a, char b) { return a == b; });
}

bool SegmentsMatch(const std::vector<std::string_view>& pattern, std::size_t p,
                   const std::vector<std::string_view>& path, std::size_t n) {
    if (p == pattern.size()) return n == path.size();
    if (pattern[p] == "**") {
        for (std::size_t skip = n; skip <= path.size(); ++skip)
            if (SegmentsMatch(pattern, p + 1, path, skip)) return true;
        return false;
    }
    return n < path.size() && SegmentMatches(pattern[p], path[n]) && SegmentsMatch(pattern, p + 1, path, n + 1);
}

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view path) {
    const std::string foldedPattern = engine::FoldCase(pattern), foldedPath = engine::FoldCase(path);
    return SegmentsMatch(Segments(foldedPattern), 0, Segments(foldedPath), 0);
}

void MarkPlayerFiles(std::vector<engine::ManifestFile>& files, const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns) {
        for (std::string_view segment : Segments(pattern))
            if (segment != "**" && segment.find("**") != std::string_view::npos)
                throw PublishError("--player-file " + pattern + ": '**' stands only as a whole segment");
        bool matched = false;
        for (engine::ManifestFile& file : files) {
            if (!MatchesPattern(pattern, file.path)) continue;
            if (engine::IsUpdaterFile(file.path))
                throw PublishError("--player-file " + pattern + " matches " + file.path +
                                   ", one of the updater's own files, which can never be the player's");
            file.playerFile = matched = true;
        }
        if (!matched) throw PublishError("--player-file " + pattern + " matches no file of the release");
    }
}

}  // namespace velmora::publish
