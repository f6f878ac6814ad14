// Reading image files through FreeImage, without widgets.
//
// Every image leaves LoadImageFile as a 24-bit FreeImage bitmap (bytes blue,
// green, red, rows bottom-up), which is the buffer layout the engine works on.
// Paths are UTF-8 byte strings, passed to the C library unchanged.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>

#include "imagefiles/bitmap.h"
#include "imagefiles/load_error.h"
#include "imagefiles/memory_budget.h"

namespace calmora {

// What can be learnt about a file without decoding its pixels.
struct ImageProbe {
    ImageFileError error = ImageFileError::None;
    FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
    int64_t width = 0;   // pixels the decoder will allocate
    int64_t height = 0;
};

// Identifies the file by its content and reads its pixel size from the header
// alone, so that files too large, or claiming to be, are refused before any
// pixel memory is allocated. Cheap: reads only headers. The memory the
// picture would need is measured against memoryBytes (see CheckImageMemory);
// without it, against SystemMemoryBytes().
[[nodiscard]] ImageProbe ProbeImageFile(const std::string& path);
[[nodiscard]] ImageProbe ProbeImageFile(const std::string& path, uint64_t memoryBytes);

struct LoadedImage {
    BitmapPtr image;  // 24 bits per pixel; null on error
    FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
    ImageFileError error = ImageFileError::None;
};

// Probes, decodes (JPEG with accurate decoding) and converts to 24 bits. The
// metadata (EXIF, IPTC, XMP, comments) and the ICC profile of the file stay
// attached to the returned bitmap so that a later save can write them back.
// EXIF that FreeImage does not read (a PNG's eXIf chunk) or misreads (a
// TIFF's EXIF directory) is read by the program and attached the way
// FreeImage attaches a JPEG's: as tags and as the raw block.
[[nodiscard]] LoadedImage LoadImageFile(const std::string& path);
[[nodiscard]] LoadedImage LoadImageFile(const std::string& path, uint64_t memoryBytes);

// Copies metadata and ICC profile from one bitmap to another (for instance
// from the loaded image to its denoised copy before saving). False when
// FreeImage could not copy them.
bool CopyImageMetadata(FIBITMAP* to, FIBITMAP* from);

}  // namespace calmora
