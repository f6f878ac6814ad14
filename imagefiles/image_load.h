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
    unsigned bitsPerPixel = 24;           // of the picture as FreeImage decodes it
    FREE_IMAGE_TYPE type = FIT_BITMAP;    // its sample type
};

// Identifies the file by its content and reads its pixel size and sample type
// from the header alone, so that files too large, or claiming to be, are
// refused before any pixel memory is allocated, and a sample type that has no
// 24-bit version (float RGB or RGBA) gives ConversionFailed. Cheap: reads only
// headers. The memory the picture would need is measured against memoryBytes
// (see CheckImageMemory); without it, against SystemMemoryBytes().
//
// FreeImage reads the file (header and pixels) in a sandboxed child process
// (sandbox.h): a decoder that crashes, is stopped by the filter, runs out of
// its memory or time gives Corrupt. Where no sandbox can be had (no seccomp,
// a debugger or valgrind, CALMORA_DECODE_IN_PROCESS=1), stderr says so once
// and FreeImage runs in this process.
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

namespace decode_testing {

// Tests only: a decoder run instead of FreeImage's for the pixels (in the
// sandbox like FreeImage's, so that a test can make it crash, loop or take
// all memory), and shorter limits for the child (0: the usual ones). Nothing
// in a file or the environment reaches it.
struct LoadSeam {
    BitmapPtr (*decoder)(const std::string& path) = nullptr;
    int cpuSeconds = 0;
    int wallMilliseconds = 0;
    uint64_t memoryBytes = 0;  // besides a fixed margin
};
void SetLoadSeamForTesting(const LoadSeam& seam);

}  // namespace decode_testing

}  // namespace calmora
