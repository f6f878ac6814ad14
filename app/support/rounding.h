// Rounding to the nearest integer with halves to the even neighbour
// (2.5 -> 2, 3.5 -> 4), whatever the processor's rounding mode, for the
// layout arithmetic of both windows. NaN, from a zero-sized view, gives 0;
// values past the 64-bit range are held at about +-9e18.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace calmora {

[[nodiscard]] inline int64_t RoundHalfEven(double value) {
    if (!(value == value)) return 0;
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5) {
        result = floor + 1.0;
    } else if (diff == 0.5) {
        result = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    }
    constexpr double kLimit = 9.0e18;
    return static_cast<int64_t>(std::clamp(result, -kLimit, kLimit));
}

}  // namespace calmora
