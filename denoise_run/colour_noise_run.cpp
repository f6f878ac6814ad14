#include "denoise_run/colour_noise_run.h"

#include <new>
#include <vector>

#include "denoise_run/preview_views.h"
#include "imagefiles/row_stride.h"

namespace calmora {

ColourNoiseJob ColourNoiseJobFor(const RunSettings& settings) {
    ColourNoiseJob job;
    job.intensities = ColourNoiseIntensitiesFor(settings);
    job.radius = settings.radius;
    job.red = settings.red;
    job.green = settings.green;
    job.blue = settings.blue;
    return job;
}

RunResult RunColourNoiseJob(const ColourNoiseJob& job, const FullRunImage& image,
                            const BeforeRow& beforeRow) {
    const ColourNoiseIntensities& in = job.intensities;
    const auto usable = [](int16_t intensity, int16_t lowest) {
        return intensity >= lowest && intensity <= kMaxIntensity;
    };
    if (!usable(in.luminance, kMinIntensity) || !usable(in.colour, 0) || !usable(in.coarse, 0) ||
        job.radius < 0 || !image.source || !image.destination ||
        image.source == image.destination || image.width <= 0 || image.height <= 0)
        return {RunEnd::NotRun, 0};
    const PixelRect whole{0, 0, image.width, image.height};
    try {
        if (!ComputeColourNoise(job, image.source, image.width, image.height, whole,
                                image.destination, beforeRow))
            return {RunEnd::Stopped, 0};
    } catch (const std::bad_alloc&) {
        // A copy of the picture's size, which a large photo may not get.
        return {RunEnd::OutOfMemory, 0};
    }
    return {RunEnd::Completed, image.height};
}

RunResult RunColourNoiseFull(const RunSettings& settings, const FullRunImage& image,
                             const BeforeRow& beforeRow) {
    if (!RunnableSettings(settings)) return {RunEnd::NotRun, 0};
    return RunColourNoiseJob(ColourNoiseJobFor(settings), image, beforeRow);
}

RunResult RunColourNoiseArea(const RunSettings& settings, const AreaPreviewImage& image,
                             const PreviewHooks& hooks) {
    if (!RunnableSettings(settings) || !AreaPreviewAccepts(image)) return {RunEnd::NotRun, 0};
    const int32_t bottom = image.imageHeight - image.top - image.height;
    const PixelRect area{image.left, bottom, image.left + image.width, bottom + image.height};
    try {
        if (!ComputeColourNoise(ColourNoiseJobFor(settings), image.image, image.imageWidth,
                                image.imageHeight, area, image.denoised, hooks.beforeRow))
            return {RunEnd::Stopped, 0};
    } catch (const std::bad_alloc&) {
        return {RunEnd::OutOfMemory, 0};
    }

    const int64_t stride = RowStride(image.width);
    const int64_t imageStride = RowStride(image.imageWidth);
    for (int32_t row = 0; row < image.height; ++row) {
        int16_t channel = hooks.viewChannel ? hooks.viewChannel() : int16_t{0};
        // As in the RGB mode: no grey pair, no channel view.
        if (channel != 0 && (!image.channelDenoised || !image.channelNoise)) channel = -1;
        const int64_t at = row * stride;
        const uint8_t* source = image.image + (bottom + row) * imageStride + 3 * int64_t{image.left};
        WritePreviewRow(source, image.denoised + at, image.noise + at,
                        channel > 0 ? image.channelDenoised + at : nullptr,
                        channel > 0 ? image.channelNoise + at : nullptr, image.width, channel);
        if (hooks.rowDone) hooks.rowDone(row, channel);
    }
    return {RunEnd::Completed, image.height};
}

}  // namespace calmora
