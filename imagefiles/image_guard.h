// Checks made on an image file's own headers before FreeImage is allowed to
// decode it. FreeImage trusts what a header claims: a few hundred bytes that
// say 100000 x 100000 make it allocate tens of gigabytes, and a JPEG frame
// with an unusual component count makes it write past its pixel buffer. The
// guard reads just enough of the file itself to refuse such files cheaply,
// without allocating anything in proportion to the claimed size.
#pragma once

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace calmora {

// Largest picture the program agrees to decode. Even at the limit a 24-bit
// copy is 600 MB; anything larger is far more likely to be a forged header
// than a photograph.
constexpr uint32_t kGuardMaxSide = 65535;
constexpr uint64_t kGuardMaxPixels = 200000000;
// Largest side of a JPEG thumbnail inside EXIF. FreeImage decodes a
// thumbnail in full, with none of the program's limits, whenever it reads the
// EXIF; cameras write 160 x 120.
constexpr uint32_t kGuardMaxThumbnailSide = 4096;

enum class GuardOutcome {
    kAccepted,           // headers are sane: decoding may go ahead
    kUnsupportedFormat,  // FreeImage knows the format but the program does not open it
    kTooLarge,           // claims more pixels than the limits above (or none at all)
    kMalformed,          // damaged, cut short, or would make the decoder unsafe
};

struct GuardVerdict {
    GuardOutcome outcome = GuardOutcome::kMalformed;
    // Size of the picture FreeImage would allocate, as the header claims it;
    // 0 when it was not reached.
    uint32_t width = 0;
    uint32_t height = 0;
    std::string reason;   // one plain English phrase; empty when accepted

    // A JPEG's APP1 segments that FreeImage must not be shown, each by the
    // offset of its marker code (the 0xE1 after 0xFF): EXIF that fails
    // exif::CheckExifBlock, and APP1 shorter than the signatures FreeImage
    // compares it with. Wherever they stand (before or after the frame
    // header, between scans), they never make a picture unacceptable: it is
    // decoded without them (see exif_strip.h). exifProblem says what is
    // wrong with the first; both are empty when there is nothing to hide.
    std::vector<uint64_t> badExifSegments;
    std::string exifProblem;

    [[nodiscard]] bool accepted() const { return outcome == GuardOutcome::kAccepted; }
    [[nodiscard]] bool exifMalformed() const { return !badExifSegments.empty(); }
};

// Reads the headers of the file at path (UTF-8), whose type FreeImage has
// already identified as fif, and decides whether FreeImage may decode it.
// Accepted only for JPEG, PNG, BMP, TIFF and GIF whose first picture is at
// most kGuardMaxSide on each side and kGuardMaxPixels in all. Reads a bounded
// amount per header and never allocates in proportion to what the file claims.
[[nodiscard]] GuardVerdict InspectBeforeDecode(const std::string& path, FREE_IMAGE_FORMAT fif);

// The same check on a file already in memory.
[[nodiscard]] GuardVerdict InspectBeforeDecode(const uint8_t* data, size_t size,
                                               FREE_IMAGE_FORMAT fif);

// The JPEG check for a thumbnail kept in EXIF, `nesting` deep (1 for a
// picture's own thumbnail): accepted only within kGuardMaxThumbnailSide on
// each side and when its own EXIF, if any, needs nothing hidden.
[[nodiscard]] GuardVerdict InspectEmbeddedJpeg(const uint8_t* data, size_t size, int nesting);

}  // namespace calmora
