// Runs the built calmora-denoise binary and checks what it writes and says.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "denoise_run/noise_estimate.h"
#include "denoise_run/row_run.h"
#include "test_images.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using calmora_test::PixelBytes;
using calmora_test::ScratchDir;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    [[nodiscard]] std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// stdout and stderr go to files, so stderr is not a terminal here; with
// closedStdout the tool starts without a standard output at all.
ToolRun RunTool(const ScratchDir& dir, const std::vector<std::string>& args,
                bool closedStdout = false) {
    std::string command = Quote(CALMORA_DENOISE_EXE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += (closedStdout ? std::string(" >&-") : " >" + Quote(dir / "stdout.txt")) + " 2>" +
               Quote(dir / "stderr.txt") + " </dev/null";
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(dir / "stdout.txt");
    run.err = Slurp(dir / "stderr.txt");
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return run;
}

// What the dialog's full run makes of the file, computed in this process.
std::vector<uint8_t> DenoisedInProcess(const std::string& path, const RunSettings& settings) {
    const LoadedImage loaded = LoadImageFile(path);
    EXPECT_EQ(loaded.error, ImageFileError::None) << path;
    if (!loaded.image) return {};
    const auto w = static_cast<int32_t>(FreeImage_GetWidth(loaded.image.get()));
    const auto h = static_cast<int32_t>(FreeImage_GetHeight(loaded.image.get()));
    BitmapPtr result(FreeImage_Allocate(w, h, 24));
    const RunResult run = RunFullDenoise(
        settings, {FreeImage_GetBits(loaded.image.get()), FreeImage_GetBits(result.get()), w, h}, {});
    EXPECT_EQ(run.end, RunEnd::Completed);
    return PixelBytes(result.get());
}

RunSettings Settings(int16_t sigma, int16_t radius, int red = 100, int green = 100, int blue = 100) {
    RunSettings s;
    s.sigma = sigma;
    s.radius = radius;
    s.red = FactorFromPercent(red);
    s.green = FactorFromPercent(green);
    s.blue = FactorFromPercent(blue);
    return s;
}

// Mean absolute difference between horizontal neighbours: falls as noise goes.
double Roughness(const std::vector<uint8_t>& bgr, int width) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 3; i < bgr.size(); ++i)
        if ((i / 3) % static_cast<size_t>(width) != 0) {
            sum += std::abs(bgr[i] - bgr[i - 3]);
            ++count;
        }
    return sum / static_cast<double>(count);
}

TEST(CalmoraDenoise, HelpAndVersion) {
    ScratchDir dir;
    const ToolRun help = RunTool(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--intensity", "--radius", "--red", "--green", "--blue", "--output",
                               "--output-dir", "--format", "--quality", "--lzw", "--overwrite",
                               "--quiet", "--version", "default 10", "default 2", "default 90",
                               "'auto'", "--estimate"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const ToolRun version = RunTool(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("calmora-denoise 1.", 0), 0u) << version.out;
}

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

TEST(CalmoraDenoise, AutoIntensityIsTheSuggestionForTheImagesNoiseAndEstimateWritesNothing) {
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

TEST(CalmoraDenoise, EveryInputFormatIsReadAndWrittenBack) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(41, 29, true);
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "a.jpg", 95);
    calmora_test::WriteImage(photo.get(), FIF_BMP, dir / "b.bmp");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "c.png");
    calmora_test::WriteImage(photo.get(), FIF_TIFF, dir / "d.TIF");
    BitmapPtr paletted(FreeImage_ColorQuantize(photo.get(), FIQ_WUQUANT));
    calmora_test::WriteImage(paletted.get(), FIF_GIF, dir / "e.gif");
    const ToolRun run = RunTool(dir, {"-s", "20", "-r", "3", "--quiet", "-d", dir / "out", dir / "a.jpg",
                                      dir / "b.bmp", dir / "c.png", dir / "d.TIF", dir / "e.gif"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::pair<const char*, FREE_IMAGE_FORMAT> expected[] = {
        {"a.jpg", FIF_JPEG}, {"b.bmp", FIF_BMP}, {"c.png", FIF_PNG}, {"d.TIF", FIF_TIFF}, {"e.png", FIF_PNG}};
    for (const auto& [name, format] : expected) {
        const std::string out = dir / ("out/" + std::string(name));
        ASSERT_TRUE(fs::exists(out)) << name;
        EXPECT_EQ(FreeImage_GetFileType(out.c_str(), 0), format) << name;
    }
    // Lossless outputs hold exactly what the full run computes.
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/b.bmp").image.get()) ==
                DenoisedInProcess(dir / "b.bmp", Settings(20, 3)));
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/d.TIF").image.get()) ==
                DenoisedInProcess(dir / "d.TIF", Settings(20, 3)));
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/e.png").image.get()) ==
                DenoisedInProcess(dir / "e.gif", Settings(20, 3)));
    // Default naming: beside the input.
    ASSERT_EQ(RunTool(dir, {"--quiet", dir / "c.png"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir / "c-denoised.png"));
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

TEST(CalmoraDenoise, EachBadInputIsOneLineAndTheGoodOnesAreStillWritten) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(160, 120);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "good1.png");
    calmora_test::WriteImage(photo.get(), FIF_BMP, dir / "good2.bmp");
    calmora_test::WriteFile(dir / "notes.jpg", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "cut.jpg", 90);
    calmora_test::TruncateFile(dir / "cut.jpg", fs::file_size(dir / "cut.jpg") / 2);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "damaged.png");
    std::vector<uint8_t> bytes = calmora_test::ReadFile(dir / "damaged.png");
    for (size_t i = 80; i < bytes.size() - 20; i += 5) bytes[i] ^= 0xFF;
    calmora_test::WriteFile(dir / "damaged.png", bytes);
    calmora_test::WriteFile(dir / "huge.gif", calmora_test::ForgedGif(10, 10, 60000, 60000));
    fs::create_directory(dir / "out");

    const std::vector<std::string> bad = {"missing.png", "notes.jpg", "cut.jpg", "damaged.png", "huge.gif"};
    const ToolRun run = RunTool(dir, {"-s", "5", "-d", dir / "out", dir / "missing.png", dir / "good1.png",
                                      dir / "notes.jpg", dir / "cut.jpg", dir / "damaged.png",
                                      dir / "huge.gif", dir / "good2.bmp"});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string> lines = run.ErrLines();
    ASSERT_EQ(lines.size(), bad.size()) << run.err;
    const char* reasons[] = {"No such file", "unknown image format", "truncated", "damaged", "too large"};
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_NE(lines[i].find(dir / bad[i]), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find(reasons[i]), std::string::npos) << lines[i];
    }
    EXPECT_TRUE(fs::exists(dir / "out/good1.png"));
    EXPECT_TRUE(fs::exists(dir / "out/good2.bmp"));
    EXPECT_NE(run.out.find("2 of 7 images written"), std::string::npos) << run.out;
    EXPECT_EQ(dir.Entries().size(), 7u);  // the six inputs and out/: nothing left beside them

    // An output that cannot be written is named with its input.
    calmora_test::WriteFile(dir / "a-file", {1});
    const ToolRun unwritable = RunTool(dir, {"-d", dir / "a-file/sub", dir / "good1.png"});
    EXPECT_EQ(unwritable.exitCode, 1);
    ASSERT_EQ(unwritable.ErrLines().size(), 1u) << unwritable.err;
    EXPECT_NE(unwritable.err.find(dir / "good1.png"), std::string::npos);
    EXPECT_NE(unwritable.err.find("a-file/sub/good1.png"), std::string::npos);
}

TEST(CalmoraDenoise, TheOutputFolderIsMadeOnlyForAResult) {
    ScratchDir dir;
    calmora_test::WriteFile(dir / "notes.png", {'n', 'o', 't', 'e'});
    const ToolRun none = RunTool(dir, {"-d", dir / "denoised/deep", dir / "missing.png",
                                       dir / "notes.png"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "denoised")) << "a folder was made for no result";

    calmora_test::WriteImage(calmora_test::Pattern24(32, 24).get(), FIF_PNG, dir / "good.png");
    const ToolRun one = RunTool(dir, {"-s", "5", "-d", dir / "denoised/deep", dir / "missing.png",
                                      dir / "good.png"});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_TRUE(fs::is_regular_file(dir / "denoised/deep/good.png")) << one.err;
}

TEST(CalmoraDenoise, AnInputIsNeverReplacedWithoutOverwrite) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(40, 30);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    const std::vector<uint8_t> before = calmora_test::ReadFile(dir / "in.png");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-o", dir / "in.png", dir / "in.png"},
          std::vector<std::string>{"-o", dir.Path() + "/./in.png", dir / "in.png"},
          std::vector<std::string>{"-d", dir.Path(), dir / "in.png"}}) {
        const ToolRun run = RunTool(dir, args);
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("--overwrite"), std::string::npos) << run.err;
        EXPECT_EQ(calmora_test::ReadFile(dir / "in.png"), before);
    }
    // A hard link is the same file under another name.
    fs::create_hard_link(dir / "in.png", dir / "twin.png");
    EXPECT_EQ(RunTool(dir, {"-o", dir / "twin.png", dir / "in.png"}).exitCode, 1);
    EXPECT_EQ(calmora_test::ReadFile(dir / "in.png"), before);

    // Two inputs of one name sent to one folder: the second must not replace the first.
    fs::create_directory(dir / "one");
    fs::create_directory(dir / "two");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "one/x.png");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "two/x.png");
    const ToolRun clash = RunTool(dir, {"-d", dir / "out", dir / "one/x.png", dir / "two/x.png"});
    EXPECT_EQ(clash.exitCode, 1);
    ASSERT_EQ(clash.ErrLines().size(), 1u) << clash.err;
    EXPECT_NE(clash.err.find(dir / "two/x.png"), std::string::npos) << clash.err;
    EXPECT_NE(clash.err.find("just written"), std::string::npos) << clash.err;

    const ToolRun allowed = RunTool(dir, {"--overwrite", "-o", dir / "in.png", dir / "in.png"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    EXPECT_NE(calmora_test::ReadFile(dir / "in.png"), before);
}

TEST(CalmoraDenoise, WrongCommandLinesAreRefusedBeforeAnyWork) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    const std::vector<std::vector<std::string>> wrong = {
        {"-s", "0", dir / "in.png"},          {"-s", "201", dir / "in.png"},
        {"-s", "12x", dir / "in.png"},        {"-r", "1", dir / "in.png"},
        {"-r", "13", dir / "in.png"},         {"--red", "101", dir / "in.png"},
        {"--red", "0", "--green", "0", "--blue", "0", dir / "in.png"},
        {"-q", "0", dir / "in.png"},          {"--format", "gif", dir / "in.png"},
        {"-o", dir / "x.png", dir / "in.png", dir / "in.png"},
        {"-o", dir / "x.webp", dir / "in.png"}, {"--frobnicate", dir / "in.png"},
        {"-s"},                               {},
        {"--colour-noise", "-1", dir / "in.png"}, {"--colour-noise", "201", dir / "in.png"},
        {"--colour-noise", "2o", dir / "in.png"}, {"--colour-noise", "", dir / "in.png"},
        {dir / "in.png", "--colour-noise"}};
    for (const auto& args : wrong) {
        const ToolRun run = RunTool(dir, args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_EQ(run.err.rfind("calmora-denoise: ", 0), 0u) << shown << run.err;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});
    const ToolRun webp = RunTool(dir, {"-o", dir / "x.webp", dir / "in.png"});
    EXPECT_NE(webp.err.find("x.webp"), std::string::npos) << webp.err;
}

TEST(CalmoraDenoise, EmptyOutputNamesAreRefusedAsUsageErrors) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-o", "", dir / "in.png"},
             {"--output", "", dir / "in.png"},
             {"--output=", dir / "in.png"},
             {"-d", "", dir / "in.png"},
             {"--output-dir", "", dir / "in.png"},
             {"--output-dir=", dir / "in.png"}}) {
        const ToolRun run = RunTool(dir, args);
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_EQ(run.err.rfind("calmora-denoise: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("not an empty one"), std::string::npos) << run.err;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});  // nothing beside the input
}

TEST(CalmoraDenoise, OutputThatCannotTakeAnImageIsAFailureAndStaysAsItWas) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    ASSERT_EQ(mkfifo((dir / "fifo.png").c_str(), 0666), 0);
    // Both ends held here: a regression that opened the FIFO must not hang the test.
    const int both = open((dir / "fifo.png").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(both, 0);
    fs::create_symlink("fifo.png", dir / "to-fifo.png");
    std::vector<std::string> refused = {"fifo.png", "to-fifo.png"};
    if (geteuid() == 0) {
        // A test node with the null device's numbers, in the scratch folder.
        ASSERT_EQ(mknod((dir / "node.bmp").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        refused.push_back("node.bmp");
    }
    for (const std::string& name : refused) {
        const ToolRun run = RunTool(dir, {"-o", dir / name, dir / "in.png"});
        EXPECT_EQ(run.exitCode, 1) << name;
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    struct stat st {};
    ASSERT_EQ(lstat((dir / "fifo.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    char byte = 0;
    EXPECT_EQ(read(both, &byte, 1), -1) << "the tool wrote into the FIFO";
    close(both);
    if (geteuid() == 0) {
        ASSERT_EQ(lstat((dir / "node.bmp").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }

    calmora_test::WriteFile(dir / "locked.png", {'o', 'l', 'd'});
    chmod((dir / "locked.png").c_str(), 0444);
    const ToolRun locked = RunTool(dir, {"-o", dir / "locked.png", dir / "in.png"});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find("write-protected"), std::string::npos) << locked.err;
    EXPECT_EQ(calmora_test::ReadFile(dir / "locked.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));

    // A link to a file: that file is replaced and the link stays.
    calmora_test::WriteFile(dir / "real.png", {'o', 'l', 'd'});
    fs::create_symlink("real.png", dir / "to-real.png");
    const ToolRun through = RunTool(dir, {"--quiet", "-o", dir / "to-real.png", dir / "in.png"});
    EXPECT_EQ(through.exitCode, 0) << through.err;
    EXPECT_TRUE(fs::is_symlink(dir / "to-real.png"));
    EXPECT_EQ(LoadImageFile(dir / "real.png").error, ImageFileError::None);
}

TEST(CalmoraDenoise, AReportThatCannotReachStandardOutputIsAFailure) {
    ScratchDir dir;
    for (const char* option : {"--help", "--version"}) {
        const ToolRun run = RunTool(dir, {option}, true);
        EXPECT_EQ(run.exitCode, 1) << option;
        EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
    }
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    // The image is written; the line saying so is lost, and so is the success.
    const ToolRun run = RunTool(dir, {"-o", dir / "out.png", dir / "in.png"}, true);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
    EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
    EXPECT_EQ(LoadImageFile(dir / "out.png").error, ImageFileError::None);
    // --quiet writes nothing there, so nothing is lost.
    EXPECT_EQ(RunTool(dir, {"--quiet", "-o", dir / "q.png", dir / "in.png"}, true).exitCode, 0);
    EXPECT_EQ(RunTool(dir, {"--help"}).exitCode, 0);
}

TEST(CalmoraDenoise, NamesWithControlCharactersAreShownEscaped) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    // ESC ] 0 ; ... BEL would retitle the terminal; the rest would be taken
    // as colour changes, a backwards-reading name or C1 CSI.
    const std::string evil = "in\x1b]0;owned\x07\x1b[2J.png";
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / evil);
    const std::string shownEvil = "in\\x1b]0;owned\\x07\\x1b[2J.png";

    const ToolRun written = RunTool(dir, {"-o", dir / "out.png", dir / evil});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(written.out.find(dir / shownEvil + " -> "), std::string::npos) << written.out;

    const std::string odd =
        "back\\slash \xc2\x9b" "31m rtl\xe2\x80\xae gnp.x bad\xff caf\xc3\xa9.png";
    const ToolRun missing = RunTool(dir, {"-d", dir / "out", dir / odd, dir / evil});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("back\\\\slash \\xc2\\x9b31m rtl\\xe2\\x80\\xae gnp.x"
                               " bad\\xff caf\xc3\xa9.png"),
              std::string::npos)
        << missing.err;
    EXPECT_NE(missing.out.find(dir / shownEvil), std::string::npos) << missing.out;

    const ToolRun format = RunTool(dir, {"--format", "\x1b[31m", dir / evil});
    EXPECT_EQ(format.exitCode, 2);
    EXPECT_NE(format.err.find("'\\x1b[31m'"), std::string::npos) << format.err;
    const ToolRun clash = RunTool(dir, {"-o", dir / evil, dir / evil});
    EXPECT_EQ(clash.exitCode, 1);
    for (const ToolRun* run : {&written, &missing, &format, &clash}) {
        EXPECT_EQ(run->out.find('\x1b'), std::string::npos) << run->out;
        EXPECT_EQ(run->err.find('\x1b'), std::string::npos) << run->err;
        EXPECT_EQ(run->err.find("\xc2\x9b"), std::string::npos);
    }
}

}  // namespace
}  // namespace calmora
