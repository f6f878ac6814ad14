// Drawing the visible block of a zoomed view from the picture, in the engine's
// buffer layout (BGR, bottom-up rows), without Qt.
//
// Enlarged (scale above 1), every image pixel becomes a sharp square: nearest
// neighbour, so noise and detail are seen as they are, pixel by pixel.
// Reduced (scale below 1), every screen pixel is the average of the image
// pixels it covers (a box filter over whole pixels): picking one pixel out of
// each block, as nearest neighbour does, would turn the photo's noise and fine
// texture into coarse grain and moire patterns; the area average is what the
// eye would see from further away, costs one addition per image pixel shown,
// and needs no tuning. At exactly 1 the block is a copy.
//
// Only the block on screen is computed, so an 800 % view of a large picture
// costs no more memory than the window.
#pragma once

#include <cstdint>

namespace calmora {

struct ZoomSource {
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0;
};

struct ZoomBlock {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0;
};

// Fills block with the part of source shown at scale (screen pixels per image
// pixel) whose top-left screen pixel is (scrollX, scrollY) of the scaled
// picture. Screen pixel (x, y) covers image pixels [x / scale, (x + 1) / scale)
// along each axis; beyond the picture's edge the last pixel is repeated. False
// (block untouched) when a size is not positive or scale is not.
bool ResampleZoomBlock(const ZoomSource& source, double scale, int32_t scrollX, int32_t scrollY,
                       const ZoomBlock& block);

}  // namespace calmora
