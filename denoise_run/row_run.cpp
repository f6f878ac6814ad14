#include "denoise_run/row_run.h"

#include <vector>

#include "denoise_run/colour_noise_run.h"
#include "denoise_run/weight_table.h"

namespace calmora {

namespace {

DenoiseJob JobFor(int32_t width, int32_t height, int32_t tableLength) {
    return DenoiseJob{0, -1, width, height, tableLength};
}

}  // namespace

bool FullRunAccepts(const RunSettings& settings, const FullRunImage& image) {
    return RunnableSettings(settings) && image.source && image.destination &&
           image.source != image.destination && image.width >= 0 && image.height >= 0;
}

FullRunRows::FullRunRows(const RunSettings& settings, const FullRunImage& image)
    : image_(image), table_(BuildWeightTable(settings.sigma)),
      job_(JobFor(image.width, image.height, WeightTableLength(settings.sigma))),
      params_(FullRunParams(settings)), factors_(EngineFactors(settings)),
      whole_(UsesWholePixelEngine(settings)) {}

void FullRunRows::Compute(int32_t firstRow, int32_t lastRow) {
    job_.firstRow = firstRow;
    job_.lastRow = lastRow;
    // The engine writes no noise when wantNoise is 0, so no buffer is needed.
    uint8_t* const noNoise = nullptr;
    if (whole_)
        KcDenoiseCompleta(&job_, &params_, image_.source, image_.destination, table_.data(),
                          noNoise);
    else
        KcDenoisePerCanale(&job_, &params_, image_.source, image_.destination, table_.data(),
                           noNoise, &factors_);
}

RunResult RunFullDenoise(const RunSettings& settings, const FullRunImage& image,
                         const BeforeRow& beforeRow) {
    if (!FullRunAccepts(settings, image)) return {RunEnd::NotRun, 0};
    if (settings.colourNoise) return RunColourNoiseFull(settings, image, beforeRow);
    FullRunRows rows(settings, image);
    for (int32_t row = 0; row < image.height; ++row) {
        if (beforeRow && !beforeRow(row, image.height)) return {RunEnd::Stopped, row};
        rows.Compute(row, row);
    }
    return {RunEnd::Completed, image.height};
}

RunResult RunPreviewDenoise(const RunSettings& settings, const PreviewImage& image,
                            const PreviewHooks& hooks) {
    if (!RunnableSettings(settings) || !image.source || !image.denoised || !image.noise ||
        image.source == image.denoised || image.source == image.noise || image.width < 0 ||
        image.height < 0)
        return {RunEnd::NotRun, 0};
    if (settings.colourNoise) {
        // The copy is the whole picture here: its edges are the picture's.
        AreaPreviewImage whole;
        whole.image = image.source;
        whole.imageWidth = whole.width = image.width;
        whole.imageHeight = whole.height = image.height;
        whole.denoised = image.denoised;
        whole.noise = image.noise;
        whole.channelDenoised = image.channelDenoised;
        whole.channelNoise = image.channelNoise;
        return RunColourNoiseArea(settings, whole, hooks);
    }

    const std::vector<float> table = BuildWeightTable(settings.sigma);
    DenoiseJob job = JobFor(image.width, image.height, WeightTableLength(settings.sigma));
    const ChannelFactors factors = EngineFactors(settings);
    const bool whole = UsesWholePixelEngine(settings);

    for (int32_t row = 0; row < image.height; ++row) {
        if (hooks.beforeRow && !hooks.beforeRow(row, image.height))
            return {RunEnd::Stopped, row};
        job.firstRow = job.lastRow = row;
        int16_t channel = hooks.viewChannel ? hooks.viewChannel() : int16_t{0};
        uint8_t* viewDenoised = image.denoised;
        uint8_t* viewNoise = image.noise;
        if (channel != 0) {
            viewDenoised = image.channelDenoised;
            viewNoise = image.channelNoise;
            // Without the grey pair there is nowhere to put a channel view:
            // the engine leaves the display copies alone for other values.
            if (!viewDenoised || !viewNoise) channel = -1;
        }
        const DenoiseParams params = PreviewParams(settings, channel);
        if (whole)
            KcDenoiseCompletaOUT(&job, &params, image.source, viewDenoised, table.data(),
                                 viewNoise, image.denoised, image.noise);
        else
            KcDenoisePerCanaleOUT(&job, &params, image.source, viewDenoised, table.data(),
                                  viewNoise, &factors, image.denoised, image.noise);
        if (hooks.rowDone) hooks.rowDone(row, channel);
    }
    return {RunEnd::Completed, image.height};
}

}  // namespace calmora
