// Why an image file could not be loaded.
#pragma once

namespace calmora {

enum class ImageFileError {
    None,
    UnknownFormat,     // not a JPEG, BMP, PNG, TIFF or GIF file
    CannotOpen,        // missing or unreadable
    TooLarge,          // over the size limits
    Truncated,         // the file ends before its pixel data does
    Corrupt,           // the decoder gave up
    ConversionFailed,  // no 24-bit version could be made
    NotEnoughMemory,   // within the limits, but more than this computer holds
};

// Short English reason for a batch user, e.g. "unknown image format".
[[nodiscard]] const char* DescribeImageFileError(ImageFileError error);

}  // namespace calmora
