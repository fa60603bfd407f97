#pragma once
// The bytes of a download: done so far and expected in all, told by every
// worker of the download and shown through the front-end's variables. The
// total grows when a server answers with more than was asked for (a whole
// pack instead of its ranges), and is planned again when a source fails
// and another one fetches what it left.
#include <cstdint>
#include <mutex>

#include "core/status_writer.h"

namespace velmora::engine {

class TransferProgress {
public:
    // Shows `total` and nothing done yet.
    TransferProgress(const StatusWriter& status, std::uint64_t total);

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
    const StatusWriter& status_;
    mutable std::mutex mutex_;
    std::uint64_t done_ = 0;
    std::uint64_t total_;
};

}  // namespace velmora::engine
