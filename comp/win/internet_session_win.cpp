#include "internet_session_win.h"

#include "system_text_win.h"

namespace velmora::engine {

Result<std::shared_ptr<const InternetSession>> InternetSession::Open(const DataUrl& url, std::uint64_t engineVersion) {
    const std::optional<std::wstring> host = FromUtf8(url.host);
    if (!host) return EngineError{EngineStatus::ConnectionFailed, "host name is not text"};
    UniqueInternetHandle session(
        wininet::InternetOpenW((L"VELUpdater/" + std::to_wstring(engineVersion)).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return EngineError{EngineStatus::ConnectionFailed, "InternetOpen: " + LastErrorText()};
    SetTimeouts(session.get());
    return std::shared_ptr<const InternetSession>(new InternetSession(url, *host, std::move(session)));
}

void InternetSession::SetTimeouts(HINTERNET handle) noexcept {
    DWORD timeout = kNetworkTimeoutMs;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT})
        wininet::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
}

}  // namespace velmora::engine
