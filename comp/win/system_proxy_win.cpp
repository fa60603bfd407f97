#include "system_proxy_win.h"

// WinHTTP's header, kept out of every file that includes WinINet's: the two
// define some of the same names.
#include <windows.h>
#include <winhttp.h>

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

std::string Narrow(const wchar_t* text) {
    return text ? Utf8(text) : std::string();
}

using ReadSettings = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);

// Bound by name on first use, as the engine's other system libraries are
// (system_libraries_win.h), so winhttp.dll loads only when a run asks.
ReadSettings SettingsReader() {
    static const ReadSettings reader = [] {
        const HMODULE library = ::LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return library ? reinterpret_cast<ReadSettings>(reinterpret_cast<void*>(
                             ::GetProcAddress(library, "WinHttpGetIEProxyConfigForCurrentUser")))
                       : nullptr;
    }();
    return reader;
}

}  // namespace

std::optional<ProxyAddress> SystemHttpProxyFor(const std::string& host) {
    const ReadSettings read = SettingsReader();
    ProxySettings settings;
    if (!read || !read(&settings.config) || !settings.config.lpszProxy) return std::nullopt;
    return HttpProxyFor(Narrow(settings.config.lpszProxy), Narrow(settings.config.lpszProxyBypass), host);
}

}  // namespace velmora::engine
