#include "http_get_win.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "core/decimal.h"
#include "core/escaped_exception.h"
#include "system_text_win.h"
#include "core/transfer_rules.h"

namespace velmora::engine {

// What the engine's thread and the helper share. The helper is a thread of
// its own (not std::thread) because it ends with FreeLibraryAndExitThread.
struct HttpGet::Exchange {
    std::shared_ptr<const InternetSession> session;
    std::string path;
    std::optional<ByteRange> range;
    std::uint64_t bodyLimit = 0;
    RateFloorLimits floor;

    std::mutex mutex;
    std::condition_variable changed;
    // The open request; whoever takes it out closes it.
    HINTERNET request = nullptr;
    bool abandoned = false;
    std::optional<ResponseHead> head;
    std::optional<EngineError> failure;
    bool bodyEnded = false;
    std::deque<std::vector<std::uint8_t>> pieces;

    // Large reads: under Wine each socket read costs a round trip to the
    // wine server, and fewer of them make the download faster.
    static constexpr std::size_t kPieceSize = 512 * 1024;
    static constexpr std::size_t kMaxQueued = 4;

    void Run();
    void Fail(EngineError error) {
        std::lock_guard lock(mutex);
        failure = std::move(error);
        changed.notify_all();
    }
    // Takes the request out and closes it, once.
    void CloseRequest() {
        HINTERNET open = nullptr;
        {
            std::lock_guard lock(mutex);
            open = std::exchange(request, nullptr);
        }
        if (open) wininet::InternetCloseHandle(open);
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

}  // namespace

void HttpGet::Exchange::Run() {
    const InternetSession& server = *session;
    UniqueInternetHandle connection(wininet::InternetConnectW(server.Handle(), server.Host().c_str(), server.Url().port,
                                                       nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return Fail(NetworkError("InternetConnect", TransferPhase::Connecting));

    const std::optional<std::wstring> widePath = FromSystemCodePage(path);
    if (!widePath) return Fail({EngineStatus::ConnectionFailed, "request path is not text"});
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    if (server.Url().secure) flags |= INTERNET_FLAG_SECURE;
    HINTERNET opened = wininet::HttpOpenRequestW(connection.get(), L"GET", widePath->c_str(), L"HTTP/1.1", nullptr,
                                          nullptr, flags, 0);
    if (!opened) return Fail(NetworkError("HttpOpenRequest", TransferPhase::Connecting));
    InternetSession::SetTimeouts(opened);
    {
        std::lock_guard lock(mutex);
        if (abandoned) {
            wininet::InternetCloseHandle(opened);
            return;
        }
        request = opened;
    }

    std::wstring headers;
    if (range) {
        for (const char c : RangeHeader(range->first, range->last)) headers += static_cast<wchar_t>(c);
        headers += L"\r\n";
    }
    // The calls below use `opened` without the lock: closing it from the
    // engine's thread is how Windows aborts a call in progress.
    if (!wininet::HttpSendRequestW(opened, headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                            nullptr, 0)) {
        Fail(NetworkError("HttpSendRequest", TransferPhase::Connecting));
        return CloseRequest();
    }
    ResponseHead response;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!wininet::HttpQueryInfoW(opened, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        Fail(NetworkError("HttpQueryInfo", TransferPhase::Connecting));
        return CloseRequest();
    }
    response.status = status;
    if (const auto length = Ascii(QueryText(opened, HTTP_QUERY_CONTENT_LENGTH)))
        response.contentLength = ParseDecimal(*length);
    response.contentRange = Ascii(QueryText(opened, HTTP_QUERY_CONTENT_RANGE));
    {
        std::lock_guard lock(mutex);
        head = std::move(response);
        changed.notify_all();
    }

    std::uint64_t received = 0;
    RateFloor rate(floor, Now());
    while (received < bodyLimit) {
        {
            std::unique_lock lock(mutex);
            if (!abandoned && pieces.size() >= kMaxQueued) {
                changed.wait(lock, [&] { return abandoned || pieces.size() < kMaxQueued; });
                // The engine was behind, not the server: that time says
                // nothing of the transfer's rate.
                rate.Restart(Now(), received);
            }
            if (abandoned) break;
        }
        // Waits for data, then reads no more than came: a synchronous
        // InternetReadFile returns once its buffer is full, so the bytes of
        // a slow line would be seen (and counted against the floor) only
        // then. The floor is checked as bytes come; a longer gap than the
        // receive time-out ends the read with -3 anyway.
        DWORD available = 0;
        if (!wininet::InternetQueryDataAvailable(opened, &available, 0, 0)) {
            Fail(NetworkError("InternetQueryDataAvailable", TransferPhase::ReceivingBody));
            return CloseRequest();
        }
        const std::uint64_t wanted =
            std::min<std::uint64_t>({bodyLimit - received, kPieceSize, std::max<DWORD>(available, 1)});
        std::vector<std::uint8_t> piece(static_cast<std::size_t>(wanted));
        DWORD got = 0;
        if (!wininet::InternetReadFile(opened, piece.data(), static_cast<DWORD>(piece.size()), &got)) {
            Fail(NetworkError("InternetReadFile", TransferPhase::ReceivingBody));
            return CloseRequest();
        }
        if (got == 0) break;
        piece.resize(got);
        received += got;
        if (received < bodyLimit && rate.TooSlow(Now(), received)) {
            Fail({EngineStatus::TimedOut, "body slower than " + std::to_string(floor.bytesPerSecond) +
                                              " bytes a second for " + std::to_string(floor.window.count()) +
                                              " ms, " + std::to_string(received) + " bytes in"});
            return CloseRequest();
        }
        std::lock_guard lock(mutex);
        pieces.push_back(std::move(piece));
        changed.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        bodyEnded = true;
        changed.notify_all();
    }
    CloseRequest();
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
        try {
            (*exchange)->Run();
        } catch (...) {
            (*exchange)->Fail(ErrorOfCurrentException());
            (*exchange)->CloseRequest();
        }
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
                 std::uint64_t bodyLimit, RateFloorLimits floor)
    : exchange_(std::make_shared<Exchange>()) {
    exchange_->floor = floor;
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

// Waits until `ready` holds, a failure came, or the cancel flag is raised;
// the flag is looked at every 50 ms.
template <typename Ready>
Result<void> WaitFor(HttpGet::Exchange& exchange, std::unique_lock<std::mutex>& lock, const CancelFlag& cancel,
                     Ready ready) {
    for (;;) {
        if (exchange.changed.wait_for(lock, std::chrono::milliseconds(50), ready)) return {};
        if (cancel.Raised()) return Stopped();
    }
}

}  // namespace

Result<ResponseHead> HttpGet::Head(const CancelFlag& cancel) {
    std::unique_lock lock(exchange_->mutex);
    if (auto waited = WaitFor(*exchange_, lock, cancel,
                              [&] { return exchange_->head.has_value() || exchange_->failure.has_value(); });
        !waited)
        return waited.Error();
    if (exchange_->head) return *exchange_->head;
    return *exchange_->failure;
}

Result<std::span<const std::uint8_t>> HttpGet::NextPiece(const CancelFlag& cancel) {
    std::unique_lock lock(exchange_->mutex);
    if (auto waited = WaitFor(*exchange_, lock, cancel,
                              [&] {
                                  return !exchange_->pieces.empty() || exchange_->bodyEnded ||
                                         exchange_->failure.has_value();
                              });
        !waited)
        return waited.Error();
    if (!exchange_->pieces.empty()) {
        piece_ = std::move(exchange_->pieces.front());
        exchange_->pieces.pop_front();
        exchange_->changed.notify_all();
        return std::span<const std::uint8_t>(piece_);
    }
    if (exchange_->failure) return *exchange_->failure;
    return std::span<const std::uint8_t>();
}

}  // namespace velmora::engine
