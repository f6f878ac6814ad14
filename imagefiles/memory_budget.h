// How large a picture the program agrees to load: fixed limits against forged
// headers, and the memory this computer (or its control group) can give.
#pragma once

#include <cstdint>

#include "imagefiles/image_guard.h"
#include "imagefiles/load_error.h"

namespace calmora {

// Largest image accepted: decoding anything bigger would take gigabytes, and
// a tiny hostile file can claim any size in its header. The header guard
// applies the same limits before any decoder runs.
constexpr int64_t kMaxImagePixels = kGuardMaxPixels;
constexpr int64_t kMaxImageSide = kGuardMaxSide;

// None when width x height is acceptable (positive, within the limits, and
// its 24-bit buffer addressable); TooLarge otherwise.
[[nodiscard]] ImageFileError CheckImageSize(int64_t width, int64_t height);

// Bytes that loading a width x height picture takes at its peak: the 24-bit
// image plus the decoder's own copy it is converted from. Saturates instead
// of overflowing for absurd sizes.
[[nodiscard]] uint64_t LoadingMemoryNeed(int64_t width, int64_t height);

// None when loading a width x height picture fits in memoryBytes, or when
// memoryBytes is 0 (not known); NotEnoughMemory otherwise.
[[nodiscard]] ImageFileError CheckImageMemory(int64_t width, int64_t height, uint64_t memoryBytes);

// Physical memory plus swap, lowered to the control group's memory limit when
// the program runs under one; 0 when it cannot be told.
[[nodiscard]] uint64_t SystemMemoryBytes();

}  // namespace calmora
