// Command line of calmora-denoise.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imagefiles/image_save.h"
#include "denoise_run/run_settings.h"

namespace calmora::cli {

struct Options {
    RunSettings settings;           // intensity, radius and channel factors
    bool autoIntensity = false;     // --intensity auto: from each image's measured noise
    bool estimateOnly = false;      // --estimate: print the noise, denoise nothing
    std::string outputFile;         // -o: one input only
    std::string outputDir;          // --output-dir
    std::optional<SaveFormat> format;  // --format, for names the tool makes up
    std::string formatExtension;    // as typed, lower case, for those names
    SaveOptions save;               // JPEG quality, TIFF compression
    bool overwrite = false;         // may replace a file that is also an input
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> inputs;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is usable
};

// Intensity, radius and channel ranges and defaults: denoise_run/setting_ranges.h.
constexpr int kDefaultJpegQuality = 90;

[[nodiscard]] ParseResult ParseCommandLine(int argc, char** argv);

// The --help text.
[[nodiscard]] std::string UsageText(const std::string& program);

}  // namespace calmora::cli
