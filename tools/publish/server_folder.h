#pragma once
// A server folder: gamedata.vel (the signed head), manifests/, packs/ and
// history/, as the web server serves it.
#include <filesystem>
#include <optional>
#include <string>

#include "core/manifest.h"
#include "core/manifest_head.h"
#include "signature_check.h"

namespace velmora::publish {

inline constexpr char kManifestFileName[] = "gamedata.vel";
inline constexpr char kPacksFolderName[] = "packs";
inline constexpr char kHistoryFolderName[] = "history";

struct ServerManifest {
    std::string text;                 // the manifest's text as it is
    engine::SignedManifest parsed;
    // The head that named it, for the folder's current manifest; nothing
    // for a history manifest and for a folder an earlier tool published,
    // whose gamedata.vel is the manifest itself.
    std::optional<engine::ManifestHead> head;
};

// The manifest in `file`. With `key`, its signature is checked against it
// before anything else of it is read. Without, it is read unchecked: only
// for the studio's own earlier publications, which may be signed with a
// key since retired; the chunks reused from them are checked against the
// release's own bytes (release_packing.h). Throws PublishError when it
// cannot be read, does not check out or does not parse.
ServerManifest ReadManifestFile(const std::filesystem::path& file, const std::optional<PublicKeyBytes>& key);

// The manifest the folder's gamedata.vel names (a head: its signature is
// checked with `key` as the manifest's is, and the stored manifest must be
// the size and SHA-256 it names and agree with its version, expiry and
// min-updater), or that file itself when it is a whole manifest; nothing
// when the folder has none. Throws PublishError as ReadManifestFile does.
std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder,
                                                 const std::optional<PublicKeyBytes>& key);

// packs/<hex of the name> in `folder`.
std::filesystem::path PackFile(const std::filesystem::path& folder, const engine::Sha256Digest& name);

}  // namespace velmora::publish
