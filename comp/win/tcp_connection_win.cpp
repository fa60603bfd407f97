#include "tcp_connection_win.h"

#include <algorithm>

#include "system_libraries_win.h"
#include "error_text_win.h"

namespace velmora::engine {
namespace {

EngineError SocketError(const char* what, DWORD error, TransferPhase phase) {
    return {StatusForNetworkError(error, phase), std::string(what) + ": " + ErrorText(error)};
}

// The time to `deadline`, as select takes it (none left: 0).
TIMEVAL TimeTo(NetworkClock::time_point deadline) {
    const auto left = std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::microseconds>(deadline - NetworkClock::now()).count());
    TIMEVAL value{};
    value.tv_sec = static_cast<long>(left / 1000000);
    value.tv_usec = static_cast<long>(left % 1000000);
    return value;
}

// A socket that closes when it goes out of scope, unless released.
struct SocketOwner {
    SOCKET socket = INVALID_SOCKET;
    ~SocketOwner() {
        if (socket != INVALID_SOCKET) winsock::closesocket(socket);
    }
    SOCKET Release() { return std::exchange(socket, INVALID_SOCKET); }
};

// Resolved addresses, freed when it goes out of scope.
struct AddressList {
    ADDRINFOW* first = nullptr;
    ~AddressList() {
        if (first) winsock::FreeAddrInfoW(first);
    }
};

}  // namespace

WinsockUse::WinsockUse() {
    WSADATA data{};
    started_ = winsock::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockUse::~WinsockUse() {
    if (started_) winsock::WSACleanup();
}

Result<std::unique_ptr<TcpConnection>> TcpConnection::Open(const std::string& host, std::uint16_t port,
                                                           std::chrono::milliseconds timeout) {
    const std::optional<std::wstring> wideHost = FromUtf8(host);
    if (!wideHost) return EngineError{EngineStatus::ConnectionFailed, "host name is not text"};
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddressList addresses;
    if (const INT error = winsock::GetAddrInfoW(wideHost->c_str(), std::to_wstring(port).c_str(), &hints,
                                                &addresses.first))
        return SocketError("resolving the host name", static_cast<DWORD>(error), TransferPhase::Connecting);

    const auto deadline = NetworkClock::now() + timeout;
    EngineError failure{EngineStatus::ConnectionFailed, "the host name has no address"};
    for (const ADDRINFOW* address = addresses.first; address; address = address->ai_next) {
        SocketOwner owner{winsock::socket(address->ai_family, address->ai_socktype, address->ai_protocol)};
        if (owner.socket == INVALID_SOCKET) {
            failure = SocketError("socket", ::GetLastError(), TransferPhase::Connecting);
            continue;
        }
        // Non-blocking, so that every wait is a select with a deadline.
        u_long nonBlocking = 1;
        if (winsock::ioctlsocket(owner.socket, FIONBIO, &nonBlocking) != 0)
            return SocketError("ioctlsocket", ::GetLastError(), TransferPhase::Connecting);
        if (winsock::connect(owner.socket, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
            const DWORD error = ::GetLastError();
            if (error != WSAEWOULDBLOCK) {
                failure = SocketError("connect", error, TransferPhase::Connecting);
                continue;
            }
        }
        std::unique_ptr<TcpConnection> connection(new TcpConnection(owner.Release()));
        auto connected = connection->Wait(true, deadline, TransferPhase::Connecting);
        if (!connected) return connected.Error();
        if (!connected.Value())
            return EngineError{EngineStatus::TimedOut,
                               "no connection within " + std::to_string(timeout.count() / 1000) + " s"};
        int error = 0;
        int length = sizeof error;
        if (winsock::getsockopt(connection->socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                &length) != 0)
            error = static_cast<int>(::GetLastError());
        if (error == 0) return connection;
        failure = SocketError("connect", static_cast<DWORD>(error), TransferPhase::Connecting);
    }
    return failure;
}

TcpConnection::~TcpConnection() { winsock::closesocket(socket_); }

Result<bool> TcpConnection::Wait(bool forWriting, NetworkClock::time_point deadline, TransferPhase phase) {
    for (;;) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket_, &ready);
        // A failed connect shows in the exception set.
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(socket_, &failed);
        TIMEVAL timeout = TimeTo(deadline);
        const int count =
            winsock::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
        if (count == SOCKET_ERROR) return SocketError("select", ::GetLastError(), phase);
        if (count > 0) return true;
        if (NetworkClock::now() >= deadline) return false;
    }
}

Result<void> TcpConnection::SendAll(std::string_view bytes, NetworkClock::time_point deadline) {
    while (!bytes.empty()) {
        auto writable = Wait(true, deadline, TransferPhase::Connecting);
        if (!writable) return writable.Error();
        if (!writable.Value()) return EngineError{EngineStatus::TimedOut, "the request could not be sent in time"};
        const int sent = winsock::send(socket_, bytes.data(),
                                       static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
        if (sent == SOCKET_ERROR) {
            const DWORD error = ::GetLastError();
            if (error == WSAEWOULDBLOCK) continue;
            return SocketError("send", error, TransferPhase::Connecting);
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return {};
}

Result<std::size_t> TcpConnection::Receive(std::span<std::uint8_t> into, NetworkClock::time_point deadline,
                                           TransferPhase phase, const std::string& waitingFor) {
    for (;;) {
        auto readable = Wait(false, deadline, phase);
        if (!readable) return readable.Error();
        if (!readable.Value()) return EngineError{EngineStatus::TimedOut, "timed out waiting for " + waitingFor};
        const int got = winsock::recv(socket_, reinterpret_cast<char*>(into.data()),
                                      static_cast<int>(std::min<std::size_t>(into.size(), INT_MAX)), 0);
        if (got != SOCKET_ERROR) return static_cast<std::size_t>(got);
        const DWORD error = ::GetLastError();
        if (error != WSAEWOULDBLOCK) return SocketError("recv", error, phase);
    }
}

Result<std::size_t> TcpConnection::Receive(std::span<std::uint8_t> into, std::chrono::milliseconds timeout,
                                           TransferPhase phase, const std::string& waitingFor) {
    if (!blocking_) {
        u_long nonBlocking = 0;
        const DWORD milliseconds = static_cast<DWORD>(timeout.count());
        if (winsock::ioctlsocket(socket_, FIONBIO, &nonBlocking) != 0 ||
            winsock::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
                                sizeof milliseconds) != 0)
            return SocketError("setting the receive time-out", ::GetLastError(), phase);
        blocking_ = true;
    }
    const int got = winsock::recv(socket_, reinterpret_cast<char*>(into.data()),
                                  static_cast<int>(std::min<std::size_t>(into.size(), INT_MAX)), 0);
    if (got != SOCKET_ERROR) return static_cast<std::size_t>(got);
    const DWORD error = ::GetLastError();
    if (error == WSAETIMEDOUT) return EngineError{EngineStatus::TimedOut, "timed out waiting for " + waitingFor};
    return SocketError("recv", error, phase);
}

void TcpConnection::Shutdown() noexcept { winsock::shutdown(socket_, SD_BOTH); }

}  // namespace velmora::engine
