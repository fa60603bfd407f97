#pragma once
// A server folder: gamedata.vel and objects/, as the web server serves it.
#include <filesystem>
#include <optional>
#include <string>

#include "core/manifest.h"

namespace velmora::publish {

inline constexpr char kManifestFileName[] = "gamedata.vel";
inline constexpr char kObjectsFolderName[] = "objects";

struct ServerManifest {
    std::string text;                 // the file as it is
    engine::SignedManifest parsed;
};

// The manifest of `folder`; nothing when the folder has no gamedata.vel.
// Throws PublishError when it is there but cannot be read or parsed.
std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder);

}  // namespace velmora::publish
