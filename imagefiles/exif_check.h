// The program's own reading of an EXIF block's structure, done before
// FreeImage's EXIF reader is shown the block.
//
// FreeImage 3.18 trusts an EXIF block in ways a few crafted bytes exploit: it
// reads the pointer behind the first directory at 12 x (claimed entry count)
// without checking that the count fits the block, and its check of the
// thumbnail's offset + length is done in 32 bits, so an offset near 4 GB
// with a length that wraps passes. Either sends it gigabytes past the block.
// Here every directory, value and the thumbnail are checked against the
// block in 64-bit arithmetic; a block that fails is never handed to
// FreeImage (the picture is still opened, without it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calmora::exif {

struct BlockCheck {
    bool valid = false;
    std::string reason;  // one plain English phrase; empty when valid

    [[nodiscard]] explicit operator bool() const { return valid; }
};

// Directories followed below IFD0 (EXIF, GPS, interoperability), at most.
constexpr int kMaxExifDepth = 4;
// Directories in one block, at most; cameras write four or five.
constexpr int kMaxExifDirectories = 32;

// Walks the TIFF-structured block (starting with "II*\0" or "MM\0*", without
// JPEG's "Exif\0\0") as FreeImage does: IFD0 and the IFD1 behind it, the
// EXIF, GPS and interoperability directories wherever a pointer to one
// stands, every entry's value and the JPEG thumbnail (tags 0x201/0x202 of
// IFD1). Valid when everything lies inside the block, no directory is
// reached twice, nesting stays within kMaxExifDepth, and the thumbnail is a
// JPEG the header guard accepts as a thumbnail. `nesting` is 0 for a
// picture's own EXIF and 1 for the EXIF inside its thumbnail, which may not
// carry a further thumbnail (FreeImage would decode it too, and so on).
[[nodiscard]] BlockCheck CheckExifBlock(const uint8_t* block, size_t size, int nesting = 0);

}  // namespace calmora::exif
