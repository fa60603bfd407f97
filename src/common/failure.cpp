#include "common/failure.h"

#include <cstdio>

namespace velmora {

std::wstring DescribeFailure(const Failure& failure) {
    wchar_t number[16];
    const std::uint32_t n = failure.Number();
    if (n & 0x80000000u)
        std::swprintf(number, 16, L"0x%08X", static_cast<unsigned>(n));
    else
        std::swprintf(number, 16, L"%u", static_cast<unsigned>(n));
    std::wstring text = L"Error ";
    text += number;
    if (!failure.Description().empty()) {
        text += L": ";
        text += failure.Description();
    }
    return text;
}

}  // namespace velmora
