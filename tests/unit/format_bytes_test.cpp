#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/format_bytes.h"

namespace velmora {
namespace {

TEST(FormatBytes, ReferenceTable) {
    const struct {
        std::int32_t count;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 B"},          {1023, L"1023 B"},        {1024, L"1 KB"},
        {1152, L"1.12 KB"},   {1160, L"1.13 KB"},       {1536, L"1.5 KB"},
        {1048575, L"1024 KB"}, {1048576, L"1 MB"},      {1179648, L"1.12 MB"},
        {1073741823, L"1024 MB"}, {1073741824, L"1 GB"}, {2147483647, L"2 GB"},
        {-1, L"-1 B"},        {-2048, L"-2048 B"},      {-2147483647 - 1, L"-2147483648 B"},
        {300000, L"292.97 KB"}, {52428800, L"50 MB"},   {200000, L"195.31 KB"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatBytes(c.count, L"."), c.text) << "count " << c.count;
}

TEST(FormatBytes, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatBytes(1536, L","), L"1,5 KB");
    EXPECT_EQ(FormatBytes(1152, L","), L"1,12 KB");
    EXPECT_EQ(FormatBytes(2048, L","), L"2 KB");  // whole values carry no separator
}

// An independent reference: writes count / 2^shift as its exact decimal
// expansion (finite, since the divisor is a power of two) and rounds that
// text to two places, halves to even, digit by digit.
std::wstring Reference(std::int32_t count) {
    int shift = count >= (1 << 30) ? 30 : count >= (1 << 20) ? 20 : count >= (1 << 10) ? 10 : 0;
    const wchar_t* unit = shift == 30 ? L" GB" : shift == 20 ? L" MB" : shift == 10 ? L" KB" : L" B";
    if (shift == 0) return std::to_wstring(count) + unit;
    // Exact expansion: integer part, then fractional digits of r / 2^shift.
    unsigned long long whole = static_cast<unsigned long long>(count) >> shift;
    unsigned long long rest = static_cast<unsigned long long>(count) & ((1ull << shift) - 1);
    std::string digits;
    while (rest != 0) {
        rest *= 10;
        digits += static_cast<char>('0' + (rest >> shift));
        rest &= (1ull << shift) - 1;
    }
    digits.resize(std::max<size_t>(digits.size(), 3), '0');
    int hundredths = (digits[0] - '0') * 10 + (digits[1] - '0');
    const std::string tail = digits.substr(2);
    const bool aboveHalf = tail[0] > '5' || (tail[0] == '5' && tail.find_first_not_of('0', 1) != std::string::npos);
    const bool exactHalf = tail[0] == '5' && tail.find_first_not_of('0', 1) == std::string::npos;
    if (aboveHalf || (exactHalf && hundredths % 2 == 1)) ++hundredths;
    if (hundredths == 100) ++whole, hundredths = 0;
    std::wstring text = std::to_wstring(whole);
    if (hundredths != 0) {
        text += L'.';
        text += static_cast<wchar_t>(L'0' + hundredths / 10);
        if (hundredths % 10) text += static_cast<wchar_t>(L'0' + hundredths % 10);
    }
    return text + unit;
}

TEST(FormatBytes, MatchesExactDecimalRoundingAcrossTheRange) {
    int mismatches = 0;
    auto check = [&](std::int32_t count) {
        const std::wstring expected = Reference(count);
        const std::wstring actual = FormatBytes(count, L".");
        if (expected != actual && ++mismatches <= 10)
            ADD_FAILURE() << "count " << count << ": expected " << std::string(expected.begin(), expected.end())
                          << ", got " << std::string(actual.begin(), actual.end());
    };
    // Every count up to a little past 1 MB, every exact half in all units,
    // and a spread of random counts up to the largest.
    for (std::int32_t count = -4096; count < (1 << 20) + 8192; ++count) check(count);
    for (int shift : {10, 20, 30})
        for (long long k = 0;; ++k) {
            // counts whose hundredths-scaled quotient ends in exactly .5
            const long long scaled = (2 * k + 1) << (shift - 1);
            if (scaled % 100 != 0) continue;
            const long long count = scaled / 100;
            if (count > 2147483647LL) break;
            if (count >= (1LL << shift)) check(static_cast<std::int32_t>(count));
            if (k > 2000000) break;
        }
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> any(1024, 2147483647);
    for (int i = 0; i < 300000; ++i) check(any(random));
    EXPECT_EQ(mismatches, 0);
}

TEST(FormatBytes, JustBelowAThresholdRoundsUpToTheSmallerUnit) {
    EXPECT_EQ(FormatBytes(1048571, L"."), L"1024 KB");
    EXPECT_EQ(FormatBytes(1048570, L"."), L"1023.99 KB");
}

}  // namespace
}  // namespace velmora
