// Windows emulation: the 40-byte bitmap header record a DIB section carries.
// Linux has no DIBs; the record stays because the drawing code reads its
// size fields, and nothing else of it is used.
#pragma once

#include <cstdint>

namespace calmora {

struct BitmapInfo {
    int32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    int16_t planes = 1;
    int16_t bitCount = 24;
    int32_t compression = 0;
    int64_t sizeImage = 0;  // stride * height
};

}  // namespace calmora
