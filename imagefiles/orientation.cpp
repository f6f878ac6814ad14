#include "imagefiles/orientation.h"

#include <cstring>
#include <string>

namespace calmora::exif {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr size_t kPrefix = 6;  // "Exif\0\0"

bool ReadTiffHeader(const std::vector<uint8_t>& raw, bool& big) {
    if (raw.size() < kPrefix + 8 || std::memcmp(raw.data(), "Exif\0\0", kPrefix) != 0) return false;
    const uint8_t* t = raw.data() + kPrefix;
    if (t[0] == 'I' && t[1] == 'I' && t[2] == 42 && t[3] == 0) big = false;
    else if (t[0] == 'M' && t[1] == 'M' && t[2] == 0 && t[3] == 42) big = true;
    else return false;
    return true;
}

uint32_t Get(const uint8_t* p, int bytes, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t{p[big ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
    return v;
}

// Replaces the value of `found` (the bitmap's tag under `key` in `model`) by
// `count` units making `length` bytes.
bool ReplaceValue(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key, FITAG* found,
                  const void* value, DWORD count, DWORD length) {
    FITAG* tag = FreeImage_CloneTag(found);
    if (!tag) return false;
    FreeImage_SetTagCount(tag, count);
    FreeImage_SetTagLength(tag, length);
    const bool set = FreeImage_SetTagValue(tag, value) && FreeImage_SetMetadata(model, image, key, tag);
    FreeImage_DeleteTag(tag);
    return set;
}

bool SetModelOrientation(FIBITMAP* image) {
    FITAG* found = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Orientation", &found) || !found) return false;
    if (FreeImage_GetTagType(found) != FIDT_SHORT || FreeImage_GetTagCount(found) < 1) return false;
    const WORD upright = 1;
    if (*static_cast<const WORD*>(FreeImage_GetTagValue(found)) == upright) return false;
    return ReplaceValue(image, FIMD_EXIF_MAIN, "Orientation", found, &upright, 1, sizeof upright);
}

bool SetRawOrientation(FIBITMAP* image) {
    FITAG* found = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, image, "ExifRaw", &found) || !found) return false;
    const auto* value = static_cast<const uint8_t*>(FreeImage_GetTagValue(found));
    if (!value) return false;
    std::vector<uint8_t> raw(value, value + FreeImage_GetTagLength(found));
    if (!SetRawOrientationUpright(raw)) return false;
    const auto size = static_cast<DWORD>(raw.size());
    return ReplaceValue(image, FIMD_EXIF_RAW, "ExifRaw", found, raw.data(), size, size);
}

// XMP writes the value as an attribute (tiff:Orientation="6") or as an
// element (<tiff:Orientation>6</tiff:Orientation>).
bool SetXmpOrientation(FIBITMAP* image) {
    FITAG* found = nullptr;
    if (!FreeImage_GetMetadata(FIMD_XMP, image, "XMLPacket", &found) || !found) return false;
    const auto* text = static_cast<const char*>(FreeImage_GetTagValue(found));
    if (!text) return false;
    std::string packet(text, strnlen(text, FreeImage_GetTagLength(found)));
    bool changed = false;
    for (const char* opener : {"tiff:Orientation=\"", "tiff:Orientation='", "<tiff:Orientation>"}) {
        for (size_t at = packet.find(opener); at != std::string::npos;
             at = packet.find(opener, at + 1)) {
            const size_t digit = at + std::strlen(opener);
            if (digit < packet.size() && packet[digit] >= '2' && packet[digit] <= '8' &&
                (digit + 1 == packet.size() || packet[digit + 1] < '0' || packet[digit + 1] > '9')) {
                packet[digit] = '1';
                changed = true;
            }
        }
    }
    if (!changed) return false;
    const auto size = static_cast<DWORD>(packet.size() + 1);
    return ReplaceValue(image, FIMD_XMP, "XMLPacket", found, packet.c_str(), size, size);
}

}  // namespace

bool SetRawOrientationUpright(std::vector<uint8_t>& raw) {
    bool big = false;
    if (!ReadTiffHeader(raw, big)) return false;
    const uint8_t* tiff = raw.data() + kPrefix;
    const size_t size = raw.size() - kPrefix;
    const uint32_t ifd0 = Get(tiff + 4, 4, big);
    if (ifd0 < 8 || size < 2 || ifd0 > size - 2) return false;
    const uint32_t entries = Get(tiff + ifd0, 2, big);
    if (entries > (size - ifd0 - 2) / 12) return false;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = ifd0 + 2 + 12 * size_t{i};
        if (Get(tiff + entry, 2, big) != kOrientationTag) continue;
        if (Get(tiff + entry + 2, 2, big) != FIDT_SHORT || Get(tiff + entry + 4, 4, big) < 1)
            return false;
        uint8_t* value = raw.data() + kPrefix + entry + 8;
        if (Get(value, 2, big) == 1) return false;
        value[big ? 0 : 1] = 0;
        value[big ? 1 : 0] = 1;
        return true;
    }
    return false;
}

bool MarkPixelsUpright(FIBITMAP* image) {
    if (!image) return false;
    const bool raw = SetRawOrientation(image);
    const bool tags = SetModelOrientation(image);
    const bool xmp = SetXmpOrientation(image);
    return raw || tags || xmp;
}

UprightWhileAlive::UprightWhileAlive(FIBITMAP* image, bool turned) {
    if (!image || !turned) return;
    saved_ = FreeImage_Allocate(1, 1, 24);
    if (!saved_) {
        // The file's correctness comes first: mark it, without a way back.
        MarkPixelsUpright(image);
        return;
    }
    FreeImage_CloneMetadata(saved_, image);
    image_ = image;
    if (!MarkPixelsUpright(image)) {
        FreeImage_Unload(saved_);
        saved_ = nullptr;
        image_ = nullptr;
    }
}

UprightWhileAlive::~UprightWhileAlive() {
    if (!saved_) return;
    // Only existing keys were changed, so copying back restores every one.
    FreeImage_CloneMetadata(image_, saved_);
    FreeImage_Unload(saved_);
}

}  // namespace calmora::exif
