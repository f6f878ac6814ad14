#include "denoise_run/noise_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "denoise_run/setting_ranges.h"
#include "imagefiles/row_stride.h"

namespace calmora {

namespace {

// |response| of the mask lies in 0..16 * 255.
constexpr int kLargestResponse = 16 * 255;
// The median of |N(0, s)| is 0.6745 s, and the mask's noise response has s = 6 sigma.
constexpr double kMedianToSigma = 1.0 / (0.67449 * 6.0);

using Histogram = std::vector<uint32_t>;

double MedianOf(const Histogram& histogram, int64_t count) {
    if (count == 0) return 0.0;
    // The average of the two middle values, with the lower one found first.
    const int64_t lower = (count - 1) / 2, upper = count / 2;
    int64_t seen = 0;
    int lowValue = -1;
    for (int value = 0; value <= kLargestResponse; ++value) {
        seen += histogram[static_cast<size_t>(value)];
        if (lowValue < 0 && seen > lower) lowValue = value;
        if (seen > upper) return 0.5 * (lowValue + value);
    }
    return kLargestResponse;
}

}  // namespace

NoiseEstimate EstimateNoise(const uint8_t* bits, int32_t width, int32_t height) {
    NoiseEstimate estimate;
    if (!bits || width < 3 || height < 3) return estimate;
    const int64_t stride = RowStride(width);
    const int64_t windows = int64_t{width - 2} * (height - 2);
    // A grid step that keeps the windows at kMaxNoiseSamples or fewer.
    int32_t step = 1;
    while (windows / (int64_t{step} * step) > kMaxNoiseSamples) ++step;

    std::array<Histogram, 3> histograms;
    for (Histogram& h : histograms) h.assign(kLargestResponse + 1, 0);
    int64_t count = 0;
    for (int32_t y = 1; y + 1 < height; y += step) {
        const uint8_t* above = bits + (y + 1) * stride;
        const uint8_t* row = bits + y * stride;
        const uint8_t* below = bits + (y - 1) * stride;
        for (int32_t x = 1; x + 1 < width; x += step) {
            const int64_t l = 3 * int64_t{x - 1}, m = 3 * int64_t{x}, r = 3 * int64_t{x + 1};
            bool clipped = false;
            std::array<int, 3> response{};
            for (int c = 0; c < 3; ++c) {
                const int a0 = above[l + c], a1 = above[m + c], a2 = above[r + c];
                const int b0 = row[l + c], b1 = row[m + c], b2 = row[r + c];
                const int c0 = below[l + c], c1 = below[m + c], c2 = below[r + c];
                const int lo = std::min({a0, a1, a2, b0, b1, b2, c0, c1, c2});
                const int hi = std::max({a0, a1, a2, b0, b1, b2, c0, c1, c2});
                clipped = clipped || lo == 0 || hi == 255;
                response[static_cast<size_t>(c)] = std::abs(a0 - 2 * a1 + a2 - 2 * (b0 + b2) +
                                                            4 * b1 + c0 - 2 * c1 + c2);
            }
            if (clipped) continue;
            for (size_t c = 0; c < 3; ++c) ++histograms[c][static_cast<size_t>(response[c])];
            ++count;
        }
    }
    estimate.samples = count;
    // Buffer order is blue, green, red.
    estimate.blue = MedianOf(histograms[0], count) * kMedianToSigma;
    estimate.green = MedianOf(histograms[1], count) * kMedianToSigma;
    estimate.red = MedianOf(histograms[2], count) * kMedianToSigma;
    return estimate;
}

int16_t SuggestedIntensity(const NoiseEstimate& estimate, int16_t radius) {
    // The best intensity is a multiple of the noise that shrinks as the
    // window grows (a larger window finds more similar patches, so a smaller
    // weight spread does). Fitted to the best intensities measured at radius
    // 2, 5 and 9: geometric mean ratios 3.35, 2.57, 2.29.
    const double r = std::max<int16_t>(radius, 1);
    const double suggestion = std::round((2.0 + 2.73 / r) * estimate.Mean());
    return static_cast<int16_t>(std::clamp<double>(suggestion, kMinIntensity, kMaxIntensity));
}

}  // namespace calmora
