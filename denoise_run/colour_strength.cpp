#include "denoise_run/colour_strength.h"

#include <algorithm>

namespace calmora {

// The colour at full size takes the intensity, and the one colour setting a
// user has is the coarse pass's intensity. Of the ways measured to drive both
// colour passes from one setting (docs/colour-noise.md), this one kept two
// thirds of the best gain on camera-like colour mottle (+0.63 dB over the RGB
// mode; the best coarse intensity of a photo was 23 to 63) and still gained
// on plain Gaussian noise (+0.45 dB), where the best was no coarse pass and
// the colour at about the luminance's intensity. Tying the coarse intensity
// to a colour strength instead (at 1/2 to 5/3 of it) gained 0.05 to 0.35 dB
// more on the mottle but lost on Gaussian noise against the RGB mode (0.02 to
// 0.94 dB on average, up to 2 dB on a photo).
ColourNoiseIntensities ColourNoiseIntensitiesFor(const RunSettings& settings) {
    const int coarse = std::clamp<int>(settings.colourStrength, 0, kMaxColourStrength);
    return {settings.sigma, settings.sigma, static_cast<int16_t>(coarse)};
}

}  // namespace calmora
