// The ranges and starting values of a run's settings, shared by the dialog's
// sliders and fields, the batch tool's options and its --help, and the weight
// table, so that they cannot drift apart.
#pragma once

#include <cstdint>

namespace calmora {

// Intensity (sigma). 0 stands for "not chosen yet": the dialog opens at 0 and
// offers no run until the user picks a strength (its slider runs from
// kNoIntensity to kMaxIntensity). The weight table takes kMinIntensity to
// kMaxIntensity; its cut-off, 14 * sigma^2, then stays in 32 bits.
constexpr int16_t kNoIntensity = 0;
constexpr int16_t kMinIntensity = 1;
constexpr int16_t kMaxIntensity = 200;
constexpr int16_t kDefaultIntensity = 10;  // the batch tool's default

// Search radius in pixels offered by the dialog's slider and the batch tool's
// option (the row loop itself takes any radius from 0).
constexpr int16_t kMinRadius = 2;
constexpr int16_t kMaxRadius = 12;
constexpr int16_t kDefaultRadius = 2;

// Channel strength in percent; 100 filters the channel fully.
constexpr int kMinChannelPercent = 0;
constexpr int kMaxChannelPercent = 100;
constexpr int kDefaultChannelPercent = 100;

// Colour strength of the colour-noise mode: the intensity of its coarse pass
// against colour blotches, on the intensity's scale (colour_strength.h); 0
// leaves that pass out.
constexpr int16_t kMinColourStrength = 0;
constexpr int16_t kMaxColourStrength = kMaxIntensity;
constexpr int16_t kDefaultColourStrength = 20;

static_assert(kMinIntensity <= kDefaultIntensity && kDefaultIntensity <= kMaxIntensity);
static_assert(kMinRadius <= kDefaultRadius && kDefaultRadius <= kMaxRadius);
static_assert(kMinChannelPercent <= kDefaultChannelPercent &&
              kDefaultChannelPercent <= kMaxChannelPercent);
static_assert(kMinColourStrength <= kDefaultColourStrength &&
              kDefaultColourStrength <= kMaxColourStrength);
static_assert(14LL * kMaxIntensity * kMaxIntensity <= INT32_MAX,
              "the weight table's cut-off must fit DenoiseJob.tableLength");

}  // namespace calmora
