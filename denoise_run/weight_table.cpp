#include "denoise_run/weight_table.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace calmora {

namespace {

// The base is this literal, not the exact e: stored tables and earlier
// results were made with it.
constexpr double kBase = 2.718281828459;

void RequireSigma(int16_t sigma) {
    if (sigma < kMinIntensity || sigma > kMaxIntensity)
        throw std::invalid_argument("intensity " + std::to_string(sigma) + " is outside " +
                                    std::to_string(kMinIntensity) + ".." +
                                    std::to_string(kMaxIntensity));
}

}  // namespace

int32_t WeightTableLength(int16_t sigma) {
    RequireSigma(sigma);
    const int32_t twoSigma2 = 2 * int32_t{sigma} * int32_t{sigma};
    return 7 * twoSigma2;
}

std::vector<float> BuildWeightTable(int16_t sigma) {
    const int32_t count = WeightTableLength(sigma);
    const double twoSigma2 = 2.0 * sigma * sigma;
    std::vector<float> table(static_cast<size_t>(count) + 1);
    for (int32_t n = 0; n <= count; ++n)
        table[static_cast<size_t>(n)] = static_cast<float>(std::pow(kBase, -n / twoSigma2));
    return table;
}

}  // namespace calmora
