// Running the built calmora-denoise in a test: its output, its messages and
// what the dialog's full run makes of the same file in this process.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imagefiles/image_load.h"
#include "denoise_run/row_run.h"
#include "test_images.h"

namespace calmora::tool_test {

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

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// stdout and stderr go to files, so stderr is not a terminal here; with
// closedStdout the tool starts without a standard output at all.
inline ToolRun RunTool(const ScratchDir& dir, const std::vector<std::string>& args,
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
inline std::vector<uint8_t> DenoisedInProcess(const std::string& path, const RunSettings& settings) {
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

inline RunSettings Settings(int16_t sigma, int16_t radius, int red = 100, int green = 100, int blue = 100) {
    RunSettings s;
    s.sigma = sigma;
    s.radius = radius;
    s.red = FactorFromPercent(red);
    s.green = FactorFromPercent(green);
    s.blue = FactorFromPercent(blue);
    return s;
}

// Mean absolute difference between horizontal neighbours: falls as noise goes.
inline double Roughness(const std::vector<uint8_t>& bgr, int width) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 3; i < bgr.size(); ++i)
        if ((i / 3) % static_cast<size_t>(width) != 0) {
            sum += std::abs(bgr[i] - bgr[i - 3]);
            ++count;
        }
    return sum / static_cast<double>(count);
}

}  // namespace calmora::tool_test
