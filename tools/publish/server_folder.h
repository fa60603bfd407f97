#pragma once
// A server folder: gamedata.vel and objects/, as the web server serves it.
#include <filesystem>
#include <optional>
#include <string>

#include "core/manifest.h"
#include "signature_check.h"

namespace velmora::publish {

inline constexpr char kManifestFileName[] = "gamedata.vel";
inline constexpr char kObjectsFolderName[] = "objects";

struct ServerManifest {
    std::string text;                 // the file as it is
    engine::SignedManifest parsed;
};

// The manifest of `folder`; nothing when the folder has no gamedata.vel.
// With `key`, its signature is checked against it before anything else of
// it is read. Without, it is read unchecked: only for the studio's own
// earlier publication, which may be signed with an earlier key and is read
// for its version and the change report, never served. Throws PublishError
// when it is there but cannot be read, does not check out or does not parse.
std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder,
                                                 const std::optional<PublicKeyBytes>& key);

}  // namespace velmora::publish
