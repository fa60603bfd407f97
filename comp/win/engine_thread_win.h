#pragma once
// The engine's one run at a time: VelUpdateStart checks its arguments and
// starts the run on a thread of its own; VelUpdaterCleanup raises the cancel
// flag, waits for that thread and returns. Every loop of the run looks at
// the flag, and no network call blocks that thread (http_get_win.h), so the
// wait is short: the run closes its files and the lock as it unwinds.
#include <cstdint>

namespace velmora::engine {

// VelUpdateStart's results.
enum StartResult : std::int16_t {
    kStarted = 0,
    kBadArguments = -1,       // a null or misaligned pointer
    kBadUrl = -2,             // not an http(s) URL naming a file
    kBadLocalPath = -3,       // cannot be made absolute, or has no game folder above libs
    kAlreadyRunning = -4,     // started again before VelUpdaterCleanup
    kCannotStart = -5,        // no thread or memory for the run
};

std::int16_t StartEngine(const char* url, const char* localPath, std::int16_t* status, std::int32_t* done,
                         std::int32_t* total, std::uint64_t engineVersion);

// Stops a run in progress (or a finished one) and waits for its thread.
void StopEngine();

}  // namespace velmora::engine
