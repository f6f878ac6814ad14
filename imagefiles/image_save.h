// Writing image files through FreeImage, without widgets, so that a failed
// save never damages the file it was to replace.
#pragma once

#include <FreeImage.h>

#include <optional>
#include <string>

namespace calmora {

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
