#pragma once
// The request to stop that VelUpdaterCleanup raises, and the error value
// that carries "stopped" out of the work. Loops that work (hashing, copying)
// look at the flag between steps; a thread that waits for something else
// (a response, a worker) has the flag wake it instead of polling: what it
// hands to OnRaise runs when the flag is raised, so a wait on a condition
// variable can include the flag, and a blocked read can have its socket
// shut. A stopped run writes no status: the front-end is going away.
#include <atomic>
#include <functional>
#include <list>
#include <mutex>

#include "core/engine_status.h"

namespace velmora::engine {

class CancelFlag {
    using Hooks = std::list<std::function<void()>>;

public:
    CancelFlag() = default;
    CancelFlag(const CancelFlag&) = delete;
    CancelFlag& operator=(const CancelFlag&) = delete;

    // Keeps a hook registered for as long as it lives. Once it is gone the
    // hook never runs again, nor is it running: it may use what it refers to
    // up to then.
    class Subscription {
    public:
        Subscription(const CancelFlag& flag, Hooks::iterator hook) noexcept : flag_(&flag), hook_(hook) {}
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

    private:
        const CancelFlag* flag_;
        Hooks::iterator hook_;
    };

    // Raises the flag and runs every registered hook, once, on this thread.
    void Raise() noexcept;
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }

    // Runs `hook` when the flag is raised; at once, on this thread, when it
    // already is. A hook must be quick and must not register or leave hooks
    // of this flag; it runs with the flag's lock held, so a waiter that
    // registers before it takes its own lock misses no wake-up.
    [[nodiscard]] Subscription OnRaise(std::function<void()> hook) const;

private:
    std::atomic<bool> raised_{false};
    mutable std::mutex mutex_;
    mutable Hooks hooks_;
};

// The status a stop carries inside the engine. It is never written: the
// front-end shows nothing for it.
inline constexpr EngineStatus kStopped = EngineStatus::NothingToShow;

inline EngineError Stopped() { return {kStopped, "stopped by VelUpdaterCleanup"}; }
inline bool IsStop(const EngineError& error) { return error.status == kStopped; }

}  // namespace velmora::engine
