// The colour-noise mode's preview of an area is its full run's result there,
// at every place of the area, and its views are made as the RGB mode's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "denoise_run/colour_noise_run.h"
#include "imagefiles/row_stride.h"
#include "test_settings.h"

namespace calmora {
namespace {

using Bytes = std::vector<uint8_t>;

// Wide enough that an area in the middle needs context on every side that
// the image still has: the coarse pass reaches (radius + 2) * 4 pixels and
// more beyond the area.
constexpr int32_t kWidth = 150;
constexpr int32_t kHeight = 111;

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

Bytes Picture() {
    Bytes bits(Stride(kWidth) * kHeight, 0);
    uint32_t state = 4242u;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const int blotch = ((x / 11 + y / 13 + c) % 3) * 14;
                const int edge = x > 70 ? 60 : 0;
                bits[y * Stride(kWidth) + 3 * x + c] = static_cast<uint8_t>(std::clamp(
                    50 + blotch + edge + static_cast<int>(state >> 27) - 16, 0, 255));
            }
    return bits;
}

struct Area {
    int32_t left, top, width, height;  // top counted from the picture's top line
};

struct Outputs {
    Bytes denoised, noise, channelDenoised, channelNoise;
    explicit Outputs(const Area& a)
        : denoised(Stride(a.width) * a.height, 7), noise(denoised), channelDenoised(denoised),
          channelNoise(denoised) {}
};

AreaPreviewImage AreaOf(const Bytes& image, const Area& a, Outputs& out) {
    return {image.data(), kWidth, kHeight, a.left, a.top, out.denoised.data(), out.noise.data(),
            out.channelDenoised.data(), out.channelNoise.data(), a.width, a.height};
}

TEST(ColourNoiseArea, EqualsTheFullRunAtEveryPlace) {
    const Bytes image = Picture();
    const Area areas[] = {
        {68, 50, 17, 13},  {0, 0, 17, 13},   {133, 98, 17, 13}, {0, 98, 17, 13},
        {133, 0, 17, 13},  {1, 1, 17, 13},   {66, 49, 19, 14},  {67, 51, 16, 12},
        {3, 2, 1, 1},      {149, 110, 1, 1}, {20, 30, 120, 70}, {0, 0, kWidth, kHeight}};
    const RunSettings settings[] = {ColourNoiseSettings(25, 2, 20), ColourNoiseSettings(30, 5, 45, 0.6f), ColourNoiseSettings(20, 3, 0)};
    for (const RunSettings& s : settings) {
        Bytes full(image.size(), 0);
        ASSERT_EQ(RunFullDenoise(s, {image.data(), full.data(), kWidth, kHeight}, {}).end,
                  RunEnd::Completed);
        for (const Area& a : areas) {
            Outputs out(a);
            ASSERT_EQ(RunAreaPreview(s, AreaOf(image, a, out), {}).end, RunEnd::Completed);
            int mismatches = 0;
            for (int32_t y = 0; y < a.height; ++y)
                for (int32_t x = 0; x < 3 * a.width; ++x) {
                    const size_t at = (kHeight - 1 - (a.top + y)) * Stride(kWidth) + 3 * a.left + x;
                    const size_t areaAt = (a.height - 1 - y) * Stride(a.width) + x;
                    if (out.denoised[areaAt] != full[at] ||
                        out.noise[areaAt] != static_cast<uint8_t>(image[at] - full[at]))
                        ++mismatches;
                }
            EXPECT_EQ(mismatches, 0) << "radius " << s.radius << " strength "
                                     << s.colourStrength << " area at " << a.left << "," << a.top
                                     << " size " << a.width << "x" << a.height;
        }
    }
}

TEST(ColourNoiseArea, WholeImageAndChannelViewsAsInRgbMode) {
    const Bytes image = Picture();
    const RunSettings s = ColourNoiseSettings(25, 2, 30);
    Bytes full(image.size(), 0);
    ASSERT_EQ(RunFullDenoise(s, {image.data(), full.data(), kWidth, kHeight}, {}).end,
              RunEnd::Completed);

    // The whole-image layout previews a bare copy of the picture.
    const Area whole{0, 0, kWidth, kHeight};
    Outputs out(whole);
    out.denoised.assign(full.size(), 0);  // so that the rows' padding compares too
    std::vector<int16_t> shown;
    int32_t steps = 0;
    PreviewHooks hooks;
    hooks.beforeRow = [&steps](int32_t, int32_t of) {
        steps = of;
        return true;
    };
    hooks.viewChannel = [] { return int16_t{2}; };  // green
    hooks.rowDone = [&shown](int32_t, int16_t channel) { shown.push_back(channel); };
    const PreviewImage copy{image.data(), out.denoised.data(), out.noise.data(),
                            out.channelDenoised.data(), out.channelNoise.data(), kWidth, kHeight};
    ASSERT_EQ(RunPreviewDenoise(s, copy, hooks).end, RunEnd::Completed);
    EXPECT_EQ(out.denoised, full);
    EXPECT_EQ(steps, kHeight + (kHeight + 3) / 4);
    EXPECT_EQ(shown, std::vector<int16_t>(kHeight, 2));
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const size_t at = y * Stride(kWidth) + 3 * x;
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(out.channelDenoised[at + c], full[at + 1]) << x << "," << y;
                ASSERT_EQ(out.channelNoise[at + c], static_cast<uint8_t>(image[at + 1] - full[at + 1]));
            }
        }

    // Without the grey pair a channel row is told -1 and only colour is written.
    const Area a{40, 40, 20, 10};
    Outputs bare(a);
    AreaPreviewImage p = AreaOf(image, a, bare);
    p.channelDenoised = p.channelNoise = nullptr;
    shown.clear();
    hooks.beforeRow = {};
    ASSERT_EQ(RunAreaPreview(s, p, hooks).end, RunEnd::Completed);
    EXPECT_EQ(shown, std::vector<int16_t>(10, -1));
    EXPECT_EQ(bare.channelDenoised, Bytes(bare.channelDenoised.size(), 7));

    // A stop before the last step leaves the outputs as they were.
    Outputs stopped(a);
    hooks.beforeRow = [](int32_t step, int32_t of) { return step < of - 1; };
    EXPECT_EQ(RunAreaPreview(s, AreaOf(image, a, stopped), hooks).end, RunEnd::Stopped);
    EXPECT_EQ(stopped.noise, Bytes(stopped.noise.size(), 7));
}

}  // namespace
}  // namespace calmora
