#include "imagefiles/guard_reading.h"

#include <memory>
#include <vector>

#include "imagefiles/exif_check.h"

namespace calmora::guard {
namespace {

// ---- JPEG -----------------------------------------------------------------
//
// Markers are walked the way libjpeg walks them (junk before a marker and fill
// bytes skipped, 0xFF00 ignored). The first frame header is the frame libjpeg
// will decode. FreeImage sizes its bitmap from the decoder's output component
// count but only knows 1, 3 and 4 components: with any other count (libjpeg
// accepts up to 10, as an "unknown" colour space) it allocates an 8-bit row
// and libjpeg writes count bytes per pixel into it.
//
// Past the frame header the walk goes on to the end of the image, through
// every scan, only to find APP1 segments: libjpeg hands FreeImage each one it
// meets before decoding ends (a progressive file's are read with its scans),
// and FreeImage's EXIF reader trusts whatever they hold.

bool IsFrameMarker(int m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool HasLength(int m) {
    return m == 0xC4 || m == 0xCC || m == 0xDB || m == 0xDC || m == 0xDD ||
           (m >= 0xE0 && m <= 0xEF) || m == 0xFE;
}

// FreeImage compares every APP1 segment with "Exif\0\0" and with XMP's
// 29-byte signature without looking at its length first; memcmp stops at the
// first byte that differs, so only a short segment that starts like one of
// them takes it past the segment's end.
const char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
constexpr uint32_t kShortestReadableApp1 = sizeof kXmpSignature;  // with its zero
const uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};

bool StartsLike(const uint8_t* data, size_t size, const void* signature, size_t length) {
    return size < length && std::memcmp(data, signature, size) == 0;
}

void NoteBadExif(GuardVerdict& verdict, uint64_t codeAt, const std::string& problem) {
    if (verdict.badExifSegments.empty()) verdict.exifProblem = problem;
    verdict.badExifSegments.push_back(codeAt);
}

// Reads the payload of the APP1 segment whose marker code is at codeAt and
// notes it when FreeImage must not see it. False when the file ends first:
// the segment is then noted too, since FreeImage's source pads a file that
// ends with end-of-image markers and its EXIF reader takes the padded
// segment, whose directories may claim entries far past the bytes it holds.
bool InspectApp1(ByteSource& in, uint32_t payload, uint64_t codeAt, int nesting,
                 GuardVerdict& verdict) {
    const auto cutShort = [&] {
        NoteBadExif(verdict, codeAt, "APP1 segment is cut short by the end of the file");
        return false;
    };
    uint8_t head[kShortestReadableApp1];
    const size_t headSize = payload < sizeof head ? payload : sizeof head;
    if (!in.ReadAll(head, headSize)) return cutShort();
    if (StartsLike(head, headSize, kExifSignature, sizeof kExifSignature) ||
        StartsLike(head, headSize, kXmpSignature, sizeof kXmpSignature)) {
        NoteBadExif(verdict, codeAt, "APP1 segment is too short for the signature it starts with");
        return true;
    }
    if (headSize < sizeof kExifSignature || std::memcmp(head, kExifSignature, sizeof kExifSignature) != 0)
        return in.Skip(payload - headSize) || cutShort();
    std::vector<uint8_t> block(payload - sizeof kExifSignature);
    const size_t known = headSize - sizeof kExifSignature;
    // A bare signature leaves the block empty, and an empty vector's data()
    // may be null, which memcpy must not get even for no bytes.
    if (known > 0) std::memcpy(block.data(), head + sizeof kExifSignature, known);
    if (!in.ReadAll(block.data() + known, block.size() - known)) return cutShort();
    const exif::BlockCheck check = exif::CheckExifBlock(block.data(), block.size(), nesting);
    if (!check) NoteBadExif(verdict, codeAt, check.reason);
    return true;
}

// Skips entropy-coded data up to the next marker that is not a restart or a
// stuffed zero, and returns its code (the source then stands right after
// it); -1 at the end of the file.
int NextMarkerAfterScan(ByteSource& in) {
    uint8_t buffer[4096];
    bool afterFF = false;
    for (;;) {
        const uint64_t start = in.Tell();
        const size_t n = in.Read(buffer, sizeof buffer);
        if (n == 0) return -1;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = buffer[i];
            if (!afterFF) {
                afterFF = b == 0xFF;
                continue;
            }
            if (b == 0xFF) continue;  // fill byte
            afterFF = false;
            if (b == 0x00 || (b >= 0xD0 && b <= 0xD7)) continue;
            in.Seek(start + i + 1);
            return b;
        }
    }
}

}  // namespace

GuardVerdict InspectJpeg(ByteSource& in, int nesting) {
    if (in.Byte() != 0xFF || in.Byte() != 0xD8) return Refuse("JPEG does not start with SOI");
    GuardVerdict frame;  // accepted once the frame header has been read
    bool framed = false;
    int pending = -1;    // a marker code already read past a scan
    for (;;) {
        int c = pending;
        pending = -1;
        if (c < 0) {
            c = in.Byte();
            while (c != 0xFF && c >= 0) c = in.Byte();
            while (c == 0xFF) c = in.Byte();
        }
        // Past the frame header nothing refuses the picture: a damaged tail
        // is the decoder's to report, and the walk just ends.
        if (c < 0) return framed ? frame : Refuse("JPEG ends before its frame header");
        if (c == 0x00) continue;
        const int marker = c;
        const uint64_t codeAt = in.Tell() - 1;
        if (!framed && IsFrameMarker(marker)) {
            uint8_t header[8];
            if (!in.ReadAll(header, sizeof header)) return Refuse("JPEG frame header is cut short");
            const unsigned components = header[7];
            GuardVerdict size = CheckSize(Be16(header + 5), Be16(header + 3));
            if (!size.accepted()) return size;
            if (components != 1 && components != 3 && components != 4) {
                return Refuse("JPEG frame has " + std::to_string(components) +
                                  " colour components (only 1, 3 or 4 can be decoded safely)",
                              size.width, size.height);
            }
            // Keep what was noted about the segments before the frame.
            size.badExifSegments = std::move(frame.badExifSegments);
            size.exifProblem = std::move(frame.exifProblem);
            frame = std::move(size);
            framed = true;
            if (Be16(header) < sizeof header || !in.Skip(Be16(header) - sizeof header)) return frame;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (framed && marker == 0xD9) return frame;  // EOI: libjpeg reads no further
        if (HasLength(marker) || (framed && (IsFrameMarker(marker) || marker == 0xDA))) {
            uint8_t length[2];
            const bool sane = in.ReadAll(length, 2) && Be16(length) >= 2;
            const uint32_t payload = sane ? Be16(length) - 2u : 0;
            const bool read = sane && (marker == 0xE1 ? InspectApp1(in, payload, codeAt, nesting, frame)
                                                      : in.Skip(payload));
            if (!read) return framed ? frame : Refuse("JPEG marker segment is cut short");
            if (marker == 0xDA) {
                pending = NextMarkerAfterScan(in);
                if (pending < 0) return frame;
            }
            continue;
        }
        if (framed) return frame;  // a marker libjpeg stops at
        // SOS or EOI before any frame, a second SOI, or a marker libjpeg does
        // not know: the decoder would stop there anyway.
        char text[64];
        std::snprintf(text, sizeof text, "JPEG has marker 0x%02X before its frame header", marker);
        return Refuse(text);
    }
}

}  // namespace calmora::guard
