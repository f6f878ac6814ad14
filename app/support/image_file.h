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

namespace calmora {

// Largest image accepted: decoding anything bigger would take gigabytes, and
// a tiny hostile file can claim any size in its header.
constexpr int64_t kMaxImagePixels = 200'000'000;
constexpr int64_t kMaxImageSide = 65535;

enum class ImageFileError {
    None,
    UnknownFormat,     // not a JPEG, BMP, PNG, TIFF or GIF file (catalogue message 1)
    CannotOpen,        // missing or unreadable (message 2)
    TooLarge,          // over the size limits above (message 2)
    Truncated,         // the file ends before its pixel data does (message 2)
    Corrupt,           // the decoder gave up (message 2)
    ConversionFailed,  // no 24-bit version could be made (message 3)
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
// pixel memory is allocated. Cheap: reads only headers.
[[nodiscard]] ImageProbe ProbeImageFile(const std::string& path);

// None when width x height is acceptable (positive, within the limits, and
// its 24-bit buffer addressable); TooLarge otherwise.
[[nodiscard]] ImageFileError CheckImageSize(int64_t width, int64_t height);

struct LoadedImage {
    BitmapPtr image;  // 24 bits per pixel; null on error
    FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
    ImageFileError error = ImageFileError::None;
};

// Probes, decodes (JPEG with accurate decoding) and converts to 24 bits. The
// metadata (EXIF, IPTC, XMP, comments) and the ICC profile of the file stay
// attached to the returned bitmap so that a later save can write them back.
[[nodiscard]] LoadedImage LoadImageFile(const std::string& path);

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

struct SaveResult {
    bool ok = false;
    std::string reason;  // English, for a batch user; empty when ok
};

// Writes image to path in format, first into a temporary file in the same
// folder which replaces path only once it is completely written, so a
// failed save never damages an existing file. Metadata and ICC profile
// attached to image are written into JPEG, TIFF and PNG files.
[[nodiscard]] SaveResult SaveImageFile(FIBITMAP* image, const std::string& path,
                                       SaveFormat format, const SaveOptions& options);

}  // namespace calmora
