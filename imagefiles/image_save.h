// Writing image files through FreeImage, without widgets, so that a failed
// save never damages the file it was to replace.
#pragma once

#include <FreeImage.h>

#include <optional>
#include <string>

#include "imagefiles/save_error.h"

namespace calmora {

enum class SaveFormat { Jpeg, Png, Tiff, Bmp };

// jpg/jpeg, png, tif/tiff, bmp in any letter case; nothing for other text.
[[nodiscard]] std::optional<SaveFormat> SaveFormatFromExtension(const std::string& extension);

struct SaveOptions {
    int jpegQuality = 90;  // 1..100
    bool tiffLzw = false;  // false: uncompressed
};

// Writes image to path in format, first into a temporary file in the same
// folder which replaces path only once it is completely written, so a
// failed save never damages an existing file. The ICC profile and metadata
// attached to image are written into JPEG, TIFF and PNG files, EXIF
// included: TIFF gets its EXIF directory and main tags, PNG an eXIf chunk.
// A PNG is written without the profile when libpng refuses the profile.
// What may be replaced follows CheckSaveTarget (save_target.h): through a
// link the file it leads to is replaced and the link stays; devices, FIFOs,
// sockets and write-protected files are refused; the replaced file's
// permission bits, and where allowed its owner and group, are kept. A write
// refused by the system (a full disk, a file-size limit) is WriteFailed with
// that errno in every format.
[[nodiscard]] SaveResult SaveImageFile(FIBITMAP* image, const std::string& path,
                                       SaveFormat format, const SaveOptions& options);

}  // namespace calmora
