#include "text/format_bytes.h"

namespace velmora {

namespace {

struct Unit {
    int shift;
    const wchar_t* name;
};

// Rounds count / 2^shift to hundredths, halves to even. Done in integers:
// the quotient of a 32-bit count by a power of two is exact in binary, but
// its scaling by 100 in floating point is not, and an exact half could then
// round the wrong way.
std::int64_t RoundedHundredths(std::int64_t count, int shift) {
    const std::int64_t scaled = count * 100;
    const std::int64_t divisor = std::int64_t{1} << shift;
    std::int64_t quotient = scaled / divisor;
    const std::int64_t twiceRemainder = (scaled % divisor) * 2;
    if (twiceRemainder > divisor || (twiceRemainder == divisor && (quotient % 2) != 0)) ++quotient;
    return quotient;
}

}  // namespace

std::wstring FormatBytes(std::int32_t count, std::wstring_view decimalSeparator) {
    Unit unit{0, L" B"};
    if (count >= (1 << 30))
        unit = {30, L" GB"};
    else if (count >= (1 << 20))
        unit = {20, L" MB"};
    else if (count >= (1 << 10))
        unit = {10, L" KB"};

    if (unit.shift == 0) return std::to_wstring(count) + unit.name;

    const std::int64_t hundredths = RoundedHundredths(count, unit.shift);
    std::wstring text = std::to_wstring(hundredths / 100);
    int fraction = static_cast<int>(hundredths % 100);
    if (fraction != 0) {
        text += decimalSeparator;
        text += static_cast<wchar_t>(L'0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<wchar_t>(L'0' + fraction % 10);
    }
    return text + unit.name;
}

}  // namespace velmora
