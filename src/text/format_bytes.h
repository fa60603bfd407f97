#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// A byte count as "<number> <unit>" with B, KB, MB or GB. Counts of 1024 and
// more are divided by the unit and rounded to two decimals, an exact half
// going to the even neighbour; trailing zeros are dropped. Negative counts
// stay in bytes. The decimal separator is the caller's (the user's regional
// setting on Windows).
std::wstring FormatBytes(std::int32_t count, std::wstring_view decimalSeparator);

#ifdef _WIN32
// The decimal separator of the user's regional settings.
std::wstring UserDecimalSeparator();
// FormatBytes with that separator.
std::wstring FormatBytes(std::int32_t count);
#endif

}  // namespace velmora
