// Nearest-neighbour scaling with one ratio for both axes, for the screen-fit view.
#include "KcDenoise.h"
#include "primitives_common.h"

namespace {

// The smaller of the two axis ratios, so the picture keeps its proportions.
// A destination one pixel wide or high has no ratio on that axis; the other
// axis decides, and a single pixel takes the source's first one.
double Scale(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight) {
    const bool hasX = dstWidth != 1;
    const bool hasY = dstHeight != 1;
    const double rx = hasX ? double(srcWidth - 1) / double(dstWidth - 1) : 0.0;
    // Held in single precision: which ratio wins, and the scale when it does,
    // depend on it.
    const float ry = hasY ? static_cast<float>(double(srcHeight - 1) / double(dstHeight - 1))
                          : 0.0f;
    if (!hasX && !hasY) return 0.0;
    if (!hasX) return ry;
    if (!hasY) return rx;
    return rx < ry ? rx : ry;
}

}  // namespace

extern "C" int32_t KcNearestResampling(const uint8_t* source, uint8_t* destination,
                                       int32_t srcWidth, int32_t srcStride, int32_t srcHeight,
                                       int32_t dstWidth, int32_t dstStride, int32_t dstHeight) {
    // An empty source has no pixel to take; an empty destination nothing to fill.
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return 0;
    const double scale = Scale(srcWidth, srcHeight, dstWidth, dstHeight);
    for (int32_t i = 0; i < dstHeight; ++i) {
        const int64_t srcRow = static_cast<int64_t>(scale * i);
        const uint8_t* srcLine = source + kc::PixelOffset(srcRow, srcStride, 0);
        uint8_t* d = destination + kc::PixelOffset(i, dstStride, 0);
        for (int32_t j = 0; j < dstWidth; ++j, d += 3) {
            const uint8_t* s = srcLine + 3 * static_cast<int64_t>(scale * j);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    return 0;
}
