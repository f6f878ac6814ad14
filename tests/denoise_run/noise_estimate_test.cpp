#include "denoise_run/noise_estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "denoise_run/setting_ranges.h"
#include "imagefiles/row_stride.h"

namespace calmora {
namespace {

struct Image {
    int32_t width, height;
    std::vector<uint8_t> bits;
    Image(int32_t w, int32_t h)
        : width(w), height(h), bits(static_cast<size_t>(RowStride(w)) * h, 0) {}
    uint8_t& At(int32_t x, int32_t y, int c) {
        return bits[static_cast<size_t>(y * RowStride(width) + 3 * x + c)];
    }
};

// A smooth photo-like picture (ramps and a slow wave, far from clipping)
// with Gaussian noise of sigma[c] on buffer channel c (blue, green, red).
Image Noisy(int32_t w, int32_t h, const double (&sigma)[3], uint32_t seed) {
    Image image(w, h);
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const double base = 70 + 0.1 * (x % 400) + 0.08 * (y % 400) + 40 * std::sin(x * 0.02 + c);
                image.At(x, y, c) = static_cast<uint8_t>(
                    std::clamp(std::lround(base + sigma[c] * normal(random)), 1L, 254L));
            }
    return image;
}

TEST(NoiseEstimate, MeasuresEachChannelsGaussianNoise) {
    for (const double level : {2.0, 5.0, 10.0, 20.0}) {
        const double sigma[3] = {level, level, level};
        const Image image = Noisy(400, 300, sigma, 11);
        const NoiseEstimate e = EstimateNoise(image.bits.data(), 400, 300);
        EXPECT_EQ(e.samples, 398 * 298);
        for (const double got : {e.red, e.green, e.blue})
            EXPECT_NEAR(got, level, 0.08 * level + 0.3) << "sigma " << level;
    }
    // Buffer order is blue, green, red.
    const double mixed[3] = {3.0, 9.0, 18.0};
    const Image image = Noisy(400, 300, mixed, 12);
    const NoiseEstimate e = EstimateNoise(image.bits.data(), 400, 300);
    EXPECT_NEAR(e.blue, 3.0, 0.5);
    EXPECT_NEAR(e.green, 9.0, 0.8);
    EXPECT_NEAR(e.red, 18.0, 1.5);
    EXPECT_NEAR(e.Mean(), 10.0, 1.0);
}

TEST(NoiseEstimate, EdgesClippingAndSamplingDoNotMisleadIt) {
    const double sigma[3] = {8.0, 8.0, 8.0};
    Image image = Noisy(600, 400, sigma, 13);
    // Hard-edged blocks over a third of the picture: the median is barely moved.
    for (int32_t y = 0; y < 400; ++y)
        for (int32_t x = 0; x < 200; ++x)
            if ((x / 6 + y / 6) % 2)
                for (int c = 0; c < 3; ++c) image.At(x, y, c) = static_cast<uint8_t>(
                                                  std::min(254, image.At(x, y, c) + 90));
    // A burnt-out sky (all 255) and a black shadow are left out, not read as "no noise".
    for (int32_t y = 300; y < 400; ++y)
        for (int32_t x = 200; x < 600; ++x)
            for (int c = 0; c < 3; ++c) image.At(x, y, c) = y < 350 ? 255 : 0;
    const NoiseEstimate e = EstimateNoise(image.bits.data(), 600, 400);
    EXPECT_LT(e.samples, 598 * 398 - 400 * 90);
    EXPECT_NEAR(e.Mean(), 8.0, 1.0);

    // A large photo is sampled on a grid of at most kMaxNoiseSamples windows.
    const Image large = Noisy(2400, 2000, sigma, 14);
    const NoiseEstimate sampled = EstimateNoise(large.bits.data(), 2400, 2000);
    EXPECT_LE(sampled.samples, kMaxNoiseSamples);
    EXPECT_GT(sampled.samples, kMaxNoiseSamples / 2);
    EXPECT_NEAR(sampled.Mean(), 8.0, 0.5);
}

TEST(NoiseEstimate, NothingToMeasureGivesNoSamples) {
    Image tiny(2, 5);
    EXPECT_EQ(EstimateNoise(tiny.bits.data(), 2, 5).samples, 0);
    EXPECT_EQ(EstimateNoise(nullptr, 100, 100).samples, 0);
    Image white(50, 40);
    std::fill(white.bits.begin(), white.bits.end(), 255);
    const NoiseEstimate e = EstimateNoise(white.bits.data(), 50, 40);
    EXPECT_EQ(e.samples, 0);
    EXPECT_EQ(e.Mean(), 0.0);
    // A clean smooth picture has next to no noise.
    Image clean(60, 50);
    for (int32_t y = 0; y < 50; ++y)
        for (int32_t x = 0; x < 60; ++x)
            for (int c = 0; c < 3; ++c) clean.At(x, y, c) = static_cast<uint8_t>(40 + x + y);
    EXPECT_LT(EstimateNoise(clean.bits.data(), 60, 50).Mean(), 0.5);
}

TEST(SuggestedIntensity, GrowsWithNoiseShrinksWithRadiusInRange) {
    NoiseEstimate e;
    e.samples = 1;
    e.red = e.green = e.blue = 10.0;
    const int16_t at2 = SuggestedIntensity(e, 2), at5 = SuggestedIntensity(e, 5),
                  at12 = SuggestedIntensity(e, 12);
    // The measured best lies near 3.4, 2.6 and 2.2 times the noise.
    EXPECT_NEAR(at2, 34, 2);
    EXPECT_NEAR(at5, 26, 2);
    EXPECT_NEAR(at12, 22, 2);
    EXPECT_GT(at2, at5);
    EXPECT_GT(at5, at12);
    e.red = e.green = e.blue = 20.0;
    EXPECT_GT(SuggestedIntensity(e, 5), at5);
    e.red = e.green = e.blue = 0.0;
    EXPECT_EQ(SuggestedIntensity(e, 5), kMinIntensity);
    e.red = e.green = e.blue = 500.0;
    EXPECT_EQ(SuggestedIntensity(e, 2), kMaxIntensity);
}

}  // namespace
}  // namespace calmora
