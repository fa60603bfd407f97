#include "amount_text.h"

#include <cstdio>
#include <iterator>

namespace velmora::publish {

std::string SizeText(std::uint64_t bytes) {
    if (bytes < 1024) return Counted(bytes, "byte");
    const char* const units[] = {"KiB", "MiB", "GiB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string Counted(std::uint64_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace velmora::publish
