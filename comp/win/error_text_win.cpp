#include "error_text_win.h"

#include <cstdio>

#include "winsupport/system_text_win.h"

namespace velmora::engine {

std::string HexCode(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

std::string ErrorText(DWORD error) {
    const std::wstring text = SystemErrorText(error);
    return "error " + std::to_string(error) + (text.empty() ? "" : ": " + Utf8(text));
}

std::string LastErrorText() { return ErrorText(::GetLastError()); }

}  // namespace velmora::engine
