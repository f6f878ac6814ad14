// The intensities of the colour-noise mode's three passes, from the two
// settings a user sets: the intensity (luminance) and the colour strength.
#pragma once

#include <cstdint>

#include "denoise_run/run_settings.h"

namespace calmora {

// 0 for a pass means that pass is left out.
struct ColourNoiseIntensities {
    int16_t luminance = 0;  // Y at full size
    int16_t colour = 0;     // Cr and Cb at full size
    int16_t coarse = 0;     // Cr and Cb at a quarter of the size, after the full-size pass
};

// Luminance at sigma; colour at the strength; the coarse pass at a fixed
// multiple of the strength (see the .cpp for why that multiple).
[[nodiscard]] ColourNoiseIntensities ColourNoiseIntensitiesFor(const RunSettings& settings);

}  // namespace calmora
