#include "denoise_run/area_preview.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "denoise_run/colour_noise_run.h"
#include "denoise_run/weight_table.h"
#include "imagefiles/row_stride.h"

namespace calmora {

namespace {

bool AreaInsideImage(const AreaPreviewImage& a) {
    return a.image && a.imageWidth > 0 && a.imageHeight > 0 && a.width > 0 && a.height > 0 &&
           a.left >= 0 && a.top >= 0 && a.width <= a.imageWidth - a.left &&
           a.height <= a.imageHeight - a.top;
}

bool Overlaps(const uint8_t* output, const AreaPreviewImage& a) {
    if (!output) return false;
    const uint8_t* begin = a.image;
    const uint8_t* end = begin + RowStride(a.imageWidth) * a.imageHeight;
    return output >= begin && output < end;
}

// Copies `width` pixels from row sourceRow, column sourceColumn, of a buffer
// of sourceWidth pixels into row destinationRow of a buffer of width pixels.
void CopyRow(uint8_t* destination, int32_t destinationRow, int32_t width, const uint8_t* source,
             int32_t sourceRow, int32_t sourceColumn, int32_t sourceWidth) {
    std::memcpy(destination + RowStride(width) * destinationRow,
                source + RowStride(sourceWidth) * sourceRow + 3 * int64_t{sourceColumn},
                3 * static_cast<size_t>(width));
}

}  // namespace

bool AreaPreviewAccepts(const AreaPreviewImage& image) {
    return AreaInsideImage(image) && image.denoised && image.noise &&
           !Overlaps(image.denoised, image) && !Overlaps(image.noise, image) &&
           !Overlaps(image.channelDenoised, image) && !Overlaps(image.channelNoise, image);
}

int32_t PreviewContextMargin(const RunSettings& settings) {
    return std::max<int32_t>(settings.radius, 0) + kPatchRadius;
}

RunResult RunAreaPreview(const RunSettings& settings, const AreaPreviewImage& image,
                         const PreviewHooks& hooks) {
    if (!RunnableSettings(settings) || !AreaPreviewAccepts(image)) return {RunEnd::NotRun, 0};
    if (settings.colourNoise) return RunColourNoiseArea(settings, image, hooks);
    const int32_t margin = PreviewContextMargin(settings);

    // The context: the area and up to `margin` pixels around it, in image
    // buffer rows (bottom-up). The area's bottom buffer row is
    // imageHeight - top - height.
    const int32_t areaBottom = image.imageHeight - image.top - image.height;
    const int32_t left = std::max(0, image.left - margin);
    const int32_t right = std::min(image.imageWidth, image.left + image.width + margin);
    const int32_t bottom = std::max(0, areaBottom - margin);
    const int32_t top = std::min(image.imageHeight, areaBottom + image.height + margin);
    const int32_t width = right - left;
    const int32_t height = top - bottom;
    const int32_t columnInContext = image.left - left;
    const int32_t rowInContext = areaBottom - bottom;

    const size_t bytes = static_cast<size_t>(RowStride(width)) * static_cast<size_t>(height);
    std::vector<uint8_t> source(bytes, 0);
    for (int32_t row = 0; row < height; ++row)
        CopyRow(source.data(), row, width, image.image, bottom + row, left, image.imageWidth);
    std::vector<uint8_t> denoised(bytes, 0), noise(bytes, 0);
    std::vector<uint8_t> channelDenoised, channelNoise;
    if (image.channelDenoised && image.channelNoise) {
        channelDenoised.assign(bytes, 0);
        channelNoise.assign(bytes, 0);
    }

    // Only the context's rows that are handed back are computed; the others
    // are read as neighbours only.
    const std::vector<float> table = BuildWeightTable(settings.sigma);
    DenoiseJob job{0, -1, width, height, WeightTableLength(settings.sigma)};
    const ChannelFactors factors = EngineFactors(settings);
    const bool whole = UsesWholePixelEngine(settings);

    for (int32_t areaRow = 0; areaRow < image.height; ++areaRow) {
        if (hooks.beforeRow && !hooks.beforeRow(areaRow, image.height))
            return {RunEnd::Stopped, areaRow};
        const int32_t row = rowInContext + areaRow;
        job.firstRow = job.lastRow = row;
        int16_t channel = hooks.viewChannel ? hooks.viewChannel() : int16_t{0};
        uint8_t* viewDenoised = denoised.data();
        uint8_t* viewNoise = noise.data();
        if (channel != 0) {
            // As in RunPreviewDenoise: no grey pair, no channel view.
            if (channelDenoised.empty()) {
                channel = -1;
            } else {
                viewDenoised = channelDenoised.data();
                viewNoise = channelNoise.data();
            }
        }
        const DenoiseParams params = PreviewParams(settings, channel);
        if (whole)
            KcDenoiseCompletaOUT(&job, &params, source.data(), viewDenoised, table.data(),
                                 viewNoise, denoised.data(), noise.data());
        else
            KcDenoisePerCanaleOUT(&job, &params, source.data(), viewDenoised, table.data(),
                                  viewNoise, &factors, denoised.data(), noise.data());
        CopyRow(image.denoised, areaRow, image.width, denoised.data(), row, columnInContext,
                width);
        CopyRow(image.noise, areaRow, image.width, noise.data(), row, columnInContext, width);
        if (channel > 0) {
            CopyRow(image.channelDenoised, areaRow, image.width, channelDenoised.data(), row,
                    columnInContext, width);
            CopyRow(image.channelNoise, areaRow, image.width, channelNoise.data(), row,
                    columnInContext, width);
        }
        if (hooks.rowDone) hooks.rowDone(areaRow, channel);
    }
    return {RunEnd::Completed, image.height};
}

}  // namespace calmora
