#include "core/manifest_acceptance.h"

#include <string>

#include "core/utc_time.h"

namespace velmora::engine {

Result<void> CheckNotRolledBack(std::optional<std::uint64_t> localVersion,
                                std::uint64_t remoteVersion) {
    if (localVersion && remoteVersion < *localVersion)
        return InvalidFormat("server manifest version " + std::to_string(remoteVersion) +
                             " is older than the installed version " + std::to_string(*localVersion));
    return {};
}

Result<void> CheckNotExpired(std::int64_t expires, std::int64_t now) {
    if (now >= expires) return InvalidFormat("server manifest expired at " + FormatUtcTime(expires));
    return {};
}

Result<void> CheckUpdaterVersion(std::uint64_t minUpdater, std::uint64_t engineVersion) {
    if (engineVersion < minUpdater)
        return EngineError{EngineStatus::UpdaterObsolete,
                           "manifest requires updater " + std::to_string(minUpdater) + ", this is " +
                               std::to_string(engineVersion)};
    return {};
}

Result<void> CheckRemoteManifest(const Manifest& remote, const Manifest* local, std::int64_t now,
                                 std::uint64_t engineVersion) {
    const std::optional<std::uint64_t> localVersion =
        local ? std::optional<std::uint64_t>(local->version) : std::nullopt;
    if (auto fresh = CheckNotRolledBack(localVersion, remote.version); !fresh) return fresh;
    if (auto current = CheckNotExpired(remote.expires, now); !current) return current;
    return CheckUpdaterVersion(remote.minUpdater, engineVersion);
}

}  // namespace velmora::engine
