// BMP files with the later Windows info headers (BITMAPV2/V3INFOHEADER, 52
// and 56 bytes; BITMAPV4HEADER, 108; BITMAPV5HEADER, 124), which ImageMagick,
// GIMP and most Windows programs write by default.
//
// Debian's FreeImage 3.18 refuses every info header that is not the 40-byte
// BITMAPINFOHEADER ("Invalid file format"), although the later ones only add
// fields after it: the colour masks, colour space, gamma and an ICC profile
// reference. FreeImage is shown the same file with a 40-byte header instead:
// the first 40 bytes unchanged but for the size, the masks after them where
// BI_BITFIELDS wants them, then the colour table and the pixels as they are
// in the file. The colour space fields are left out; FreeImage has no use
// for them.
#pragma once

#include <optional>
#include <string>

#include "imagefiles/bitmap.h"

namespace calmora {

// Header sizes that are rewritten: the later versions of BITMAPINFOHEADER.
[[nodiscard]] bool IsLaterBmpInfoHeader(uint32_t infoSize);

// FreeImage's decode (FreeImage load flags, FIF_LOAD_NOPIXELS included) of
// the BMP at path with its later info header replaced as described above.
// 32-bit pixels whose masks are not FreeImage's blue, green, red, alpha byte
// order are put in that order. Nullopt when the file has no later info
// header, so FreeImage may read it as it is; a null bitmap when the file is
// too short for its headers or FreeImage cannot decode it.
[[nodiscard]] std::optional<BitmapPtr> LoadBmpWithLaterHeader(const std::string& path, int flags);

}  // namespace calmora
