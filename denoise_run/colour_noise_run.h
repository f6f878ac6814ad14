// The colour-noise mode's runs: the full run and the preview of an area,
// with the hooks of the RGB mode's (row_run.h, area_preview.h). The
// computation is colour_noise_region.h's; both runs go through it, so the
// preview of an area is the full run's result there to the bit.
//
// A run of the mode is a row of every full-size pass, then a row of the
// coarse pass: the hooks' "row" counts those steps (so a progress bar moves
// evenly), and a stop comes between two of them. Its result is complete only
// at the end: a stopped run reports rowsDone 0, and a run whose work buffers
// cannot be had ends OutOfMemory; in both cases the output holds nothing to
// use (a run over the whole picture works in it).
#pragma once

#include "denoise_run/area_preview.h"
#include "denoise_run/colour_noise_region.h"
#include "denoise_run/row_run.h"

namespace calmora {

// The job for these settings (colour_strength.h).
[[nodiscard]] ColourNoiseJob ColourNoiseJobFor(const RunSettings& settings);

// As RunFullDenoise; beforeRow gets (step, steps).
[[nodiscard]] RunResult RunColourNoiseFull(const RunSettings& settings, const FullRunImage& image,
                                           const BeforeRow& beforeRow);

// As RunFullDenoise for an explicit job (the benchmark sets each pass apart).
[[nodiscard]] RunResult RunColourNoiseJob(const ColourNoiseJob& job, const FullRunImage& image,
                                          const BeforeRow& beforeRow);

// As RunAreaPreview: hooks.beforeRow gets (step, steps); once the result is
// made, each area row is written with its noise and views and handed to
// hooks.rowDone, bottom row first.
[[nodiscard]] RunResult RunColourNoiseArea(const RunSettings& settings,
                                           const AreaPreviewImage& image,
                                           const PreviewHooks& hooks);

}  // namespace calmora
