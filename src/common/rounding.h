#pragma once
#include <cmath>
#include <cstdint>

namespace velmora {

// Rounds to the nearest whole number, an exact half going to the even
// neighbour. The caller keeps the value within the 32-bit range.
inline std::int32_t RoundHalfToEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded += 1.0;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace velmora
