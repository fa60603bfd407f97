#include "http_get_win.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include <functional>

#include "core/decimal.h"
#include "core/escaped_exception.h"
#include "core/http_response_head.h"
#include "core/response_body.h"
#include "core/transfer_rules.h"
#include "error_text_win.h"

namespace velmora::engine {

// What the engine's thread and the helper share. The helper is a thread of
// its own (not std::thread) because it ends with FreeLibraryAndExitThread.
struct HttpGet::Exchange {
    std::shared_ptr<const InternetSession> session;
    std::string path;
    std::optional<ByteRange> range;
    std::uint64_t bodyLimit = 0;
    RateFloorLimits floor;
    std::chrono::milliseconds headTime{0};

    std::mutex mutex;
    std::condition_variable changed;
    // The open request; whoever takes it out closes it. A WinINet handle
    // for HTTPS, a connection of our own for HTTP.
    HINTERNET request = nullptr;
    std::shared_ptr<TcpConnection> connection;
    bool abandoned = false;
    // When the head must have come, once the request is being sent.
    std::optional<NetworkClock::time_point> headDeadline;
    std::optional<ResponseHead> head;
    std::optional<EngineError> failure;
    bool bodyEnded = false;
    std::deque<std::vector<std::uint8_t>> pieces;

    // Large reads: under Wine each socket read costs a round trip to the
    // wine server, and fewer of them make the download faster. A read fills
    // its piece whenever the network is ahead of the disk, so the pieces a
    // request may hold (the one read into, those queued, the one the
    // engine's thread takes) bound its memory: about 1 MiB.
    static constexpr std::size_t kPieceSize = 256 * 1024;
    static constexpr std::size_t kMaxQueued = 2;
    // The reads of a response head: it is refused past
    // kMaxResponseHeadBytes anyway.
    static constexpr std::size_t kHeadReadSize = 16 * 1024;

    // The helper's work: whatever ends it, its failure is told and the
    // request closed, here and only here.
    void Run() noexcept {
        Result<void> outcome;
        try {
            outcome = session->Url().secure ? RunOverWinInet() : RunOverSocket();
        } catch (...) {
            outcome = ErrorOfCurrentException();
        }
        if (!outcome) Fail(outcome.Error());
        CloseRequest();
    }
    Result<void> RunOverSocket();
    Result<std::shared_ptr<TcpConnection>> Connect();
    Result<std::vector<std::uint8_t>> ReadHead(TcpConnection& connection, ResponseHeadReader& reader);
    Result<void> RunOverWinInet();
    Result<HINTERNET> OpenRequest(HINTERNET connection);
    Result<ResponseHead> SendRequest(HINTERNET request);
    // Reads the body with `read` (into the span it is given; 0 at its end)
    // and queues it in pieces for the engine's thread.
    Result<void> PumpBody(const std::function<Result<std::size_t>(std::span<std::uint8_t>)>& read);
    // Waits, when kMaxQueued pieces are queued, until the engine's thread
    // takes one; false once the request is abandoned.
    bool WaitForRoom(RateFloor& rate, std::uint64_t received);
    // Makes the open request the exchange's, and the head due `headTime`
    // from now; false when the request was abandoned already.
    bool Lend(HINTERNET opened, std::shared_ptr<TcpConnection> connected) {
        std::lock_guard lock(mutex);
        if (abandoned) return false;
        request = opened;
        connection = std::move(connected);
        headDeadline = NetworkClock::now() + headTime;
        changed.notify_all();
        return true;
    }
    void Fail(EngineError error) {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::move(error);
        changed.notify_all();
    }
    void SetHead(ResponseHead response) {
        std::lock_guard lock(mutex);
        head = std::move(response);
        changed.notify_all();
    }
    // Takes the request out and closes it, once.
    void CloseRequest() {
        HINTERNET open = nullptr;
        std::shared_ptr<TcpConnection> connected;
        {
            std::lock_guard lock(mutex);
            open = std::exchange(request, nullptr);
            connected = std::move(connection);
        }
        if (open) wininet::InternetCloseHandle(open);
        // The helper may be waiting on it: that wait ends now, and the
        // connection closes when the helper lets go of it.
        if (connected) connected->Shutdown();
    }
};

namespace {

std::optional<std::wstring> QueryText(HINTERNET request, DWORD info) {
    std::wstring text(64, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD index = 0;
        if (wininet::HttpQueryInfoW(request, info, text.data(), &bytes, &index)) {
            text.resize(bytes / sizeof(wchar_t));
            return text;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        text.resize(bytes / sizeof(wchar_t) + 1);
    }
    return std::nullopt;
}

std::optional<std::string> Ascii(const std::optional<std::wstring>& text) {
    if (!text) return std::nullopt;
    std::string narrow;
    for (const wchar_t c : *text) {
        if (c > 0x7e) return std::nullopt;
        narrow += static_cast<char>(c);
    }
    return narrow;
}

std::chrono::milliseconds Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

EngineError NetworkError(const char* what, TransferPhase phase) {
    const DWORD error = ::GetLastError();
    return {StatusForNetworkError(error, phase), std::string(what) + ": " + ErrorText(error)};
}

std::string Seconds(std::chrono::milliseconds time) {
    return time.count() % 1000 == 0 ? std::to_string(time.count() / 1000) + " s"
                                    : std::to_string(time.count()) + " ms";
}

}  // namespace

// Plain HTTP: connect, send, read the head, then the body.
Result<void> HttpGet::Exchange::RunOverSocket() {
    auto connected = Connect();
    if (!connected) return connected.Error();
    TcpConnection& connection = *connected.Value();
    const InternetSession& server = *session;
    const auto headDue = *headDeadline;
    const std::string request =
        GetRequest(server.Url(), path, range, server.UserAgent(), server.Proxy().has_value());
    if (auto sent = connection.SendAll(request, std::min(headDue, NetworkClock::now() + kNetworkTimeout)); !sent)
        return sent;
    ResponseHeadReader reader;
    auto early = ReadHead(connection, reader);
    if (!early) return early.Error();
    const HttpResponseHead& answer = reader.Head();
    SetHead({answer.status, answer.contentLength, answer.contentRange});

    ResponseBody body(answer, std::move(early).Value());
    const ReceiveFunction receive = [&](std::span<std::uint8_t> into) {
        return connection.Receive(into, kNetworkTimeout, TransferPhase::ReceivingBody, "the body");
    };
    return PumpBody([&](std::span<std::uint8_t> into) { return body.Read(into, receive); });
}

// A connection to the server, or to the proxy the settings name, lent to
// the exchange so that abandoning the request shuts it.
Result<std::shared_ptr<TcpConnection>> HttpGet::Exchange::Connect() {
    const InternetSession& server = *session;
    const std::optional<ProxyAddress>& proxy = server.Proxy();
    auto opened = proxy ? TcpConnection::Open(proxy->host, proxy->port, kNetworkTimeout)
                        : TcpConnection::Open(server.Url().host, server.Url().port, kNetworkTimeout);
    if (!opened) return opened.Error();
    std::shared_ptr<TcpConnection> connected(std::move(opened).Value());
    if (!Lend(nullptr, connected)) return Stopped();
    return connected;
}

// The head, read in bounded pieces: the reader refuses it once it passes
// its size, so a flood of header lines never grows past that. Returns the
// bytes of the body that came with the head's last read. Each wait ends at
// the network time-out or when the head is due, whichever comes first.
Result<std::vector<std::uint8_t>> HttpGet::Exchange::ReadHead(TcpConnection& connection,
                                                              ResponseHeadReader& reader) {
    const auto headDue = *headDeadline;
    std::vector<std::uint8_t> buffer(kHeadReadSize);
    for (;;) {
        const auto waitEnd = std::min(headDue, NetworkClock::now() + kNetworkTimeout);
        auto got = connection.Receive(buffer, waitEnd, TransferPhase::Connecting, "the response");
        if (!got) {
            EngineError error = got.Error();
            if (error.status == EngineStatus::TimedOut && NetworkClock::now() >= headDue)
                error.reason = "no complete response head within " + Seconds(headTime);
            return error;
        }
        if (got.Value() == 0)
            return EngineError{EngineStatus::ConnectionFailed, "connection closed before the response head ended"};
        const std::size_t used = reader.Feed(std::string_view(reinterpret_cast<const char*>(buffer.data()), got.Value()));
        if (reader.Refusal()) return EngineError{EngineStatus::ConnectionFailed, "bad response: " + *reader.Refusal()};
        if (reader.Complete())
            return std::vector<std::uint8_t>(buffer.begin() + static_cast<std::ptrdiff_t>(used),
                                             buffer.begin() + static_cast<std::ptrdiff_t>(got.Value()));
    }
}

// HTTPS through WinINet: connect and open the request, send it and read
// the head, then the body. The connection's handle outlives the request's.
Result<void> HttpGet::Exchange::RunOverWinInet() {
    const InternetSession& server = *session;
    const UniqueInternetHandle connected(wininet::InternetConnectW(server.Handle(), server.Host().c_str(),
                                                                   server.Url().port, nullptr, nullptr,
                                                                   INTERNET_SERVICE_HTTP, 0, 0));
    if (!connected) return NetworkError("InternetConnect", TransferPhase::Connecting);
    const struct CloseFirst {
        Exchange& exchange;
        ~CloseFirst() { exchange.CloseRequest(); }
    } closeFirst{*this};
    auto opened = OpenRequest(connected.get());
    if (!opened) return opened.Error();
    auto head = SendRequest(opened.Value());
    if (!head) return head.Error();
    SetHead(std::move(head).Value());
    // Waits for data, then reads no more than came: a synchronous
    // InternetReadFile returns once its buffer is full, so the bytes of a
    // slow line would be seen (and counted against the floor) only then.
    const HINTERNET request = opened.Value();
    return PumpBody([request](std::span<std::uint8_t> into) -> Result<std::size_t> {
        DWORD available = 0;
        if (!wininet::InternetQueryDataAvailable(request, &available, 0, 0))
            return NetworkError("InternetQueryDataAvailable", TransferPhase::ReceivingBody);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(into.size(), std::max<DWORD>(available, 1)));
        DWORD got = 0;
        if (!wininet::InternetReadFile(request, into.data(), wanted, &got))
            return NetworkError("InternetReadFile", TransferPhase::ReceivingBody);
        return std::size_t{got};
    });
}

// The request, lent to the exchange. The calls on it run without the lock:
// closing it from the engine's thread is how Windows aborts a call in
// progress.
Result<HINTERNET> HttpGet::Exchange::OpenRequest(HINTERNET connection) {
    const std::optional<std::wstring> widePath = FromSystemCodePage(path);
    if (!widePath) return EngineError{EngineStatus::ConnectionFailed, "request path is not text"};
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_SECURE;
    UniqueInternetHandle opened(wininet::HttpOpenRequestW(connection, L"GET", widePath->c_str(), L"HTTP/1.1",
                                                          nullptr, nullptr, flags, 0));
    if (!opened) return NetworkError("HttpOpenRequest", TransferPhase::Connecting);
    InternetSession::SetTimeouts(opened.get());
    if (!Lend(opened.get(), nullptr)) return Stopped();
    return opened.release();
}

Result<ResponseHead> HttpGet::Exchange::SendRequest(HINTERNET request) {
    std::wstring headers;
    if (range) {
        for (const char c : RangeHeader(range->first, range->last)) headers += static_cast<wchar_t>(c);
        headers += L"\r\n";
    }
    const auto sending = NetworkClock::now();
    if (!wininet::HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                                   static_cast<DWORD>(headers.size()), nullptr, 0)) {
        const DWORD error = ::GetLastError();
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(NetworkClock::now() - sending);
        return EngineError{StatusForNetworkError(error, TransferPhase::Connecting, waited, kNetworkTimeout),
                           "HttpSendRequest: " + ErrorText(error)};
    }
    ResponseHead response;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!wininet::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return NetworkError("HttpQueryInfo", TransferPhase::Connecting);
    response.status = status;
    if (const auto length = Ascii(QueryText(request, HTTP_QUERY_CONTENT_LENGTH)))
        response.contentLength = ParseDecimal(*length);
    response.contentRange = Ascii(QueryText(request, HTTP_QUERY_CONTENT_RANGE));
    return response;
}

bool HttpGet::Exchange::WaitForRoom(RateFloor& rate, std::uint64_t received) {
    std::unique_lock lock(mutex);
    if (!abandoned && pieces.size() >= kMaxQueued) {
        changed.wait(lock, [&] { return abandoned || pieces.size() < kMaxQueued; });
        // The engine was behind, not the server: that time says nothing
        // of the transfer's rate.
        rate.Restart(Now(), received);
    }
    return !abandoned;
}

Result<void> HttpGet::Exchange::PumpBody(const std::function<Result<std::size_t>(std::span<std::uint8_t>)>& read) {
    std::vector<std::uint8_t> buffer(kPieceSize);
    std::uint64_t received = 0;
    RateFloor rate(floor, Now());
    while (received < bodyLimit && WaitForRoom(rate, received)) {
        // The floor is checked as bytes come; a longer gap than the
        // receive time-out ends the read with -3 anyway.
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(bodyLimit - received, kPieceSize));
        auto got = read(std::span<std::uint8_t>(buffer.data(), wanted));
        if (!got) return got.Error();
        if (got.Value() == 0) break;
        received += got.Value();
        if (received < bodyLimit && rate.TooSlow(Now(), received))
            return EngineError{EngineStatus::TimedOut, "body slower than " + std::to_string(floor.bytesPerSecond) +
                                                           " bytes a second for " +
                                                           std::to_string(floor.window.count()) + " ms, " +
                                                           std::to_string(received) + " bytes in"};
        std::vector<std::uint8_t> piece(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got.Value()));
        std::lock_guard lock(mutex);
        pieces.push_back(std::move(piece));
        changed.notify_all();
    }
    std::lock_guard lock(mutex);
    bodyEnded = true;
    changed.notify_all();
    return {};
}

namespace {

// The module this code lives in when it is a DLL (comp.dll); null when it is
// linked into a program. A helper thread holds a reference to the DLL, so
// that unloading it while a helper still waits on the network is safe.
HMODULE PinnedLibrary();

DWORD WINAPI HelperThread(void* parameter) {
    HMODULE library = nullptr;
    {
        const std::unique_ptr<std::shared_ptr<HttpGet::Exchange>> exchange(
            static_cast<std::shared_ptr<HttpGet::Exchange>*>(parameter));
        (*exchange)->Run();
        library = PinnedLibrary();
    }
    if (library) ::FreeLibraryAndExitThread(library, 0);
    return 0;
}

HMODULE PinnedLibrary() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&HelperThread), &self);
    return self == ::GetModuleHandleW(nullptr) ? nullptr : self;
}

}  // namespace

HttpGet::HttpGet(std::shared_ptr<const InternetSession> session, std::string path, std::optional<ByteRange> range,
                 std::uint64_t bodyLimit, RateFloorLimits floor, std::chrono::milliseconds headTime)
    : exchange_(std::make_shared<Exchange>()) {
    exchange_->floor = floor;
    exchange_->headTime = headTime;
    exchange_->session = std::move(session);
    exchange_->path = std::move(path);
    exchange_->range = range;
    exchange_->bodyLimit = bodyLimit;

    HMODULE pinned = nullptr;
    if (PinnedLibrary())
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HelperThread),
                             &pinned);
    auto* shared = new std::shared_ptr<Exchange>(exchange_);
    const UniqueHandle thread(::CreateThread(nullptr, 0, HelperThread, shared, 0, nullptr));
    if (!thread) {
        delete shared;
        if (pinned) ::FreeLibrary(pinned);
        exchange_->failure = EngineError{EngineStatus::WrongFile, "cannot start the request's thread", true};
    }
}

HttpGet::~HttpGet() {
    {
        std::lock_guard lock(exchange_->mutex);
        exchange_->abandoned = true;
        exchange_->changed.notify_all();
    }
    exchange_->CloseRequest();
}

namespace {

// Wakes the engine's thread's wait on the exchange when the flag is raised.
// Made before the wait takes the exchange's lock and gone after it let go:
// raising the flag takes the flag's lock, then the exchange's.
CancelFlag::Subscription WakeOnCancel(HttpGet::Exchange& exchange, const CancelFlag& cancel) {
    return cancel.OnRaise([&exchange] {
        std::lock_guard lock(exchange.mutex);
        exchange.changed.notify_all();
    });
}

}  // namespace

Result<ResponseHead> HttpGet::Head(const CancelFlag& cancel) {
    // The helper ends a head that is late by itself, except inside a
    // WinINet call, which reads header lines as long as they come: then the
    // engine's thread stops waiting a little after the head was due.
    constexpr auto kGrace = std::chrono::seconds(1);
    const CancelFlag::Subscription wake = WakeOnCancel(*exchange_, cancel);
    std::unique_lock lock(exchange_->mutex);
    for (;;) {
        if (exchange_->head) return *exchange_->head;
        if (exchange_->failure) return *exchange_->failure;
        if (cancel.Raised()) return Stopped();
        if (!exchange_->headDeadline) {
            exchange_->changed.wait(lock);
            continue;
        }
        const auto overdue = *exchange_->headDeadline + kGrace;
        if (NetworkClock::now() > overdue)
            return EngineError{EngineStatus::TimedOut,
                               "no complete response head within " + Seconds(exchange_->headTime)};
        exchange_->changed.wait_until(lock, overdue);
    }
}

Result<std::span<const std::uint8_t>> HttpGet::NextPiece(const CancelFlag& cancel) {
    const CancelFlag::Subscription wake = WakeOnCancel(*exchange_, cancel);
    std::unique_lock lock(exchange_->mutex);
    exchange_->changed.wait(lock, [&] {
        return !exchange_->pieces.empty() || exchange_->bodyEnded || exchange_->failure.has_value() ||
               cancel.Raised();
    });
    if (!exchange_->pieces.empty()) {
        piece_ = std::move(exchange_->pieces.front());
        exchange_->pieces.pop_front();
        exchange_->changed.notify_all();
        return std::span<const std::uint8_t>(piece_);
    }
    if (exchange_->failure) return *exchange_->failure;
    if (!exchange_->bodyEnded) return Stopped();
    return std::span<const std::uint8_t>();
}

}  // namespace velmora::engine
