#pragma once
// A server folder: gamedata.vel, packs/ and history/, as the web server
// serves it.
#include <filesystem>
#include <optional>
#include <string>

#include "core/manifest.h"
#include "signature_check.h"

namespace velmora::publish {

inline constexpr char kManifestFileName[] = "gamedata.vel";
inline constexpr char kPacksFolderName[] = "packs";
inline constexpr char kHistoryFolderName[] = "history";

struct ServerManifest {
    std::string text;                 // the file as it is
    engine::SignedManifest parsed;
};

// The manifest in `file`. With `key`, its signature is checked against it
// before anything else of it is read. Without, it is read unchecked: only
// for the studio's own earlier publications, which may be signed with a
// key since retired; the chunks reused from them are checked against the
// release's own bytes (release_packing.h). Throws PublishError when it
// cannot be read, does not check out or does not parse.
ServerManifest ReadManifestFile(const std::filesystem::path& file, const std::optional<PublicKeyBytes>& key);

// ReadManifestFile of the folder's gamedata.vel; nothing when the folder
// has none.
std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder,
                                                 const std::optional<PublicKeyBytes>& key);

// packs/<hex of the name> in `folder`.
std::filesystem::path PackFile(const std::filesystem::path& folder, const engine::Sha256Digest& name);

}  // namespace velmora::publish
