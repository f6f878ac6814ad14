#include "image_file_samples.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "test_images.h"

namespace calmora_test {

using calmora::BitmapPtr;

namespace {

struct HandTag {
    uint16_t id, type;
    std::vector<uint8_t> value;  // little-endian
    uint32_t count;
};

HandTag Ascii(uint16_t id, const std::string& text) {
    std::vector<uint8_t> value(text.begin(), text.end());
    value.push_back(0);
    return {id, 2, value, static_cast<uint32_t>(value.size())};
}
HandTag Short(uint16_t id, uint16_t v) { return {id, 3, {uint8_t(v), uint8_t(v >> 8)}, 1}; }
HandTag Raw(uint16_t id, uint16_t type, std::vector<uint8_t> value) {
    const auto count = static_cast<uint32_t>(value.size());
    return {id, type, std::move(value), count};
}
std::vector<uint8_t> Le32Bytes(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
HandTag Rationals(uint16_t id, const std::vector<std::pair<uint32_t, uint32_t>>& values) {
    std::vector<uint8_t> bytes;
    for (const auto& [numerator, denominator] : values) {
        for (uint8_t b : Le32Bytes(numerator)) bytes.push_back(b);
        for (uint8_t b : Le32Bytes(denominator)) bytes.push_back(b);
    }
    return {id, 5, bytes, static_cast<uint32_t>(values.size())};
}

// "Exif\0\0" and a little-endian TIFF structure laid out by hand: IFD0
// (tags in ascending order), then the EXIF and GPS directories it points to.
std::vector<uint8_t> HandMadeExif(std::vector<HandTag> main, const std::vector<HandTag>& exif,
                                  const std::vector<HandTag>& gps) {
    auto size = [](const std::vector<HandTag>& dir) {
        uint32_t bytes = 2 + 12 * static_cast<uint32_t>(dir.size()) + 4;
        for (const HandTag& t : dir)
            if (t.value.size() > 4) bytes += (static_cast<uint32_t>(t.value.size()) + 1) & ~1u;
        return bytes;
    };
    main.push_back(Raw(0x8769, 4, {0, 0, 0, 0}));
    main.back().count = 1;
    main.push_back(Raw(0x8825, 4, {0, 0, 0, 0}));
    main.back().count = 1;
    const uint32_t exifAt = 8 + size(main);
    const uint32_t gpsAt = exifAt + size(exif);
    main[main.size() - 2].value = Le32Bytes(exifAt);
    main.back().value = Le32Bytes(gpsAt);

    std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&out](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto put = [&](const std::vector<HandTag>& dir, uint32_t at) {
        put16(static_cast<uint32_t>(dir.size()));
        uint32_t values = at + 2 + 12 * static_cast<uint32_t>(dir.size()) + 4;
        for (const HandTag& t : dir) {
            put16(t.id);
            put16(t.type);
            for (uint8_t b : Le32Bytes(t.count)) out.push_back(b);
            std::vector<uint8_t> field = t.value;
            if (field.size() > 4) {
                field = Le32Bytes(values);
                values += (static_cast<uint32_t>(t.value.size()) + 1) & ~1u;
            }
            field.resize(4, 0);
            out.insert(out.end(), field.begin(), field.end());
        }
        for (uint8_t b : Le32Bytes(0)) out.push_back(b);
        for (const HandTag& t : dir) {
            if (t.value.size() <= 4) continue;
            out.insert(out.end(), t.value.begin(), t.value.end());
            if (t.value.size() % 2) out.push_back(0);
        }
    };
    put(main, 8);
    put(exif, exifAt);
    put(gps, gpsAt);
    out.insert(out.begin(), {'E', 'x', 'i', 'f', 0, 0});
    return out;
}


}  // namespace

// Minimal EXIF block: "Exif\0\0", little-endian TIFF header, one IFD with Make.
std::vector<uint8_t> ExifWithMake(const std::string& make) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    const uint32_t count = static_cast<uint32_t>(make.size() + 1);
    b.insert(b.end(), {1, 0});                       // one entry
    b.insert(b.end(), {0x0F, 0x01, 2, 0});           // Make, ASCII
    b.insert(b.end(), {static_cast<uint8_t>(count), 0, 0, 0});
    b.insert(b.end(), {26, 0, 0, 0});                // value right after the IFD
    b.insert(b.end(), {0, 0, 0, 0});                 // no next IFD
    b.insert(b.end(), make.begin(), make.end());
    b.push_back(0);
    return b;
}

// As FreeImage keeps the EXIF of a JPEG it reads.
void AttachRawExif(FIBITMAP* image, const std::vector<uint8_t>& exif) {
    FITAG* raw = FreeImage_CreateTag();
    FreeImage_SetTagKey(raw, "ExifRaw");
    FreeImage_SetTagType(raw, FIDT_BYTE);
    FreeImage_SetTagCount(raw, static_cast<DWORD>(exif.size()));
    FreeImage_SetTagLength(raw, static_cast<DWORD>(exif.size()));
    FreeImage_SetTagValue(raw, exif.data());
    FreeImage_SetMetadata(FIMD_EXIF_RAW, image, "ExifRaw", raw);
    FreeImage_DeleteTag(raw);
}

std::string MakeTag(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Make", &tag) || !tag) return {};
    return static_cast<const char*>(FreeImage_GetTagValue(tag));
}

// EXIF as a camera writes it, naming the camera, the photographer, the
// exposure and the place.
std::vector<uint8_t> CameraExif() {
    return HandMadeExif(
        {Ascii(0x010F, "Calmora Test Camera"), Ascii(0x0110, "CT-1"), Ascii(0x0131, "Firmware 1.0"),
         Ascii(0x0132, "2021:06:05 14:30:00"), Ascii(0x013B, "Ada Fotografa"),
         Ascii(0x8298, "(c) 2021 Ada Fotografa")},
        {Rationals(0x829A, {{1, 250}}), Rationals(0x829D, {{28, 10}}), Short(0x8827, 400),
         Raw(0x9000, 7, {'0', '2', '3', '1'}), Ascii(0x9003, "2021:06:05 14:30:00"),
         Rationals(0x920A, {{50, 1}})},
        {Raw(0x0000, 1, {2, 3, 0, 0}), Ascii(0x0001, "N"), Rationals(0x0002, {{45, 1}, {30, 1}, {0, 1}})});
}

// A photograph as a camera writes it.
std::string WriteCameraJpeg(const ScratchDir& dir) {
    BitmapPtr photo = calmora_test::Pattern24(64, 48, true);
    AttachRawExif(photo.get(), CameraExif());
    const std::string path = dir / "camera.jpg";
    calmora_test::WriteImage(photo.get(), FIF_JPEG, path, 90);
    return path;
}

FITAG* FindTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!image || !FreeImage_GetMetadata(model, image, key, &tag)) return nullptr;
    return tag;
}

std::string TextTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = FindTag(image, model, key);
    if (!tag || FreeImage_GetTagType(tag) != FIDT_ASCII) return "(missing)";
    const auto* text = static_cast<const char*>(FreeImage_GetTagValue(tag));
    return std::string(text, strnlen(text, FreeImage_GetTagLength(tag)));
}

double RationalTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = FindTag(image, model, key);
    if (!tag || FreeImage_GetTagType(tag) != FIDT_RATIONAL) return std::nan("");
    const auto* parts = static_cast<const DWORD*>(FreeImage_GetTagValue(tag));
    return parts[1] ? double(parts[0]) / double(parts[1]) : std::nan("");
}

long NumberTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = FindTag(image, model, key);
    if (!tag) return -1;
    if (FreeImage_GetTagType(tag) == FIDT_SHORT) return *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    if (FreeImage_GetTagType(tag) == FIDT_LONG) return long(*static_cast<const DWORD*>(FreeImage_GetTagValue(tag)));
    return -1;
}

}  // namespace calmora_test
