#include "imagefiles/image_guard.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imagefiles/exif_check.h"
#include "imagefiles/guard_reading.h"

namespace calmora {
namespace {

using namespace guard;

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
