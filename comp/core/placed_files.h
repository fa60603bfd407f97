#pragma once
// The record of the files the engine has placed in the game folder
// (libs\gamedata.placed): per file, the content the engine put there and
// the file's size and last-write time once it held it. A file whose stamp
// is still the recorded one holds that content, so a run with nothing to
// do reads no file, while a file changed since (damaged, edited, deleted)
// is noticed. Files a release drops are found from it as well as from the
// manifests, because a manifest may stop checking out (signed with a key
// this engine no longer trusts, or damaged) while the files it listed are
// still on the disk. The record depends on no key: it lists only what this
// engine put there.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_stamp.h"
#include "core/manifest.h"

namespace velmora::engine {

struct PlacedFile {
    std::string path;
    bool playerFile = false;
    // What the engine placed there; nothing when not known (a record of the
    // first form lists paths alone).
    std::optional<Sha256Digest> sha256;
    // The file's stamp when it held that content; unknown when the engine
    // has not seen it since (it is then hashed before it is trusted).
    FileStamp stamp;

    friend bool operator==(const PlacedFile&, const PlacedFile&) = default;
};

// "VELPLACED 2\n" then, per file, "file <sha256> <size> <last-write> <path>\n"
// ("player-file" for a file of the player's; "-" for an unknown content,
// whose size and time are then 0).
std::string PlacedFilesText(const std::vector<PlacedFile>& files);

// The record's files, from either form ("VELPLACED 1\n" then one path per
// line); nothing when the record is in neither or any of its paths is one a
// manifest could not list: a damaged record removes nothing.
std::optional<std::vector<PlacedFile>> ParsePlacedFiles(std::string_view text);

// The paths of a manifest's files, or of a record's.
std::vector<std::string> PathsOf(const Manifest& manifest);
std::vector<std::string> PathsOf(const std::vector<PlacedFile>& files);

}  // namespace velmora::engine
