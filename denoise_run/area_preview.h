// The preview of an area of a larger image, computed so that every previewed
// pixel equals the pixel a full run writes there.
//
// A pixel of the filter depends on the pixels up to searchRadius + patchRadius
// away (its search window and the patches around the candidates) and on how
// far it is from the image's edges, since windows and patches are clamped
// there. The area alone lacks that surrounding band, so a preview of a bare
// copy differs from the full run along its border. Here the area is computed
// inside a copy of the image that reaches that far beyond it on every side
// (less where the image ends, so that the clamping is the full run's too);
// only the area's pixels are handed back.
#pragma once

#include <cstdint>

#include "denoise_run/row_run.h"

namespace calmora {

// The pixels a previewed pixel depends on beyond itself, on every side: the
// search radius plus the patch radius of 1 that every run uses.
[[nodiscard]] int32_t PreviewContextMargin(const RunSettings& settings);

struct AreaPreviewImage {
    // The whole image (24-bit layout, rows bottom-up), read only.
    const uint8_t* image = nullptr;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    // The area's top-left pixel, counted from the picture's left column and
    // top line (as on screen); the area must lie inside the image.
    int32_t left = 0;
    int32_t top = 0;
    // The outputs, all of the area's size and as in PreviewImage (source
    // unused): colour pictures, and the grey pair of the channel on show.
    uint8_t* denoised = nullptr;
    uint8_t* noise = nullptr;
    uint8_t* channelDenoised = nullptr;
    uint8_t* channelNoise = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// Whether the area lies inside the image and no output is one of the image's bits.
[[nodiscard]] bool AreaPreviewAccepts(const AreaPreviewImage& image);

// As RunPreviewDenoise, row by row from the area's bottom row (0) up with the
// same hooks, but each row is computed with the image around the area. NotRun
// (nothing written) also when the area does not lie inside the image or an
// output is one of the image's bits. In the colour-noise mode, the run is
// RunColourNoiseArea's.
[[nodiscard]] RunResult RunAreaPreview(const RunSettings& settings, const AreaPreviewImage& image,
                                       const PreviewHooks& hooks);

}  // namespace calmora
