#include <windows.h>

#include "text/format_bytes.h"

namespace velmora {

std::wstring UserDecimalSeparator() {
    wchar_t separator[8] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return L".";
    return separator;
}

std::wstring FormatBytes(std::int32_t count) { return FormatBytes(count, UserDecimalSeparator()); }

}  // namespace velmora
