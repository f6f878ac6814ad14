#include "imagefiles/exif_check.h"

#include <cstdio>
#include <set>

#include "imagefiles/exif_tags.h"
#include "imagefiles/image_guard.h"

namespace calmora::exif {

namespace {

constexpr uint16_t kMakerNote = 0x927C;
constexpr uint16_t kThumbnailOffset = 0x201;  // JPEGInterchangeFormat
constexpr uint16_t kThumbnailLength = 0x202;  // JPEGInterchangeFormatLength
// FreeImage compares the start of a maker note with vendor signatures of up
// to this many bytes, whatever the note's own length.
constexpr uint64_t kMakerNoteSignature = 22;
// Field types FreeImage reads; it stops at any other.
constexpr uint16_t kLastExifType = 12;

enum class Kind { kMain, kThumbnail, kSub };

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

const char* NameOf(Kind kind) {
    switch (kind) {
        case Kind::kMain: return "IFD0";
        case Kind::kThumbnail: return "IFD1";
        case Kind::kSub: return "EXIF sub-directory";
    }
    return "EXIF directory";
}

class Walker {
public:
    Walker(const uint8_t* data, size_t size, bool bigEndian, int nesting)
        : data_(data), size_(size), big_(bigEndian), nesting_(nesting) {}

    // Every offset handed in is compared with size_ before it is read, in
    // 64 bits: the largest sum formed is below 2^37.
    bool Directory(uint64_t offset, Kind kind, int depth);

    [[nodiscard]] const std::string& Reason() const { return reason_; }

private:
    [[nodiscard]] uint32_t U16(uint64_t at) const {
        const uint8_t* p = data_ + at;
        return big_ ? uint32_t{p[0]} << 8 | p[1] : uint32_t{p[1]} << 8 | p[0];
    }
    [[nodiscard]] uint32_t U32(uint64_t at) const {
        return big_ ? U16(at) << 16 | U16(at + 2) : U16(at + 2) << 16 | U16(at);
    }
    bool Fail(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
        return false;
    }
    bool Thumbnail(uint64_t offset, uint64_t length);

    const uint8_t* data_;
    uint64_t size_;
    bool big_;
    int nesting_;
    std::set<uint64_t> visited_;
    std::string reason_;
};

bool Walker::Directory(uint64_t offset, Kind kind, int depth) {
    const std::string name = std::string(NameOf(kind)) + " at offset " + Hex(offset);
    if (!visited_.insert(offset).second) return Fail(name + " is reached twice");
    if (visited_.size() > static_cast<size_t>(kMaxExifDirectories))
        return Fail("EXIF block holds more than " + std::to_string(kMaxExifDirectories) + " directories");
    if (offset + 2 > size_) return Fail(name + " lies outside the EXIF block");
    const uint64_t count = U16(offset);
    const uint64_t entriesEnd = offset + 2 + 12 * count;
    // FreeImage reads the pointer to IFD1 behind IFD0's entries whatever the
    // count; behind the other directories nothing is read.
    if (entriesEnd + (kind == Kind::kMain ? 4 : 0) > size_) {
        return Fail(name + " claims " + std::to_string(count) +
                    " entries, more than the EXIF block holds");
    }

    uint64_t thumbnailOffset = 0, thumbnailLength = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = offset + 2 + 12 * i;
        const uint16_t tag = static_cast<uint16_t>(U16(at));
        const uint16_t type = static_cast<uint16_t>(U16(at + 2));
        const uint64_t bytes = uint64_t{type <= kLastExifType ? TypeSize(type) : 0} * U32(at + 4);
        uint64_t valueAt = at + 8;
        if (bytes > 4) {
            valueAt = U32(at + 8);
            if (valueAt + bytes > size_) {
                char tagText[8];
                std::snprintf(tagText, sizeof tagText, "0x%04X", tag);
                return Fail("value of tag " + std::string(tagText) + " in " + name +
                            " lies outside the EXIF block");
            }
        }
        if (kind == Kind::kThumbnail) {
            // FreeImage takes the four value bytes as they stand, whatever the type.
            if (tag == kThumbnailOffset) thumbnailOffset = U32(at + 8);
            if (tag == kThumbnailLength) thumbnailLength = U32(at + 8);
            continue;
        }
        if (tag == kMakerNote && valueAt + kMakerNoteSignature > size_)
            return Fail("maker note in " + name + " is cut short by the end of the EXIF block");
        if (tag == kExifPointer || tag == kGpsPointer || tag == kInteropPointer) {
            // FreeImage follows the first four bytes of the value, whatever
            // the type (valueAt has at least four bytes behind it).
            const uint64_t target = U32(valueAt);
            if (target == 0) continue;
            if (depth + 1 > kMaxExifDepth) return Fail("EXIF directories are nested too deeply");
            if (!Directory(target, Kind::kSub, depth + 1)) return false;
        }
    }
    if (kind == Kind::kMain) {
        const uint64_t next = U32(entriesEnd);
        if (next != 0 && !Directory(next, Kind::kThumbnail, depth)) return false;
    }
    // FreeImage only decodes a thumbnail when both values are non-zero.
    if (thumbnailOffset != 0 && thumbnailLength != 0) return Thumbnail(thumbnailOffset, thumbnailLength);
    return true;
}

bool Walker::Thumbnail(uint64_t offset, uint64_t length) {
    if (offset + length > size_) {
        return Fail("EXIF thumbnail (" + std::to_string(length) + " bytes at offset " + Hex(offset) +
                    ") lies outside the EXIF block");
    }
    if (nesting_ > 0) return Fail("a thumbnail's EXIF holds a further thumbnail");
    // FreeImage decodes the thumbnail in full whatever the load asked for,
    // with none of the program's checks, so it must pass them here.
    const GuardVerdict verdict = InspectEmbeddedJpeg(data_ + offset, length, nesting_ + 1);
    if (!verdict.accepted()) return Fail("EXIF thumbnail cannot be decoded safely: " + verdict.reason);
    return true;
}

}  // namespace

BlockCheck CheckExifBlock(const uint8_t* block, size_t size, int nesting) {
    BlockCheck check;
    if (!block || size < 8) {
        check.reason = "EXIF block is shorter than its header";
        return check;
    }
    const bool little = block[0] == 'I' && block[1] == 'I' && block[2] == 42 && block[3] == 0;
    const bool big = block[0] == 'M' && block[1] == 'M' && block[2] == 0 && block[3] == 42;
    if (!little && !big) {
        check.reason = "EXIF block does not start with a TIFF byte-order mark";
        return check;
    }
    Walker walker(block, size, big, nesting);
    const uint64_t first = big ? uint32_t{block[4]} << 24 | uint32_t{block[5]} << 16 |
                                     uint32_t{block[6]} << 8 | block[7]
                               : uint32_t{block[7]} << 24 | uint32_t{block[6]} << 16 |
                                     uint32_t{block[5]} << 8 | block[4];
    check.valid = walker.Directory(first, Kind::kMain, 0);
    if (!check.valid) check.reason = walker.Reason();
    return check;
}

}  // namespace calmora::exif
