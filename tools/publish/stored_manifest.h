#pragma once
// The manifest as the server folder keeps it: zlib-compressed in
// manifests/<SHA-256 of its text>, named by the signed head that the data
// URL serves (core/manifest_head.h). A name is never reused for another
// text, so any cache may keep these files for ever; only the head changes.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/manifest_head.h"
#include "signing_key.h"

namespace velmora::publish {

inline constexpr char kManifestsFolderName[] = "manifests";

// `text` as a zlib stream (RFC 1950), compressed as well as zlib can.
std::string Compressed(std::string_view text);

// manifests/<hex of the SHA-256> in `folder`.
std::filesystem::path StoredManifestFile(const std::filesystem::path& folder, const engine::Sha256Digest& sha256);

// Writes `manifestText` compressed into `folder`'s manifests/ (once: a file
// of that name already holds it) and gives the head that names it.
engine::ManifestHead StoreManifest(const std::filesystem::path& folder, const engine::Manifest& manifest,
                                   std::string_view manifestText);

// The head's text, signed with `key`.
std::string SignedHeadText(const engine::ManifestHead& head, const SigningKey& key);

// The text the head names, read from `folder`: nothing when the file is
// missing, is not `head.storedSize` bytes, does not unpack to exactly
// `head.manifestSize` bytes or has another SHA-256; `problem` then says
// which.
std::optional<std::string> ReadStoredManifest(const std::filesystem::path& folder, const engine::ManifestHead& head,
                                              std::string& problem);

}  // namespace velmora::publish
