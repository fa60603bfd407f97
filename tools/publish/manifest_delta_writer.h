#pragma once
// Manifest deltas (core/manifest_delta.h) from the manifests history/ keeps
// to the release being published, stored zlib-compressed as
// deltas/<SHA-256 of the new text>/<SHA-256 of the old text>. Named by both
// texts, a delta is never replaced by other bytes: caches keep it for ever.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/manifest.h"
#include "core/manifest_head.h"

namespace velmora::publish {

inline constexpr char kDeltasFolderName[] = "deltas";

// deltas/<hex of newSha256>/<hex of oldSha256> in `folder`.
std::filesystem::path ManifestDeltaFile(const std::filesystem::path& folder, const engine::Sha256Digest& newSha256,
                                        const engine::Sha256Digest& oldSha256);

// The delta's text that turns `oldText` into `newText`: whole lines of the
// new text found in the old one become copies, each run of matching lines
// one copy as long as it goes on matching; the other lines are added as
// they are.
std::string ManifestDeltaText(std::string_view oldText, std::string_view newText);

// Writes the delta from `oldText` to `newText`, the manifest `head` names,
// into `folder` when it pays: compressed, smaller than the stored manifest,
// and unpacked within ManifestDeltaLimit. It is applied as an engine
// applies it before it is written (PublishError if it does not give
// `newText`). Whether it was written.
bool StoreManifestDelta(const std::filesystem::path& folder, std::string_view oldText, std::string_view newText,
                        const engine::ManifestHead& head);

// The text the stored delta `stored` gives applied to `oldText`, as an
// engine applies it for a manifest of `newSize` bytes; nothing when it does
// not apply (`problem` then says why).
std::optional<std::string> AppliedManifestDelta(std::string_view stored, std::string_view oldText,
                                                std::uint64_t newSize, std::string& problem);

}  // namespace velmora::publish
