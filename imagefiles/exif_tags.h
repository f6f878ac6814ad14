// EXIF data between FreeImage bitmaps and the TIFF-structured bytes that
// files carry it in.
//
// FreeImage keeps what it reads from a photograph's EXIF in two forms: the
// tags it understood (models FIMD_EXIF_MAIN, _EXIF, _GPS, _INTEROP) and, for
// JPEG, the block exactly as the file held it (FIMD_EXIF_RAW, key "ExifRaw",
// starting with "Exif\0\0"). Its JPEG writer only writes the block, and its
// TIFF and PNG writers write neither, so the program builds what is missing
// here: directories from the tags, a block from the directories, and tags
// from a block found in a PNG.
#pragma once

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace calmora::exif {

// TIFF field types that may appear in an EXIF directory (classic TIFF only).
[[nodiscard]] uint32_t TypeSize(uint16_t type);  // 0 for any other type

// Main-directory tags describing how a file stores its pixels (size,
// compression, strips, YCbCr layout...) and the pointers to other
// directories: they belong to whichever file is being written, never to the
// photograph's description, so they are not carried from one file to another.
[[nodiscard]] bool IsLayoutTag(uint16_t tag);

constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kGpsPointer = 0x8825;
constexpr uint16_t kInteropPointer = 0xA005;

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    // The values in the byte order of the file being written. With
    // `asFound`, instead, exactly the four bytes of the entry's value field
    // as they stand in an existing file (an inline value or an offset that
    // stays valid because the bytes it points to are left in place).
    std::vector<uint8_t> value;
    bool asFound = false;
};

struct Directories {
    std::vector<Entry> main;  // IFD0: camera, software, dates, author
    std::vector<Entry> exif;  // the EXIF sub-directory: exposure, lens, ...
    std::vector<Entry> gps;
    std::vector<Entry> interop;

    [[nodiscard]] bool Empty() const {
        return main.empty() && exif.empty() && gps.empty() && interop.empty();
    }
};

// The bitmap's EXIF tags as directories in the given byte order. When the
// bitmap holds only a raw block, the block is read for its tags first.
[[nodiscard]] Directories DirectoriesFromBitmap(FIBITMAP* image, bool bigEndian);

// Lays the directories out for a file position `start` (even): IFD0 first,
// then the EXIF, interoperability and GPS directories, with the pointer
// entries between them filled in and every entry sorted by tag. Appends the
// bytes to `out` and returns the offset of IFD0 (= start); nullopt when the
// result would pass the 4 GB reach of classic TIFF offsets.
[[nodiscard]] std::optional<uint32_t> LayOut(const Directories& directories, uint32_t start,
                                             bool bigEndian, std::vector<uint8_t>& out);

// A complete TIFF-structured EXIF block (byte-order mark, IFD0, sub-
// directories), without the "Exif\0\0" that JPEG puts before it, in the
// byte order the directories' values are in. Empty when it cannot be laid out.
[[nodiscard]] std::vector<uint8_t> SerialiseBlock(const Directories& directories, bool bigEndian);

// The bitmap's EXIF as a TIFF-structured block without "Exif\0\0": the raw
// block FreeImage kept when there is one, else one built from the tags;
// empty when the bitmap carries no EXIF.
[[nodiscard]] std::vector<uint8_t> ExifBlockOf(FIBITMAP* image);

// Largest block a JPEG can carry: one APP1 segment holds 65533 bytes, six of
// them "Exif\0\0".
constexpr size_t kMaxJpegExifBlock = 65527;

// Attaches a TIFF-structured block to the bitmap as FreeImage's raw block
// and as the tags FreeImage reads from it, as if it had come from a JPEG.
// False (and nothing attached) when the block is not EXIF FreeImage can read,
// fails CheckExifBlock (exif_check.h) or is larger than kMaxJpegExifBlock.
bool AttachExifBlock(FIBITMAP* image, const uint8_t* block, size_t size);

// True when the bitmap carries a raw block.
[[nodiscard]] bool HasRawExif(FIBITMAP* image);

// Sets (or with an empty block removes) the raw block "Exif\0\0" + block.
void SetRawExif(FIBITMAP* image, const std::vector<uint8_t>& block);

}  // namespace calmora::exif
