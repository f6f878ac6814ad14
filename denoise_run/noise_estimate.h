// An estimate of a photo's noise, per colour channel, and the intensity it
// suggests.
//
// The estimator is Immerkaer's: the 3x3 mask
//     1 -2  1
//    -2  4 -2
//     1 -2  1
// (the difference of two Laplacians) cancels every plane and ramp, so on a
// smooth part of a photo its response is noise alone, with 6 times the noise's
// standard deviation. Instead of Immerkaer's mean of the absolute response,
// which every edge and texture inflates, the median of the absolute response
// is taken (divided by 0.6745 * 6, the median of |N(0, 6)|): up to half the
// photo may be texture before the median moves much. Windows that touch a
// clipped byte (0 or 255) are left out, since clipping hides noise. The
// response is an integer of known range, so the median comes from a histogram
// in one pass, without sorting; large photos are sampled on a regular grid of
// at most kMaxNoiseSamples windows.
#pragma once

#include <cstdint>

namespace calmora {

constexpr int64_t kMaxNoiseSamples = 1'000'000;

struct NoiseEstimate {
    // Standard deviation of the noise in levels of 0..255, per channel.
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    int64_t samples = 0;  // windows used per channel; 0 when the photo gave none

    [[nodiscard]] double Mean() const { return (red + green + blue) / 3.0; }
};

// bits in the 24-bit layout (rows bottom-up, stride RowStride(width)). A
// photo smaller than 3 x 3, or all clipped, gives samples 0 and sigma 0.
[[nodiscard]] NoiseEstimate EstimateNoise(const uint8_t* bits, int32_t width, int32_t height);

// The intensity that gives about the best PSNR at search radius `radius` for
// noise of this estimate (see docs/noise-calibration.md for the measurements
// the rule is fitted to), within kMinIntensity..kMaxIntensity.
[[nodiscard]] int16_t SuggestedIntensity(const NoiseEstimate& estimate, int16_t radius);

}  // namespace calmora
