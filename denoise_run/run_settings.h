// The settings of one denoise run and the engine records derived from them.
#pragma once

#include <cstdint>

#include "KcDenoise.h"
#include "denoise_run/setting_ranges.h"

namespace calmora {

struct RunSettings {
    int16_t sigma = kNoIntensity;     // intensity; 0 means no run is possible
    int16_t radius = kDefaultRadius;  // search radius in pixels
    // Channel strengths as factors (slider percent / 100); 1 filters fully, 0 not at all.
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
};

// percent / 100 as the engine expects it; 100 gives exactly 1.0f.
[[nodiscard]] float FactorFromPercent(int percent);

// A run needs a non-zero intensity and at least one channel to filter.
[[nodiscard]] bool CanRun(const RunSettings& settings);

// True when every channel is filtered fully (all three factors exactly 1.0f):
// the whole-pixel engine then gives the result, the per-channel one otherwise.
[[nodiscard]] bool UsesWholePixelEngine(const RunSettings& settings);

// Preview: 3x3 patches, the noise image is wanted, viewChannel as chosen
// (0 colour, 1 red, 2 green, 3 blue).
[[nodiscard]] DenoiseParams PreviewParams(const RunSettings& settings, int16_t viewChannel);

// Full run: 3x3 patches, no noise image.
[[nodiscard]] DenoiseParams FullRunParams(const RunSettings& settings);

// The factors in the engine's byte order: blue, green, red.
[[nodiscard]] ChannelFactors EngineFactors(const RunSettings& settings);

}  // namespace calmora
