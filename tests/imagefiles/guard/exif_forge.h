// Hand-made EXIF blocks, sound and hostile, and the files that carry them:
// JPEG APP1 segments placed anywhere in a stream, PNG eXIf chunks, and a
// small TIFF whose IFD0 points to an EXIF directory of the test's choosing.
// Written here byte by byte, never with the program's own EXIF code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace exif_forge {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7;

struct Field {
    uint16_t tag = 0;
    uint16_t type = kLong;
    uint32_t count = 1;
    uint32_t value = 0;  // inline (a SHORT in its first two bytes) or an offset, patched later
};

// A TIFF-structured block (no "Exif\0\0"): the byte-order header, then
// whatever directories and data are appended, each at the current end.
class BlockWriter {
public:
    explicit BlockWriter(bool bigEndian = false);
    // Appends a directory (count, entries, next pointer); returns its offset.
    uint32_t Directory(const std::vector<Field>& fields, uint32_t next = 0);
    // Appends bytes on an even offset; returns the offset.
    uint32_t Append(const Bytes& data);
    // Where entry `index` of the directory at `directory` keeps its value,
    // and where the directory keeps its next pointer.
    [[nodiscard]] size_t ValueOf(uint32_t directory, int index) const;
    [[nodiscard]] size_t NextOf(uint32_t directory) const;
    void Set16(size_t at, uint32_t value);
    void Set32(size_t at, uint32_t value);
    [[nodiscard]] const Bytes& Data() const { return bytes_; }

private:
    bool big_;
    Bytes bytes_;
};

// IFD0 (Make "Calmora", Orientation, EXIF pointer) and an EXIF directory
// (ExposureTime 1/250), and, with a thumbnail, IFD1 pointing to it.
struct SoundBlock {
    Bytes bytes;
    uint32_t ifd0 = 0, exif = 0, ifd1 = 0;  // offsets (ifd1 0 without a thumbnail)
    size_t makeValue = 0;       // offset of Make's value-offset field
    size_t exifPointer = 0;     // offset of IFD0's EXIF pointer value
    size_t thumbnailAt = 0;     // value fields of tags 0x201 and 0x202 (0 without)
    size_t thumbnailLength = 0;
};
[[nodiscard]] SoundBlock MakeSoundBlock(uint16_t orientation, bool bigEndian = false,
                                        const Bytes& thumbnail = {});

// The hostile blocks FreeImage 3.18 crashes on, and the others the program
// refuses, each with the phrase its refusal must contain ("" for sound ones).
struct BlockCase {
    const char* desc;
    Bytes block;
    const char* reason;  // nullptr: the block is sound
};
// thumbnail: a small real JPEG, for the cases that need one.
[[nodiscard]] std::vector<BlockCase> BlockCases(const Bytes& thumbnail);
// Just the two FreeImage crashes on: an entry count past the block, and a
// thumbnail whose offset + length wraps around 4 GB.
[[nodiscard]] Bytes HugeEntryCountBlock();
[[nodiscard]] Bytes WrappingThumbnailBlock();

// An APP1 segment holding "Exif\0\0" + block.
[[nodiscard]] Bytes ExifSegment(const Bytes& block);
// Offsets in a JPEG stream: right after SOI, after the frame header, before
// the second scan (progressive files) and before EOI.
enum class Place { kAfterSoi, kAfterFrameHeader, kBetweenScans, kBeforeEoi };
[[nodiscard]] const char* PlaceName(Place place);
// The offset in jpeg where place lies; 0 when it has no such place.
[[nodiscard]] size_t OffsetOf(const Bytes& jpeg, Place place);
[[nodiscard]] Bytes InsertAt(const Bytes& file, size_t at, const Bytes& bytes);

// A classic little-endian TIFF of width x height RGB pixels (PixelRgb),
// uncompressed in one strip, whose IFD0 points to an EXIF directory
// (ExposureTime 1/250 and a pointer to an interoperability directory) laid
// out after the pixels. The offsets let a test damage it.
struct ForgedExifTiff {
    Bytes bytes;
    uint32_t exif = 0;             // the EXIF directory
    size_t exifPointer = 0;        // IFD0's EXIF pointer value field
    size_t exposureValue = 0;      // ExposureTime's value-offset field
    size_t interopPointer = 0;     // the EXIF directory's interoperability pointer field
};
[[nodiscard]] ForgedExifTiff TiffWithExif(int width, int height);
void PixelRgb(int x, int y, uint8_t rgb[3]);

}  // namespace exif_forge
