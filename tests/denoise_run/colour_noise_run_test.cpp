// The colour-noise mode against a plain computation over whole pictures, its
// area preview against its full run, and its hooks.
#include "denoise_run/colour_noise_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "denoise_run/ycrcb.h"
#include "imagefiles/row_stride.h"
#include "test_settings.h"

namespace calmora {
namespace {

using Bytes = std::vector<uint8_t>;

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

// Texture, fine noise and coarse colour blotches, so that every pass changes
// something and every candidate's weight matters.
Bytes MottledPicture(int32_t width, int32_t height, uint32_t seed) {
    Bytes bits(Stride(width) * height, 0);
    uint32_t state = seed;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int blotch = ((x / 7 + y / 9) % 3) * 12 - 12;
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 27) - 16;
                const int base = ((x / 5 + y / 4) % 2) * 50 + 2 * x + y + 20 * c;
                bits[y * Stride(width) + 3 * x + c] = static_cast<uint8_t>(
                    std::clamp(30 + base % 180 + noise + (c == 1 ? -blotch : blotch), 0, 255));
            }
        }
    return bits;
}

Bytes RgbRun(const Bytes& source, int32_t width, int32_t height, int16_t intensity,
             int16_t radius) {
    RunSettings s;
    s.sigma = intensity;
    s.radius = radius;
    Bytes out(source.size(), 0);
    EXPECT_EQ(RunFullDenoise(s, {source.data(), out.data(), width, height}, {}).end,
              RunEnd::Completed);
    return out;
}

// The mode computed the plain way: every pass over the whole picture, the
// quarter-size picture made block by block, and the change interpolated
// between its four nearest shrunk pixels.
Bytes PlainMode(const Bytes& source, int32_t w, int32_t h, const RunSettings& s,
                const ColourNoiseIntensities& in) {
    Bytes planes(source.size(), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const size_t at = y * Stride(w) + 3 * x;
            PlanesPixel(ToYCrCb(&source[at]), &planes[at]);
        }
    const Bytes luminance = RgbRun(planes, w, h, in.luminance, s.radius);
    const Bytes colour = in.colour > 0 ? RgbRun(planes, w, h, in.colour, s.radius) : planes;
    Bytes first(source.size(), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const size_t at = y * Stride(w) + 3 * x;
            FromYCrCb({double(luminance[at + 1]), double(colour[at + 2]), double(colour[at])},
                      &first[at]);
        }
    Bytes result = first;
    if (in.coarse > 0) {
        const int32_t sw = (w + 3) / 4, sh = (h + 3) / 4;
        std::vector<YCrCb> small(static_cast<size_t>(sw) * sh);
        Bytes smallBits(Stride(sw) * sh, 0);
        for (int32_t by = 0; by < sh; ++by)
            for (int32_t bx = 0; bx < sw; ++bx) {
                YCrCb sum;
                int count = 0;
                for (int32_t y = 4 * by; y < std::min(h, 4 * by + 4); ++y)
                    for (int32_t x = 4 * bx; x < std::min(w, 4 * bx + 4); ++x, ++count) {
                        const YCrCb c = ToYCrCb(&first[y * Stride(w) + 3 * x]);
                        sum.y += c.y;
                        sum.cr += c.cr;
                        sum.cb += c.cb;
                    }
                const YCrCb mean{sum.y / count, sum.cr / count, sum.cb / count};
                small[by * sw + bx] = mean;
                PlanesPixel(mean, &smallBits[by * Stride(sw) + 3 * bx]);
            }
        const Bytes coarse = RgbRun(smallBits, sw, sh, in.coarse, s.radius);
        const auto change = [&](int32_t bx, int32_t by, int byte) {
            const double before = byte == 2 ? small[by * sw + bx].cr : small[by * sw + bx].cb;
            return coarse[by * Stride(sw) + 3 * bx + byte] - before;
        };
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const double fy = std::clamp((y + 0.5) / 4 - 0.5, 0.0, sh - 1.0);
                const double fx = std::clamp((x + 0.5) / 4 - 0.5, 0.0, sw - 1.0);
                const int32_t y0 = int32_t(fy), x0 = int32_t(fx);
                const int32_t y1 = std::min(y0 + 1, sh - 1), x1 = std::min(x0 + 1, sw - 1);
                const double wy = fy - y0, wx = fx - x0;
                const auto lerp = [&](int byte) {
                    return (1 - wy) * ((1 - wx) * change(x0, y0, byte) + wx * change(x1, y0, byte)) +
                           wy * ((1 - wx) * change(x0, y1, byte) + wx * change(x1, y1, byte));
                };
                const size_t at = y * Stride(w) + 3 * x;
                YCrCb c = ToYCrCb(&first[at]);
                c.cr += lerp(2);
                c.cb += lerp(0);
                FromYCrCb(c, &result[at]);
            }
    }
    const float strengths[3] = {s.blue, s.green, s.red};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t at = y * Stride(w) + 3 * x + c;
                if (strengths[c] < 1.0f)
                    result[at] = static_cast<uint8_t>(static_cast<int>(
                        (1.0f - strengths[c]) * source[at] + strengths[c] * result[at]));
            }
    return result;
}

Bytes PlainMode(const Bytes& source, int32_t w, int32_t h, const RunSettings& s) {
    return PlainMode(source, w, h, s, ColourNoiseIntensitiesFor(s));
}

Bytes ModeRun(const Bytes& source, int32_t w, int32_t h, const RunSettings& s) {
    Bytes out(source.size(), 0);
    EXPECT_EQ(RunFullDenoise(s, {source.data(), out.data(), w, h}, {}).end, RunEnd::Completed);
    return out;
}

TEST(ColourNoiseRun, EqualsThePlainComputationOfEveryPass) {
    struct Case {
        const char* desc;
        int32_t width, height;
        RunSettings settings;
    };
    const Case cases[] = {
        {"sizes of the quarter grid", 48, 40, ColourNoiseSettings(30, 2, 20)},
        {"partial blocks on both edges", 43, 37, ColourNoiseSettings(25, 3, 35)},
        {"narrower than a block", 3, 29, ColourNoiseSettings(25, 2, 20)},
        {"one row", 30, 1, ColourNoiseSettings(25, 2, 20)},
        {"radius 0", 21, 18, ColourNoiseSettings(25, 0, 20)},
        {"strength 0: no coarse pass", 33, 26, ColourNoiseSettings(30, 2, 0)},
        {"channel strengths blend", 37, 31, ColourNoiseSettings(30, 2, 40, 0.5f, 1.0f, 0.25f)},
        {"strongest settings", 29, 27, ColourNoiseSettings(200, 4, 200)},
    };
    for (const Case& c : cases) {
        const Bytes source = MottledPicture(c.width, c.height, 77u);
        EXPECT_EQ(ModeRun(source, c.width, c.height, c.settings),
                  PlainMode(source, c.width, c.height, c.settings))
            << c.desc;
    }
}

// The program drives the colour at the luminance's intensity; the measuring
// tool sets the three intensities apart, and the colour pass then runs on its own.
TEST(ColourNoiseRun, ColourAtItsOwnIntensityEqualsThePlainComputation) {
    const int32_t w = 43, h = 37;
    const Bytes source = MottledPicture(w, h, 31u);
    const RunSettings s = ColourNoiseSettings(25, 3, 0);
    for (const ColourNoiseIntensities in :
         {ColourNoiseIntensities{25, 40, 30}, ColourNoiseIntensities{25, 0, 30},
          ColourNoiseIntensities{25, 25, 0}}) {
        const ColourNoiseJob job{in, s.radius, s.red, s.green, s.blue};
        Bytes out(source.size(), 0);
        ASSERT_TRUE(ComputeColourNoise(job, source.data(), w, h, {0, 0, w, h}, out.data(), {}));
        EXPECT_EQ(out, PlainMode(source, w, h, s, in))
            << in.luminance << "/" << in.colour << "/" << in.coarse;
    }
}

TEST(ColourNoiseRun, ChangesTheColourNoTheRgbModeAndOnlyWhenOn) {
    const int32_t w = 40, h = 32;
    const Bytes source = MottledPicture(w, h, 5u);
    RunSettings rgb;
    rgb.sigma = 30;
    rgb.radius = 2;
    RunSettings off = rgb;
    off.colourStrength = 150;  // no part in a run while the mode is off
    const Bytes rgbResult = ModeRun(source, w, h, rgb);
    EXPECT_EQ(ModeRun(source, w, h, off), rgbResult);
    EXPECT_EQ(rgbResult, RgbRun(source, w, h, 30, 2));
    EXPECT_NE(ModeRun(source, w, h, ColourNoiseSettings(30, 2, 20)), rgbResult);
}

TEST(ColourNoiseRun, RefusesBadSettingsAndCountsItsSteps) {
    const int32_t w = 24, h = 20;
    const Bytes source = MottledPicture(w, h, 9u);
    Bytes out(source.size(), 0);
    const FullRunImage image{source.data(), out.data(), w, h};
    for (int16_t strength : {int16_t{-1}, int16_t{kMaxColourStrength + 1}})
        EXPECT_EQ(RunFullDenoise(ColourNoiseSettings(20, 2, strength), image, {}).end, RunEnd::NotRun)
            << strength;
    EXPECT_EQ(RunFullDenoise(ColourNoiseSettings(0, 2, 20), image, {}).end, RunEnd::NotRun);
    EXPECT_EQ(RunFullDenoise(ColourNoiseSettings(20, 2, 20, 0, 0, 0), image, {}).end, RunEnd::NotRun);
    const FullRunImage inPlace{source.data(), const_cast<uint8_t*>(source.data()), w, h};
    EXPECT_EQ(RunFullDenoise(ColourNoiseSettings(20, 2, 20), inPlace, {}).end, RunEnd::NotRun);

    // A row of the full-size passes for each picture row, then one of the
    // coarse pass for each quarter-size row; a stop leaves rowsDone 0.
    std::vector<int32_t> steps;
    int32_t total = 0;
    const RunResult stopped =
        RunFullDenoise(ColourNoiseSettings(20, 2, 20), image, [&](int32_t step, int32_t of) {
            steps.push_back(step);
            total = of;
            return step < 22;
        });
    EXPECT_EQ(stopped.end, RunEnd::Stopped);
    EXPECT_EQ(stopped.rowsDone, 0);
    EXPECT_EQ(total, h + (h + 3) / 4);
    ASSERT_EQ(steps.size(), 23u);
    EXPECT_EQ(steps.back(), 22);
}

}  // namespace
}  // namespace calmora
