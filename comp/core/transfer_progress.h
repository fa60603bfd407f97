#pragma once
// The bytes of a download: done so far and expected in all, told by every
// worker of the download and shown through the front-end's variables. The
// total grows when a server answers with more than was asked for (a whole
// pack instead of its ranges).
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

    std::uint64_t Done() const;
    std::uint64_t Total() const;

private:
    const StatusWriter& status_;
    mutable std::mutex mutex_;
    std::uint64_t done_ = 0;
    std::uint64_t total_;
};

}  // namespace velmora::engine
