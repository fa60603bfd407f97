#include "system_proxy_win.h"

// WinHTTP's header, kept out of every file that includes WinINet's: the two
// define some of the same names.
#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "core/transfer_rules.h"
#include "winsupport/text_win.h"

namespace velmora::engine {
namespace {

// The strings WinHTTP allocates for the settings, freed with GlobalFree.
struct ProxySettings {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    ~ProxySettings() {
        for (LPWSTR text : {config.lpszAutoConfigUrl, config.lpszProxy, config.lpszProxyBypass})
            if (text) ::GlobalFree(text);
    }
};

// The same for automatic configuration's answer.
struct ProxyAnswer {
    WINHTTP_PROXY_INFO info{};
    ~ProxyAnswer() {
        for (LPWSTR text : {info.lpszProxy, info.lpszProxyBypass})
            if (text) ::GlobalFree(text);
    }
};

std::string Narrow(const wchar_t* text) {
    return text ? Utf8(text) : std::string();
}

// The WinHTTP functions the engine uses, bound by name on first use, as the
// engine's other system libraries are (system_libraries_win.h), so
// winhttp.dll loads only when a run asks.
struct WinHttp {
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) readSettings = nullptr;
    decltype(&::WinHttpOpen) open = nullptr;
    decltype(&::WinHttpSetTimeouts) setTimeouts = nullptr;
    decltype(&::WinHttpGetProxyForUrl) proxyForUrl = nullptr;
    decltype(&::WinHttpCloseHandle) close = nullptr;
};

template <typename F>
F Find(HMODULE library, const char* name) {
    return library ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library, name))) : nullptr;
}

const WinHttp& WinHttpFunctions() {
    static const WinHttp functions = [] {
        const HMODULE library = ::LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        WinHttp f;
        f.readSettings = Find<decltype(f.readSettings)>(library, "WinHttpGetIEProxyConfigForCurrentUser");
        f.open = Find<decltype(f.open)>(library, "WinHttpOpen");
        f.setTimeouts = Find<decltype(f.setTimeouts)>(library, "WinHttpSetTimeouts");
        f.proxyForUrl = Find<decltype(f.proxyForUrl)>(library, "WinHttpGetProxyForUrl");
        f.close = Find<decltype(f.close)>(library, "WinHttpCloseHandle");
        return f;
    }();
    return functions;
}

// What automatic configuration says for `url`: the script at the settings'
// URL, or the one WPAD finds when they ask to detect it. Nothing when there
// is no script or it cannot be fetched or run.
std::optional<AutomaticProxyAnswer> AskAutomaticConfiguration(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& config,
                                                               const std::string& url) {
    const WinHttp& winhttp = WinHttpFunctions();
    const std::optional<std::wstring> wideUrl = FromUtf8(url);
    if (!winhttp.open || !winhttp.proxyForUrl || !winhttp.close || !wideUrl) return std::nullopt;
    const auto close = [&winhttp](HINTERNET handle) { winhttp.close(handle); };
    const std::unique_ptr<void, decltype(close)> session(
        winhttp.open(L"VELUpdater", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
        close);
    if (!session) return std::nullopt;
    // The script's download waits no longer than the engine's own requests.
    const int timeout = static_cast<int>(kNetworkTimeout.count());
    if (winhttp.setTimeouts) winhttp.setTimeouts(session.get(), timeout, timeout, timeout, timeout);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (config.lpszAutoConfigUrl) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = config.lpszAutoConfigUrl;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    ProxyAnswer answer;
    if (!winhttp.proxyForUrl(session.get(), wideUrl->c_str(), &options, &answer.info)) return std::nullopt;
    if (answer.info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) return AutomaticProxyAnswer{};
    return AutomaticProxyAnswer{Narrow(answer.info.lpszProxy), Narrow(answer.info.lpszProxyBypass)};
}

}  // namespace

std::optional<ProxyAddress> SystemHttpProxyFor(const std::string& url, const std::string& host) {
    const WinHttp& winhttp = WinHttpFunctions();
    ProxySettings settings;
    if (!winhttp.readSettings || !winhttp.readSettings(&settings.config)) return std::nullopt;
    std::optional<AutomaticProxyAnswer> automatic;
    if (settings.config.lpszAutoConfigUrl || settings.config.fAutoDetect)
        automatic = AskAutomaticConfiguration(settings.config, url);
    return HttpProxyFor(automatic, Narrow(settings.config.lpszProxy), Narrow(settings.config.lpszProxyBypass), host);
}

}  // namespace velmora::engine
