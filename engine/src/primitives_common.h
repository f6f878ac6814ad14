// Shared by the filter and the small pixel loops of the library.
#pragma once

#include <cstdint>

namespace kc {

// Row stride of the shared image layout (KcDenoise.h), in 64 bits so that no
// product overflows.
inline int64_t RowStride(int32_t width) { return (int64_t{width} * 3 + 3) & ~int64_t{3}; }

// Byte offset of pixel (column, row) in a buffer of the given stride. 64-bit
// throughout: row * stride passes 2^31 on large images.
inline int64_t PixelOffset(int64_t row, int64_t stride, int64_t column) {
    return row * stride + 3 * column;
}

}  // namespace kc
