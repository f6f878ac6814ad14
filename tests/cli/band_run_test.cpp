// The batch tool's band loop against the dialog's row-by-row run: the same
// bytes for every form of the engine, images of one band and of many, and a
// stop between bands that leaves the rows after it untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "band_run.h"

using calmora::FullRunImage;
using calmora::RunEnd;
using calmora::RunResult;
using calmora::RunSettings;

namespace {

std::vector<uint8_t> NoisyImage(int32_t width, int32_t height, uint32_t seed) {
    const int32_t stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> image(static_cast<size_t>(stride) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int shape = (x / 3 + 2 * y) % 96;
            image[static_cast<size_t>(y) * stride + x] =
                static_cast<uint8_t>(80 + shape + static_cast<int>((seed >> 24) % 41) - 20);
        }
    return image;
}

RunSettings Settings(int16_t sigma, int16_t radius, float red = 1.0f) {
    RunSettings s;
    s.sigma = sigma;
    s.radius = radius;
    s.red = red;
    return s;
}

TEST(BandRun, SameBytesAsOneRowPerCall) {
    // band 0: the tool's own band height.
    const struct {
        int32_t width, height, band;
        RunSettings settings;
    } kCases[] = {
        {300, 20, 0, Settings(30, 2)},         // one band
        {150, 130, 40, Settings(50, 2)},       // several bands, the last one short
        {301, 97, 45, Settings(20, 5, 0.37f)}, // per-channel form
        {90, 120, 50, Settings(12, 12)},       // narrower than the paired pass needs
        {200, 140, 7, Settings(120, 5)},       // bands too short for it
        {260, 150, 64, Settings(120, 5)},
    };
    for (const auto& k : kCases) {
        ASSERT_GT(k.height, 0);
        const std::vector<uint8_t> source = NoisyImage(k.width, k.height, 7u + k.width);
        std::vector<uint8_t> rows(source.size(), 0xEE), bands(source.size(), 0xEE);
        const RunResult a = calmora::RunFullDenoise(
            k.settings, {source.data(), rows.data(), k.width, k.height}, {});
        std::vector<int32_t> asked;
        const calmora::BeforeRow ask = [&asked](int32_t row, int32_t height) {
            EXPECT_LT(row, height);
            asked.push_back(row);
            return true;
        };
        const FullRunImage image{source.data(), bands.data(), k.width, k.height};
        const RunResult b =
            k.band ? calmora::cli::RunFullDenoiseInBands(k.settings, image, ask, k.band)
                   : calmora::cli::RunFullDenoiseInBands(k.settings, image, ask);
        ASSERT_EQ(a.end, RunEnd::Completed);
        ASSERT_EQ(b.end, RunEnd::Completed);
        EXPECT_EQ(b.rowsDone, k.height);
        EXPECT_TRUE(rows == bands) << k.width << "x" << k.height << " s " << k.settings.radius;
        // Asked before every band, bottom up, from row 0.
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.front(), 0);
        const int32_t band = k.band ? k.band
                                    : calmora::cli::BandRows(k.width, k.settings.radius,
                                                             std::thread::hardware_concurrency());
        for (size_t i = 1; i < asked.size(); ++i) EXPECT_EQ(asked[i] - asked[i - 1], band);
        EXPECT_EQ(asked.size(), static_cast<size_t>((k.height + band - 1) / band));
    }
}

TEST(BandRun, StopBetweenBandsKeepsTheRowsDoneAndTouchesNoOther) {
    const int32_t width = 200, height = 150;
    const RunSettings settings = Settings(40, 2);
    const int32_t band = 48;
    const std::vector<uint8_t> source = NoisyImage(width, height, 99u);
    std::vector<uint8_t> full(source.size()), stopped(source.size(), 0xEE);
    ASSERT_EQ(calmora::RunFullDenoise(settings, {source.data(), full.data(), width, height}, {}).end,
              RunEnd::Completed);
    int calls = 0;
    const RunResult r = calmora::cli::RunFullDenoiseInBands(
        settings, {source.data(), stopped.data(), width, height},
        [&calls](int32_t, int32_t) { return ++calls == 1; }, band);
    EXPECT_EQ(r.end, RunEnd::Stopped);
    EXPECT_EQ(r.rowsDone, band);
    const size_t stride = (width * 3 + 3) & ~3;
    const size_t done = stride * static_cast<size_t>(band);
    EXPECT_TRUE(std::equal(full.begin(), full.begin() + static_cast<long>(done), stopped.begin()));
    for (size_t i = done; i < stopped.size(); ++i) ASSERT_EQ(stopped[i], 0xEE) << i;
}

// Bands hold a fraction of a second of work, and never so few rows that the
// rows repeated at a band's start would dominate.
TEST(BandRun, BandHeightsFollowTheWork) {
    EXPECT_EQ(calmora::cli::BandRows(2000, 12, 2), 160);  // 2e8 visits / (2000 * 625)
    EXPECT_EQ(calmora::cli::BandRows(8192, 12, 2), 96);   // 8 rows a unit of radius
    EXPECT_EQ(calmora::cli::BandRows(8192, 1, 1), 1356);
    EXPECT_EQ(calmora::cli::BandRows(4000, 0, 0), 25000);
    EXPECT_EQ(calmora::cli::BandRows(100, 1, 2), 222222);
}

TEST(BandRun, SettingsThatAllowNoRunWriteNothing) {
    const std::vector<uint8_t> source = NoisyImage(40, 40, 3u);
    std::vector<uint8_t> out(source.size(), 0xEE);
    RunSettings none = Settings(0, 2);
    EXPECT_EQ(calmora::cli::RunFullDenoiseInBands(none, {source.data(), out.data(), 40, 40}, {}).end,
              RunEnd::NotRun);
    RunSettings negative = Settings(20, -1);
    EXPECT_EQ(
        calmora::cli::RunFullDenoiseInBands(negative, {source.data(), out.data(), 40, 40}, {}).end,
        RunEnd::NotRun);
    // The result may not overwrite the picture it is computed from.
    EXPECT_EQ(
        calmora::cli::RunFullDenoiseInBands(Settings(20, 2), {out.data(), out.data(), 40, 40}, {}).end,
        RunEnd::NotRun);
    for (uint8_t v : out) ASSERT_EQ(v, 0xEE);
}

}  // namespace
