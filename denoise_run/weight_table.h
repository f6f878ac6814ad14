// The look-up table that turns a channel's patch distance into a weight, so
// the engine never evaluates an exponential inside its loops.
#pragma once

#include <cstdint>
#include <vector>

#include "denoise_run/setting_ranges.h"

namespace calmora {

// Distance cut-off for intensity sigma: 14 * sigma^2. Distances of this value or
// more are ignored by the engine (their weight would be below e^-7). This is
// the value for DenoiseJob.tableLength. sigma must lie in kMinIntensity..kMaxIntensity.
[[nodiscard]] int32_t WeightTableLength(int16_t sigma);

// Entries 0..WeightTableLength(sigma) inclusive: entry n is
// 2.718281828459^(-n / (2 sigma^2)), computed in double and stored as float.
// Entry 0 is 1; the last entry (about 0.000912) is never read by the engine.
// Throws std::invalid_argument when sigma is outside kMinIntensity..kMaxIntensity.
[[nodiscard]] std::vector<float> BuildWeightTable(int16_t sigma);

}  // namespace calmora
