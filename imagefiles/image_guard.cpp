#include "imagefiles/image_guard.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imagefiles/exif_check.h"

namespace calmora {
namespace {

// Sequential reader with seeking over a file or a memory block. Reads past the
// end simply come back short, so every parser below treats "short" as
// "truncated" and never trusts a length it has not been able to read.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual size_t Read(uint8_t* out, size_t count) = 0;
    virtual bool Seek(uint64_t offset) = 0;
    [[nodiscard]] virtual uint64_t Tell() const = 0;
    [[nodiscard]] virtual uint64_t Size() const = 0;

    int Byte() {
        uint8_t b = 0;
        return Read(&b, 1) == 1 ? b : -1;
    }
    bool ReadAll(uint8_t* out, size_t count) { return Read(out, count) == count; }
    bool Skip(uint64_t count) {
        const uint64_t here = Tell();
        if (count > Size() - here) {
            Seek(Size());
            return false;
        }
        return Seek(here + count);
    }
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(uint8_t* out, size_t count) override {
        const size_t n = count < size_ - pos_ ? count : size_ - pos_;
        if (n > 0) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    bool Seek(uint64_t offset) override {
        if (offset > size_) return false;
        pos_ = static_cast<size_t>(offset);
        return true;
    }
    [[nodiscard]] uint64_t Tell() const override { return pos_; }
    [[nodiscard]] uint64_t Size() const override { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {
        if (fseeko(file_, 0, SEEK_END) == 0) {
            const off_t end = ftello(file_);
            size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
        }
        fseeko(file_, 0, SEEK_SET);
    }
    size_t Read(uint8_t* out, size_t count) override {
        const size_t n = std::fread(out, 1, count, file_);
        pos_ += n;
        return n;
    }
    bool Seek(uint64_t offset) override {
        if (offset > size_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
        pos_ = offset;
        return true;
    }
    [[nodiscard]] uint64_t Tell() const override { return pos_; }
    [[nodiscard]] uint64_t Size() const override { return size_; }

private:
    std::FILE* file_;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
};

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

GuardVerdict Refuse(std::string reason, uint32_t width = 0, uint32_t height = 0,
                    GuardOutcome outcome = GuardOutcome::kMalformed) {
    GuardVerdict verdict;
    verdict.outcome = outcome;
    verdict.width = width;
    verdict.height = height;
    verdict.reason = std::move(reason);
    return verdict;
}

// The size rule every format shares. Refusing here, before FreeImage sees
// the file, is what keeps a forged header from costing any memory at all.
GuardVerdict CheckSize(uint64_t width, uint64_t height, const char* what = "image") {
    const uint32_t w = width > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(width);
    const uint32_t h = height > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(height);
    if (width == 0 || height == 0) {
        return Refuse(std::string(what) + " has no pixels", w, h, GuardOutcome::kTooLarge);
    }
    if (width > kGuardMaxSide || height > kGuardMaxSide || width * height > kGuardMaxPixels) {
        return Refuse(std::string(what) + " claims " + std::to_string(width) + "x" +
                          std::to_string(height) + " pixels, more than the program opens",
                      w, h, GuardOutcome::kTooLarge);
    }
    GuardVerdict verdict;
    verdict.outcome = GuardOutcome::kAccepted;
    verdict.width = w;
    verdict.height = h;
    return verdict;
}

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
// notes it when FreeImage must not see it. False when the file ends first.
bool InspectApp1(ByteSource& in, uint32_t payload, uint64_t codeAt, int nesting,
                 GuardVerdict& verdict) {
    uint8_t head[kShortestReadableApp1];
    const size_t headSize = payload < sizeof head ? payload : sizeof head;
    if (!in.ReadAll(head, headSize)) return false;
    if (StartsLike(head, headSize, kExifSignature, sizeof kExifSignature) ||
        StartsLike(head, headSize, kXmpSignature, sizeof kXmpSignature)) {
        NoteBadExif(verdict, codeAt, "APP1 segment is too short for the signature it starts with");
        return true;
    }
    if (headSize < sizeof kExifSignature || std::memcmp(head, kExifSignature, sizeof kExifSignature) != 0)
        return in.Skip(payload - headSize);
    std::vector<uint8_t> block(payload - sizeof kExifSignature);
    const size_t known = headSize - sizeof kExifSignature;
    std::memcpy(block.data(), head + sizeof kExifSignature, known);
    if (!in.ReadAll(block.data() + known, block.size() - known)) return false;
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

// ---- PNG ------------------------------------------------------------------

GuardVerdict InspectPng(ByteSource& in) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    uint8_t head[24];
    if (!in.ReadAll(head, sizeof head)) return Refuse("PNG is cut short before its header");
    if (std::memcmp(head, kSignature, 8) != 0) return Refuse("PNG signature is damaged");
    if (Be32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) {
        return Refuse("PNG does not start with an IHDR chunk");
    }
    return CheckSize(Be32(head + 16), Be32(head + 20));
}

// ---- BMP ------------------------------------------------------------------

GuardVerdict InspectBmp(ByteSource& in) {
    uint8_t file[14];
    if (!in.ReadAll(file, sizeof file)) return Refuse("BMP is cut short before its header");
    // An OS/2 bitmap array holds ordinary bitmap file headers; the first is used.
    if (file[0] == 'B' && file[1] == 'A' && !in.ReadAll(file, sizeof file)) {
        return Refuse("BMP array is cut short");
    }
    uint8_t info[12];
    if (!in.ReadAll(info, sizeof info)) return Refuse("BMP info header is cut short");
    const uint32_t infoSize = Le32(info);
    if (infoSize < 12) return Refuse("BMP info header is too small");
    if (infoSize == 12) return CheckSize(Le16(info + 4), Le16(info + 6));
    // Width and height are signed: a negative height marks top-down rows.
    const int32_t width = static_cast<int32_t>(Le32(info + 4));
    const int32_t height = static_cast<int32_t>(Le32(info + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        return Refuse("BMP claims a width of " + std::to_string(width) + " and a height of " +
                      std::to_string(height));
    }
    return CheckSize(static_cast<uint32_t>(width),
                     static_cast<uint32_t>(height < 0 ? -height : height));
}

// ---- GIF ------------------------------------------------------------------
//
// FreeImage decodes the first frame at its own size (the logical screen only
// matters for playback, which the program does not ask for), so the frame is
// what is measured. It is found by skipping the colour table and any
// extension blocks, whose sub-block sizes are honest by construction (one
// byte each).

GuardVerdict InspectGif(ByteSource& in) {
    uint8_t head[13];
    if (!in.ReadAll(head, sizeof head)) return Refuse("GIF is cut short before its header");
    if (std::memcmp(head, "GIF", 3) != 0) return Refuse("GIF signature is damaged");
    if ((head[10] & 0x80) != 0 && !in.Skip(3u << ((head[10] & 0x07) + 1))) {
        return Refuse("GIF colour table is cut short");
    }
    for (;;) {
        const int block = in.Byte();
        if (block == 0x2C) {
            uint8_t descriptor[9];
            if (!in.ReadAll(descriptor, sizeof descriptor)) {
                return Refuse("GIF image descriptor is cut short");
            }
            return CheckSize(Le16(descriptor + 4), Le16(descriptor + 6), "GIF frame");
        }
        if (block == 0x21) {
            if (in.Byte() < 0) return Refuse("GIF extension is cut short");
            for (int length = in.Byte(); length != 0; length = in.Byte()) {
                if (length < 0 || !in.Skip(static_cast<uint64_t>(length))) {
                    return Refuse("GIF extension is cut short");
                }
            }
            continue;
        }
        if (block == 0x3B) return Refuse("GIF holds no image");
        if (block < 0) return Refuse("GIF ends before its first image");
        return Refuse("GIF has an unknown block before its first image");
    }
}

// ---- TIFF -----------------------------------------------------------------
//
// Only the first directory matters: it is the page FreeImage loads. Besides
// the picture size, the tile size is bounded too, because a tile buffer is
// allocated whole however small the picture it belongs to.

GuardVerdict InspectTiff(ByteSource& in) {
    uint8_t head[16];
    if (!in.ReadAll(head, 8)) return Refuse("TIFF is cut short before its header");
    const bool little = head[0] == 'I' && head[1] == 'I';
    if (!little && !(head[0] == 'M' && head[1] == 'M')) return Refuse("TIFF byte order is damaged");
    auto u16 = [little](const uint8_t* p) { return little ? Le16(p) : Be16(p); };
    auto u32 = [little](const uint8_t* p) { return little ? Le32(p) : Be32(p); };
    auto u64 = [&](const uint8_t* p) {
        return little ? uint64_t{u32(p + 4)} << 32 | u32(p) : uint64_t{u32(p)} << 32 | u32(p + 4);
    };
    const uint16_t version = u16(head + 2);
    const bool big = version == 43;
    if (version != 42 && !big) return Refuse("TIFF version is damaged");
    uint64_t directory = 0;
    if (big) {
        if (!in.ReadAll(head + 8, 8)) return Refuse("TIFF is cut short before its header");
        directory = u64(head + 8);
    } else {
        directory = u32(head + 4);
    }
    uint8_t countBytes[8];
    if (!in.Seek(directory) || !in.ReadAll(countBytes, big ? 8 : 2)) {
        return Refuse("TIFF first directory lies outside the file");
    }
    const uint64_t entries = big ? u64(countBytes) : u16(countBytes);
    // libtiff rejects larger directories as not being directories at all.
    if (entries > 4096) return Refuse("TIFF first directory is implausibly long");

    uint64_t width = 0, height = 0, tileWidth = 0, tileHeight = 0;
    bool tiled = false;
    const size_t entrySize = big ? 20 : 12;
    for (uint64_t i = 0; i < entries; ++i) {
        uint8_t entry[20];
        if (!in.ReadAll(entry, entrySize)) return Refuse("TIFF first directory is cut short");
        const uint16_t tag = u16(entry);
        const uint16_t type = u16(entry + 2);
        const uint64_t count = big ? u64(entry + 4) : u32(entry + 4);
        const uint8_t* value = entry + (big ? 12 : 8);
        if (count != 1) continue;
        uint64_t number = 0;
        if (type == 3) {
            number = u16(value);
        } else if (type == 4) {
            number = u32(value);
        } else if (type == 16 && big) {
            number = u64(value);
        } else {
            continue;
        }
        switch (tag) {
            case 256: width = number; break;
            case 257: height = number; break;
            case 322: tileWidth = number; tiled = true; break;
            case 323: tileHeight = number; tiled = true; break;
            default: break;
        }
    }
    GuardVerdict size = CheckSize(width, height);
    if (!size.accepted()) return size;
    if (tiled) {
        GuardVerdict tile = CheckSize(tileWidth, tileHeight, "TIFF tile");
        if (!tile.accepted()) {
            tile.width = size.width;
            tile.height = size.height;
            return tile;
        }
    }
    return size;
}

GuardVerdict Inspect(ByteSource& in, FREE_IMAGE_FORMAT fif) {
    switch (fif) {
        case FIF_JPEG: return InspectJpeg(in, 0);
        case FIF_PNG: return InspectPng(in);
        case FIF_BMP: return InspectBmp(in);
        case FIF_GIF: return InspectGif(in);
        case FIF_TIFF: return InspectTiff(in);
        default: break;
    }
    // Every other FreeImage decoder (TGA, ICO, PNM, PSD, ...) is code the
    // program has no use for and a good share of FreeImage's known crashes.
    GuardVerdict verdict;
    verdict.outcome = GuardOutcome::kUnsupportedFormat;
    verdict.reason = "not a JPEG, PNG, BMP, TIFF or GIF image";
    return verdict;
}

}  // namespace

GuardVerdict InspectBeforeDecode(const std::string& path, FREE_IMAGE_FORMAT fif) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file) return Refuse("cannot be opened for reading");
    FileSource in(file.get());
    return Inspect(in, fif);
}

GuardVerdict InspectBeforeDecode(const uint8_t* data, size_t size, FREE_IMAGE_FORMAT fif) {
    MemorySource in(data, data != nullptr ? size : 0);
    return Inspect(in, fif);
}

GuardVerdict InspectEmbeddedJpeg(const uint8_t* data, size_t size, int nesting) {
    MemorySource in(data, data != nullptr ? size : 0);
    GuardVerdict verdict = InspectJpeg(in, nesting);
    if (!verdict.accepted()) return verdict;
    if (verdict.width > kGuardMaxThumbnailSide || verdict.height > kGuardMaxThumbnailSide) {
        return Refuse("thumbnail claims " + std::to_string(verdict.width) + "x" +
                          std::to_string(verdict.height) + " pixels, more than a thumbnail has",
                      verdict.width, verdict.height, GuardOutcome::kTooLarge);
    }
    if (verdict.exifMalformed()) {
        return Refuse("thumbnail's own EXIF is damaged (" + verdict.exifProblem + ")",
                      verdict.width, verdict.height);
    }
    return verdict;
}

}  // namespace calmora
