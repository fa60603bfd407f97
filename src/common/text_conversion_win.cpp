#include "common/text_conversion_win.h"

#include <windows.h>

namespace velmora {

std::string ToSystemCodePage(std::wstring_view text) {
    if (text.empty()) return {};
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring FromSystemCodePage(std::string_view text) {
    if (text.empty()) return {};
    const int narrowLength = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), narrowLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), narrowLength, wide.data(), length);
    return wide;
}

}  // namespace velmora
