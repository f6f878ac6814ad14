// Loading every kind of input the program opens: each format and sample
// type to 24 bits with the original pixels, palettes, UTF-8 paths, the size
// and memory limits, and files that are missing, unknown or damaged.
#include "imagefiles/image_load.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "image_file_samples.h"
#include "test_images.h"

namespace calmora {
namespace {

using namespace calmora_test;

// --- Loading every input kind -------------------------------------------------

struct InputCase {
    const char* desc;
    const char* name;
    FREE_IMAGE_FORMAT format;
    bool lossless;
};

class LoadEachFormat : public ::testing::TestWithParam<InputCase> {};

TEST_P(LoadEachFormat, Gives24BitOriginal) {
    const InputCase& c = GetParam();
    ScratchDir dir;
    const BitmapPtr pattern = calmora_test::Pattern24(kW, kH, !c.lossless);
    calmora_test::WriteImage(pattern.get(), c.format, dir / c.name, c.format == FIF_JPEG ? 100 : 0);

    const LoadedImage loaded = LoadImageFile(dir / c.name);
    ASSERT_EQ(loaded.error, ImageFileError::None) << DescribeImageFileError(loaded.error);
    ASSERT_TRUE(loaded.image);
    EXPECT_EQ(loaded.format, c.format);
    EXPECT_EQ(FreeImage_GetBPP(loaded.image.get()), 24u);
    EXPECT_EQ(FreeImage_GetImageType(loaded.image.get()), FIT_BITMAP);
    ASSERT_EQ(FreeImage_GetWidth(loaded.image.get()), unsigned{kW});
    ASSERT_EQ(FreeImage_GetHeight(loaded.image.get()), unsigned{kH});
    const std::vector<uint8_t> want = PixelBytes(pattern.get());
    const std::vector<uint8_t> got = PixelBytes(loaded.image.get());
    if (c.lossless) {
        EXPECT_EQ(got, want);
    } else {
        int worst = 0;
        for (size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(got[i] - want[i]));
        EXPECT_LE(worst, 6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LoadEachFormat,
    ::testing::Values(InputCase{"Jpeg", "a.jpg", FIF_JPEG, false},
                      InputCase{"Bmp", "a.bmp", FIF_BMP, true},
                      InputCase{"Png", "a.png", FIF_PNG, true},
                      InputCase{"Tiff", "a.tif", FIF_TIFF, true}),
    [](const auto& info) { return std::string(info.param.desc); });

TEST(ImageFile, PalettedGifIsExpandedThroughItsPalette) {
    ScratchDir dir;
    BitmapPtr paletted(FreeImage_Allocate(kW, kH, 8));
    RGBQUAD* palette = FreeImage_GetPalette(paletted.get());
    for (int i = 0; i < 256; ++i)
        palette[i] = RGBQUAD{static_cast<BYTE>(i * 3), static_cast<BYTE>(255 - i),
                             static_cast<BYTE>(i), 0};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) FreeImage_GetScanLine(paletted.get(), y)[x] = static_cast<BYTE>(x * 5 + y);
    calmora_test::WriteImage(paletted.get(), FIF_GIF, dir / "p.gif");

    const LoadedImage loaded = LoadImageFile(dir / "p.gif");
    ASSERT_EQ(loaded.error, ImageFileError::None) << DescribeImageFileError(loaded.error);
    EXPECT_EQ(loaded.format, FIF_GIF);
    ASSERT_EQ(FreeImage_GetBPP(loaded.image.get()), 24u);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const BYTE* px = FreeImage_GetScanLine(loaded.image.get(), y) + 3 * x;
            const RGBQUAD& want = palette[static_cast<BYTE>(x * 5 + y)];
            ASSERT_EQ(px[0], want.rgbBlue) << x << "," << y;
            ASSERT_EQ(px[1], want.rgbGreen) << x << "," << y;
            ASSERT_EQ(px[2], want.rgbRed) << x << "," << y;
        }
}

TEST(ImageFile, AlphaAnd16BitSamplesBecomeTheSame8BitColours) {
    ScratchDir dir;
    const BitmapPtr pattern = calmora_test::Pattern24(kW, kH);
    const std::vector<uint8_t> want = PixelBytes(pattern.get());

    BitmapPtr rgba(FreeImage_Allocate(kW, kH, 32));
    BitmapPtr rgb16(FreeImage_AllocateT(FIT_RGB16, kW, kH));
    BitmapPtr rgba16(FreeImage_AllocateT(FIT_RGBA16, kW, kH));
    for (int y = 0; y < kH; ++y) {
        const BYTE* src = FreeImage_GetScanLine(pattern.get(), y);
        BYTE* quad = FreeImage_GetScanLine(rgba.get(), y);
        auto* wide = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(rgb16.get(), y));
        auto* wideA = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(rgba16.get(), y));
        for (int x = 0; x < kW; ++x) {
            const BYTE b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
            quad[4 * x] = b;
            quad[4 * x + 1] = g;
            quad[4 * x + 2] = r;
            quad[4 * x + 3] = static_cast<BYTE>(x * 9);  // varying transparency
            // Low bytes differ from the high ones so that a wrong half shows.
            wide[x] = FIRGB16{static_cast<WORD>(r << 8 | 0x7F), static_cast<WORD>(g << 8 | 0x11),
                              static_cast<WORD>(b << 8 | 0xE3)};
            wideA[x] = FIRGBA16{wide[x].red, wide[x].green, wide[x].blue, 0x8000};
        }
    }
    calmora_test::WriteImage(rgba.get(), FIF_PNG, dir / "alpha.png");
    calmora_test::WriteImage(rgb16.get(), FIF_PNG, dir / "deep.png");
    calmora_test::WriteImage(rgb16.get(), FIF_TIFF, dir / "deep.tif");
    calmora_test::WriteImage(rgba16.get(), FIF_TIFF, dir / "deep-alpha.tif");

    for (const char* name : {"alpha.png", "deep.png", "deep.tif", "deep-alpha.tif"}) {
        const LoadedImage loaded = LoadImageFile(dir / name);
        ASSERT_EQ(loaded.error, ImageFileError::None) << name << ": " << DescribeImageFileError(loaded.error);
        EXPECT_EQ(FreeImage_GetBPP(loaded.image.get()), 24u) << name;
        EXPECT_EQ(PixelBytes(loaded.image.get()), want) << name;
    }
}

TEST(ImageFile, SixteenBitGreyKeepsItsHighByte) {
    ScratchDir dir;
    BitmapPtr grey(FreeImage_AllocateT(FIT_UINT16, kW, kH));
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<WORD*>(FreeImage_GetScanLine(grey.get(), y));
        for (int x = 0; x < kW; ++x) row[x] = static_cast<WORD>((100 + x + y) << 8 | 0xC0);
    }
    calmora_test::WriteImage(grey.get(), FIF_PNG, dir / "grey.png");
    const LoadedImage loaded = LoadImageFile(dir / "grey.png");
    ASSERT_EQ(loaded.error, ImageFileError::None) << DescribeImageFileError(loaded.error);
    const BYTE* px = FreeImage_GetScanLine(loaded.image.get(), 4) + 3 * 10;
    EXPECT_EQ(px[0], 114);
    EXPECT_EQ(px[1], 114);
    EXPECT_EQ(px[2], 114);
}

TEST(ImageFile, Utf8PathWithSpacesAndAccents) {
    ScratchDir dir;
    const std::string folder = dir / "cartella con spazi";
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/ñandú fotografía 写真.png";
    const BitmapPtr pattern = calmora_test::Pattern24(kW, kH);
    calmora_test::WriteImage(pattern.get(), FIF_PNG, path);

    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_EQ(loaded.error, ImageFileError::None) << DescribeImageFileError(loaded.error);
    const std::string copy = folder + "/copia è.bmp";
    EXPECT_TRUE(SaveImageFile(loaded.image.get(), copy, SaveFormat::Bmp, {}).ok);
    EXPECT_EQ(PixelBytes(LoadImageFile(copy).image.get()), PixelBytes(pattern.get()));
}

// --- Bad and hostile inputs -----------------------------------------------------

TEST(ImageFile, HeadersClaimingHugeSizesAreRefusedBeforeDecoding) {
    ScratchDir dir;
    calmora_test::WriteFile(dir / "huge.png", calmora_test::ForgedPng(100000, 100000));
    calmora_test::WriteFile(dir / "huge.bmp", calmora_test::ForgedBmp(100000, 100000));
    calmora_test::WriteFile(dir / "huge.gif", calmora_test::ForgedGif(100, 100, 65535, 65535));
    // Under the side limit but 4 gigapixels in all.
    calmora_test::WriteFile(dir / "wide.png", calmora_test::ForgedPng(65535, 65535));
    calmora_test::WriteFile(dir / "tall.bmp", calmora_test::ForgedBmp(40000, -40000));
    for (const char* name : {"huge.png", "huge.bmp", "huge.gif", "wide.png", "tall.bmp"}) {
        const ImageProbe probe = ProbeImageFile(dir / name);
        EXPECT_EQ(probe.error, ImageFileError::TooLarge) << name << ": " << DescribeImageFileError(probe.error);
        EXPECT_EQ(LoadImageFile(dir / name).error, ImageFileError::TooLarge) << name;
    }
    // The probe reads the size the decoder would use: a GIF's first frame.
    calmora_test::WriteFile(dir / "small.gif", calmora_test::ForgedGif(60000, 60000, 3, 2));
    const ImageProbe small = ProbeImageFile(dir / "small.gif");
    EXPECT_EQ(small.error, ImageFileError::None);
    EXPECT_EQ(small.width, 3);
    EXPECT_EQ(small.height, 2);
}

TEST(ImageFile, SizeLimits) {
    EXPECT_EQ(CheckImageSize(65535, 3051), ImageFileError::None);   // 199 947 285 pixels
    EXPECT_EQ(CheckImageSize(20000, 10000), ImageFileError::None);  // exactly 200 megapixels
    EXPECT_EQ(CheckImageSize(20000, 10001), ImageFileError::TooLarge);
    EXPECT_EQ(CheckImageSize(65535, 3052), ImageFileError::TooLarge);
    EXPECT_EQ(CheckImageSize(65536, 1), ImageFileError::TooLarge);
    EXPECT_EQ(CheckImageSize(1, 65536), ImageFileError::TooLarge);
    EXPECT_EQ(CheckImageSize(0, 10), ImageFileError::TooLarge);
    EXPECT_EQ(CheckImageSize(1, 1), ImageFileError::None);
}

struct MemoryCase {
    const char* desc;
    int64_t width, height;
    uint64_t memory;
    ImageFileError want;
};

class MemoryFit : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryFit, TwoCopies) {
    const MemoryCase& c = GetParam();
    EXPECT_EQ(CheckImageMemory(c.width, c.height, c.memory), c.want);
}

constexpr uint64_t kGiB = uint64_t{1} << 30;

INSTANTIATE_TEST_SUITE_P(
    Sizes, MemoryFit,
    ::testing::Values(
        MemoryCase{"ExactlyTwoCopies", 1000, 1000, 6'000'000, ImageFileError::None},
        MemoryCase{"OneByteShort", 1000, 1000, 5'999'999, ImageFileError::NotEnoughMemory},
        // A row of one pixel takes four bytes, not three.
        MemoryCase{"PaddedRowsFit", 1, 1000, 8'000, ImageFileError::None},
        MemoryCase{"PaddedRowsCounted", 1, 1000, 7'999, ImageFileError::NotEnoughMemory},
        MemoryCase{"LargestPictureOnASmallMachine", 20000, 10000, 1 * kGiB, ImageFileError::NotEnoughMemory},
        MemoryCase{"LargestPictureOnAnOrdinaryMachine", 20000, 10000, 8 * kGiB, ImageFileError::None},
        MemoryCase{"UnknownMemoryRefusesNothing", 65535, 3051, 0, ImageFileError::None},
        MemoryCase{"AbsurdClaimsDoNotWrapAround", INT64_MAX, INT64_MAX, uint64_t{1} << 62,
                   ImageFileError::NotEnoughMemory},
        MemoryCase{"WrapToSmallIsCaught", int64_t{1} << 32, int64_t{1} << 31, 64 * kGiB,
                   ImageFileError::NotEnoughMemory}),
    [](const auto& info) { return std::string(info.param.desc); });

TEST(ImageFile, PicturesLargerThanMemoryAreRefusedFromTheirHeaders) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(300, 200);
    BitmapPtr paletted(FreeImage_ColorQuantize(photo.get(), FIQ_WUQUANT));
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "a.jpg", 90);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "a.png");
    calmora_test::WriteImage(photo.get(), FIF_BMP, dir / "a.bmp");
    calmora_test::WriteImage(photo.get(), FIF_TIFF, dir / "a.tif");
    calmora_test::WriteImage(paletted.get(), FIF_GIF, dir / "a.gif");
    const uint64_t need = LoadingMemoryNeed(300, 200);
    EXPECT_EQ(need, 2u * 900u * 200u);
    for (const char* name : {"a.jpg", "a.png", "a.bmp", "a.tif", "a.gif"}) {
        EXPECT_EQ(ProbeImageFile(dir / name, need - 1).error, ImageFileError::NotEnoughMemory) << name;
        const LoadedImage refused = LoadImageFile(dir / name, need - 1);
        EXPECT_EQ(refused.error, ImageFileError::NotEnoughMemory) << name;
        EXPECT_FALSE(refused.image) << name;
        EXPECT_EQ(ProbeImageFile(dir / name, need).error, ImageFileError::None) << name;
    }
    EXPECT_GT(SystemMemoryBytes(), uint64_t{64} << 20);
}

TEST(ImageFile, MissingUnknownTruncatedDamagedNamedAsSuch) {
    ScratchDir dir;
    EXPECT_EQ(LoadImageFile(dir / "absent.png").error, ImageFileError::CannotOpen);
    EXPECT_EQ(LoadImageFile(dir.Path()).error, ImageFileError::CannotOpen);  // a folder
    calmora_test::WriteFile(dir / "text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_EQ(LoadImageFile(dir / "text.png").error, ImageFileError::UnknownFormat);
    calmora_test::WriteFile(dir / "empty.jpg", {});
    EXPECT_EQ(LoadImageFile(dir / "empty.jpg").error, ImageFileError::UnknownFormat);
    // A format FreeImage knows but the program does not read.
    const BitmapPtr pattern = calmora_test::Pattern24(64, 48, true);
    calmora_test::WriteImage(pattern.get(), FIF_TARGA, dir / "a.tga");
    EXPECT_EQ(LoadImageFile(dir / "a.tga").error, ImageFileError::UnknownFormat);

    // Large enough that the cut falls into the pixel data, past the headers.
    const BitmapPtr photo = calmora_test::Pattern24(160, 120);
    const std::pair<const char*, FREE_IMAGE_FORMAT> kinds[] = {
        {"cut.jpg", FIF_JPEG}, {"cut.png", FIF_PNG}, {"cut.bmp", FIF_BMP},
        {"cut.tif", FIF_TIFF}, {"cut.gif", FIF_GIF}};
    for (const auto& [name, format] : kinds) {
        if (format == FIF_GIF) {
            BitmapPtr paletted(FreeImage_ColorQuantize(photo.get(), FIQ_WUQUANT));
            calmora_test::WriteImage(paletted.get(), format, dir / name);
        } else {
            calmora_test::WriteImage(photo.get(), format, dir / name, format == FIF_JPEG ? 90 : 0);
        }
        const size_t size = std::filesystem::file_size(dir / name);
        calmora_test::TruncateFile(dir / name, size * 6 / 10);
        const LoadedImage loaded = LoadImageFile(dir / name);
        EXPECT_NE(loaded.error, ImageFileError::None) << name << " cut to " << size * 6 / 10;
        EXPECT_FALSE(loaded.image) << name;
    }

    // Intact structure, scrambled compressed data.
    calmora_test::WriteImage(pattern.get(), FIF_PNG, dir / "scrambled.png");
    std::vector<uint8_t> bytes = calmora_test::ReadFile(dir / "scrambled.png");
    for (size_t i = 60; i < bytes.size() - 20; i += 3) bytes[i] ^= 0x5A;
    calmora_test::WriteFile(dir / "scrambled.png", bytes);
    EXPECT_EQ(LoadImageFile(dir / "scrambled.png").error, ImageFileError::Corrupt);
}

}  // namespace
}  // namespace calmora
