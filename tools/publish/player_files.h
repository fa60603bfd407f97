#pragma once
// The files of a release that are the player's to edit (--player-file):
// settings and the like, which the studio ships with defaults and the
// engine never overwrites once the player has changed them.
#include <string>
#include <string_view>
#include <vector>

#include "core/manifest.h"

namespace velmora::publish {

// Whether the release path `path` ('/'-separated) matches `pattern`: `*`
// stands for any run of characters within one segment, a segment `**` for
// any number of whole segments (none too), every other character for
// itself; names compare as Windows compares them (`Config/*.INI` matches
// `config/game.ini`).
bool MatchesPattern(std::string_view pattern, std::string_view path);

// Marks the files matching any of `patterns` as the player's. Throws
// PublishError for a pattern with `**` inside a segment, one that matches no
// file (a mistyped pattern would otherwise leave the settings to be
// overwritten), and one that matches an updater file, which can never be
// the player's.
void MarkPlayerFiles(std::vector<engine::ManifestFile>& files, const std::vector<std::string>& patterns);

}  // namespace velmora::publish
