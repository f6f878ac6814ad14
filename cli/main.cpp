// calmora-denoise: the batch form of the denoise dialog's full run.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "band_run.h"
#include "imagefiles/image_load.h"
#include "imagefiles/row_stride.h"
#include "imagefiles/image_save.h"
#include "options.h"
#include "output_names.h"
#include "progress_bar.h"
#include "shown_name.h"
#include "standard_output.h"
#include "denoise_run/noise_estimate.h"
#include "denoise_run/row_run.h"

#ifndef CALMORA_VERSION
#define CALMORA_VERSION "unknown"
#endif

namespace calmora::cli {
namespace {

constexpr const char* kProgram = "calmora-denoise";

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }

enum class Outcome { Written, Failed, Interrupted };

// file is shown escaped; reason must already show any name in it escaped.
void ReportFailure(const std::string& file, const std::string& reason) {
    std::fflush(stdout);
    std::cerr << kProgram << ": " << ShownName(file) << ": " << reason << std::endl;
}

// A name inside a message, escaped and in quotes.
std::string Quoted(const std::string& name) { return "'" + ShownName(name) + "'"; }

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

class Batch {
public:
    explicit Batch(const Options& options) : options_(options) {
        for (const std::string& input : options.inputs)
            if (const auto id = IdentityOf(input)) inputs_.insert(*id);
    }

    Outcome Process(const std::string& input) {
        if (options_.estimateOnly) return Estimate(input);
        const auto start = std::chrono::steady_clock::now();
        const OutputTarget target = OutputFor(options_, input);
        if (!target.format)
            return Fail(input, "cannot write " + Quoted(target.path) +
                                   ": unknown output format"
                                   " (use jpg, jpeg, png, tif, tiff or bmp)");
        // Hard links and other spellings of a path are the same file too.
        if (const auto existing = IdentityOf(target.path)) {
            if (!options_.overwrite && inputs_.count(*existing))
                return Fail(input, "output " + Quoted(target.path) +
                                       " is an input image; not replaced"
                                       " (use --overwrite to allow)");
            if (const auto earlier = written_.find(*existing); earlier != written_.end())
                return Fail(input, "output " + Quoted(target.path) + " was just written for " +
                                       Quoted(earlier->second) + "; not replaced");
        }

        struct stat inputStat {};
        if (stat(input.c_str(), &inputStat) != 0 || access(input.c_str(), R_OK) != 0)
            return Fail(input, std::strerror(errno));
        if (S_ISDIR(inputStat.st_mode)) return Fail(input, "is a folder, not an image");

        const std::optional<Opened> opened = Open(input);
        if (!opened) return Outcome::Failed;
        FIBITMAP* source = opened->loaded.image.get();
        const int32_t width = opened->width, height = opened->height;
        BitmapPtr result(FreeImage_Allocate(width, height, 24));
        if (!result) return Fail(input, "not enough memory for the result");
        const auto stride = static_cast<unsigned>(RowStride(width));
        if (FreeImage_GetPitch(source) != stride || FreeImage_GetPitch(result.get()) != stride)
            return Fail(input, "unexpected row layout");

        RunSettings settings = options_.settings;
        if (options_.autoIntensity)
            settings.sigma = SuggestedIntensity(
                EstimateNoise(FreeImage_GetBits(source), width, height), settings.radius);
        ProgressBar bar(!options_.quiet && ProgressWanted(), ShownName(input));
        const RunResult run = RunFullDenoiseInBands(
            settings, {FreeImage_GetBits(source), FreeImage_GetBits(result.get()), width, height},
            [&bar](int32_t row, int32_t rows) {
                if (g_interrupted) return false;
                bar.Update(row, rows);
                return true;
            });
        bar.Clear();
        if (run.end == RunEnd::Stopped) {
            ReportFailure(input, "interrupted; nothing written");
            return Outcome::Interrupted;
        }
        if (run.end == RunEnd::OutOfMemory)
            return Fail(input, "not enough memory for the colour-noise mode");
        if (run.end != RunEnd::Completed) return Fail(input, "these settings allow no run");

        CopyImageMetadata(result.get(), source);
        if (!options_.outputDir.empty()) {
            // Made when a result is ready to be written, so that a run without one leaves
            // no empty folder; one that cannot be made is a write error.
            std::error_code ignored;
            std::filesystem::create_directories(options_.outputDir, ignored);
        }
        const SaveResult saved = SaveImageFile(result.get(), target.path, *target.format, options_.save);
        if (!saved.ok)
            return Fail(input, "cannot write " + Quoted(target.path) + ": " + saved.reason);
        if (const auto id = IdentityOf(target.path)) written_.emplace(*id, input);
        if (!options_.quiet)
            PrintOut(ShownName(input) + " -> " + ShownName(target.path) + "  (" +
                     std::to_string(width) + "x" + std::to_string(height) + ", " +
                     (options_.autoIntensity ? "intensity " + std::to_string(settings.sigma) + ", "
                                             : std::string()) +
                     Seconds(SecondsSince(start)) + ")\n");
        return Outcome::Written;
    }

    // --estimate: one line per image, nothing written.
    Outcome Estimate(const std::string& input) {
        const std::optional<Opened> opened = Open(input);
        if (!opened) return Outcome::Failed;
        const NoiseEstimate e = EstimateNoise(FreeImage_GetBits(opened->loaded.image.get()),
                                              opened->width, opened->height);
        if (e.samples == 0) {
            PrintOut(ShownName(input) + ": no noise could be measured\n");
            return Outcome::Written;
        }
        char line[160];
        std::snprintf(line, sizeof line,
                      ": noise red %.1f green %.1f blue %.1f (mean %.1f); intensity auto %d at "
                      "radius %d\n",
                      e.red, e.green, e.blue, e.Mean(),
                      SuggestedIntensity(e, options_.settings.radius), options_.settings.radius);
        PrintOut(ShownName(input) + line);
        return Outcome::Written;
    }

private:
    struct Opened {
        LoadedImage loaded;
        int32_t width = 0, height = 0;
    };

    // The decoded image, or nothing once the failure is reported.
    std::optional<Opened> Open(const std::string& input) {
        LoadedImage loaded = LoadImageFile(input);
        if (loaded.error != ImageFileError::None) {
            ReportFailure(input, DescribeImageFileError(loaded.error));
            return std::nullopt;
        }
        FIBITMAP* bitmap = loaded.image.get();
        const auto width = static_cast<int32_t>(FreeImage_GetWidth(bitmap));
        const auto height = static_cast<int32_t>(FreeImage_GetHeight(bitmap));
        return Opened{std::move(loaded), width, height};
    }

    Outcome Fail(const std::string& input, const std::string& reason) {
        ReportFailure(input, reason);
        return Outcome::Failed;
    }

    const Options& options_;
    std::set<FileIdentity> inputs_;
    std::map<FileIdentity, std::string> written_;  // result file -> its input
};

int Run(int argc, char** argv) {
    const ParseResult parsed = ParseCommandLine(argc, argv);
    const Options& options = parsed.options;
    if (options.help) {
        PrintOut(UsageText(kProgram));
        return 0;
    }
    if (options.version) {
        PrintOut(std::string(kProgram) + " " + CALMORA_VERSION + " (FreeImage " +
                 FreeImage_GetVersion() + ")\n");
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << kProgram << ": " << parsed.error << "\n"
                  << "Try '" << kProgram << " --help' for more information." << std::endl;
        return 2;
    }
    if (!options.outputFile.empty() && !OutputFor(options, options.inputs.front()).format) {
        std::cerr << kProgram << ": cannot write " << Quoted(options.outputFile)
                  << ": unknown output format (use jpg, jpeg, png, tif, tiff or bmp)" << std::endl;
        return 2;
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const auto start = std::chrono::steady_clock::now();
    Batch batch(options);
    size_t written = 0, failed = 0;
    for (const std::string& input : options.inputs) {
        const Outcome outcome = batch.Process(input);
        if (outcome == Outcome::Interrupted) return 130;
        (outcome == Outcome::Written ? written : failed) += 1;
    }
    if (!options.quiet && options.inputs.size() > 1 && !options.estimateOnly)
        PrintOut(std::to_string(written) + " of " + std::to_string(options.inputs.size()) +
                 " images written in " + Seconds(SecondsSince(start)) + "\n");
    return failed == 0 ? 0 : 1;
}

// Run, and a failure to write standard output turns a success into exit 1.
int RunAndReport(int argc, char** argv) {
    KeepStandardDescriptorsTaken();
    const int status = Run(argc, argv);
    if (const int error = FinishStandardOutput()) {
        std::cerr << kProgram << ": cannot write to standard output: " << std::strerror(error)
                  << std::endl;
        return status == 0 ? 1 : status;
    }
    return status;
}

}  // namespace
}  // namespace calmora::cli

int main(int argc, char** argv) { return calmora::cli::RunAndReport(argc, argv); }
