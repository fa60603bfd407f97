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

}  // namespace velmora
