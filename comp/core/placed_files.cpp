#include "core/placed_files.h"

#include "core/decimal.h"
#include "core/hex.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

constexpr std::string_view kFirstLine = "VELPLACED 2\n";
constexpr std::string_view kPathsOnlyFirstLine = "VELPLACED 1\n";

// The next blank-separated field of `rest`, taken off it.
std::string_view TakeField(std::string_view& rest) {
    const std::size_t blank = rest.find(' ');
    const std::string_view field = rest.substr(0, blank);
    rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
    return field;
}

// One line of the second form, without its '\n'.
std::optional<PlacedFile> ParseEntry(std::string_view line) {
    PlacedFile file;
    const std::string_view kind = TakeField(line);
    if (kind != "file" && kind != "player-file") return std::nullopt;
    file.playerFile = kind == "player-file";
    const std::string_view sha256 = TakeField(line);
    if (sha256 != "-") {
        Sha256Digest digest{};
        if (!FromHex(sha256, digest)) return std::nullopt;
        file.sha256 = digest;
    }
    const auto size = ParseDecimal(TakeField(line));
    const auto lastWrite = ParseDecimal(TakeField(line));
    if (!size || !lastWrite || (!file.sha256 && (*size != 0 || *lastWrite != 0))) return std::nullopt;
    file.stamp = {*size, *lastWrite};
    if (!IsSafeManifestPath(line)) return std::nullopt;
    file.path = std::string(line);
    return file;
}

}  // namespace

std::string PlacedFilesText(const std::vector<PlacedFile>& files) {
    std::string text(kFirstLine);
    text.reserve(files.size() * 140);
    for (const PlacedFile& file : files) {
        text += file.playerFile ? "player-file " : "file ";
        text += file.sha256 ? ToHex(*file.sha256) : "-";
        text += ' ';
        text += std::to_string(file.sha256 ? file.stamp.size : 0);
        text += ' ';
        text += std::to_string(file.sha256 ? file.stamp.lastWrite : 0);
        text += ' ';
        text += file.path;
        text += '\n';
    }
    return text;
}

std::optional<std::vector<PlacedFile>> ParsePlacedFiles(std::string_view text) {
    const bool pathsOnly = text.starts_with(kPathsOnlyFirstLine);
    if (!pathsOnly && !text.starts_with(kFirstLine)) return std::nullopt;
    text.remove_prefix(kFirstLine.size());
    std::vector<PlacedFile> files;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = text.substr(0, end);
        if (pathsOnly) {
            if (!IsSafeManifestPath(line)) return std::nullopt;
            files.push_back({std::string(line), false, std::nullopt, {}});
        } else {
            std::optional<PlacedFile> file = ParseEntry(line);
            if (!file) return std::nullopt;
            files.push_back(std::move(*file));
        }
        text.remove_prefix(end + 1);
    }
    return files;
}

std::vector<std::string> PathsOf(const Manifest& manifest) {
    std::vector<std::string> paths;
    paths.reserve(manifest.files.size());
    for (const ManifestFile& file : manifest.files) paths.push_back(file.path);
    return paths;
}

std::vector<std::string> PathsOf(const std::vector<PlacedFile>& files) {
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const PlacedFile& file : files) paths.push_back(file.path);
    return paths;
}

}  // namespace velmora::engine
