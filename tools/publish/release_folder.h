#pragma once
// The files of a release folder, the game folder as it should be after the
// update.
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::publish {

struct ReleaseFile {
    std::string path;                // manifest path: relative, '/'-separated
    std::filesystem::path source;    // the file on this machine
};

// Every plain file under `folder`, recursively, ordered by manifest path.
// Throws PublishError when the folder is missing or empty, when a path
// breaks the path rules (naming the path and the rule), when two paths are
// one file, or a file and a folder, on Windows (core/path_collisions.h), or
// for anything that is neither a plain file nor a folder (symbolic links
// included: what they point at is not part of the release folder).
std::vector<ReleaseFile> ListReleaseFiles(const std::filesystem::path& folder);

}  // namespace velmora::publish
