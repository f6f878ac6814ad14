#include "denoise_run/colour_strength.h"

#include <algorithm>

namespace calmora {

// The colour at full size takes the intensity, and the one colour setting a
// user has is the coarse pass's intensity. Of the ways measured to drive both
// colour passes from one setting (docs/colour-noise.md), this one kept almost
// all of the gain on camera-like colour mottle (where the best coarse
// intensity of a photo was 24 to 64) and lost nothing on plain Gaussian
// noise, where the best was no coarse pass at all (setting 0) and colour at
// about the luminance's intensity. Tying the coarse intensity to a colour
// strength instead (at 1/2 to 5/3 of it) gained up to 0.05 dB more on the
// mottle but lost 0.3 to 2 dB on Gaussian noise against the RGB mode.
ColourNoiseIntensities ColourNoiseIntensitiesFor(const RunSettings& settings) {
    const int coarse = std::clamp<int>(settings.colourStrength, 0, kMaxColourStrength);
    return {settings.sigma, settings.sigma, static_cast<int16_t>(coarse)};
}

}  // namespace calmora
