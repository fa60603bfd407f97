#pragma once
// The publication a new one follows, with the earlier manifests it kept in
// history/: what the new release reuses chunks from, compares itself with
// and carries on in its own history/.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "server_folder.h"

namespace velmora::publish {

struct PreviousPublication {
    std::filesystem::path folder;
    ServerManifest current;              // its gamedata.vel
    std::vector<ServerManifest> history;  // its history/*.vel, newest first

    // The current manifest, then the history: every release it knows of,
    // newest first.
    std::vector<const ServerManifest*> Releases() const;
};

// The publication in `folder`; nothing when it has no gamedata.vel. Its
// manifests are read without their signatures checked (server_folder.h):
// an earlier publication may be signed with a key since retired. Throws
// PublishError for a manifest that does not parse, and for two history
// manifests of one version.
std::optional<PreviousPublication> ReadPreviousPublication(const std::filesystem::path& folder);

// The history a publication following `previous` keeps: `previous`'s
// releases, newest first, at most `keep` of them.
std::vector<const ServerManifest*> KeptHistory(const PreviousPublication& previous, std::uint64_t keep);

}  // namespace velmora::publish
