#include "exif_forge.h"

#include <algorithm>
#include <cstring>

#include "file_bytes.h"
#include "guard_test_support.h"

namespace exif_forge {

namespace {

using calmora_test::PutLe16;
using calmora_test::PutLe32;

void SetLe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text) + 1); }

Bytes Rational(uint32_t numerator, uint32_t denominator, bool big) {
    Bytes out;
    for (uint32_t v : {numerator, denominator}) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (big ? 24 - 8 * i : 8 * i)));
    }
    return out;
}

}  // namespace

BlockWriter::BlockWriter(bool bigEndian) : big_(bigEndian) {
    bytes_ = big_ ? Bytes{'M', 'M', 0, 42, 0, 0, 0, 8} : Bytes{'I', 'I', 42, 0, 8, 0, 0, 0};
}

void BlockWriter::Set16(size_t at, uint32_t value) {
    if (bytes_.size() < at + 2) bytes_.resize(at + 2);
    bytes_[at + (big_ ? 0 : 1)] = uint8_t(value >> 8);
    bytes_[at + (big_ ? 1 : 0)] = uint8_t(value);
}

void BlockWriter::Set32(size_t at, uint32_t value) {
    Set16(at + (big_ ? 0 : 2), value >> 16);
    Set16(at + (big_ ? 2 : 0), value & 0xFFFF);
}

uint32_t BlockWriter::Directory(const std::vector<Field>& fields, uint32_t next) {
    const auto at = static_cast<uint32_t>(Append({}));
    bytes_.resize(at + 2 + 12 * fields.size() + 4);
    Set16(at, static_cast<uint32_t>(fields.size()));
    for (size_t i = 0; i < fields.size(); ++i) {
        const size_t entry = at + 2 + 12 * i;
        Set16(entry, fields[i].tag);
        Set16(entry + 2, fields[i].type);
        Set32(entry + 4, fields[i].count);
        if (fields[i].type == kShort && fields[i].count <= 2) {
            Set16(entry + 8, fields[i].value);
            Set16(entry + 10, 0);
        } else {
            Set32(entry + 8, fields[i].value);
        }
    }
    Set32(NextOf(at), next);
    return at;
}

uint32_t BlockWriter::Append(const Bytes& data) {
    if (bytes_.size() % 2) bytes_.push_back(0);
    const auto at = static_cast<uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
}

size_t BlockWriter::ValueOf(uint32_t directory, int index) const {
    return directory + 2 + 12 * static_cast<size_t>(index) + 8;
}

size_t BlockWriter::NextOf(uint32_t directory) const {
    const uint32_t count = big_ ? uint32_t{bytes_[directory]} << 8 | bytes_[directory + 1]
                                : uint32_t{bytes_[directory + 1]} << 8 | bytes_[directory];
    return directory + 2 + 12 * size_t{count};
}

SoundBlock MakeSoundBlock(uint16_t orientation, bool bigEndian, const Bytes& thumbnail) {
    SoundBlock out;
    BlockWriter w(bigEndian);
    out.ifd0 = w.Directory({{0x010F, kAscii, 8, 0}, {0x0112, kShort, 1, orientation}, {0x8769, kLong, 1, 0}});
    out.makeValue = w.ValueOf(out.ifd0, 0);
    out.exifPointer = w.ValueOf(out.ifd0, 2);
    w.Set32(out.makeValue, w.Append(Text("Calmora")));
    out.exif = w.Directory({{0x829A, kRational, 1, 0}});
    w.Set32(out.exifPointer, out.exif);
    w.Set32(w.ValueOf(out.exif, 0), w.Append(Rational(1, 250, bigEndian)));
    if (!thumbnail.empty()) {
        out.ifd1 = w.Directory({{0x0103, kShort, 1, 6},
                                {0x0201, kLong, 1, 0},
                                {0x0202, kLong, 1, static_cast<uint32_t>(thumbnail.size())}});
        w.Set32(w.NextOf(out.ifd0), out.ifd1);
        out.thumbnailAt = w.ValueOf(out.ifd1, 1);
        out.thumbnailLength = w.ValueOf(out.ifd1, 2);
        w.Set32(out.thumbnailAt, w.Append(thumbnail));
    }
    out.bytes = w.Data();
    return out;
}

Bytes HugeEntryCountBlock() {
    SoundBlock sound = MakeSoundBlock(1);
    sound.bytes[sound.ifd0] = 0xFF;  // little-endian count: 65535 entries in a 70-byte block
    sound.bytes[sound.ifd0 + 1] = 0xFF;
    return sound.bytes;
}

Bytes WrappingThumbnailBlock() {
    // Any bytes do as the "thumbnail": FreeImage never gets to read them.
    SoundBlock sound = MakeSoundBlock(1, false, Bytes(32, 0xAB));
    // 0xFFFFFF80 + 0x90 = 0x10 in 32 bits, well inside the block.
    SetLe32(sound.bytes, sound.thumbnailAt, 0xFFFFFF80u);
    SetLe32(sound.bytes, sound.thumbnailLength, 0x90);
    return sound.bytes;
}

std::vector<BlockCase> BlockCases(const Bytes& thumbnail) {
    std::vector<BlockCase> cases;
    cases.push_back({"sound, little-endian", MakeSoundBlock(6).bytes, nullptr});
    cases.push_back({"sound, big-endian", MakeSoundBlock(6, true).bytes, nullptr});
    cases.push_back({"sound, with a JPEG thumbnail", MakeSoundBlock(6, false, thumbnail).bytes, nullptr});
    {
        BlockWriter w;
        w.Directory({});
        cases.push_back({"sound, an empty IFD0", w.Data(), nullptr});
    }
    cases.push_back({"IFD0 claims 65535 entries", HugeEntryCountBlock(), "claims 65535 entries"});
    cases.push_back({"thumbnail offset + length wraps in 32 bits", WrappingThumbnailBlock(), "thumbnail"});
    {
        SoundBlock b = MakeSoundBlock(6, false, thumbnail);
        b.bytes[b.ifd1] = 0xFF;
        b.bytes[b.ifd1 + 1] = 0xFF;
        cases.push_back({"IFD1 claims 65535 entries", b.bytes, "IFD1"});
    }
    {
        SoundBlock b = MakeSoundBlock(6, false, thumbnail);
        SetLe32(b.bytes, b.thumbnailLength, static_cast<uint32_t>(thumbnail.size() + 1));
        cases.push_back({"thumbnail one byte longer than the block", b.bytes, "thumbnail"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        SetLe32(b.bytes, b.exifPointer, 8);  // the EXIF directory is IFD0 again
        cases.push_back({"EXIF pointer back to IFD0", b.bytes, "reached twice"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        SetLe32(b.bytes, b.exifPointer, static_cast<uint32_t>(b.bytes.size()));
        cases.push_back({"EXIF pointer just past the block", b.bytes, "outside"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        SetLe32(b.bytes, b.exifPointer, 0xFFFFFFF0u);
        cases.push_back({"EXIF pointer near 4 GB", b.bytes, "outside"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        SetLe32(b.bytes, b.makeValue, 0xFFFFFFFCu);  // + 8 bytes wraps to 4
        cases.push_back({"value whose offset + length wraps", b.bytes, "value of tag 0x010F"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        SetLe32(b.bytes, b.makeValue, static_cast<uint32_t>(b.bytes.size() - 4));
        cases.push_back({"value running past the end", b.bytes, "value of tag 0x010F"});
    }
    {
        SoundBlock b = MakeSoundBlock(6);
        b.bytes.resize(b.exif + 2 + 6);  // the EXIF directory's one entry is cut in half
        cases.push_back({"sub-directory cut short", b.bytes, "claims 1 entries"});
    }
    {
        // IFD0 -> EXIF -> interop -> GPS -> EXIF-tagged -> interop-tagged: five deep.
        BlockWriter w;
        uint32_t at = w.Directory({{0x8769, kLong, 1, 0}});
        for (uint16_t tag : {uint16_t{0xA005}, uint16_t{0x8825}, uint16_t{0x8769}, uint16_t{0xA005},
                             uint16_t{0x8825}}) {
            const uint32_t next = w.Directory({{tag, kLong, 1, 0}});
            w.Set32(w.ValueOf(at, 0), next);
            at = next;
        }
        w.Set32(w.ValueOf(at, 0), 0);
        cases.push_back({"directories nested six deep", w.Data(), "nested too deeply"});
    }
    {
        BlockWriter w;
        w.Directory({{0x927C, kUndefined, 4, 0x4E494B4F}});  // four bytes, inline
        cases.push_back({"maker note at the very end", w.Data(), "maker note"});
    }
    {
        Bytes five = thumbnail;
        // The frame header's component count is the byte after SOF's
        // length, precision, height and width.
        for (size_t i = 2; i + 9 < five.size(); ++i) {
            if (five[i] == 0xFF && five[i + 1] == 0xC0) {
                five[i + 9] = 5;
                break;
            }
        }
        cases.push_back({"thumbnail with five colour components",
                         MakeSoundBlock(6, false, five).bytes, "thumbnail cannot be decoded safely"});
    }
    {
        Bytes huge = thumbnail;
        for (size_t i = 2; i + 9 < huge.size(); ++i) {
            if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
                huge[i + 5] = 0x13;  // height 5000
                huge[i + 6] = 0x88;
                huge[i + 7] = 0x13;  // width 5000
                huge[i + 8] = 0x88;
                break;
            }
        }
        cases.push_back({"thumbnail claiming 5000 x 5000 pixels", MakeSoundBlock(6, false, huge).bytes,
                         "more than a thumbnail has"});
    }
    cases.push_back({"thumbnail that is not a JPEG", MakeSoundBlock(6, false, Bytes(40, 0x11)).bytes,
                     "SOI"});
    cases.push_back({"shorter than its header", Bytes{'I', 'I', 42, 0, 8, 0}, "shorter than its header"});
    {
        Bytes b = MakeSoundBlock(6).bytes;
        b[0] = 'X';
        cases.push_back({"no byte-order mark", b, "byte-order mark"});
    }
    return cases;
}

Bytes ExifSegment(const Bytes& block) {
    const size_t length = 2 + 6 + block.size();
    const uint8_t head[10] = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
    Bytes out(head, head + sizeof head);
    out.resize(sizeof head + block.size());
    std::copy(block.begin(), block.end(), out.begin() + sizeof head);
    return out;
}

const char* PlaceName(Place place) {
    switch (place) {
        case Place::kAfterSoi: return "after SOI";
        case Place::kAfterFrameHeader: return "after the frame header";
        case Place::kBetweenScans: return "between scans";
        case Place::kBeforeEoi: return "before EOI";
    }
    return "?";
}

size_t OffsetOf(const Bytes& jpeg, Place place) {
    if (place == Place::kAfterSoi) return 2;
    if (place == Place::kBeforeEoi) return jpeg.size() >= 2 ? jpeg.size() - 2 : 0;
    // Walk the segments; entropy-coded data runs to the next marker that
    // is not a stuffed zero or a restart.
    int scans = 0;
    size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        if (jpeg[i] != 0xFF) {
            ++i;
            continue;
        }
        const uint8_t marker = jpeg[i + 1];
        if (marker == 0xFF || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7)) {
            ++i;
            continue;
        }
        if (marker == 0xD9) return 0;
        const size_t length = size_t{jpeg[i + 2]} << 8 | jpeg[i + 3];
        if (place == Place::kBetweenScans && marker == 0xDA && ++scans == 2) return i;
        const size_t end = i + 2 + length;
        if (place == Place::kAfterFrameHeader && (marker == 0xC0 || marker == 0xC2)) return end;
        i = end;
    }
    return 0;
}

Bytes InsertAt(const Bytes& file, size_t at, const Bytes& bytes) {
    Bytes out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(at));
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at), file.end());
    return out;
}

void PixelRgb(int x, int y, uint8_t rgb[3]) {
    rgb[0] = uint8_t(17 * x + 3 * y);
    rgb[1] = uint8_t(200 - 11 * y);
    rgb[2] = uint8_t(31 * (x ^ y));
}

ForgedExifTiff TiffWithExif(int width, int height) {
    ForgedExifTiff out;
    Bytes& b = out.bytes;
    b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const uint32_t stripBytes = 3u * static_cast<uint32_t>(width * height);
    struct Entry { uint16_t tag, type; uint32_t count, value; };
    // Offsets: IFD0 at 8 with 11 entries (2 + 132 + 4 = 138) ends at 146;
    // the bits-per-sample triple at 146, the pixels at 152.
    const uint32_t bitsAt = 146, pixelsAt = 152;
    const uint32_t exifAt = pixelsAt + stripBytes + (stripBytes & 1);
    const std::vector<Entry> entries = {
        {256, kLong, 1, uint32_t(width)}, {257, kLong, 1, uint32_t(height)}, {258, kShort, 3, bitsAt},
        {259, kShort, 1, 1}, {262, kShort, 1, 2}, {273, kLong, 1, pixelsAt}, {277, kShort, 1, 3},
        {278, kLong, 1, uint32_t(height)}, {279, kLong, 1, stripBytes}, {284, kShort, 1, 1},
        {0x8769, kLong, 1, exifAt}};
    PutLe16(b, static_cast<uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        if (e.tag == 0x8769) out.exifPointer = b.size() + 8;
        PutLe16(b, e.tag);
        PutLe16(b, e.type);
        PutLe32(b, e.count);
        PutLe32(b, e.value);  // a one-SHORT value sits in the low bytes, little-endian
    }
    PutLe32(b, 0);
    PutLe16(b, 8);
    PutLe16(b, 8);
    PutLe16(b, 8);
    guard_test::AppendRgbRows(b, width, height, PixelRgb);
    if (b.size() % 2) b.push_back(0);
    // EXIF directory: ExposureTime and the interoperability pointer; then
    // the rational, then the interoperability directory (InteropIndex "R98").
    out.exif = static_cast<uint32_t>(b.size());
    const uint32_t rationalAt = out.exif + 2 + 24 + 4;
    const uint32_t interopAt = rationalAt + 8;
    PutLe16(b, 2);
    PutLe16(b, 0x829A);
    PutLe16(b, kRational);
    PutLe32(b, 1);
    out.exposureValue = b.size();
    PutLe32(b, rationalAt);
    PutLe16(b, 0xA005);
    PutLe16(b, kLong);
    PutLe32(b, 1);
    out.interopPointer = b.size();
    PutLe32(b, interopAt);
    PutLe32(b, 0);
    PutLe32(b, 1);
    PutLe32(b, 250);
    PutLe16(b, 1);
    PutLe16(b, 0x0001);
    PutLe16(b, kAscii);
    PutLe32(b, 4);
    b.insert(b.end(), {'R', '9', '8', 0});
    PutLe32(b, 0);
    return out;
}

}  // namespace exif_forge
