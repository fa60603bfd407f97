#include "core/rate_floor.h"

#include <algorithm>

namespace velmora::engine {

RateFloor::RateFloor(RateFloorLimits limits, std::chrono::milliseconds now, std::uint64_t received)
    : limits_(limits), step_(std::max(limits.window / 10, std::chrono::milliseconds(1))) {
    Restart(now, received);
}

void RateFloor::Restart(std::chrono::milliseconds now, std::uint64_t received) {
    samples_.assign(1, Sample{now, received});
}

bool RateFloor::TooSlow(std::chrono::milliseconds now, std::uint64_t received) {
    if (now < samples_.back().at || received < samples_.back().received) {
        // A clock or a count that went back is no measure: start over.
        Restart(now, received);
        return false;
    }
    if (now - samples_.back().at >= step_) samples_.push_back({now, received});
    // The oldest sample kept is the newest one at least a window old.
    const std::chrono::milliseconds windowStart = now - limits_.window;
    while (samples_.size() >= 2 && samples_[1].at <= windowStart) samples_.pop_front();
    const Sample& oldest = samples_.front();
    const auto span = now - oldest.at;
    if (span < limits_.window) return false;
    return (received - oldest.received) * 1000 <
           limits_.bytesPerSecond * static_cast<std::uint64_t>(span.count());
}

}  // namespace velmora::engine
