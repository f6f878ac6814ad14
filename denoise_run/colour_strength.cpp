#include "denoise_run/colour_strength.h"

#include <algorithm>

namespace calmora {

namespace {

// The coarse pass at kCoarseNumerator / kCoarseDenominator of the colour
// strength. On the camera-like noise of docs/colour-noise.md the best coarse
// intensity of each photo was 1.3 to 2.2 times its best colour intensity
// (a least-squares fit through zero gives 1.67); one setting then serves
// both passes, and the mottle that the full-size pass leaves is met at about
// the level that pass was set for. The measured cost of the fixed ratio
// against the best of each photo is in that note.
constexpr int kCoarseNumerator = 5;
constexpr int kCoarseDenominator = 3;

}  // namespace

ColourNoiseIntensities ColourNoiseIntensitiesFor(const RunSettings& settings) {
    const int strength = std::clamp<int>(settings.colourStrength, 0, kMaxColourStrength);
    const int coarse =
        (strength * kCoarseNumerator + kCoarseDenominator / 2) / kCoarseDenominator;
    return {settings.sigma, static_cast<int16_t>(strength),
            static_cast<int16_t>(std::min<int>(coarse, kMaxIntensity))};
}

}  // namespace calmora
