#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "imagefiles/exif_tags.h"
#include "test_images.h"

namespace calmora {
namespace {

using calmora_test::PixelBytes;
using calmora_test::ScratchDir;

constexpr int kW = 37;  // odd width: rows are padded
constexpr int kH = 23;

// --- Loading every input kind -------------------------------------------------

struct InputCase {
    const char* desc;
    const char* name;
    FREE_IMAGE_FORMAT format;
    bool lossless;
};

class LoadEachFormat : public ::testing::TestWithParam<InputCase> {};

TEST_P(LoadEachFormat, Gives24BitsWithTheOriginalPixels) {
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
    ImageFile, LoadEachFormat,
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

TEST_P(MemoryFit, TwoTwentyFourBitCopiesMustFit) {
    const MemoryCase& c = GetParam();
    EXPECT_EQ(CheckImageMemory(c.width, c.height, c.memory), c.want);
}

constexpr uint64_t kGiB = uint64_t{1} << 30;

INSTANTIATE_TEST_SUITE_P(
    ImageFile, MemoryFit,
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

// --- Saving -------------------------------------------------------------------

TEST(ImageFile, SaveFormatFollowsTheExtension) {
    EXPECT_EQ(SaveFormatFromExtension("jpg"), SaveFormat::Jpeg);
    EXPECT_EQ(SaveFormatFromExtension("JPEG"), SaveFormat::Jpeg);
    EXPECT_EQ(SaveFormatFromExtension(".Png"), SaveFormat::Png);
    EXPECT_EQ(SaveFormatFromExtension("TIF"), SaveFormat::Tiff);
    EXPECT_EQ(SaveFormatFromExtension("tiff"), SaveFormat::Tiff);
    EXPECT_EQ(SaveFormatFromExtension("bmp"), SaveFormat::Bmp);
    EXPECT_EQ(SaveFormatFromExtension("gif"), std::nullopt);
    EXPECT_EQ(SaveFormatFromExtension(""), std::nullopt);
    EXPECT_EQ(SaveFormatFromExtension("jpgx"), std::nullopt);
}

TEST(ImageFile, LosslessSavesRoundTripExactly) {
    ScratchDir dir;
    const BitmapPtr pattern = calmora_test::Pattern24(kW, kH);
    struct Case { const char* name; SaveFormat format; FREE_IMAGE_FORMAT fif; bool lzw; };
    for (const Case& c : {Case{"r.png", SaveFormat::Png, FIF_PNG, false},
                          Case{"r.bmp", SaveFormat::Bmp, FIF_BMP, false},
                          Case{"r.tif", SaveFormat::Tiff, FIF_TIFF, false},
                          Case{"lzw.tiff", SaveFormat::Tiff, FIF_TIFF, true}}) {
        SaveOptions options;
        options.tiffLzw = c.lzw;
        const SaveResult saved = SaveImageFile(pattern.get(), dir / c.name, c.format, options);
        ASSERT_TRUE(saved.ok) << c.name << ": " << saved.reason;
        EXPECT_EQ(FreeImage_GetFileType((dir / c.name).c_str(), 0), c.fif) << c.name;
        const LoadedImage back = LoadImageFile(dir / c.name);
        ASSERT_EQ(back.error, ImageFileError::None) << c.name;
        EXPECT_EQ(PixelBytes(back.image.get()), PixelBytes(pattern.get())) << c.name;
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"lzw.tiff", "r.bmp", "r.png", "r.tif"}));

    // LZW really compresses: a smooth picture shrinks well below its raw size.
    const BitmapPtr smooth = calmora_test::Pattern24(200, 150, true);
    SaveOptions lzw;
    lzw.tiffLzw = true;
    ASSERT_TRUE(SaveImageFile(smooth.get(), dir / "s-none.tif", SaveFormat::Tiff, {}).ok);
    ASSERT_TRUE(SaveImageFile(smooth.get(), dir / "s-lzw.tif", SaveFormat::Tiff, lzw).ok);
    EXPECT_GT(std::filesystem::file_size(dir / "s-none.tif"), 200u * 150u * 3u);
    EXPECT_LT(std::filesystem::file_size(dir / "s-lzw.tif"), 200u * 150u * 3u / 2u);
}

TEST(ImageFile, JpegQualityIsPassedToTheEncoder) {
    ScratchDir dir;
    const BitmapPtr pattern = calmora_test::Pattern24(120, 90);
    SaveOptions high, low;
    high.jpegQuality = 95;
    low.jpegQuality = 20;
    ASSERT_TRUE(SaveImageFile(pattern.get(), dir / "high.jpg", SaveFormat::Jpeg, high).ok);
    ASSERT_TRUE(SaveImageFile(pattern.get(), dir / "low.jpeg", SaveFormat::Jpeg, low).ok);
    EXPECT_EQ(FreeImage_GetFileType((dir / "low.jpeg").c_str(), 0), FIF_JPEG);
    EXPECT_GT(std::filesystem::file_size(dir / "high.jpg"),
              2 * std::filesystem::file_size(dir / "low.jpeg"));
    SaveOptions none;
    none.jpegQuality = 0;
    EXPECT_FALSE(SaveImageFile(pattern.get(), dir / "zero.jpg", SaveFormat::Jpeg, none).ok);
    EXPECT_FALSE(std::filesystem::exists(dir / "zero.jpg"));
}

TEST(ImageFile, ReplaceKeepsPermissionsNewFilesFollowUmask) {
    ScratchDir dir;
    const BitmapPtr first = calmora_test::Pattern24(8, 8);
    const BitmapPtr second = calmora_test::Pattern24(9, 5);
    const mode_t oldMask = umask(022);
    ASSERT_TRUE(SaveImageFile(first.get(), dir / "x.png", SaveFormat::Png, {}).ok);
    umask(oldMask);
    struct stat st {};
    ASSERT_EQ(stat((dir / "x.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    chmod((dir / "x.png").c_str(), 0640);
    ASSERT_TRUE(SaveImageFile(second.get(), dir / "x.png", SaveFormat::Png, {}).ok);
    ASSERT_EQ(stat((dir / "x.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FreeImage_GetWidth(LoadImageFile(dir / "x.png").image.get()), 9u);

    // Through a link the linked file is replaced and the link stays.
    std::filesystem::create_symlink("x.png", dir / "link.png");
    ASSERT_TRUE(SaveImageFile(first.get(), dir / "link.png", SaveFormat::Png, {}).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
    EXPECT_EQ(FreeImage_GetWidth(LoadImageFile(dir / "x.png").image.get()), 8u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.png", "x.png"}));
}

TEST(ImageFile, SaveIntoAMissingFolderFailsWithAReason) {
    ScratchDir dir;
    calmora_test::WriteFile(dir / "plain", {1, 2, 3});
    const BitmapPtr pattern = calmora_test::Pattern24(8, 8);
    const SaveResult underFile = SaveImageFile(pattern.get(), dir / "plain/out.png", SaveFormat::Png, {});
    EXPECT_FALSE(underFile.ok);
    EXPECT_EQ(underFile.error, SaveError::CannotCreate);
    EXPECT_EQ(underFile.systemError, ENOTDIR);
    EXPECT_NE(underFile.reason.find("Not a directory"), std::string::npos) << underFile.reason;
    EXPECT_FALSE(SaveImageFile(pattern.get(), dir / "no/such/folder.png", SaveFormat::Png, {}).ok);
    EXPECT_FALSE(SaveImageFile(pattern.get(), dir.Path(), SaveFormat::Png, {}).ok);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plain"});
}

TEST(ImageFile, SaveIntoAReadOnlyFolderLeavesTheOldFileIntact) {
    ScratchDir dir;
    const std::string folder = dir / "locked";
    std::filesystem::create_directory(folder);
    calmora_test::WriteFile(folder + "/keep.png", {'o', 'l', 'd'});
    chmod(folder.c_str(), 0555);
    if (access(folder.c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with rights that ignore folder permissions (root?); "
                        "the write failure is covered by the file-size-limit test";
    const BitmapPtr pattern = calmora_test::Pattern24(8, 8);
    const SaveResult saved = SaveImageFile(pattern.get(), folder + "/keep.png", SaveFormat::Png, {});
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.reason.empty());
    EXPECT_EQ(calmora_test::ReadFile(folder + "/keep.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// Size of the file the save writes, without writing it where the test looks.
uintmax_t SavedSize(FIBITMAP* image, SaveFormat format) {
    ScratchDir elsewhere;
    const std::string path = elsewhere / "probe";
    if (!SaveImageFile(image, path, format, {}).ok) return 0;
    return std::filesystem::file_size(path);
}

void AttachRawExif(FIBITMAP* image, const std::vector<uint8_t>& exif);
std::vector<uint8_t> ExifWithMake(const std::string& make);
std::vector<uint8_t> CameraExif();

TEST(ImageFile, FailedWriteLeavesOldFileIntactNoLeftovers) {
    // A file-size limit makes the writes fail even for root. With EXIF the
    // limit is set just above the size FreeImage's own file takes, so that
    // it is the EXIF step (appending to the TIFF, copying the PNG into a
    // second temporary file) that fails.
    const BitmapPtr big = calmora_test::Pattern24(300, 200);  // 180 kB as BMP
    BitmapPtr tagged = calmora_test::Pattern24(300, 200);
    AttachRawExif(tagged.get(), ExifWithMake("Calmora Test Camera"));
    struct Case { const char* name; FIBITMAP* image; SaveFormat format; rlim_t limit; };
    const Case cases[] = {
        {"keep.bmp", big.get(), SaveFormat::Bmp, 4096},
        {"keep.png", tagged.get(), SaveFormat::Png, SavedSize(big.get(), SaveFormat::Png) + 16},
        {"keep.tif", tagged.get(), SaveFormat::Tiff, SavedSize(big.get(), SaveFormat::Tiff) + 16},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string target = dir / c.name;
        calmora_test::WriteFile(target, {'o', 'l', 'd'});
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            const SaveResult saved = SaveImageFile(c.image, target, c.format, {});
            if (saved.ok) _exit(1);
            _exit(saved.error == SaveError::WriteFailed && saved.systemError == EFBIG ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << c.name << " 1: reported success, 2: not a write failure (EFBIG)";
        EXPECT_EQ(calmora_test::ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'})) << c.name;
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{c.name});
    }
}

TEST(ImageFile, SaveErrorsAreDescribedInEnglish) {
    EXPECT_EQ(DescribeSaveError(SaveError::WriteFailed, ENOSPC), "writing failed: No space left on device");
    // The reason given with a failed save is the English description.
    const SaveResult none = SaveImageFile(nullptr, "/tmp/x.png", SaveFormat::Png, {});
    EXPECT_EQ(none.error, SaveError::NoImage);
    EXPECT_EQ(none.reason, DescribeSaveError(SaveError::NoImage, 0));
}

// --- Metadata -----------------------------------------------------------------

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

TEST(ImageFile, ExifSurvivesLoadDenoiseCopyAndJpegSave) {
    ScratchDir dir;
    BitmapPtr camera = calmora_test::Pattern24(64, 48, true);
    AttachRawExif(camera.get(), ExifWithMake("Calmora Test Camera"));
    calmora_test::WriteImage(camera.get(), FIF_JPEG, dir / "camera.jpg", 90);

    const LoadedImage loaded = LoadImageFile(dir / "camera.jpg");
    ASSERT_EQ(loaded.error, ImageFileError::None);
    ASSERT_EQ(MakeTag(loaded.image.get()), "Calmora Test Camera") << "test file has no EXIF";

    // The result of a run is a fresh bitmap: the metadata must be carried over.
    BitmapPtr result(FreeImage_Allocate(64, 48, 24));
    ASSERT_TRUE(CopyImageMetadata(result.get(), loaded.image.get()));
    ASSERT_TRUE(SaveImageFile(result.get(), dir / "out.jpg", SaveFormat::Jpeg, {}).ok);
    BitmapPtr written(FreeImage_Load(FIF_JPEG, (dir / "out.jpg").c_str(), 0));
    EXPECT_EQ(MakeTag(written.get()), "Calmora Test Camera");
}

std::vector<uint8_t> FakeIccProfile(const char colourSpace[4], uint32_t size = 132) {
    std::vector<uint8_t> icc(size, 0);
    for (uint32_t i = 132; i < size; ++i) icc[i] = static_cast<uint8_t>(i * 7);
    icc[0] = static_cast<uint8_t>(size >> 24);  // big-endian size
    icc[1] = static_cast<uint8_t>(size >> 16);
    icc[2] = static_cast<uint8_t>(size >> 8);
    icc[3] = static_cast<uint8_t>(size);
    std::memcpy(&icc[12], "mntr", 4);
    std::memcpy(&icc[16], colourSpace, 4);
    std::memcpy(&icc[20], "XYZ ", 4);
    std::memcpy(&icc[36], "acsp", 4);
    return icc;
}

TEST(ImageFile, RgbColourProfileIsKeptAndOthersAreDropped) {
    ScratchDir dir;
    BitmapPtr tagged = calmora_test::Pattern24(16, 16);
    const std::vector<uint8_t> large = FakeIccProfile("RGB ", 3000);
    FreeImage_CreateICCProfile(tagged.get(), const_cast<uint8_t*>(large.data()), static_cast<long>(large.size()));
    // With EXIF too: FreeImage alone copies the profile of a TIFF with an
    // EXIF directory from memory libtiff has freed.
    AttachRawExif(tagged.get(), CameraExif());
    ASSERT_TRUE(SaveImageFile(tagged.get(), dir / "icc.tif", SaveFormat::Tiff, {}).ok);
    const LoadedImage loaded = LoadImageFile(dir / "icc.tif");
    ASSERT_EQ(loaded.error, ImageFileError::None);
    FIICCPROFILE* icc = FreeImage_GetICCProfile(loaded.image.get());
    ASSERT_EQ(icc->size, 3000);
    EXPECT_EQ(std::memcmp(icc->data, large.data(), large.size()), 0);
    EXPECT_EQ(MakeTag(loaded.image.get()), "Calmora Test Camera");

    std::vector<uint8_t> rgb = FakeIccProfile("RGB ");

    // The profile also survives the conversion of deeper samples to 24 bits.
    BitmapPtr deep(FreeImage_AllocateT(FIT_RGBA16, 16, 16));
    FreeImage_CreateICCProfile(deep.get(), rgb.data(), static_cast<long>(rgb.size()));
    calmora_test::WriteImage(deep.get(), FIF_TIFF, dir / "deep.tif");
    const LoadedImage converted = LoadImageFile(dir / "deep.tif");
    ASSERT_EQ(converted.error, ImageFileError::None);
    ASSERT_EQ(FreeImage_GetBPP(converted.image.get()), 24u);
    EXPECT_EQ(FreeImage_GetICCProfile(converted.image.get())->size, 132);

    // libpng writes no file at all for a profile it finds malformed, such as
    // this one without a tag table: the PNG is saved without it, the EXIF
    // still in, and the image keeps its profile.
    BitmapPtr badProfile = calmora_test::Pattern24(16, 16);
    FreeImage_CreateICCProfile(badProfile.get(), rgb.data(), static_cast<long>(rgb.size()));
    AttachRawExif(badProfile.get(), ExifWithMake("Calmora Test Camera"));
    const SaveResult png = SaveImageFile(badProfile.get(), dir / "bad-profile.png", SaveFormat::Png, {});
    ASSERT_TRUE(png.ok) << png.reason;
    const LoadedImage reread = LoadImageFile(dir / "bad-profile.png");
    ASSERT_EQ(reread.error, ImageFileError::None);
    EXPECT_EQ(PixelBytes(reread.image.get()), PixelBytes(badProfile.get()));
    EXPECT_EQ(FreeImage_GetICCProfile(reread.image.get())->size, 0);
    EXPECT_EQ(MakeTag(reread.image.get()), "Calmora Test Camera");
    EXPECT_EQ(FreeImage_GetICCProfile(badProfile.get())->size, 132);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"bad-profile.png", "deep.tif", "icc.tif"}));

    // A CMYK profile no longer describes pixels converted to RGB.
    BitmapPtr cmykTagged = calmora_test::Pattern24(16, 16);
    std::vector<uint8_t> cmyk = FakeIccProfile("CMYK");
    FreeImage_CreateICCProfile(cmykTagged.get(), cmyk.data(), static_cast<long>(cmyk.size()));
    BitmapPtr target = calmora_test::Pattern24(16, 16);
    CopyImageMetadata(target.get(), cmykTagged.get());
    EXPECT_EQ(FreeImage_GetICCProfile(target.get())->size, 0);
}

// --- EXIF in TIFF and PNG --------------------------------------------------------

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

struct Step {
    SaveFormat format;
    bool lzw;
    const char* extension;
};
constexpr Step kTiff{SaveFormat::Tiff, false, ".tif"};
constexpr Step kTiffLzw{SaveFormat::Tiff, true, ".tif"};
constexpr Step kPng{SaveFormat::Png, false, ".png"};
constexpr Step kJpeg{SaveFormat::Jpeg, false, ".jpg"};

struct ExifChain {
    const char* desc;
    std::vector<Step> steps;
};

class ExifChains : public ::testing::TestWithParam<ExifChain> {};

// Each step saves the image and opens the file again, as a user moving a
// photograph through formats would.
TEST_P(ExifChains, CameraTagsSurviveEverySaveAndReopening) {
    const ExifChain& c = GetParam();
    ScratchDir dir;
    const LoadedImage camera = LoadImageFile(WriteCameraJpeg(dir));
    ASSERT_EQ(camera.error, ImageFileError::None);
    ASSERT_EQ(TextTag(camera.image.get(), FIMD_EXIF_MAIN, "Make"), "Calmora Test Camera") << "test file has no EXIF";

    // A denoise run's result is a fresh bitmap given the photograph's metadata.
    BitmapPtr image(FreeImage_Allocate(64, 48, 24));
    ASSERT_TRUE(CopyImageMetadata(image.get(), camera.image.get()));
    int n = 0;
    for (const Step& step : c.steps) {
        const std::string path = dir / ("step" + std::to_string(++n) + step.extension);
        SaveOptions options;
        options.tiffLzw = step.lzw;
        options.jpegQuality = 85;
        const SaveResult saved = SaveImageFile(image.get(), path, step.format, options);
        ASSERT_TRUE(saved.ok) << path << ": " << saved.reason;
        LoadedImage back = LoadImageFile(path);
        ASSERT_EQ(back.error, ImageFileError::None) << path;
        image = std::move(back.image);
    }
    FIBITMAP* last = image.get();
    EXPECT_EQ(TextTag(last, FIMD_EXIF_MAIN, "Make"), "Calmora Test Camera");
    EXPECT_EQ(TextTag(last, FIMD_EXIF_MAIN, "Model"), "CT-1");
    EXPECT_EQ(TextTag(last, FIMD_EXIF_MAIN, "Artist"), "Ada Fotografa");
    EXPECT_EQ(TextTag(last, FIMD_EXIF_MAIN, "Copyright"), "(c) 2021 Ada Fotografa");
    EXPECT_EQ(TextTag(last, FIMD_EXIF_EXIF, "DateTimeOriginal"), "2021:06:05 14:30:00");
    EXPECT_NEAR(RationalTag(last, FIMD_EXIF_EXIF, "ExposureTime"), 1.0 / 250, 1e-9);
    EXPECT_NEAR(RationalTag(last, FIMD_EXIF_EXIF, "FNumber"), 2.8, 1e-6);
    EXPECT_NEAR(RationalTag(last, FIMD_EXIF_EXIF, "FocalLength"), 50.0, 1e-9);
    EXPECT_EQ(NumberTag(last, FIMD_EXIF_EXIF, "ISOSpeedRatings"), 400);
    EXPECT_EQ(TextTag(last, FIMD_EXIF_GPS, "GPSLatitudeRef"), "N");
    EXPECT_NEAR(RationalTag(last, FIMD_EXIF_GPS, "GPSLatitude"), 45.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    ImageFile, ExifChains,
    ::testing::Values(ExifChain{"Tiff", {kTiff}}, ExifChain{"TiffLzw", {kTiffLzw}},
                      ExifChain{"Png", {kPng}}, ExifChain{"Jpeg", {kJpeg}},
                      ExifChain{"TiffThenJpeg", {kTiffLzw, kJpeg}},
                      ExifChain{"PngThenJpeg", {kPng, kJpeg}}, ExifChain{"PngThenPng", {kPng, kPng}},
                      ExifChain{"PngThenTiff", {kPng, kTiff}}, ExifChain{"TiffThenPng", {kTiff, kPng}},
                      ExifChain{"TiffThenTiff", {kTiff, kTiffLzw}}),
    [](const auto& info) { return std::string(info.param.desc); });

TEST(ImageFile, ExifBlocksListTagsInOrderInEitherByteOrder) {
    for (const bool big : {false, true}) {
        auto text = [](uint16_t tag, const std::string& value) {
            exif::Entry entry{tag, FIDT_ASCII, uint32_t(value.size() + 1), {value.begin(), value.end()}, false};
            entry.value.push_back(0);
            return entry;
        };
        exif::Directories directories;
        directories.main = {text(0x0110, "CT-1"), text(0x010F, "Calmora Test Camera"), text(0x010F, "again")};
        const std::vector<uint8_t> exposure =
            big ? std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 250} : std::vector<uint8_t>{1, 0, 0, 0, 250, 0, 0, 0};
        directories.exif = {exif::Entry{0x829A, FIDT_RATIONAL, 1, exposure, false}};
        const std::vector<uint8_t> block = exif::SerialiseBlock(directories, big);
        auto u16 = [&](size_t at) { return big ? block.at(at) << 8 | block.at(at + 1) : block.at(at + 1) << 8 | block.at(at); };
        // IFD0 at offset 8: Make, Model (one of each), the EXIF directory's pointer.
        ASSERT_EQ(u16(8), 3);
        EXPECT_EQ(u16(10), 0x010F);
        EXPECT_EQ(u16(22), 0x0110);
        EXPECT_EQ(u16(34), 0x8769);
        BitmapPtr image = calmora_test::Pattern24(4, 4);
        ASSERT_TRUE(exif::AttachExifBlock(image.get(), block.data(), block.size())) << big;
        EXPECT_EQ(MakeTag(image.get()), "Calmora Test Camera");
        EXPECT_EQ(TextTag(image.get(), FIMD_EXIF_MAIN, "Model"), "CT-1");
        EXPECT_NEAR(RationalTag(image.get(), FIMD_EXIF_EXIF, "ExposureTime"), 1.0 / 250, 1e-9);
    }
}

// --- What other programs find in the files ---

struct PngChunk {
    std::string type;
    std::vector<uint8_t> data;
    bool crcRight;
};

std::vector<PngChunk> PngChunks(const std::vector<uint8_t>& file) {
    std::vector<PngChunk> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 |
                                uint32_t(file[at + 2]) << 8 | file[at + 3];
        if (at + 12 + length > file.size()) break;
        PngChunk chunk{std::string(file.begin() + at + 4, file.begin() + at + 8),
                       std::vector<uint8_t>(file.begin() + at + 8, file.begin() + at + 8 + length), false};
        const size_t crcAt = at + 8 + length;
        const uint32_t stored = uint32_t(file[crcAt]) << 24 | uint32_t(file[crcAt + 1]) << 16 |
                                uint32_t(file[crcAt + 2]) << 8 | file[crcAt + 3];
        chunk.crcRight = crc32(0, file.data() + at + 4, static_cast<uInt>(4 + length)) == stored;
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    return chunks;
}

// The EXIF a JPEG carries: its APP1 "Exif" segment without that name.
std::vector<uint8_t> JpegExifBlock(const std::vector<uint8_t>& jpeg) {
    for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF;) {
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xE1 && length > 8 && std::memcmp(&jpeg[at + 4], "Exif\0\0", 6) == 0)
            return std::vector<uint8_t>(jpeg.begin() + at + 10, jpeg.begin() + at + 2 + length);
        if (jpeg[at + 1] == 0xDA) break;
        at += 2 + length;
    }
    return {};
}

// One line from ImageMagick's identify; nothing when it is not installed.
std::optional<std::string> Identify(const std::string& format, const std::string& path) {
    const std::string command = "identify -format '" + format + "' '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    return pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

std::string SamplePhotograph() {
    const char* env = std::getenv("CALMORA_TESTDATA");
    return std::string(env ? env : CALMORA_TESTDATA_DIR) +
           "/python3-skimage/usr/lib/python3/dist-packages/skimage/data/hubble_deep_field.jpg";
}

TEST(ImageFile, TiffExifIsWhereOtherReadersLook) {
    ScratchDir dir;
    const LoadedImage camera = LoadImageFile(WriteCameraJpeg(dir));
    ASSERT_EQ(camera.error, ImageFileError::None);
    for (const bool lzw : {false, true}) {
        const std::string path = dir / (lzw ? "lzw.tif" : "none.tif");
        SaveOptions options;
        options.tiffLzw = lzw;
        ASSERT_TRUE(SaveImageFile(camera.image.get(), path, SaveFormat::Tiff, options).ok);
        const auto seen = Identify(
            "%[compression]|%[tiff:make]|%[tiff:model]|%[tiff:artist]|%[exif:DateTimeOriginal]|"
            "%[exif:ExposureTime]|%[exif:ISOSpeedRatings]",
            path);
        ASSERT_TRUE(seen) << "ImageMagick's identify (scripts/install-deps.sh) is missing";
        EXPECT_EQ(*seen, std::string(lzw ? "LZW" : "None") +
                             "|Calmora Test Camera|CT-1|Ada Fotografa|2021:06:05 14:30:00|0.004|400")
            << path;
    }
}

TEST(ImageFile, SamplePhotographKeepsItsExifAndProfileInTiffAndPng) {
    const std::string sample = SamplePhotograph();
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "scikit-image's sample photographs are not unpacked (scripts/fetch-test-data.sh)";
    const LoadedImage photo = LoadImageFile(sample);
    ASSERT_EQ(photo.error, ImageFileError::None);
    const std::vector<uint8_t> original = JpegExifBlock(calmora_test::ReadFile(sample));
    ASSERT_FALSE(original.empty());
    FIICCPROFILE* profile = FreeImage_GetICCProfile(photo.image.get());
    ASSERT_GT(profile->size, 0);
    const std::vector<uint8_t> icc(static_cast<uint8_t*>(profile->data),
                                   static_cast<uint8_t*>(profile->data) + profile->size);

    ScratchDir dir;
    for (const Step& step : {kTiff, kTiffLzw, kPng}) {
        const std::string path = dir / (std::string(step.lzw ? "lzw" : "plain") + step.extension);
        SaveOptions options;
        options.tiffLzw = step.lzw;
        ASSERT_TRUE(SaveImageFile(photo.image.get(), path, step.format, options).ok) << path;
        const LoadedImage back = LoadImageFile(path);
        ASSERT_EQ(back.error, ImageFileError::None) << path;
        EXPECT_EQ(PixelBytes(back.image.get()), PixelBytes(photo.image.get())) << path;
        EXPECT_EQ(TextTag(back.image.get(), FIMD_EXIF_MAIN, "Software"), "Adobe Photoshop CS5 Macintosh") << path;
        EXPECT_EQ(NumberTag(back.image.get(), FIMD_EXIF_EXIF, "PixelXDimension"), 1000) << path;
        EXPECT_EQ(NumberTag(back.image.get(), FIMD_EXIF_EXIF, "ColorSpace"), 1) << path;

        if (step.format == SaveFormat::Tiff) {
            FIICCPROFILE* kept = FreeImage_GetICCProfile(back.image.get());
            EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(kept->data),
                                           static_cast<uint8_t*>(kept->data) + kept->size),
                      icc) << path;
            const auto seen = Identify("%[compression]|%[tiff:software]|%[tiff:timestamp]|%[exif:PixelXDimension]", path);
            ASSERT_TRUE(seen) << "ImageMagick's identify (scripts/install-deps.sh) is missing";
            EXPECT_EQ(*seen, std::string(step.lzw ? "LZW" : "None") +
                                 "|Adobe Photoshop CS5 Macintosh|2012-09-17T15:53:45-04:00|1000");
        } else {
            // The chunk holds the photograph's EXIF byte for byte, before
            // the pixels, with a checksum zlib agrees with.
            const std::vector<PngChunk> chunks = PngChunks(calmora_test::ReadFile(path));
            const auto exifChunk = std::find_if(chunks.begin(), chunks.end(),
                                                [](const PngChunk& c) { return c.type == "eXIf"; });
            const auto pixels = std::find_if(chunks.begin(), chunks.end(),
                                             [](const PngChunk& c) { return c.type == "IDAT"; });
            ASSERT_NE(exifChunk, chunks.end());
            EXPECT_LT(exifChunk - chunks.begin(), pixels - chunks.begin());
            EXPECT_EQ(exifChunk->data, original);
            EXPECT_TRUE(exifChunk->crcRight);
            EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(), [](const PngChunk& c) { return c.type == "eXIf"; }), 1);
            EXPECT_TRUE(std::all_of(chunks.begin(), chunks.end(), [](const PngChunk& c) { return c.crcRight; }));
            EXPECT_EQ(chunks.back().type, "IEND");
            EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(), [](const PngChunk& c) { return c.type == "iCCP"; }), 1);
        }
    }
}

// A PNG with an eXIf chunk inserted before its pixels.
std::vector<uint8_t> PngWithChunk(const std::vector<uint8_t>& png, const std::vector<uint8_t>& data,
                                  bool rightChecksum) {
    std::vector<uint8_t> chunk = {uint8_t(data.size() >> 24), uint8_t(data.size() >> 16),
                                  uint8_t(data.size() >> 8), uint8_t(data.size()), 'e', 'X', 'I', 'f'};
    chunk.insert(chunk.end(), data.begin(), data.end());
    uint32_t crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    if (!rightChecksum) crc ^= 1;
    chunk.insert(chunk.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    const size_t ihdrEnd = 8 + 12 + 13;
    std::vector<uint8_t> out(png.size() + chunk.size());
    std::memcpy(out.data(), png.data(), ihdrEnd);
    std::memcpy(out.data() + ihdrEnd, chunk.data(), chunk.size());
    std::memcpy(out.data() + ihdrEnd + chunk.size(), png.data() + ihdrEnd, png.size() - ihdrEnd);
    return out;
}

TEST(ImageFile, PngExifChunksFromOtherWritersAndDamagedOnes) {
    ScratchDir dir;
    const BitmapPtr pattern = calmora_test::Pattern24(kW, kH);
    calmora_test::WriteImage(pattern.get(), FIF_PNG, dir / "plain.png");
    const std::vector<uint8_t> png = calmora_test::ReadFile(dir / "plain.png");
    const std::vector<uint8_t> exif = ExifWithMake("Calmora Test Camera");  // with "Exif\0\0"
    const std::vector<uint8_t> block(exif.begin() + 6, exif.end());
    std::vector<uint8_t> endless = block;
    endless[14] = 0xFF;  // the directory claims 255 entries in a few bytes
    struct Case { const char* name; std::vector<uint8_t> data; bool rightChecksum; const char* make; };
    const Case cases[] = {
        {"plain-block.png", block, true, "Calmora Test Camera"},
        {"with-exif-name.png", exif, true, "Calmora Test Camera"},  // some writers keep the JPEG prefix
        {"bad-checksum.png", block, false, ""},
        {"not-exif.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, true, ""},
        {"cut-directory.png", endless, true, nullptr},  // whatever FreeImage makes of it
        {"too-big.png", std::vector<uint8_t>(70000, 'I'), true, ""},
    };
    for (const Case& c : cases) {
        calmora_test::WriteFile(dir / c.name, PngWithChunk(png, c.data, c.rightChecksum));
        const LoadedImage loaded = LoadImageFile(dir / c.name);
        ASSERT_EQ(loaded.error, ImageFileError::None) << c.name;
        EXPECT_EQ(PixelBytes(loaded.image.get()), PixelBytes(pattern.get())) << c.name;
        if (c.make) EXPECT_EQ(MakeTag(loaded.image.get()), c.make) << c.name;
        // Whatever was attached is written out again without harm.
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.png"), SaveFormat::Png, {}).ok) << c.name;
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.tif"), SaveFormat::Tiff, {}).ok) << c.name;
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.jpg"), SaveFormat::Jpeg, {}).ok) << c.name;
    }
}

}  // namespace
}  // namespace calmora
