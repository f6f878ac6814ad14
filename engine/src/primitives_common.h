// Shared by the small pixel loops of the library.
#pragma once

#include <cstdint>

namespace kc {

// Byte offset of pixel (column, row) in a buffer of the given stride. 64-bit
// throughout: row * stride passes 2^31 on large images.
inline int64_t PixelOffset(int64_t row, int64_t stride, int64_t column) {
    return row * stride + 3 * column;
}

}  // namespace kc
