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
    // The colour-noise mode (colour_noise_run.h): luminance and colour apart
    // at sigma, the colour also at a quarter of the size at colourStrength.
    // Off, a run is the RGB mode's and the strength plays no part.
    bool colourNoise = false;
    int16_t colourStrength = kDefaultColourStrength;
};

// percent / 100 as the engine expects it; 100 gives exactly 1.0f.
[[nodiscard]] float FactorFromPercent(int percent);

// A run needs a non-zero intensity and at least one channel to filter.
[[nodiscard]] bool CanRun(const RunSettings& settings);

// Whether a run of these settings can go: CanRun, the intensity within
// kMinIntensity..kMaxIntensity, a radius of 0 or more and, in the
// colour-noise mode, the colour strength within its range.
[[nodiscard]] bool RunnableSettings(const RunSettings& settings);

// Whether runs of a and b compute the same: every setting alike, the colour
// strength only while the colour-noise mode is on.
[[nodiscard]] bool SameRun(const RunSettings& a, const RunSettings& b);

// True when every channel is filtered fully (all three factors exactly 1.0f):
// the whole-pixel engine then gives the result, the per-channel one otherwise.
[[nodiscard]] bool UsesWholePixelEngine(const RunSettings& settings);

// Patch radius of every run the program makes: 3x3 patches.
constexpr int16_t kPatchRadius = 1;

// Preview: 3x3 patches, the noise image is wanted, viewChannel as chosen
// (0 colour, 1 red, 2 green, 3 blue).
[[nodiscard]] DenoiseParams PreviewParams(const RunSettings& settings, int16_t viewChannel);

// Full run: 3x3 patches, no noise image.
[[nodiscard]] DenoiseParams FullRunParams(const RunSettings& settings);

// The factors in the engine's byte order: blue, green, red.
[[nodiscard]] ChannelFactors EngineFactors(const RunSettings& settings);

}  // namespace calmora
