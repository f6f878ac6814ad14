// Metadata through a load and a save: EXIF carried to the result of a run,
// colour profiles kept or dropped, camera tags through chains of saves in
// every format, and the EXIF blocks the program writes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image_file_samples.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "test_images.h"

namespace calmora {
namespace {

using namespace calmora_test;

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

struct ExifChain {
    const char* desc;
    std::vector<Step> steps;
};

class ExifChains : public ::testing::TestWithParam<ExifChain> {};

// Each step saves the image and opens the file again, as a user moving a
// photograph through formats would.
TEST_P(ExifChains, CameraTagsSurvive) {
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
    Saves, ExifChains,
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

}  // namespace
}  // namespace calmora
