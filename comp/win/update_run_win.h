#pragma once
// One update of the game folder from the server, start to end, on the
// engine's thread: lock, read the local manifest (6), fetch and check the
// server's (3), plan, download (2 or 4), unpack and verify (7), move into
// place and write the local manifest last (5), done (1). Every failure ends
// the run with its status; a raised cancel flag ends it with Stopped().
#include <cstdint>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "core/data_url.h"
#include "core/status_writer.h"

namespace velmora::engine {

struct RunPaths {
    std::wstring localManifest;  // ...\libs\gamedata.vel, absolute
    std::wstring libsFolder;     // the folder that holds it
    std::wstring gameFolder;     // the folder that holds libs
};

// The statuses of the run go to `status` as it goes; the result is success
// (the last status written was 1) or the error that ended it (not yet
// written).
// `engineVersion` is compared with the manifest's `min-updater`.
Result<void> RunUpdate(const DataUrl& url, const RunPaths& paths, std::uint64_t engineVersion,
                       const StatusWriter& status, const CancelFlag& cancel);

}  // namespace velmora::engine
