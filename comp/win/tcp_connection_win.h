#pragma once
// One TCP connection through Winsock, in which every wait has a deadline:
// connecting, sending and each wait for data end with -3 when it passes.
// Another thread may end every wait on it at once (Shutdown), which is how
// an abandoned request lets go of its helper thread.
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "core/transfer_rules.h"

namespace velmora::engine {

using NetworkClock = std::chrono::steady_clock;

// Winsock started for as long as it lives (WSAStartup, WSACleanup).
class WinsockUse {
public:
    WinsockUse();
    ~WinsockUse();
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    bool Started() const noexcept { return started_; }

private:
    bool started_ = false;
};

class TcpConnection {
public:
    // Resolves `host` and connects to its first address that takes the
    // connection before `timeout` is over. -1 when the name is not
    // resolved, -2 when refused, -3 when it timed out, -4 otherwise.
    static Result<std::unique_ptr<TcpConnection>> Open(const std::string& host, std::uint16_t port,
                                                       std::chrono::milliseconds timeout);
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Sends all of `bytes`, or fails (-3 once `deadline` passed).
    Result<void> SendAll(std::string_view bytes, NetworkClock::time_point deadline);
    // Waits for data until `deadline`, then reads what came, at most
    // `into.size()` bytes; 0 once the other side closed. -3 when nothing
    // came in time, `waitingFor` saying what was awaited; other failures by
    // the error and the phase (transfer_rules.h).
    Result<std::size_t> Receive(std::span<std::uint8_t> into, NetworkClock::time_point deadline, TransferPhase phase,
                                const std::string& waitingFor);
    // The same with a time-out for the wait rather than a deadline, read by
    // a blocking recv: under Wine a select before each read costs a round
    // trip to the wine server, and a body read that way came at about a
    // third of the speed. Once called, the connection stays blocking.
    Result<std::size_t> Receive(std::span<std::uint8_t> into, std::chrono::milliseconds timeout, TransferPhase phase,
                                const std::string& waitingFor);
    // Ends the waits of every thread on the connection; callable from any
    // thread while the connection lives.
    void Shutdown() noexcept;

private:
    explicit TcpConnection(SOCKET socket) : socket_(socket) {}
    // Waits until the socket can be read (or written) or `deadline` passes:
    // true when it can, false on time-out.
    Result<bool> Wait(bool forWriting, NetworkClock::time_point deadline, TransferPhase phase);

    SOCKET socket_;
    bool blocking_ = false;
};

}  // namespace velmora::engine
