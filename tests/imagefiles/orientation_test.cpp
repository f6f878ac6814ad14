// The camera's Orientation once the program has turned a picture's pixels.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/orientation.h"
#include "test_images.h"

namespace {

using calmora::exif::MarkPixelsUpright;
using calmora::exif::SetRawOrientationUpright;
using calmora::exif::UprightWhileAlive;
using calmora_test::Pattern24;
using calmora_test::ScratchDir;

struct Field {
    uint16_t tag, type;
    uint32_t count;
    uint32_t value;  // inline, in the low bytes for SHORT
};

// "Exif\0\0" and a TIFF structure with one directory of inline fields.
std::vector<uint8_t> RawBlock(const std::vector<Field>& fields, bool big) {
    std::vector<uint8_t> out;
    for (char c : std::string("Exif\0\0", 6)) out.push_back(uint8_t(c));
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(v >> (8 * (big ? bytes - 1 - i : i))));
    };
    out.push_back(big ? 'M' : 'I');
    out.push_back(big ? 'M' : 'I');
    put(42, 2);
    put(8, 4);
    put(uint32_t(fields.size()), 2);
    for (const Field& f : fields) {
        put(f.tag, 2);
        put(f.type, 2);
        put(f.count, 4);
        if (f.type == FIDT_SHORT) {
            put(f.value, 2);
            put(0, 2);
        } else {
            put(f.value, 4);
        }
    }
    put(0, 4);
    return out;
}

// Resolution unit (2), orientation 6, Y/C positioning (1): the orientation sits
// between two fields that must not move.
std::vector<uint8_t> PortraitBlock(bool big) {
    return RawBlock({{0x0112, FIDT_SHORT, 1, 6}, {0x0128, FIDT_SHORT, 1, 2}, {0x0213, FIDT_SHORT, 1, 1}},
                    big);
}

long Orientation(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Orientation", &tag) || !tag) return -1;
    return *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
}

std::string Xmp(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_XMP, image, "XMLPacket", &tag) || !tag) return {};
    const auto* text = static_cast<const char*>(FreeImage_GetTagValue(tag));
    return std::string(text, strnlen(text, FreeImage_GetTagLength(tag)));
}

void AttachXmp(FIBITMAP* image, const std::string& packet) {
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, "XMLPacket");
    FreeImage_SetTagType(tag, FIDT_ASCII);
    FreeImage_SetTagCount(tag, DWORD(packet.size() + 1));
    FreeImage_SetTagLength(tag, DWORD(packet.size() + 1));
    FreeImage_SetTagValue(tag, packet.c_str());
    FreeImage_SetMetadata(FIMD_XMP, image, "XMLPacket", tag);
    FreeImage_DeleteTag(tag);
}

const char kXmp[] =
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
    "<rdf:Description xmlns:tiff='http://ns.adobe.com/tiff/1.0/' tiff:Orientation=\"8\" tiff:Make=\"X\"/>"
    "<rdf:Description xmlns:tiff='http://ns.adobe.com/tiff/1.0/'><tiff:Orientation>6</tiff:Orientation>"
    "<tiff:ImageWidth>60</tiff:ImageWidth></rdf:Description></rdf:RDF></x:xmpmeta>";

// A portrait photograph as a phone keeps it: pixels sideways, Orientation 6 in
// its EXIF (raw block and tags, as FreeImage reads a JPEG) and its XMP.
calmora::BitmapPtr PortraitPhoto() {
    calmora::BitmapPtr image = Pattern24(40, 30, true);
    const std::vector<uint8_t> raw = PortraitBlock(false);
    EXPECT_TRUE(calmora::exif::AttachExifBlock(image.get(), raw.data() + 6, raw.size() - 6));
    AttachXmp(image.get(), kXmp);
    return image;
}

TEST(RawOrientation, SetToOneInPlaceInEitherByteOrder) {
    for (bool big : {false, true}) {
        std::vector<uint8_t> block = PortraitBlock(big);
        ASSERT_TRUE(SetRawOrientationUpright(block)) << (big ? "big-endian" : "little-endian");
        EXPECT_EQ(block, RawBlock({{0x0112, FIDT_SHORT, 1, 1}, {0x0128, FIDT_SHORT, 1, 2},
                                   {0x0213, FIDT_SHORT, 1, 1}},
                                  big));
        EXPECT_FALSE(SetRawOrientationUpright(block)) << "already upright: nothing to change";
    }
}

TEST(RawOrientation, MalformedOrMissingLeavesTheBytes) {
    const std::vector<std::vector<uint8_t>> blocks = {
        RawBlock({{0x0128, FIDT_SHORT, 1, 2}}, false),                 // no orientation
        RawBlock({{0x0112, FIDT_LONG, 1, 6}}, false),                  // not a SHORT
        RawBlock({{0x0112, FIDT_SHORT, 0, 6}}, true),                  // no value
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0},                   // header cut short
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF, 1, 0},  // IFD0 past the end
        {'J', 'F', 'I', 'F', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0},            // not EXIF
        {},
    };
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::vector<uint8_t> block = blocks[i];
        EXPECT_FALSE(SetRawOrientationUpright(block)) << "block " << i;
        EXPECT_EQ(block, blocks[i]) << "block " << i;
    }
    // A directory claiming more entries than the block holds.
    std::vector<uint8_t> block = PortraitBlock(false);
    block[6 + 8] = 0xFF;
    const std::vector<uint8_t> before = block;
    EXPECT_FALSE(SetRawOrientationUpright(block));
    EXPECT_EQ(block, before);
}

std::vector<uint8_t> WithoutPrefix(const std::vector<uint8_t>& raw) {
    return std::vector<uint8_t>(raw.begin() + 6, raw.end());
}

TEST(MarkPixelsUpright, ChangesEveryOrientationCopyOnly) {
    calmora::BitmapPtr photo = PortraitPhoto();
    ASSERT_EQ(Orientation(photo.get()), 6);
    ASSERT_TRUE(MarkPixelsUpright(photo.get()));
    EXPECT_EQ(Orientation(photo.get()), 1);
    EXPECT_EQ(calmora::exif::ExifBlockOf(photo.get()),
              WithoutPrefix(RawBlock({{0x0112, FIDT_SHORT, 1, 1}, {0x0128, FIDT_SHORT, 1, 2},
                                      {0x0213, FIDT_SHORT, 1, 1}},
                                     false)));
    std::string xmp = kXmp;
    xmp.replace(xmp.find("Orientation=\"8"), 14, "Orientation=\"1");
    xmp.replace(xmp.find("Orientation>6"), 13, "Orientation>1");
    EXPECT_EQ(Xmp(photo.get()), xmp);
    EXPECT_FALSE(MarkPixelsUpright(photo.get())) << "a second call has nothing left to change";

    calmora::BitmapPtr plain = Pattern24(8, 8);
    EXPECT_FALSE(MarkPixelsUpright(plain.get()));
    EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, plain.get()), 0u);
    EXPECT_FALSE(MarkPixelsUpright(nullptr));
}

TEST(MarkPixelsUpright, WhileAliveThenTheCameraValuesComeBack) {
    calmora::BitmapPtr photo = PortraitPhoto();
    const std::vector<uint8_t> block = calmora::exif::ExifBlockOf(photo.get());
    {
        const UprightWhileAlive upright(photo.get(), true);
        EXPECT_EQ(Orientation(photo.get()), 1);
    }
    EXPECT_EQ(Orientation(photo.get()), 6);
    EXPECT_EQ(calmora::exif::ExifBlockOf(photo.get()), block);
    EXPECT_EQ(Xmp(photo.get()), kXmp);
    {
        const UprightWhileAlive notTurned(photo.get(), false);
        EXPECT_EQ(Orientation(photo.get()), 6);
    }
    EXPECT_EQ(Orientation(photo.get()), 6);
}

// Tag 274 of a TIFF file's first directory; -1 when there is none.
long TiffOrientation(const std::string& path) {
    const std::vector<uint8_t> file = calmora_test::ReadFile(path);
    if (file.size() < 8) return -1;
    const bool big = file[0] == 'M';
    auto get = [&](size_t at, int bytes) -> long {
        if (at + bytes > file.size()) return -1;
        long v = 0;
        for (int i = 0; i < bytes; ++i) v |= long{file[at + (big ? i : bytes - 1 - i)]} << (8 * (bytes - 1 - i));
        return v;
    };
    const long ifd0 = get(4, 4);
    const long entries = get(size_t(ifd0), 2);
    for (long i = 0; ifd0 >= 0 && i < entries; ++i) {
        const size_t entry = size_t(ifd0) + 2 + 12 * size_t(i);
        if (get(entry, 2) == 0x0112) return get(entry + 8, 2);
    }
    return -1;
}

// What other programs will read from the saved file.
TEST(MarkPixelsUpright, SavedFilesCarryTheUprightOrientation) {
    ScratchDir dir;
    for (const auto& [name, format] : {std::pair{"turned.jpg", calmora::SaveFormat::Jpeg},
                                       std::pair{"turned.tif", calmora::SaveFormat::Tiff},
                                       std::pair{"turned.png", calmora::SaveFormat::Png}}) {
        calmora::BitmapPtr photo = PortraitPhoto();
        {
            const UprightWhileAlive upright(photo.get(), true);
            const calmora::SaveResult saved =
                calmora::SaveImageFile(photo.get(), dir / name, format, calmora::SaveOptions{});
            ASSERT_TRUE(saved.ok) << name << ": " << saved.reason;
        }
        const calmora::LoadedImage back = calmora::LoadImageFile(dir / name);
        ASSERT_TRUE(back.image) << name;
        // A TIFF holds it in its own first directory, which the loader leaves alone.
        EXPECT_EQ(format == calmora::SaveFormat::Tiff ? TiffOrientation(dir / name)
                                                      : Orientation(back.image.get()),
                  1)
            << name;
        const std::string xmp = Xmp(back.image.get());
        if (!xmp.empty()) {
            EXPECT_NE(xmp.find("tiff:Orientation=\"1\""), std::string::npos) << name;
            EXPECT_NE(xmp.find("<tiff:Orientation>1<"), std::string::npos) << name;
        }
        EXPECT_EQ(Orientation(photo.get()), 6) << name << ": the document keeps the camera's value";
    }
}

}  // namespace
