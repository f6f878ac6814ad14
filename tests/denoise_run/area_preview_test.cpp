#include "denoise_run/area_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/row_stride.h"
#include "test_settings.h"

namespace calmora {
namespace {

constexpr int32_t kWidth = 41;  // odd: rows carry padding
constexpr int32_t kHeight = 33;

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

// Texture and noise everywhere, so that every candidate's weight matters.
std::vector<uint8_t> NoisyImage() {
    std::vector<uint8_t> image(Stride(kWidth) * kHeight, 0);
    uint32_t state = 987654u;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 27) - 16;
                const int base = ((x / 5 + y / 4) % 2) * 60 + 3 * x + 2 * y + 25 * c;
                image[y * Stride(kWidth) + 3 * x + c] =
                    static_cast<uint8_t>(std::clamp(40 + base + noise, 0, 255));
            }
    return image;
}

std::vector<uint8_t> FullRun(const RunSettings& s, const std::vector<uint8_t>& source) {
    std::vector<uint8_t> out(source.size(), 0);
    const FullRunImage image{source.data(), out.data(), kWidth, kHeight};
    EXPECT_EQ(RunFullDenoise(s, image, {}).end, RunEnd::Completed);
    return out;
}

struct Area {
    int32_t left, top, width, height;
};

struct Outputs {
    std::vector<uint8_t> denoised, noise, channelDenoised, channelNoise;
    explicit Outputs(const Area& a)
        : denoised(Stride(a.width) * a.height, 7), noise(denoised), channelDenoised(denoised),
          channelNoise(denoised) {}
};

RunResult Preview(const RunSettings& s, const std::vector<uint8_t>& image, const Area& a,
                  Outputs& out, int16_t channel = 0) {
    AreaPreviewImage p;
    p.image = image.data();
    p.imageWidth = kWidth;
    p.imageHeight = kHeight;
    p.left = a.left;
    p.top = a.top;
    p.denoised = out.denoised.data();
    p.noise = out.noise.data();
    p.channelDenoised = out.channelDenoised.data();
    p.channelNoise = out.channelNoise.data();
    p.width = a.width;
    p.height = a.height;
    PreviewHooks hooks;
    hooks.viewChannel = [channel] { return channel; };
    return RunAreaPreview(s, p, hooks);
}

// The byte of channel c at area pixel (x, row-from-top y) against the image's.
void ExpectAreaEqualsFullRun(const RunSettings& s, const Area& a, const std::string& what) {
    const std::vector<uint8_t> image = NoisyImage();
    const std::vector<uint8_t> full = FullRun(s, image);
    Outputs out(a);
    ASSERT_EQ(Preview(s, image, a, out).end, RunEnd::Completed) << what;
    int mismatches = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t imageAt =
                    (kHeight - 1 - (a.top + y)) * Stride(kWidth) + 3 * (a.left + x) + c;
                const size_t areaAt = (a.height - 1 - y) * Stride(a.width) + 3 * x + c;
                const uint8_t noise = static_cast<uint8_t>(image[imageAt] - full[imageAt]);
                if (out.denoised[areaAt] != full[imageAt] || out.noise[areaAt] != noise)
                    ++mismatches;
            }
    EXPECT_EQ(mismatches, 0) << what;
}

TEST(AreaPreview, EveryPixelEqualsTheFullRunAtEveryPlaceOfTheArea) {
    // Inside, at each edge and corner, one pixel off the edges, and an area
    // as large as the image.
    const Area areas[] = {{14, 10, 12, 9},  {0, 0, 12, 9},   {29, 24, 12, 9}, {0, 24, 12, 9},
                          {29, 0, 12, 9},   {1, 1, 12, 9},   {28, 23, 12, 9}, {3, 12, 12, 9},
                          {20, 2, 21, 30},  {0, 0, kWidth, kHeight}, {40, 32, 1, 1}};
    const RunSettings settings[] = {TestSettings(12, 2, 1.0f, 1.0f, 1.0f),
                                    TestSettings(25, 5, 1.0f, 1.0f, 1.0f),
                                    TestSettings(18, 3, 0.5f, 1.0f, 0.0f),
                                    TestSettings(40, 12, 0.3f, 0.7f, 1.0f)};
    for (const RunSettings& s : settings)
        for (const Area& a : areas)
            ExpectAreaEqualsFullRun(s, a,
                                    "radius " + std::to_string(s.radius) + " factors " +
                                        std::to_string(s.red) + " area at " +
                                        std::to_string(a.left) + "," + std::to_string(a.top));
}

TEST(AreaPreview, ChannelViewsAreGreyCopiesAndHooksSeeAreaRows) {
    const std::vector<uint8_t> image = NoisyImage();
    const Area a{5, 6, 10, 8};
    const RunSettings s = TestSettings(20, 4, 1.0f, 0.6f, 1.0f);
    Outputs out(a);
    std::vector<int32_t> rows;
    std::vector<int16_t> shown;
    AreaPreviewImage p{image.data(), kWidth, kHeight, a.left, a.top, out.denoised.data(),
                       out.noise.data(), out.channelDenoised.data(), out.channelNoise.data(),
                       a.width, a.height};
    PreviewHooks hooks;
    hooks.beforeRow = [&rows](int32_t row, int32_t height) {
        EXPECT_EQ(height, 8);
        rows.push_back(row);
        return row < 5;  // stop before the sixth row
    };
    hooks.viewChannel = [] { return int16_t{1}; };  // red
    hooks.rowDone = [&shown](int32_t, int16_t channel) { shown.push_back(channel); };
    const RunResult result = RunAreaPreview(s, p, hooks);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(result.rowsDone, 5);
    EXPECT_EQ(rows, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(shown, (std::vector<int16_t>(5, 1)));
    for (int32_t row = 0; row < 8; ++row)
        for (int32_t x = 0; x < a.width; ++x) {
            const size_t at = row * Stride(a.width) + 3 * x;
            for (int c = 0; c < 3; ++c) {
                if (row < 5) {
                    EXPECT_EQ(out.channelDenoised[at + c], out.denoised[at + 2]);
                    EXPECT_EQ(out.channelNoise[at + c], out.noise[at + 2]);
                } else {  // rows never computed keep what the caller put there
                    EXPECT_EQ(out.denoised[at + c], 7);
                    EXPECT_EQ(out.channelDenoised[at + c], 7);
                }
            }
        }
}

TEST(AreaPreview, RefusesAnAreaOutsideTheImageAndOutputsInsideIt) {
    std::vector<uint8_t> image = NoisyImage();
    const RunSettings s = TestSettings(10, 2, 1.0f, 1.0f, 1.0f);
    const Area outside[] = {{-1, 0, 5, 5}, {0, -1, 5, 5}, {37, 0, 5, 5}, {0, 29, 5, 5},
                            {0, 0, 0, 5}};
    for (const Area& a : outside) {
        Outputs out(a.width > 0 ? a : Area{0, 0, 1, 1});
        EXPECT_EQ(Preview(s, image, a, out).end, RunEnd::NotRun);
    }
    AreaPreviewImage p{image.data(), kWidth, kHeight, 0, 0, image.data() + 3, nullptr,
                       nullptr, nullptr, 4, 4};
    std::vector<uint8_t> noise(Stride(4) * 4);
    p.noise = noise.data();
    const std::vector<uint8_t> before = image;
    EXPECT_EQ(RunAreaPreview(s, p, {}).end, RunEnd::NotRun);
    EXPECT_EQ(image, before);
    Outputs out(Area{0, 0, 4, 4});
    EXPECT_EQ(Preview(TestSettings(0, 2, 1.0f, 1.0f, 1.0f), image, {0, 0, 4, 4}, out).end,
              RunEnd::NotRun);
}

}  // namespace
}  // namespace calmora
