#include "release_folder.h"

#include <algorithm>

#include "core/path_collisions.h"
#include "core/path_rules.h"
#include "publish_error.h"

namespace velmora::publish {

namespace fs = std::filesystem;

std::vector<ReleaseFile> ListReleaseFiles(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw PublishError("release folder " + folder.string() + " does not exist");
    std::vector<ReleaseFile> files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const fs::directory_entry& entry = *it;
        const std::string path = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink())
            throw PublishError("release file '" + path + "' is a symbolic link; copy the file instead");
        if (entry.is_directory()) continue;
        if (!entry.is_regular_file())
            throw PublishError("release entry '" + path + "' is not a plain file");
        if (const char* problem = engine::PathProblem(path))
            throw PublishError("release file '" + path + "' cannot be published: " + problem);
        files.push_back({path, entry.path()});
    }
    if (files.empty()) throw PublishError("release folder " + folder.string() + " holds no files");
    std::sort(files.begin(), files.end(),
              [](const ReleaseFile& a, const ReleaseFile& b) { return a.path < b.path; });
    // Found here, before any file is hashed: names this file system keeps
    // apart that Windows takes for one file ("É.txt" and "é.txt").
    std::vector<std::string_view> paths;
    for (const ReleaseFile& file : files) paths.push_back(file.path);
    if (const auto collision = engine::FindPathCollision(paths)) {
        const std::string& first = files[collision->first].path;
        const std::string& second = files[collision->second].path;
        if (collision->kind == engine::PathCollision::Kind::SameFile)
            throw PublishError("release files '" + first + "' and '" + second +
                               "' are one file on Windows (listed twice when names are compared as Windows compares them)");
        throw PublishError("release file '" + first + "' is also a folder on Windows (of '" + second + "')");
    }
    return files;
}

}  // namespace velmora::publish
