#pragma once
// Whether this engine may apply a server manifest whose signature checked
// out: the defences against rollback (an older manifest replayed), freeze
// (an old manifest kept being served) and an engine too old for the data.
// Time is passed in as seconds since 1970 so that callers and tests control
// it.
#include <cstdint>
#include <optional>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// InvalidFormat (-9) when the remote version is lower than the local one. An
// equal version is accepted. Without a local manifest anything goes.
Result<void> CheckNotRolledBack(std::optional<std::uint64_t> localVersion,
                                std::uint64_t remoteVersion);

// InvalidFormat (-9) once `now` has reached `expires`.
Result<void> CheckNotExpired(std::int64_t expires, std::int64_t now);

// UpdaterObsolete (-8) when the manifest requires a newer engine than
// `engineVersion`.
Result<void> CheckUpdaterVersion(std::uint64_t minUpdater, std::uint64_t engineVersion);

// All three in that order: rollback, expiry, engine version. `local` is the
// last manifest applied in full (its own expiry does not matter), or null.
Result<void> CheckRemoteManifest(const Manifest& remote, const Manifest* local, std::int64_t now,
                                 std::uint64_t engineVersion);

}  // namespace velmora::engine
