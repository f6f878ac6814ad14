#include "imagefiles/bitmap_transfer.h"

#include <cstring>
#include <string>
#include <vector>

namespace calmora {

namespace {

constexpr uint32_t kMagic = 0x54424d43;  // "CMBT"
constexpr uint64_t kPixelAlignment = 4096;
constexpr int kLastModel = FIMD_EXIF_RAW;
// BlockHeader::hasPixels: none, in the block, apart.
constexpr uint32_t kPixelsInBlock = 1, kPixelsApart = 2;

struct BlockHeader {
    uint32_t magic = kMagic;
    int32_t status = 0;
    uint32_t hasImage = 0;
    uint32_t hasPixels = 0;
    uint32_t type = 0;  // FREE_IMAGE_TYPE
    uint32_t width = 0, height = 0, bpp = 0, pitch = 0;
    uint32_t dotsPerMeterX = 0, dotsPerMeterY = 0;
    uint32_t hasBackground = 0;
    RGBQUAD background{};
    uint32_t iccFlags = 0;
    uint64_t iccOffset = 0, iccBytes = 0;
    uint64_t tagsOffset = 0, tagsBytes = 0, tagCount = 0;
    uint64_t pixelOffset = 0, pixelBytes = 0;
};

struct TagHeader {
    int32_t model = 0;
    uint32_t keyBytes = 0, descriptionBytes = 0;
    uint32_t id = 0, type = 0, count = 0, length = 0;
};

bool Transfers24(FIBITMAP* image) {
    return FreeImage_HasPixels(image) && FreeImage_GetImageType(image) == FIT_BITMAP &&
           FreeImage_GetBPP(image) == 24;
}

size_t TextBytes(const char* text) { return text ? std::strlen(text) : 0; }

// Calls visit(model, tag) for every tag of every model.
template <typename Visit>
void ForEachTag(FIBITMAP* image, Visit visit) {
    for (int model = FIMD_COMMENTS; model <= kLastModel; ++model) {
        // FreeImage 3.18 hands out a dangling first tag for a model whose
        // table exists but is empty (as CloneMetadata leaves them).
        if (FreeImage_GetMetadataCount(static_cast<FREE_IMAGE_MDMODEL>(model), image) == 0)
            continue;
        FITAG* tag = nullptr;
        FIMETADATA* search =
            FreeImage_FindFirstMetadata(static_cast<FREE_IMAGE_MDMODEL>(model), image, &tag);
        if (!search) continue;
        do {
            visit(model, tag);
        } while (FreeImage_FindNextMetadata(search, &tag));
        FreeImage_FindCloseMetadata(search);
    }
}

uint64_t AlignUp(uint64_t n, uint64_t to) { return (n + to - 1) / to * to; }

struct Layout {
    uint64_t tagsBytes = 0, tagCount = 0, iccBytes = 0, pixelOffset = 0, pixelBytes = 0, total = 0;
};

Layout Measure(FIBITMAP* image, PixelPlace place) {
    Layout layout;
    layout.total = sizeof(BlockHeader);
    if (!image) return layout;
    ForEachTag(image, [&](int, FITAG* tag) {
        layout.tagsBytes += sizeof(TagHeader) + TextBytes(FreeImage_GetTagKey(tag)) +
                            TextBytes(FreeImage_GetTagDescription(tag)) +
                            FreeImage_GetTagLength(tag);
        ++layout.tagCount;
    });
    if (const FIICCPROFILE* icc = FreeImage_GetICCProfile(image); icc && icc->data)
        layout.iccBytes = icc->size;
    layout.total += layout.tagsBytes + layout.iccBytes;
    layout.pixelBytes = ApartPixelBytes(image);
    if (layout.pixelBytes && place == PixelPlace::InBlock) {
        layout.pixelOffset = AlignUp(layout.total, kPixelAlignment);
        layout.total = layout.pixelOffset + layout.pixelBytes;
    }
    return layout;
}

// Reads from a block whose every part must lie inside it.
class Reader {
public:
    Reader(const uint8_t* data, uint64_t begin, uint64_t end) : data_(data), at_(begin), end_(end) {}
    bool Take(void* to, uint64_t n) {
        if (n > end_ - at_) return false;
        if (n) std::memcpy(to, data_ + at_, n);
        at_ += n;
        return true;
    }
    bool TakeText(std::string& to, uint64_t n) {
        if (n > end_ - at_) return false;
        to.assign(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return true;
    }
    const uint8_t* Skip(uint64_t n) {
        if (n > end_ - at_) return nullptr;
        const uint8_t* start = data_ + at_;
        at_ += n;
        return start;
    }

private:
    const uint8_t* data_;
    uint64_t at_, end_;
};

bool InBlock(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Recreates one tag; false when the record is not a tag FreeImage accepts.
bool ReadTag(Reader& in, FIBITMAP* image) {
    TagHeader h;
    std::string key, description;
    if (!in.Take(&h, sizeof h) || !in.TakeText(key, h.keyBytes) ||
        !in.TakeText(description, h.descriptionBytes))
        return false;
    const uint8_t* value = in.Skip(h.length);
    if (!value || h.model < FIMD_COMMENTS || h.model > kLastModel || h.id > 0xffff ||
        key.empty() || key.find('\0') != std::string::npos)
        return false;
    FITAG* tag = FreeImage_CreateTag();
    if (!tag) return false;
    static const uint8_t kNothing = 0;
    // FreeImage refuses a value whose length is not count times the type's
    // width, and ends text values itself: a lying record cannot make a tag
    // that reads past its value.
    const bool made = FreeImage_SetTagKey(tag, key.c_str()) &&
                      (description.empty() || FreeImage_SetTagDescription(tag, description.c_str())) &&
                      FreeImage_SetTagID(tag, static_cast<WORD>(h.id)) &&
                      FreeImage_SetTagType(tag, static_cast<FREE_IMAGE_MDTYPE>(h.type)) &&
                      FreeImage_SetTagCount(tag, h.count) && FreeImage_SetTagLength(tag, h.length) &&
                      FreeImage_SetTagValue(tag, h.length ? value : &kNothing) &&
                      FreeImage_SetMetadata(static_cast<FREE_IMAGE_MDMODEL>(h.model), image,
                                            key.c_str(), tag);
    FreeImage_DeleteTag(tag);
    return made;
}

}  // namespace

uint64_t ApartPixelBytes(FIBITMAP* image) {
    if (!image || !Transfers24(image)) return 0;
    return uint64_t{FreeImage_GetPitch(image)} * FreeImage_GetHeight(image);
}

size_t TransferBytes(FIBITMAP* image, PixelPlace place) {
    return static_cast<size_t>(Measure(image, place).total);
}

void WriteTransfer(int32_t status, FIBITMAP* image, uint8_t* to, size_t bytes, PixelPlace place) {
    const Layout layout = Measure(image, place);
    if (bytes < layout.total) return;
    BlockHeader header;
    header.status = status;
    if (image) {
        header.hasImage = 1;
        header.hasPixels = !layout.pixelBytes              ? 0
                           : place == PixelPlace::InBlock ? kPixelsInBlock
                                                          : kPixelsApart;
        header.type = FreeImage_GetImageType(image);
        header.width = FreeImage_GetWidth(image);
        header.height = FreeImage_GetHeight(image);
        header.bpp = FreeImage_GetBPP(image);
        header.pitch = FreeImage_GetPitch(image);
        header.dotsPerMeterX = FreeImage_GetDotsPerMeterX(image);
        header.dotsPerMeterY = FreeImage_GetDotsPerMeterY(image);
        header.hasBackground = FreeImage_GetBackgroundColor(image, &header.background) ? 1 : 0;
        header.tagsOffset = sizeof(BlockHeader);
        header.tagsBytes = layout.tagsBytes;
        header.tagCount = layout.tagCount;
        header.iccOffset = header.tagsOffset + layout.tagsBytes;
        header.iccBytes = layout.iccBytes;
        header.pixelOffset = layout.pixelOffset;
        header.pixelBytes = layout.pixelBytes;
    }
    std::memcpy(to, &header, sizeof header);
    if (!image) return;
    uint8_t* at = to + header.tagsOffset;
    ForEachTag(image, [&](int model, FITAG* tag) {
        const char* key = FreeImage_GetTagKey(tag);
        const char* description = FreeImage_GetTagDescription(tag);
        TagHeader h{model, static_cast<uint32_t>(TextBytes(key)),
                    static_cast<uint32_t>(TextBytes(description)), FreeImage_GetTagID(tag),
                    static_cast<uint32_t>(FreeImage_GetTagType(tag)), FreeImage_GetTagCount(tag),
                    FreeImage_GetTagLength(tag)};
        std::memcpy(at, &h, sizeof h);
        at += sizeof h;
        if (h.keyBytes) std::memcpy(at, key, h.keyBytes);
        at += h.keyBytes;
        if (h.descriptionBytes) std::memcpy(at, description, h.descriptionBytes);
        at += h.descriptionBytes;
        if (h.length) std::memcpy(at, FreeImage_GetTagValue(tag), h.length);
        at += h.length;
    });
    if (const FIICCPROFILE* icc = FreeImage_GetICCProfile(image); icc && icc->data) {
        std::memcpy(to + header.iccOffset, icc->data, icc->size);
        std::memcpy(to + offsetof(BlockHeader, iccFlags), &icc->flags, sizeof icc->flags);
    }
    if (header.hasPixels == kPixelsInBlock)
        std::memcpy(to + header.pixelOffset, FreeImage_GetBits(image), header.pixelBytes);
}

TransferredBitmap ReadTransfer(const uint8_t* from, size_t bytes, const ApartPixels& apart) {
    TransferredBitmap out;
    BlockHeader h;
    if (!from || bytes < sizeof h) return out;
    std::memcpy(&h, from, sizeof h);
    if (h.magic != kMagic) return out;
    out.status = h.status;
    if (!h.hasImage) {
        out.valid = true;
        return out;
    }
    const bool pixelsApart = h.hasPixels == kPixelsApart;
    if (!InBlock(h.tagsOffset, h.tagsBytes, bytes) || !InBlock(h.iccOffset, h.iccBytes, bytes) ||
        (pixelsApart ? apart.size != h.pixelBytes || !apart.bytes
                     : !InBlock(h.pixelOffset, h.pixelBytes, bytes)) ||
        h.hasPixels > kPixelsApart || h.iccBytes > 0x7fffffff ||
        (h.hasPixels && (h.width == 0 || h.height == 0 || h.width > 65535 || h.height > 65535)))
        return out;
    out.described = true;
    out.width = h.width;
    out.height = h.height;
    out.bitsPerPixel = h.bpp;
    out.type = static_cast<FREE_IMAGE_TYPE>(h.type);
    if (!h.hasPixels) {
        out.valid = h.type <= FIT_RGBAF;
        return out;
    }
    BitmapPtr image;
    FIBITMAP* prepared = apart.prepared ? apart.prepared->get() : nullptr;
    if (pixelsApart && prepared && FreeImage_GetWidth(prepared) == h.width &&
        FreeImage_GetHeight(prepared) == h.height && FreeImage_GetBPP(prepared) == 24 &&
        FreeImage_GetBits(prepared) == apart.bytes) {
        image = std::move(*apart.prepared);  // the pixels are in place already
    } else {
        image.reset(FreeImage_Allocate(static_cast<int>(h.width), static_cast<int>(h.height), 24,
                                       FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    }
    if (!image || FreeImage_GetPitch(image.get()) != h.pitch ||
        uint64_t{h.pitch} * h.height != h.pixelBytes)
        return out;
    const uint8_t* pixels = pixelsApart ? apart.bytes : from + h.pixelOffset;
    if (pixels != FreeImage_GetBits(image.get()))
        std::memcpy(FreeImage_GetBits(image.get()), pixels, h.pixelBytes);
    FreeImage_SetDotsPerMeterX(image.get(), h.dotsPerMeterX);
    FreeImage_SetDotsPerMeterY(image.get(), h.dotsPerMeterY);
    if (h.hasBackground) FreeImage_SetBackgroundColor(image.get(), &h.background);
    Reader tags(from, h.tagsOffset, h.tagsOffset + h.tagsBytes);
    for (uint64_t i = 0; i < h.tagCount; ++i)
        if (!ReadTag(tags, image.get())) return out;
    if (h.iccBytes) {
        FIICCPROFILE* icc = FreeImage_CreateICCProfile(
            image.get(), const_cast<uint8_t*>(from + h.iccOffset), static_cast<long>(h.iccBytes));
        if (!icc) return out;
        icc->flags = static_cast<WORD>(h.iccFlags);
    }
    out.image = std::move(image);
    out.valid = true;
    return out;
}

}  // namespace calmora
