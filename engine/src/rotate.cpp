// Quarter turn anticlockwise: source column i becomes destination row i, read
// from the top source row down, so the picture's right edge ends up on top.
#include "KcDenoise.h"
#include "primitives_common.h"

extern "C" int32_t KcRuota90Antiorario(const uint8_t* source, uint8_t* destination,
                                       int32_t width, int32_t height) {
    const int64_t srcStride = kc::RowStride(width);
    const int64_t dstStride = kc::RowStride(height);
    for (int32_t i = 0; i < width; ++i) {
        uint8_t* d = destination + kc::PixelOffset(i, dstStride, 0);
        for (int32_t k = 0; k < height; ++k, d += 3) {
            const uint8_t* s = source + kc::PixelOffset(int64_t{height} - 1 - k, srcStride, i);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    return 0;
}
