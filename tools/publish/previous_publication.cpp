#include "previous_publication.h"

#include <algorithm>

#include "publish_error.h"

namespace velmora::publish {

namespace fs = std::filesystem;

std::vector<const ServerManifest*> PreviousPublication::Releases() const {
    std::vector<const ServerManifest*> releases = {&current};
    for (const ServerManifest& earlier : history) releases.push_back(&earlier);
    return releases;
}

std::optional<PreviousPublication> ReadPreviousPublication(const fs::path& folder) {
    std::optional<ServerManifest> current = ReadServerManifest(folder, std::nullopt);
    if (!current) return std::nullopt;
    PreviousPublication previous{folder, std::move(*current), {}};
    std::error_code error;
    const fs::path history = folder / kHistoryFolderName;
    if (fs::is_directory(history, error))
        for (const fs::directory_entry& entry : fs::directory_iterator(history))
            if (entry.path().extension() == ".vel")
                previous.history.push_back(ReadManifestFile(entry.path(), std::nullopt));
    const auto version = [](const ServerManifest& m) { return m.parsed.manifest.version; };
    std::sort(previous.history.begin(), previous.history.end(),
              [&](const ServerManifest& a, const ServerManifest& b) { return version(a) > version(b); });
    const auto twice = std::adjacent_find(previous.history.begin(), previous.history.end(),
                                          [&](const ServerManifest& a, const ServerManifest& b) {
                                              return version(a) == version(b);
                                          });
    if (twice != previous.history.end())
        throw PublishError(history.string() + " holds two manifests of version " + std::to_string(version(*twice)));
    return previous;
}

std::vector<const ServerManifest*> KeptHistory(const PreviousPublication& previous, std::uint64_t keep) {
    std::vector<const ServerManifest*> releases = previous.Releases();
    if (releases.size() > keep) releases.resize(keep);
    return releases;
}

}  // namespace velmora::publish
