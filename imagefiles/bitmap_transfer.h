// A FreeImage bitmap laid out in a block of shared memory, so that a
// decoding child can hand its picture to the parent: the pixels (page-aligned,
// one copy in, one copy out), the resolution, the background colour, every
// metadata tag of every model (key, id, type, count, length, description,
// value; FIMD_EXIF_RAW included) and the ICC profile with its flags. Or just
// the size and sample type of a bitmap read without its pixels.
//
// The parent reads what a possibly subverted child wrote: every size and
// offset is checked against the block before it is used, and a block that
// does not add up gives no bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagefiles/bitmap.h"

namespace calmora {

// Bytes WriteTransfer needs for image (nullptr: a status alone).
[[nodiscard]] size_t TransferBytes(FIBITMAP* image);

// Writes status (the caller's own code) and image into to, which holds
// TransferBytes(image) bytes. Pixels are written for 24-bit bitmaps only; any
// other bitmap (or one without pixels) is described by its header alone.
void WriteTransfer(int32_t status, FIBITMAP* image, uint8_t* to, size_t bytes);

struct TransferredBitmap {
    bool valid = false;      // the block was complete and consistent
    int32_t status = 0;
    bool described = false;  // a bitmap was written (with or without pixels)
    uint32_t width = 0, height = 0, bitsPerPixel = 0;
    FREE_IMAGE_TYPE type = FIT_UNKNOWN;
    BitmapPtr image;         // the 24-bit bitmap, when its pixels were written
};

// The bitmap back from a block WriteTransfer wrote; for one written without
// pixels, only its size and sample type.
[[nodiscard]] TransferredBitmap ReadTransfer(const uint8_t* from, size_t bytes);

}  // namespace calmora
