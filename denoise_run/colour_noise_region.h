// The colour-noise mode's computation for any window of a picture.
//
// The picture is split into full-range YCrCb (ycrcb.h). Luminance is denoised
// at its intensity and the colour at its own, both at full size; then the
// colour is shrunk to a quarter (box average over 4 x 4 blocks), denoised
// there with the coarse intensity, and only the change this made is scaled
// back (bilinear) and added. Low-frequency colour mottle is larger than the
// search window at full size, so the full-size pass cannot tell it from real
// colour; at a quarter of the size it is fine grain. Adding only the change
// keeps the full-size colour detail. The result is blended with the source
// per channel by the RGB strengths, as the per-channel engine blends.
//
// A pixel of the result depends on pixels far beyond the search window: the
// 2 x 2 shrunk pixels it is interpolated from, their windows of
// searchRadius + 1 shrunk pixels, the 4 x 4 blocks of those, and the full-size
// windows of every pixel in them. The window computed here is widened by all
// of that, on the quarter grid of the whole picture (and cut only where the
// picture ends, so that every edge is the whole run's), which makes a preview
// of an area bit for bit the full run's result there.
#pragma once

#include <cstdint>
#include <functional>

#include "denoise_run/colour_strength.h"

namespace calmora {

// The shrink factor of the coarse pass.
constexpr int32_t kCoarseFactor = 4;

// A window of a picture in buffer coordinates: columns x0..x1-1, buffer rows
// y0..y1-1 (row 0 is the picture's bottom line).
struct PixelRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    [[nodiscard]] int32_t Width() const { return x1 - x0; }
    [[nodiscard]] int32_t Height() const { return y1 - y0; }
};

struct ColourNoiseJob {
    ColourNoiseIntensities intensities;  // luminance at least 1
    int16_t radius = 0;
    float red = 1.0f, green = 1.0f, blue = 1.0f;  // strengths as in RunSettings
};

// Asked before each step (0..steps-1: a full-size row, then a shrunk row);
// false stops the computation there.
using BeforeStep = std::function<bool(int32_t step, int32_t steps)>;

// The mode's result for the pixels `out` of the picture (width x height,
// 24-bit layout, read only) into result (out's size, 24-bit layout; it may be
// the picture's own size only when out is the whole picture, and then it is
// also used as the work buffer). False when stopped: result then holds
// nothing usable. before may be empty.
[[nodiscard]] bool ComputeColourNoise(const ColourNoiseJob& job, const uint8_t* picture,
                                      int32_t width, int32_t height, const PixelRect& out,
                                      uint8_t* result, const BeforeStep& before);

}  // namespace calmora
