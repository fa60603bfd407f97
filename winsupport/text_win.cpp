#include "winsupport/text_win.h"

#include <windows.h>

namespace velmora {
namespace {

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), wideLength, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::optional<std::wstring> Widen(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty()) return std::wstring();
    const int narrowLength = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, flags, text.data(), narrowLength, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, flags, text.data(), narrowLength, wide.data(), length);
    return wide;
}

}  // namespace

std::string ToSystemCodePage(std::wstring_view text) { return Narrow(CP_ACP, text); }
std::optional<std::wstring> FromSystemCodePage(std::string_view text) { return Widen(CP_ACP, 0, text); }
std::string Utf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }
std::optional<std::wstring> FromUtf8(std::string_view text) { return Widen(CP_UTF8, MB_ERR_INVALID_CHARS, text); }

}  // namespace velmora
