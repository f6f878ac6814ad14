// Bytes per row of the 24-bit buffers every layer above the engine hands to
// KcDenoise and gets from FreeImage: three bytes a pixel, each row padded to a
// multiple of four (KcDenoise.h). The engine keeps its own copy inside the
// library (engine/src/primitives_common.h), since it exports no C++.
#pragma once

#include <cstdint>

namespace calmora {

// In 64 bits, so that neither the stride nor stride * height of any image the
// program accepts overflows. width must not be negative.
[[nodiscard]] constexpr int64_t RowStride(int64_t width) {
    return (width * 3 + 3) & ~int64_t{3};
}

}  // namespace calmora
