// Why an image file could not be loaded.
#pragma once

namespace calmora {

enum class ImageFileError {
    None,
    UnknownFormat,     // not a JPEG, BMP, PNG, TIFF or GIF file (catalogue message 1)
    CannotOpen,        // missing or unreadable (message 2)
    TooLarge,          // over the size limits (message 2)
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

}  // namespace calmora
