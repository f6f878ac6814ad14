// Decoding a JPEG without the EXIF that FreeImage must not read.
//
// FreeImage reads every APP1 segment of a JPEG itself, from the file, while
// it decodes; there is no flag to make it skip them. So when the header guard
// finds one it must not see (GuardVerdict::badExifSegments), the picture is
// decoded from a copy of the file in memory in which those segments are
// renamed APP15, a marker that libjpeg skips and FreeImage never reads. The
// picture is the same; only that metadata is lost, which is the point.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imagefiles/bitmap.h"

namespace calmora {

// The bytes of the JPEG at path with every APP1 segment the guard objects to
// renamed; nullopt when it objects to none (or the file cannot be read), so
// the file may be decoded as it is.
[[nodiscard]] std::optional<std::vector<uint8_t>> JpegWithoutBadExif(const std::string& path);

// FreeImage's decode (with FreeImage load flags) of JpegWithoutBadExif(path);
// nullopt when there is nothing to hide and the file may be loaded from disk.
// A null bitmap when the copy could not be decoded.
[[nodiscard]] std::optional<BitmapPtr> LoadJpegWithoutBadExif(const std::string& path, int flags);

}  // namespace calmora
