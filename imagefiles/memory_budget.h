// How large a picture the program agrees to load: fixed limits against forged
// headers, and the memory this computer (or its control group) can give.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

// Bytes that loading a width x height picture takes at its peak: what the
// decoder produces (decodedBitsPerPixel a pixel: bits per sample times
// samples, 48 for 16-bit RGB, 128 for float RGBA), the 8-bit grey step of
// types converted through it (needsGreyStep), and the 24-bit image. Never less
// than two 24-bit copies: the decoders keep working buffers of their own
// beside the picture. Saturates instead of overflowing for absurd sizes.
[[nodiscard]] uint64_t LoadingMemoryNeed(int64_t width, int64_t height,
                                         unsigned decodedBitsPerPixel = 24,
                                         bool needsGreyStep = false);

// None when loading a width x height picture that decodes to
// decodedBitsPerPixel fits in memoryBytes, or when memoryBytes is 0 (not
// known); NotEnoughMemory otherwise.
[[nodiscard]] ImageFileError CheckImageMemory(int64_t width, int64_t height, uint64_t memoryBytes);
[[nodiscard]] ImageFileError CheckImageMemory(int64_t width, int64_t height,
                                              unsigned decodedBitsPerPixel, bool needsGreyStep,
                                              uint64_t memoryBytes);

// Physical memory plus swap, lowered to the control group's memory limit when
// the program runs under one; 0 when it cannot be told.
[[nodiscard]] uint64_t SystemMemoryBytes();

// The memory (plus swap) limit of the control groups named in membership (a
// file laid out as /proc/self/cgroup), read from the hierarchy mounted at
// root (/sys/fs/cgroup): cgroup v2's memory.max and memory.swap.max of the
// group and every group above it, cgroup v1's memory.limit_in_bytes and
// memory.memsw.limit_in_bytes; the lowest that applies. Swap counts up to
// systemSwap. Nothing when no limit is set or none can be read.
[[nodiscard]] std::optional<uint64_t> ControlGroupMemoryLimit(const std::string& root,
                                                              const std::string& membership,
                                                              uint64_t systemSwap);

}  // namespace calmora
