// A FreeImage bitmap laid out in a block of shared memory, so that a
// decoding child can hand its picture to the parent: the pixels (page-aligned,
// one copy in, one copy out; or apart from the block, sent down a pipe into
// the bitmap the parent prepared), the resolution, the background colour,
// every metadata tag of every model (key, id, type, count, length,
// description, value; FIMD_EXIF_RAW included) and the ICC profile with its
// flags. Or just the size and sample type of a bitmap read without its pixels.
//
// The parent reads what a possibly subverted child wrote: every size and
// offset is checked against the block before it is used, and a block that
// does not add up gives no bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagefiles/bitmap.h"

namespace calmora {

enum class PixelPlace {
    InBlock,  // after the metadata, page-aligned
    Apart,    // not in the block: the writer sends ApartPixelBytes(image) from FreeImage_GetBits
};

// Bytes WriteTransfer needs for image (nullptr: a status alone).
[[nodiscard]] size_t TransferBytes(FIBITMAP* image, PixelPlace place = PixelPlace::InBlock);

// Writes status (the caller's own code) and image into to, which holds
// TransferBytes(image, place) bytes. Pixels are transferred for 24-bit
// bitmaps only; any other bitmap (or one without pixels) is described by its
// header alone.
void WriteTransfer(int32_t status, FIBITMAP* image, uint8_t* to, size_t bytes,
                   PixelPlace place = PixelPlace::InBlock);

// The pixel bytes (pitch times height, contiguous from FreeImage_GetBits)
// that travel apart for image; 0 when it transfers none.
[[nodiscard]] uint64_t ApartPixelBytes(FIBITMAP* image);

// Pixels that travelled apart from the block, as the reader received them.
struct ApartPixels {
    const uint8_t* bytes = nullptr;  // where they landed
    uint64_t size = 0;
    // The 24-bit bitmap they were received into, if they were (bytes is then
    // its bits): it becomes the result when the block describes its size.
    BitmapPtr* prepared = nullptr;
};

struct TransferredBitmap {
    bool valid = false;      // the block was complete and consistent
    int32_t status = 0;
    bool described = false;  // a bitmap was written (with or without pixels)
    uint32_t width = 0, height = 0, bitsPerPixel = 0;
    FREE_IMAGE_TYPE type = FIT_UNKNOWN;
    BitmapPtr image;         // the 24-bit bitmap, when its pixels were written
};

// The bitmap back from a block WriteTransfer wrote; for one written without
// pixels, only its size and sample type. A block whose pixels are apart
// takes them from apart, which must hold exactly as many.
[[nodiscard]] TransferredBitmap ReadTransfer(const uint8_t* from, size_t bytes,
                                             const ApartPixels& apart = {});

}  // namespace calmora
