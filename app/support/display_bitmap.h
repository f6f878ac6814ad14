// A picture kept in the engine's buffer layout (BGR, bottom-up rows, stride
// rounded up to 4 bytes) so that engine routines and FreeImage bits can be
// copied into it directly. It plays the part of a DIB section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dib_header.h"

namespace calmora {

struct DisplayBitmap {
    BitmapInfo info;
    uint8_t* bits = nullptr;  // null while not made
    std::unique_ptr<uint8_t, void (*)(void*)> storage{nullptr, nullptr};

    [[nodiscard]] int32_t width() const { return info.width; }
    [[nodiscard]] int32_t height() const { return info.height; }
    [[nodiscard]] int64_t stride() const;
    [[nodiscard]] bool made() const { return bits != nullptr; }
    void Release();  // frees the pixels; the record can be made again
};

// Row stride of the buffer layout; -1 when width is not positive or the
// stride would not fit in 32 bits.
[[nodiscard]] int64_t BufferStride(int64_t width);

// Makes (or remakes) bitmap at width x height, zero-filled. False when memory
// cannot be had or the size arithmetic would overflow; bitmap is then released.
[[nodiscard]] bool CreaDIB(DisplayBitmap& bitmap, int32_t width, int32_t height);

// Copies a block from an image buffer into a buffer of exactly blockWidth x
// blockHeight pixels. Coordinates are top-down, as on screen. Goes through the
// engine's block copy.
bool CopyImageBlock(uint8_t* destination, int32_t dstX, int32_t dstY, int32_t blockWidth,
                    int32_t blockHeight, const uint8_t* source, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight);

}  // namespace calmora
