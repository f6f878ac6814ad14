#include "denoise_run/run_settings.h"

#include <gtest/gtest.h>

namespace calmora {
namespace {

RunSettings Percent(int red, int green, int blue, int16_t sigma = 10) {
    RunSettings s;
    s.sigma = sigma;
    s.red = FactorFromPercent(red);
    s.green = FactorFromPercent(green);
    s.blue = FactorFromPercent(blue);
    return s;
}

TEST(RunSettings, EngineFormFollowsTheFactors) {
    EXPECT_TRUE(UsesWholePixelEngine(Percent(100, 100, 100)));
    EXPECT_FALSE(UsesWholePixelEngine(Percent(100, 100, 99)));
    EXPECT_FALSE(UsesWholePixelEngine(Percent(99, 100, 100)));
    EXPECT_FALSE(UsesWholePixelEngine(Percent(100, 0, 100)));
    EXPECT_TRUE(UsesWholePixelEngine(RunSettings{}));  // the dialog's starting values
}

TEST(RunSettings, ARunNeedsAnIntensityAndAChannel) {
    EXPECT_TRUE(CanRun(Percent(100, 100, 100, 1)));
    EXPECT_TRUE(CanRun(Percent(0, 0, 1)));
    EXPECT_FALSE(CanRun(Percent(100, 100, 100, 0)));
    EXPECT_FALSE(CanRun(Percent(0, 0, 0)));
    EXPECT_FALSE(CanRun(RunSettings{}));  // intensity starts at 0
}

TEST(RunSettings, TheColourStrengthCountsOnlyInTheColourNoiseMode) {
    RunSettings a = Percent(100, 100, 100, 20), b = a;
    b.colourStrength = static_cast<int16_t>(a.colourStrength + 5);
    EXPECT_TRUE(SameRun(a, b));  // the mode is off
    a.colourNoise = b.colourNoise = true;
    EXPECT_FALSE(SameRun(a, b));
    b.colourStrength = a.colourStrength;
    EXPECT_TRUE(SameRun(a, b));
    b.colourNoise = false;
    EXPECT_FALSE(SameRun(a, b));
    EXPECT_FALSE(SameRun(Percent(100, 100, 100, 20), Percent(100, 99, 100, 20)));

    RunSettings mode = Percent(100, 100, 100, 20);
    mode.colourNoise = true;
    for (const int strength : {int{kMinColourStrength}, int{kMaxColourStrength}}) {
        mode.colourStrength = static_cast<int16_t>(strength);
        EXPECT_TRUE(RunnableSettings(mode)) << strength;
    }
    for (const int strength : {kMinColourStrength - 1, kMaxColourStrength + 1}) {
        mode.colourStrength = static_cast<int16_t>(strength);
        EXPECT_FALSE(RunnableSettings(mode)) << strength;
        mode.colourNoise = false;
        EXPECT_TRUE(RunnableSettings(mode)) << "off, the strength plays no part";
        mode.colourNoise = true;
    }
}

TEST(RunSettings, RecordsGoToTheEngineInItsOrder) {
    RunSettings s = Percent(30, 60, 90);
    s.radius = 7;
    const ChannelFactors f = EngineFactors(s);
    EXPECT_EQ(f.blue, 0.9f);
    EXPECT_EQ(f.green, 0.6f);
    EXPECT_EQ(f.red, 0.3f);
    EXPECT_EQ(FactorFromPercent(100), 1.0f);
    EXPECT_EQ(FactorFromPercent(0), 0.0f);

    const DenoiseParams preview = PreviewParams(s, 2);
    EXPECT_EQ(preview.patchRadius, 1);
    EXPECT_EQ(preview.searchRadius, 7);
    EXPECT_EQ(preview.wantNoise, 1);
    EXPECT_EQ(preview.viewChannel, 2);
    const DenoiseParams full = FullRunParams(s);
    EXPECT_EQ(full.patchRadius, 1);
    EXPECT_EQ(full.searchRadius, 7);
    EXPECT_EQ(full.wantNoise, 0);
}

}  // namespace
}  // namespace calmora
