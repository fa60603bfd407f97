#pragma once
// The request to stop that VelUpdaterCleanup raises and every loop of the
// engine's work checks, and the error value that carries "stopped" out of
// the work. A stopped run writes no status: the front-end is going away.
#include <atomic>

#include "core/engine_status.h"

namespace velmora::engine {

class CancelFlag {
public:
    void Raise() noexcept { raised_.store(true, std::memory_order_release); }
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> raised_{false};
};

// The status a stop carries inside the engine. It is never written: the
// front-end shows nothing for it.
inline constexpr EngineStatus kStopped = EngineStatus::NothingToShow;

inline EngineError Stopped() { return {kStopped, "stopped by VelUpdaterCleanup"}; }
inline bool IsStop(const EngineError& error) { return error.status == kStopped; }

}  // namespace velmora::engine
