// The batch tool's filter options: its results against the dialog's full run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "denoise_run/noise_estimate.h"
#include "tool_run.h"

namespace calmora {
namespace {

// The runner's helpers, and fs, PixelBytes and ScratchDir with them.
using namespace tool_test;

TEST(CalmoraDenoise, SamplePhotoIsDenoisedExactlyAsTheFullRunDoes) {
    if (!fs::exists(CALMORA_SAMPLE)) GTEST_SKIP() << "sample photograph missing: " << CALMORA_SAMPLE;
    ScratchDir dir;
    const ToolRun run =
        RunTool(dir, {"--intensity", "12", "--radius", "5", "--output", dir / "out.png", CALMORA_SAMPLE});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress bar when stderr is not a terminal
    EXPECT_NE(run.out.find("out.png"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" s)"), std::string::npos) << "time taken: " << run.out;

    const LoadedImage written = LoadImageFile(dir / "out.png");
    ASSERT_EQ(written.error, ImageFileError::None);
    const LoadedImage original = LoadImageFile(CALMORA_SAMPLE);
    const int width = static_cast<int>(FreeImage_GetWidth(original.image.get()));
    ASSERT_EQ(FreeImage_GetWidth(written.image.get()), FreeImage_GetWidth(original.image.get()));
    ASSERT_EQ(FreeImage_GetHeight(written.image.get()), FreeImage_GetHeight(original.image.get()));
    const std::vector<uint8_t> pixels = PixelBytes(written.image.get());
    EXPECT_TRUE(pixels == DenoisedInProcess(CALMORA_SAMPLE, Settings(12, 5)));
    EXPECT_LT(Roughness(pixels, width), 0.9 * Roughness(PixelBytes(original.image.get()), width));
}

// The noise the tool measures in a file, and the intensity it suggests.
NoiseEstimate EstimateOf(const std::string& path) {
    const LoadedImage loaded = LoadImageFile(path);
    EXPECT_EQ(loaded.error, ImageFileError::None) << path;
    if (!loaded.image) return {};
    return EstimateNoise(FreeImage_GetBits(loaded.image.get()),
                         static_cast<int32_t>(FreeImage_GetWidth(loaded.image.get())),
                         static_cast<int32_t>(FreeImage_GetHeight(loaded.image.get())));
}

TEST(CalmoraDenoise, AutoIntensityAndEstimateFollowTheNoise) {
    if (!fs::exists(CALMORA_SAMPLE)) GTEST_SKIP() << "sample photograph missing: " << CALMORA_SAMPLE;
    ScratchDir dir;
    const NoiseEstimate estimate = EstimateOf(CALMORA_SAMPLE);
    ASSERT_GT(estimate.samples, 0);
    const int16_t suggested = SuggestedIntensity(estimate, 4);
    ASSERT_GE(suggested, kMinIntensity);

    const ToolRun run = RunTool(dir, {"--intensity", "auto", "--radius", "4", "--output",
                                      dir / "auto.png", CALMORA_SAMPLE});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("intensity " + std::to_string(suggested) + ","), std::string::npos)
        << run.out;
    const LoadedImage written = LoadImageFile(dir / "auto.png");
    ASSERT_EQ(written.error, ImageFileError::None);
    EXPECT_TRUE(PixelBytes(written.image.get()) ==
                DenoisedInProcess(CALMORA_SAMPLE, Settings(suggested, 4)));

    // --estimate: one line with the numbers, no file and no folder made.
    const ToolRun estimated = RunTool(
        dir, {"--estimate", "--radius", "4", "--output-dir", dir / "never", CALMORA_SAMPLE});
    ASSERT_EQ(estimated.exitCode, 0) << estimated.err;
    char expected[64];
    std::snprintf(expected, sizeof expected, "mean %.1f); intensity auto %d at radius 4",
                  estimate.Mean(), suggested);
    EXPECT_NE(estimated.out.find(expected), std::string::npos) << estimated.out;
    EXPECT_EQ(std::count(estimated.out.begin(), estimated.out.end(), '\n'), 1) << estimated.out;
    EXPECT_FALSE(fs::exists(dir / "never"));

    // A bad file is still one line on stderr and exit 1; a word other than auto is refused.
    std::ofstream(dir / "bad.png") << "not an image";
    const ToolRun bad = RunTool(dir, {"--estimate", dir / "bad.png", CALMORA_SAMPLE});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.ErrLines().size(), 1u) << bad.err;
    EXPECT_NE(bad.out.find("intensity auto"), std::string::npos) << bad.out;
    EXPECT_EQ(RunTool(dir, {"--intensity", "automatic", CALMORA_SAMPLE}).exitCode, 2);
}

TEST(CalmoraDenoise, ChannelStrengthsAndSaveOptionsReachTheirFiles) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(160, 120);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");

    ASSERT_EQ(RunTool(dir, {"--quiet", "--red", "0", "--green", "0", "--blue", "60", "-s", "30",
                            "-o", dir / "blue.png", dir / "in.png"})
                  .exitCode,
              0);
    const std::vector<uint8_t> blue = PixelBytes(LoadImageFile(dir / "blue.png").image.get());
    EXPECT_TRUE(blue == DenoisedInProcess(dir / "in.png", Settings(30, 2, 0, 0, 60)));
    const std::vector<uint8_t> source = PixelBytes(photo.get());
    bool blueChanged = false;
    for (size_t i = 0; i < blue.size(); i += 3) {
        ASSERT_EQ(blue[i + 1], source[i + 1]);
        ASSERT_EQ(blue[i + 2], source[i + 2]);
        blueChanged |= blue[i] != source[i];
    }
    EXPECT_TRUE(blueChanged);

    ASSERT_EQ(RunTool(dir, {"--quiet", "-q", "95", "-o", dir / "fine.jpeg", dir / "in.png"}).exitCode, 0);
    ASSERT_EQ(RunTool(dir, {"--quiet", "-q", "15", "-o", dir / "coarse.JPG", dir / "in.png"}).exitCode, 0);
    EXPECT_GT(fs::file_size(dir / "fine.jpeg"), fs::file_size(dir / "coarse.JPG"));
    ASSERT_EQ(RunTool(dir, {"--quiet", "-o", dir / "plain.tiff", dir / "in.png"}).exitCode, 0);
    ASSERT_EQ(RunTool(dir, {"--quiet", "--lzw", "-o", dir / "lzw.tif", dir / "in.png"}).exitCode, 0);
    EXPECT_NE(fs::file_size(dir / "plain.tiff"), fs::file_size(dir / "lzw.tif"));
    EXPECT_EQ(PixelBytes(LoadImageFile(dir / "plain.tiff").image.get()),
              PixelBytes(LoadImageFile(dir / "lzw.tif").image.get()));
    ASSERT_EQ(RunTool(dir, {"--quiet", "--format", "bmp", "-d", dir.Path(), dir / "in.png"}).exitCode, 0);
    EXPECT_EQ(FreeImage_GetFileType((dir / "in.bmp").c_str(), 0), FIF_BMP);
}

TEST(CalmoraDenoise, ColourNoiseModeIsTheFullRunsInThatMode) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(150, 101);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    for (const int strength : {0, 25, 200}) {
        const std::string out = dir / ("colour-" + std::to_string(strength) + ".png");
        ASSERT_EQ(RunTool(dir, {"--quiet", "-s", "30", "-r", "3", "--blue", "70", "--colour-noise",
                                std::to_string(strength), "-o", out, dir / "in.png"})
                      .exitCode,
                  0);
        RunSettings want = Settings(30, 3, 100, 100, 70);
        want.colourNoise = true;
        want.colourStrength = static_cast<int16_t>(strength);
        EXPECT_TRUE(PixelBytes(LoadImageFile(out).image.get()) ==
                    DenoisedInProcess(dir / "in.png", want))
            << strength;
    }
    // The mode is not the RGB mode at the same settings.
    ASSERT_EQ(RunTool(dir, {"--quiet", "-s", "30", "-r", "3", "--blue", "70", "-o", dir / "rgb.png",
                            dir / "in.png"})
                  .exitCode,
              0);
    EXPECT_NE(PixelBytes(LoadImageFile(dir / "rgb.png").image.get()),
              PixelBytes(LoadImageFile(dir / "colour-25.png").image.get()));
    const ToolRun wrong = RunTool(dir, {"--colour-noise", "300", dir / "in.png"});
    EXPECT_NE(wrong.err.find("colour-noise strength must be a whole number from 0 to 200, not "
                             "'300'"),
              std::string::npos)
        << wrong.err;
}

}  // namespace
}  // namespace calmora
