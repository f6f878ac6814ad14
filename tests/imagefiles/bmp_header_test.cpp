// BMP files with the later info headers (V2, V3, V4 and V5), which Debian's
// FreeImage refuses on its own: every layout a painting program or
// ImageMagick writes must open with the right colours, report its size from
// the header and still be found out when cut short.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imagefiles/image_guard.h"
#include "imagefiles/image_load.h"
#include "test_images.h"

namespace {

using calmora::ImageFileError;
using calmora::LoadImageFile;
using Bytes = std::vector<uint8_t>;

void PatternRgb(int x, int y, uint8_t rgb[3]) {
    rgb[0] = uint8_t(23 * x + 5 * y);
    rgb[1] = uint8_t(250 - 9 * y - x);
    rgb[2] = uint8_t((37 * x) ^ (11 * y));
}

using calmora_test::PutLe16;
using calmora_test::PutLe32;

int Shift(uint32_t mask) {
    int shift = 0;
    while (mask && !((mask >> shift) & 1)) ++shift;
    return shift;
}
int Width(uint32_t mask) {
    int bits = 0;
    for (uint32_t m = mask >> Shift(mask); m & 1; m >>= 1) ++bits;
    return bits;
}
// An 8-bit channel in the field a mask gives it (its top bits when narrower).
uint32_t Packed(uint8_t value, uint32_t mask) {
    if (!mask) return 0;
    const int bits = Width(mask);
    const uint32_t field = bits >= 8 ? uint32_t{value} << (bits - 8) : uint32_t{value} >> (8 - bits);
    return field << Shift(mask);
}
// What an n-bit field reads back as in 8 bits, as FreeImage scales 5 and 6
// bits (times 255, divided by the field's largest value) and the loader
// keeps the top 8 of wider ones.
uint8_t Expanded(uint8_t value, uint32_t mask) {
    const int bits = Width(mask);
    if (bits >= 8) return value;
    const uint32_t field = uint32_t{value} >> (8 - bits);
    return uint8_t(field * 255 / ((1u << bits) - 1));
}

struct BmpKind {
    const char* desc;
    uint32_t infoSize;
    int bits;              // 8 (palette), 16, 24 or 32
    uint32_t compression;  // 0 BI_RGB, 3 BI_BITFIELDS
    uint32_t masks[4];     // red, green, blue, alpha (BI_BITFIELDS, or 16-bit)
    bool topDown = false;
};

constexpr uint32_t kStd[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

const BmpKind kKinds[] = {
    {"V4, 24 bits", 108, 24, 0, {}},
    {"V5, 24 bits", 124, 24, 0, {}},
    {"V5, 24 bits, rows top-down", 124, 24, 0, {}, true},
    {"V2, 24 bits", 52, 24, 0, {}},
    {"V4, 32 bits, no masks", 108, 32, 0, {}},
    {"V5, 32 bits, bit fields with alpha (ImageMagick, GIMP)", 124, 32, 3,
     {kStd[0], kStd[1], kStd[2], kStd[3]}},
    {"V4, 32 bits, bit fields without alpha", 108, 32, 3, {kStd[0], kStd[1], kStd[2], 0}},
    {"V3, 32 bits, bit fields with alpha", 56, 32, 3, {kStd[0], kStd[1], kStd[2], kStd[3]}},
    {"V5, 32 bits, red-green-blue-alpha byte order", 124, 32, 3,
     {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}, true},
    {"V5, 32 bits, 10 bits a channel", 124, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}},
    {"V5, 16 bits, 5-6-5", 124, 16, 3, {0xF800, 0x07E0, 0x001F, 0}},
    {"V5, 8 bits with a colour table", 124, 8, 0, {}},
};

// Palette entry i of the 8-bit files, and which entry pixel (x, y) uses.
void PaletteRgb(int i, uint8_t rgb[3]) {
    rgb[0] = uint8_t(i);
    rgb[1] = uint8_t(255 - i);
    rgb[2] = uint8_t(i * 3);
}
int PaletteIndex(int x, int y) { return (x * 7 + y * 13) & 0xFF; }

void ExpectedRgb(const BmpKind& kind, int x, int y, uint8_t rgb[3]) {
    if (kind.bits == 8) return PaletteRgb(PaletteIndex(x, y), rgb);
    PatternRgb(x, y, rgb);
    if (kind.bits == 16 || kind.compression == 3)
        for (int c = 0; c < 3; ++c) rgb[c] = Expanded(rgb[c], kind.masks[c]);
}

Bytes MakeBmp(const BmpKind& kind, int width, int height) {
    const uint32_t pitch = (uint32_t(width) * kind.bits + 31) / 32 * 4;
    const uint32_t palette = kind.bits == 8 ? 256 * 4 : 0;
    const uint32_t offset = 14 + kind.infoSize + palette;
    Bytes b = {'B', 'M'};
    PutLe32(b, offset + pitch * height);
    PutLe32(b, 0);
    PutLe32(b, offset);
    PutLe32(b, kind.infoSize);
    PutLe32(b, uint32_t(width));
    PutLe32(b, uint32_t(kind.topDown ? -height : height));
    PutLe16(b, 1);
    PutLe16(b, uint32_t(kind.bits));
    PutLe32(b, kind.compression);
    PutLe32(b, pitch * height);
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, kind.bits == 8 ? 256 : 0);
    PutLe32(b, 0);
    for (int i = 0; i < 4 && b.size() < 14 + kind.infoSize; ++i) PutLe32(b, kind.masks[i]);
    if (kind.infoSize >= 108) PutLe32(b, 0x73524742);  // "sRGB" colour space
    b.resize(14 + kind.infoSize, 0);                    // end points, gamma, intent, profile: zero
    for (int i = 0; i < (kind.bits == 8 ? 256 : 0); ++i) {
        uint8_t rgb[3];
        PaletteRgb(i, rgb);
        b.insert(b.end(), {rgb[2], rgb[1], rgb[0], 0});
    }
    for (int row = 0; row < height; ++row) {
        const int y = kind.topDown ? row : height - 1 - row;
        const size_t start = b.size();
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            PatternRgb(x, y, rgb);
            if (kind.bits == 8) {
                b.push_back(uint8_t(PaletteIndex(x, y)));
            } else if (kind.bits == 24) {
                b.insert(b.end(), {rgb[2], rgb[1], rgb[0]});
            } else {
                const uint32_t* m = kind.compression == 3 || kind.bits == 16 ? kind.masks : kStd;
                uint32_t v = Packed(rgb[0], m[0]) | Packed(rgb[1], m[1]) | Packed(rgb[2], m[2]) |
                             Packed(uint8_t(128 + x), m[3]);
                if (kind.bits == 32 && kind.compression == 0) v |= uint32_t{0x5A} << 24;  // unused byte
                for (int i = 0; i < kind.bits / 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
            }
        }
        b.resize(start + pitch, 0);
    }
    return b;
}

// Compares every pixel; returns the number that differ, printing the first.
int CountWrongPixels(FIBITMAP* image, int width, int height, const BmpKind& kind) {
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            ExpectedRgb(kind, x, y, rgb);
            const BYTE* p = row + 3 * x;
            if (p[FI_RGBA_RED] != rgb[0] || p[FI_RGBA_GREEN] != rgb[1] || p[FI_RGBA_BLUE] != rgb[2]) {
                if (wrong++ == 0)
                    ADD_FAILURE() << kind.desc << ": pixel " << x << "," << y << " is " << int(p[FI_RGBA_RED])
                                  << "," << int(p[FI_RGBA_GREEN]) << "," << int(p[FI_RGBA_BLUE])
                                  << ", not " << int(rgb[0]) << "," << int(rgb[1]) << "," << int(rgb[2]);
            }
        }
    }
    return wrong;
}

TEST(BmpHeader, EveryLaterHeaderLayoutOpensWithItsColours) {
    calmora_test::ScratchDir dir;
    constexpr int kW = 13, kH = 7;  // odd width: rows of 24 bits need padding
    for (const BmpKind& kind : kKinds) {
        const std::string path = dir / "case.bmp";
        calmora_test::WriteFile(path, MakeBmp(kind, kW, kH));
        const calmora::ImageProbe probe = calmora::ProbeImageFile(path);
        ASSERT_EQ(probe.error, ImageFileError::None) << kind.desc;
        EXPECT_EQ(probe.width, kW) << kind.desc;
        EXPECT_EQ(probe.height, kH) << kind.desc;
        const calmora::GuardVerdict guard = calmora::InspectBeforeDecode(path, FIF_BMP);
        EXPECT_TRUE(guard.accepted()) << kind.desc << ": " << guard.reason;
        const calmora::LoadedImage loaded = LoadImageFile(path);
        ASSERT_EQ(loaded.error, ImageFileError::None) << kind.desc;
        ASSERT_EQ(FreeImage_GetWidth(loaded.image.get()), unsigned(kW)) << kind.desc;
        ASSERT_EQ(FreeImage_GetHeight(loaded.image.get()), unsigned(kH)) << kind.desc;
        EXPECT_EQ(CountWrongPixels(loaded.image.get(), kW, kH, kind), 0) << kind.desc;
    }
}

TEST(BmpHeader, CutShortOrHugeLaterHeadersAreStillFoundOut) {
    calmora_test::ScratchDir dir;
    for (const BmpKind& kind : kKinds) {
        Bytes bytes = MakeBmp(kind, 13, 7);
        bytes.resize(bytes.size() - 40);  // most of the last row (or two) is missing
        const std::string path = dir / "cut.bmp";
        calmora_test::WriteFile(path, bytes);
        EXPECT_EQ(LoadImageFile(path).error, ImageFileError::Truncated) << kind.desc;

        bytes.resize(14 + kind.infoSize / 2);  // the info header itself is cut
        calmora_test::WriteFile(path, bytes);
        const ImageFileError error = LoadImageFile(path).error;
        EXPECT_TRUE(error == ImageFileError::Corrupt || error == ImageFileError::Truncated)
            << kind.desc << ": " << calmora::DescribeImageFileError(error);

        Bytes huge = MakeBmp(kind, 13, 7);
        for (int i = 0; i < 4; ++i) huge[18 + i] = uint8_t(100000 >> (8 * i));
        calmora_test::WriteFile(path, huge);
        EXPECT_EQ(calmora::InspectBeforeDecode(path, FIF_BMP).outcome, calmora::GuardOutcome::kTooLarge)
            << kind.desc;
        EXPECT_EQ(LoadImageFile(path).error, ImageFileError::TooLarge) << kind.desc;
    }
}

uint32_t InfoSizeOf(const Bytes& bmp) {
    return bmp.size() < 18 ? 0 : uint32_t{bmp[14]} | uint32_t{bmp[15]} << 8 | uint32_t{bmp[16]} << 16;
}

// ImageMagick's own files, from a PNG written here: the default BMP (V5),
// BMP3 (the 40-byte header, which FreeImage always read) and a picture with
// transparency (V5, 32 bits with an alpha mask), whose colours must stay
// the colours. Debian's real convert lives in /usr/bin.
TEST(BmpHeader, ImageMagicksBmpFilesOpenWithThePngsColours) {
    const std::string convert = "/usr/bin/convert";
    if (!std::filesystem::exists(convert)) GTEST_SKIP() << "ImageMagick is not installed";
    calmora_test::ScratchDir dir;
    constexpr int kW = 21, kH = 9;
    calmora::BitmapPtr rgba(FreeImage_Allocate(kW, kH, 32));
    for (int y = 0; y < kH; ++y) {
        BYTE* row = FreeImage_GetScanLine(rgba.get(), kH - 1 - y);
        for (int x = 0; x < kW; ++x) {
            uint8_t rgb[3];
            PatternRgb(x, y, rgb);
            row[4 * x + FI_RGBA_RED] = rgb[0];
            row[4 * x + FI_RGBA_GREEN] = rgb[1];
            row[4 * x + FI_RGBA_BLUE] = rgb[2];
            row[4 * x + FI_RGBA_ALPHA] = uint8_t(60 + 9 * x);
        }
    }
    calmora::BitmapPtr rgb(FreeImage_ConvertTo24Bits(rgba.get()));
    calmora_test::WriteImage(rgb.get(), FIF_PNG, dir / "opaque.png");
    calmora_test::WriteImage(rgba.get(), FIF_PNG, dir / "alpha.png");
    struct Case {
        const char* desc;
        const char* source;
        const char* format;  // ImageMagick's name for the kind of BMP, or ""
        const char* file;
        uint32_t infoSize;
    };
    const Case cases[] = {
        {"default BMP", "opaque.png", "", "default.bmp", 124},
        {"BMP3", "opaque.png", "BMP3:", "v3.bmp", 40},
        {"with transparency", "alpha.png", "", "alpha.bmp", 124},
    };
    const BmpKind plain{"ImageMagick", 124, 24, 0, {}};
    for (const Case& c : cases) {
        const std::string file = dir / c.file;
        const std::string command =
            convert + " '" + (dir / c.source) + "' '" + c.format + file + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(InfoSizeOf(calmora_test::ReadFile(file)), c.infoSize) << c.desc;
        const calmora::LoadedImage loaded = LoadImageFile(file);
        ASSERT_EQ(loaded.error, ImageFileError::None) << c.desc;
        EXPECT_EQ(CountWrongPixels(loaded.image.get(), kW, kH, plain), 0) << c.desc;
    }
}

}  // namespace
