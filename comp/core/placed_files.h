#pragma once
// The record of the files the engine has placed in the game folder
// (libs\gamedata.placed): one path per line after a first line naming the
// format. Files a release drops are found from it as well as from the
// manifests, because a manifest may stop checking out (signed with a key
// this engine no longer trusts, or damaged) while the files it listed are
// still on the disk. The record depends on no key: it lists only what this
// engine put there.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/manifest.h"

namespace velmora::engine {

// "VELPLACED 1\n" then "<path>\n" for each path.
std::string PlacedFilesText(const std::vector<std::string>& paths);

// The record's paths; nothing when the record is not in that form or any
// of its paths is one a manifest could not list: a damaged record removes
// nothing.
std::optional<std::vector<std::string>> ParsePlacedFiles(std::string_view text);

// The paths of `lists`, each once (compared as Windows compares names), in
// the order met.
std::vector<std::string> UnionOfPaths(const std::vector<std::vector<std::string>>& lists);

// The paths of a manifest's files.
std::vector<std::string> PathsOf(const Manifest& manifest);

}  // namespace velmora::engine
