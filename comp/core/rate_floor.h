#pragma once
// Decides when a transfer has become too slow to wait for. The network's
// time-outs end a transfer that stops; a server that trickles a byte every
// few seconds never lets them fire, and would hold the run for ever. The
// watcher is fed the time and the count of bytes received so far, and says
// "too slow" once the bytes of the last window (measured to within a tenth
// of it) fall below the floor's rate times that time.
#include <chrono>
#include <cstdint>
#include <deque>

namespace velmora::engine {

struct RateFloorLimits {
    std::uint64_t bytesPerSecond = 0;
    std::chrono::milliseconds window{0};
};

// The engine's floor: 1 KiB/s sustained over 30 s. A player's line that
// slow would need more than 11 days per GiB, and nothing real on the way
// (a congested line, a proxy buffering its answer) stays under it that long;
// 30 s is twice the network time-out, so a pause the time-outs allow is
// never taken for a crawl.
inline constexpr RateFloorLimits kTransferRateFloor{1024, std::chrono::seconds(30)};

class RateFloor {
public:
    // Times are on any steady clock, from any origin.
    RateFloor(RateFloorLimits limits, std::chrono::milliseconds now, std::uint64_t received = 0);

    // True once the transfer stayed below the floor for a whole window.
    bool TooSlow(std::chrono::milliseconds now, std::uint64_t received);

    // Forgets everything before `now`: for time the transfer spent waiting
    // on its reader rather than on the network.
    void Restart(std::chrono::milliseconds now, std::uint64_t received);

private:
    struct Sample {
        std::chrono::milliseconds at;
        std::uint64_t received;
    };
    RateFloorLimits limits_;
    std::chrono::milliseconds step_;  // the samples kept are at least this far apart
    std::deque<Sample> samples_;      // oldest first; about eleven at most
};

}  // namespace velmora::engine
