#include "imagefiles/bmp_header.h"

#include <FreeImage.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace calmora {

namespace {

constexpr uint32_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

uint32_t Le16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The rewritten file as FreeImage reads it: `head` (the new headers, masks
// and colour table), then the original file from `pixelsAt` on.
struct RewrittenBmp {
    std::FILE* file = nullptr;
    std::vector<uint8_t> head;
    uint64_t pixelsAt = 0;
    uint64_t size = 0;  // of the whole rewritten file
    uint64_t position = 0;
};

unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    auto* bmp = static_cast<RewrittenBmp*>(handle);
    const uint64_t wanted = uint64_t{size} * count;
    auto* out = static_cast<uint8_t*>(buffer);
    uint64_t done = 0;
    while (done < wanted && bmp->position < bmp->size) {
        size_t n = 0;
        if (bmp->position < bmp->head.size()) {
            n = static_cast<size_t>(std::min<uint64_t>(wanted - done, bmp->head.size() - bmp->position));
            std::memcpy(out + done, bmp->head.data() + bmp->position, n);
        } else {
            const uint64_t at = bmp->pixelsAt + bmp->position - bmp->head.size();
            if (fseeko(bmp->file, static_cast<off_t>(at), SEEK_SET) != 0) break;
            n = std::fread(out + done, 1, static_cast<size_t>(wanted - done), bmp->file);
            if (n == 0) break;
        }
        done += n;
        bmp->position += n;
    }
    return size == 0 ? 0 : static_cast<unsigned>(done / size);
}

unsigned DLL_CALLCONV WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }

int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin) {
    auto* bmp = static_cast<RewrittenBmp*>(handle);
    const int64_t base = origin == SEEK_CUR   ? static_cast<int64_t>(bmp->position)
                         : origin == SEEK_END ? static_cast<int64_t>(bmp->size)
                                              : 0;
    if (base + offset < 0) return -1;
    bmp->position = static_cast<uint64_t>(base + offset);
    return 0;
}

long DLL_CALLCONV TellProc(fi_handle handle) {
    return static_cast<long>(static_cast<RewrittenBmp*>(handle)->position);
}

// One channel of a 32-bit pixel, scaled to 8 bits; `fallback` without a mask.
uint8_t Channel(uint32_t pixel, uint32_t mask, uint8_t fallback) {
    if (mask == 0) return fallback;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const uint32_t field = mask >> shift;
    int bits = 0;
    while (bits < 32 && ((field >> bits) & 1) != 0) ++bits;
    const uint32_t value = (pixel & mask) >> shift & field;
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    const uint32_t top = (1u << bits) - 1;
    return static_cast<uint8_t>((value * 255 + top / 2) / top);
}

// FreeImage copies 32-bit pixels as they are, taking them to be blue, green,
// red, alpha bytes whatever the masks say; other layouts are put in that order.
void ApplyMasks(FIBITMAP* image, const uint32_t masks[4]) {
    const unsigned width = FreeImage_GetWidth(image);
    for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
        BYTE* pixel = FreeImage_GetScanLine(image, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, pixel += 4) {
            const uint32_t value = Le32(pixel);
            const uint8_t red = Channel(value, masks[0], 0);
            const uint8_t green = Channel(value, masks[1], 0);
            const uint8_t blue = Channel(value, masks[2], 0);
            const uint8_t alpha = Channel(value, masks[3], 0xFF);
            pixel[FI_RGBA_RED] = red;
            pixel[FI_RGBA_GREEN] = green;
            pixel[FI_RGBA_BLUE] = blue;
            pixel[FI_RGBA_ALPHA] = alpha;
        }
    }
}

}  // namespace

bool IsLaterBmpInfoHeader(uint32_t infoSize) {
    return infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124;
}

std::optional<BitmapPtr> LoadBmpWithLaterHeader(const std::string& path, int flags) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    uint8_t header[kFileHeader + 124] = {};
    const size_t got = std::fread(header, 1, sizeof header, file.get());
    if (got < kFileHeader + 4 || header[0] != 'B' || header[1] != 'M') return std::nullopt;
    const uint32_t infoSize = Le32(header + kFileHeader);
    if (!IsLaterBmpInfoHeader(infoSize)) return std::nullopt;
    if (got < kFileHeader + infoSize || fseeko(file.get(), 0, SEEK_END) != 0) return BitmapPtr();
    const off_t fileSize = ftello(file.get());
    const uint32_t pixelsAt = Le32(header + 10);
    const uint8_t* info = header + kFileHeader;
    const uint32_t bitCount = Le16(info + 14);
    const uint32_t compression = Le32(info + 16);
    const uint32_t colours = Le32(info + 32);
    // V2 and later keep red, green and blue masks right after the first 40
    // bytes; V3 and later an alpha mask too.
    uint32_t masks[4] = {Le32(info + 40), Le32(info + 44), Le32(info + 48),
                         infoSize >= 56 ? Le32(info + 52) : 0};

    RewrittenBmp bmp;
    bmp.file = file.get();
    const size_t maskBytes = compression == kBiAlphaBitfields ? 16 : compression == kBiBitfields ? 12 : 0;
    // The colour table follows the info header, four bytes an entry.
    const uint32_t entries = bitCount > 8                                   ? 0
                             : colours == 0 || colours > (1u << bitCount) ? 1u << bitCount
                                                                          : colours;
    bmp.head.resize(kFileHeader + kInfoHeader + maskBytes + 4 * size_t{entries});
    std::memcpy(bmp.head.data(), header, kFileHeader + kInfoHeader);
    PutLe32(bmp.head.data() + kFileHeader, kInfoHeader);
    std::memcpy(bmp.head.data() + kFileHeader + kInfoHeader, info + kInfoHeader, maskBytes);
    if (entries > 0) {
        uint8_t* table = bmp.head.data() + kFileHeader + kInfoHeader + maskBytes;
        if (fseeko(file.get(), kFileHeader + infoSize, SEEK_SET) != 0 ||
            std::fread(table, 1, 4 * size_t{entries}, file.get()) != 4 * size_t{entries})
            return BitmapPtr();
    }
    if (pixelsAt < kFileHeader + infoSize || static_cast<off_t>(pixelsAt) > fileSize) return BitmapPtr();
    bmp.pixelsAt = pixelsAt;
    bmp.size = bmp.head.size() + static_cast<uint64_t>(fileSize) - pixelsAt;
    if (bmp.size > UINT32_MAX) return BitmapPtr();  // beyond the header's own file-size field
    PutLe32(bmp.head.data() + 2, static_cast<uint32_t>(bmp.size));
    PutLe32(bmp.head.data() + 10, static_cast<uint32_t>(bmp.head.size()));

    FreeImageIO io{ReadProc, WriteProc, SeekProc, TellProc};
    BitmapPtr image(FreeImage_LoadFromHandle(FIF_BMP, &io, &bmp, flags));
    const bool standard = masks[0] == 0x00FF0000 && masks[1] == 0x0000FF00 && masks[2] == 0x000000FF;
    if (image && FreeImage_HasPixels(image.get()) && bitCount == 32 &&
        (compression == kBiBitfields || compression == kBiAlphaBitfields) && !standard) {
        if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) return BitmapPtr();  // no colour at all
        ApplyMasks(image.get(), masks);
    }
    return image;
}

}  // namespace calmora
