#include "denoise_run/row_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "denoise_run/weight_table.h"
#include "imagefiles/row_stride.h"

namespace calmora {
namespace {

constexpr int32_t kWidth = 23;  // odd: rows carry padding
constexpr int32_t kHeight = 17;

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

// A gradient with deterministic noise, so that weights really vary.
std::vector<uint8_t> NoisyImage(int32_t width, int32_t height) {
    std::vector<uint8_t> image(Stride(width) * height, 0);
    uint32_t state = 12345;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 28) - 8;
                image[y * Stride(width) + 3 * x + c] =
                    static_cast<uint8_t>(std::clamp(40 + 5 * x + 3 * y + 20 * c + noise, 0, 255));
            }
    return image;
}

RunSettings Settings(float red, float green, float blue) {
    RunSettings s;
    s.sigma = 3;
    s.radius = 3;
    s.red = red;
    s.green = green;
    s.blue = blue;
    return s;
}

// The whole image in one engine call: what the row loop must reproduce.
std::vector<uint8_t> OneCall(const RunSettings& s, const std::vector<uint8_t>& source,
                             uint8_t fill = 0) {
    std::vector<uint8_t> out(source.size(), fill);  // padding keeps the fill
    const std::vector<float> table = BuildWeightTable(s.sigma);
    const DenoiseJob job{0, kHeight - 1, kWidth, kHeight, WeightTableLength(s.sigma)};
    const DenoiseParams params = FullRunParams(s);
    const ChannelFactors factors = EngineFactors(s);
    if (UsesWholePixelEngine(s))
        KcDenoiseCompleta(&job, &params, source.data(), out.data(), table.data(), nullptr);
    else
        KcDenoisePerCanale(&job, &params, source.data(), out.data(), table.data(), nullptr,
                           &factors);
    return out;
}

TEST(FullRun, RowByRowEqualsOneWholeImageCall) {
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    for (const RunSettings& s : {Settings(1, 1, 1), Settings(1, 1, 0.99f), Settings(0.3f, 0, 1)}) {
        std::vector<uint8_t> out(source.size(), 0);
        std::vector<int32_t> asked;
        const RunResult result = RunFullDenoise(s, {source.data(), out.data(), kWidth, kHeight},
                                                [&](int32_t row, int32_t height) {
                                                    EXPECT_EQ(height, kHeight);
                                                    asked.push_back(row);
                                                    return true;
                                                });
        EXPECT_EQ(result.end, RunEnd::Completed);
        EXPECT_EQ(result.rowsDone, kHeight);
        EXPECT_EQ(asked.size(), static_cast<size_t>(kHeight));
        for (int32_t i = 0; i < static_cast<int32_t>(asked.size()); ++i) EXPECT_EQ(asked[i], i);
        EXPECT_TRUE(out == OneCall(s, source)) << "red factor " << s.red;
        EXPECT_NE(out, source);
    }
}

TEST(FullRun, PerChannelFactorsReallyReachTheEngine) {
    // A red factor of 0 must leave every red byte as it was, and only red.
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    std::vector<uint8_t> out(source.size(), 0);
    ASSERT_EQ(RunFullDenoise(Settings(0, 1, 1), {source.data(), out.data(), kWidth, kHeight}, {})
                  .end,
              RunEnd::Completed);
    bool otherChannelChanged = false;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const size_t at = y * Stride(kWidth) + 3 * x;
            ASSERT_EQ(out[at + 2], source[at + 2]) << "red at " << x << "," << y;
            otherChannelChanged |= out[at] != source[at] || out[at + 1] != source[at + 1];
        }
    EXPECT_TRUE(otherChannelChanged);
}

TEST(FullRun, StoppingBeforeRowKLeavesExactlyRowsBelowKWritten) {
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    const RunSettings s = Settings(1, 1, 1);
    const std::vector<uint8_t> reference = OneCall(s, source, 0x5A);
    for (int32_t k : {0, 1, 9, kHeight - 1}) {
        std::vector<uint8_t> out(source.size(), 0x5A);
        int32_t calls = 0;
        const RunResult result =
            RunFullDenoise(s, {source.data(), out.data(), kWidth, kHeight}, [&](int32_t row, int32_t) {
                ++calls;
                return row < k;
            });
        EXPECT_EQ(result.end, RunEnd::Stopped);
        EXPECT_EQ(result.rowsDone, k);
        EXPECT_EQ(calls, k + 1);
        const size_t split = k * Stride(kWidth);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + split, reference.begin()))
            << "rows below " << k;
        for (size_t i = split; i < out.size(); ++i) ASSERT_EQ(out[i], 0x5A) << "byte " << i;
    }
}

TEST(FullRun, NothingRunsOrIsWrittenWhenTheSettingsAllowNoRun) {
    std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    std::vector<uint8_t> out(source.size(), 7);
    const FullRunImage image{source.data(), out.data(), kWidth, kHeight};
    RunSettings noIntensity = Settings(1, 1, 1);
    noIntensity.sigma = 0;
    RunSettings tooStrong = Settings(1, 1, 1);
    tooStrong.sigma = kMaxIntensity + 1;
    bool called = false;
    const auto gate = [&](int32_t, int32_t) { return called = true; };
    EXPECT_EQ(RunFullDenoise(noIntensity, image, gate).end, RunEnd::NotRun);
    EXPECT_EQ(RunFullDenoise(tooStrong, image, gate).end, RunEnd::NotRun);
    EXPECT_EQ(RunFullDenoise(Settings(0, 0, 0), image, gate).end, RunEnd::NotRun);
    EXPECT_EQ(RunFullDenoise(Settings(1, 1, 1), {source.data(), source.data(), kWidth, kHeight},
                             gate)
                  .end,
              RunEnd::NotRun);
    EXPECT_FALSE(called);
    EXPECT_EQ(out, std::vector<uint8_t>(source.size(), 7));
}

TEST(FullRun, RadiusZeroReturnsTheImageUnchanged) {
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    std::vector<uint8_t> out(source.size(), 0);
    RunSettings s = Settings(1, 1, 1);
    s.radius = 0;
    ASSERT_EQ(RunFullDenoise(s, {source.data(), out.data(), kWidth, kHeight}, {}).end,
              RunEnd::Completed);
    EXPECT_EQ(out, source);
}

struct PreviewBuffers {
    explicit PreviewBuffers(size_t bytes)
        : denoised(bytes, 0), noise(bytes, 0), channelDenoised(bytes, 0), channelNoise(bytes, 0) {}
    std::vector<uint8_t> denoised, noise, channelDenoised, channelNoise;
    PreviewImage Image(const std::vector<uint8_t>& source) {
        return {source.data(),           denoised.data(),     noise.data(),
                channelDenoised.data(),  channelNoise.data(), kWidth,
                kHeight};
    }
};

TEST(PreviewRun, RowByRowEqualsOneCallAndFollowsTheChosenChannel) {
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    for (const RunSettings& s : {Settings(1, 1, 1), Settings(0.5f, 1, 0.25f)}) {
        // Reference: one OUT call over the whole area in colour.
        PreviewBuffers ref(source.size());
        const std::vector<float> table = BuildWeightTable(s.sigma);
        const DenoiseJob job{0, kHeight - 1, kWidth, kHeight, WeightTableLength(s.sigma)};
        const DenoiseParams params = PreviewParams(s, 0);
        const ChannelFactors factors = EngineFactors(s);
        KcDenoisePerCanaleOUT(&job, &params, source.data(), ref.denoised.data(), table.data(),
                              ref.noise.data(), &factors, ref.denoised.data(), ref.noise.data());

        // The user switches to the green channel half way up.
        PreviewBuffers run(source.size());
        std::vector<int16_t> shown;
        PreviewHooks hooks;
        int32_t nextRow = 0;
        hooks.beforeRow = [&](int32_t row, int32_t) { return (nextRow = row), true; };
        hooks.viewChannel = [&]() { return static_cast<int16_t>(nextRow < 8 ? 0 : 2); };
        hooks.rowDone = [&](int32_t row, int16_t channel) {
            EXPECT_EQ(row, static_cast<int32_t>(shown.size()));
            shown.push_back(channel);
        };
        const RunResult result = RunPreviewDenoise(s, run.Image(source), hooks);
        ASSERT_EQ(result.end, RunEnd::Completed);
        ASSERT_EQ(shown.size(), static_cast<size_t>(kHeight));
        EXPECT_EQ(shown.front(), 0);
        EXPECT_EQ(shown.back(), 2);
        EXPECT_EQ(run.denoised, ref.denoised);
        EXPECT_EQ(run.noise, ref.noise);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                const size_t at = y * Stride(kWidth) + 3 * x;
                for (int c = 0; c < 3; ++c) {
                    const uint8_t greyDenoised = y < 8 ? 0 : ref.denoised[at + 1];
                    const uint8_t greyNoise = y < 8 ? 0 : ref.noise[at + 1];
                    ASSERT_EQ(run.channelDenoised[at + c], greyDenoised) << x << "," << y;
                    ASSERT_EQ(run.channelNoise[at + c], greyNoise) << x << "," << y;
                }
            }
    }
}

TEST(PreviewRun, StoppedPreviewHasOnlyItsLowerRows) {
    const std::vector<uint8_t> source = NoisyImage(kWidth, kHeight);
    PreviewBuffers run(source.size());
    PreviewHooks hooks;
    hooks.beforeRow = [](int32_t row, int32_t) { return row < 5; };
    const RunResult result = RunPreviewDenoise(Settings(1, 1, 1), run.Image(source), hooks);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(result.rowsDone, 5);
    const size_t split = 5 * Stride(kWidth);
    EXPECT_TRUE(std::any_of(run.denoised.begin(), run.denoised.begin() + split,
                            [](uint8_t b) { return b != 0; }));
    EXPECT_TRUE(std::all_of(run.denoised.begin() + split, run.denoised.end(),
                            [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace calmora
