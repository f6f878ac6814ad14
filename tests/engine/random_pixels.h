// Random test pictures with marked padding, and the address of a pixel: what
// the tests of the small pixel exports share.
#pragma once

#include <cstdint>
#include <vector>

#include "oracle.h"

namespace kc_pixels {

// The byte every row's padding holds in a RandomImage.
constexpr uint8_t kPad = 0xA5;

inline std::vector<uint8_t> RandomImage(int32_t w, int32_t h, uint64_t seed) {
    std::vector<uint8_t> img(kc_oracle::ImageBytes(w, h));
    kc_oracle::FillRandom(img.data(), img.size(), seed);
    kc_oracle::FillPadding(img.data(), w, h, kPad);
    return img;
}

inline const uint8_t* PixelAt(const uint8_t* img, int64_t stride, int64_t x, int64_t y) {
    return img + y * stride + 3 * x;
}

}  // namespace kc_pixels
