// Copy of a block of pixels between two buffers of their own strides.
#include <cstring>

#include "KcDenoise.h"
#include "primitives_common.h"

extern "C" int32_t KcBitBlt(uint8_t* destination, int32_t dstColumn, int32_t dstRow,
                            int32_t width, int32_t dstStride, int32_t height,
                            const uint8_t* source, int32_t srcColumn, int32_t srcRow,
                            int32_t srcStride) {
    if (height <= 0 || width <= 0) return 0;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int32_t r = 0; r < height; ++r) {
        // memmove: a caller may move a block within one buffer.
        std::memmove(destination + kc::PixelOffset(int64_t{dstRow} + r, dstStride, dstColumn),
                     source + kc::PixelOffset(int64_t{srcRow} + r, srcStride, srcColumn),
                     rowBytes);
    }
    return 0;
}
