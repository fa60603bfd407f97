#pragma once
// The bytes of a download: done so far and expected in all, told by every
// worker of the download and shown through the front-end's variables. The
// total grows when a server answers with more than was asked for (a whole
// pack instead of its ranges), and is planned again when a source fails
// and another one fetches what it left.
//
// The variables are 32-bit signed, so a download of more than `stageLimit`
// bytes (2 GiB less a byte) is shown in stages of equal size, each at most
// that large: done and total are the bytes of the current stage, the bar
// fills again for each, and the rate the window takes from done stays true
// within a stage. A stage's last byte keeps it full until the next byte
// begins the next one, so done never shows 0 once something came.
#include <cstdint>
#include <limits>
#include <mutex>

#include "core/status_writer.h"

namespace velmora::engine {

inline constexpr std::uint64_t kProgressStageLimit = std::numeric_limits<std::int32_t>::max();

class TransferProgress {
public:
    // Shows `total` and nothing done yet.
    TransferProgress(const StatusWriter& status, std::uint64_t total,
                     std::uint64_t stageLimit = kProgressStageLimit);

    // Safe to call from several threads at once; each shows the new count.
    void Received(std::uint64_t bytes);
    void Grew(std::uint64_t bytes);
    // A request that was to bring `planned` bytes (already in the total)
    // brings `instead`: what it received, and what another request now
    // fetches in its place.
    void Replanned(std::uint64_t planned, std::uint64_t instead);

    std::uint64_t Done() const;
    std::uint64_t Total() const;

private:
    // Writes done, then total: at a stage's change the window then never
    // reads a done beyond the total beside it.
    void Show() const;

    const StatusWriter& status_;
    mutable std::mutex mutex_;
    std::uint64_t done_ = 0;
    std::uint64_t total_;
    const std::uint64_t stageSize_;
};

}  // namespace velmora::engine
