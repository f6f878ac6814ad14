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

// Luminance and colour at full size at sigma, the coarse pass at the colour
// strength (0 leaves it out); the .cpp says why.
[[nodiscard]] ColourNoiseIntensities ColourNoiseIntensitiesFor(const RunSettings& settings);

}  // namespace calmora
