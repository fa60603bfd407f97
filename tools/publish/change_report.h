#pragma once
// What a publication changes for a player who has the previous one.
#include <string>
#include <vector>

#include "core/manifest.h"

namespace velmora::publish {

struct ChangeReport {
    std::vector<std::string> added;    // paths, in the order of the manifests
    std::vector<std::string> changed;  // other SHA-256 or size
    std::vector<std::string> removed;  // no longer listed: the engine removes them
    // Paths whose kind changes: a removed file where a folder now stands,
    // an added file where a folder stood.
    std::vector<std::string> nowFolders;
    std::vector<std::string> nowFiles;
};

// Paths are matched as Windows compares names, as the engine matches them.
// `previous` is null for a first publication.
ChangeReport CompareManifests(const engine::Manifest* previous, const engine::Manifest& next);

// One line per path ("added   <path>", "changed <path>", "removed <path>",
// "now a folder <path>", "now a file <path>"), then
// "<n> added, <n> changed, <n> removed". What it costs to download is
// download_report.h's.
std::string FormatChangeReport(const ChangeReport& report);

}  // namespace velmora::publish
