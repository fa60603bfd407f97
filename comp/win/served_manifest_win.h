#pragma once
// The server's manifest of a run: the data URL serves a signed head naming
// the manifest, or (a server folder an earlier tool published) the signed
// manifest itself. A head naming the local manifest, byte for byte, costs
// no further request: the local manifest stands for the server's.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "internet_session_win.h"
#include "local_manifest_win.h"

namespace velmora::engine {

struct ServedManifest {
    // The manifest fetched; nothing when the head named the local one.
    std::optional<ManifestText> fetched;
};

// Nothing of the head or the manifest is parsed before its signature checks
// out against a trusted key. -9 for an expired head, a stored manifest
// that is not the size and SHA-256 the head names (however it differs:
// longer, shorter once unpacked, corrupt, another text), or a manifest
// whose version, expiry or min-updater are not the head's; the transfer's
// own failures as FetchText reports them. A manifest fetched is kept in
// `fetchedFile`, never whole in memory. `now` in seconds since 1970.
Result<ServedManifest> FetchServedManifest(const std::shared_ptr<const InternetSession>& session,
                                           const std::optional<ManifestText>& local,
                                           const std::wstring& fetchedFile, std::int64_t now,
                                           const CancelFlag& cancel);

}  // namespace velmora::engine
