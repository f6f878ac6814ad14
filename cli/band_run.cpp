#include "band_run.h"

#include <algorithm>
#include <thread>

#include "denoise_run/colour_noise_run.h"

namespace calmora::cli {
namespace {

// About a quarter of a second of one thread's work on this kind of machine.
constexpr double kBandVisitsPerThread = 1.0e8;

}  // namespace

int32_t BandRows(int32_t width, int32_t radius, unsigned threads) {
    const double side = 2.0 * std::max(radius, 0) + 1;
    const double perRow = std::max(1.0, double(std::max(width, 1)) * side * side);
    const double budget = kBandVisitsPerThread * std::max(1u, threads);
    const double fewest = std::max(16.0, 8.0 * radius);
    return static_cast<int32_t>(std::min(1.0e9, std::max(fewest, budget / perRow)));
}

RunResult RunFullDenoiseInBands(const RunSettings& settings, const FullRunImage& image,
                                const BeforeRow& beforeRow) {
    return RunFullDenoiseInBands(
        settings, image, beforeRow,
        BandRows(image.width, settings.radius, std::thread::hardware_concurrency()));
}

RunResult RunFullDenoiseInBands(const RunSettings& settings, const FullRunImage& image,
                                const BeforeRow& beforeRow, int32_t bandRows) {
    if (!FullRunAccepts(settings, image)) return {RunEnd::NotRun, 0};
    // The mode's passes are row by row; its steps stand in for the bands.
    if (settings.colourNoise) return RunColourNoiseFull(settings, image, beforeRow);

    FullRunRows rows(settings, image);
    const int32_t band = std::max(bandRows, 1);
    for (int32_t row = 0; row < image.height; row += band) {
        if (beforeRow && !beforeRow(row, image.height)) return {RunEnd::Stopped, row};
        rows.Compute(row, std::min(image.height, row + band) - 1);
    }
    return {RunEnd::Completed, image.height};
}

}  // namespace calmora::cli
