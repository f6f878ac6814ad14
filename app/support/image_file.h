// Reading and writing image files through FreeImage, without widgets.
//
// Every image leaves LoadImageFile as a 24-bit FreeImage bitmap (bytes blue,
// green, red, rows bottom-up), which is the buffer layout the engine works on.
// Paths are UTF-8 byte strings, passed to the C library unchanged.
//
// The first load or save installs the process-wide FreeImage message handler
// (and libtiff's), through which truncated files are recognised and decoder
// chatter is kept off the terminal; nothing else should replace them.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "image_guard.h"

namespace calmora {

// Largest image accepted: decoding anything bigger would take gigabytes, and
// a tiny hostile file can claim any size in its header. The header guard
// applies the same limits before any decoder runs.
constexpr int64_t kMaxImagePixels = kGuardMaxPixels;
constexpr int64_t kMaxImageSide = kGuardMaxSide;

enum class ImageFileError {
    None,
    UnknownFormat,     // not a JPEG, BMP, PNG, TIFF or GIF file (catalogue message 1)
    CannotOpen,        // missing or unreadable (message 2)
    TooLarge,          // over the size limits above (message 2)
    Truncated,         // the file ends before its pixel data does (message 2)
    Corrupt,           // the decoder gave up (message 2)
    ConversionFailed,  // no 24-bit version could be made (message 3)
    NotEnoughMemory,   // within the limits, but more than this computer holds (message 2)
};

// Short English reason for a batch user, e.g. "unknown image format".
[[nodiscard]] const char* DescribeImageFileError(ImageFileError error);

// Number of the message catalogue entry the window program shows for error
// (1, 2 or 3); 0 for None.
[[nodiscard]] int CatalogueMessageFor(ImageFileError error);

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

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

enum class SaveFormat { Jpeg, Png, Tiff, Bmp };

// jpg/jpeg, png, tif/tiff, bmp in any letter case; nothing for other text.
[[nodiscard]] std::optional<SaveFormat> SaveFormatFromExtension(const std::string& extension);

struct SaveOptions {
    int jpegQuality = 90;  // 1..100
    bool tiffLzw = false;  // false: uncompressed
};

enum class SaveError {
    None,
    NoImage,         // nothing to save
    NoFileName,
    BadJpegQuality,  // outside 1..100
    IsFolder,        // the name is that of a folder
    CannotCreate,    // no new file can be made in the folder (systemError says why)
    WriteFailed,     // writing or flushing failed (systemError says why)
    EncoderFailed,   // the encoder refused the image
    CannotReplace,   // the finished file could not take the old one's place (systemError)
};

struct SaveResult {
    bool ok = false;
    SaveError error = SaveError::None;
    int systemError = 0;  // errno behind the error, 0 when none
    std::string reason;   // DescribeSaveError in English, for a batch user; empty when ok
};

// Why a save failed, in language 1 (English) or 2 (Italian), UTF-8: the
// error, and for the errors that have one the system's reason.
[[nodiscard]] std::string DescribeSaveError(SaveError error, int systemError, int language);

// Writes image to path in format, first into a temporary file in the same
// folder which replaces path only once it is completely written, so a
// failed save never damages an existing file. The ICC profile and metadata
// attached to image are written into JPEG, TIFF and PNG files, EXIF
// included: TIFF gets its EXIF directory and main tags, PNG an eXIf chunk.
// A PNG is written without the profile when libpng refuses the profile.
[[nodiscard]] SaveResult SaveImageFile(FIBITMAP* image, const std::string& path,
                                       SaveFormat format, const SaveOptions& options);

}  // namespace calmora
