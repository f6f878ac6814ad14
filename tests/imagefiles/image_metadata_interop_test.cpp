// What other programs find in the files the program writes: EXIF where
// other readers look in TIFF, PNG and JPEG, a real photograph's EXIF and
// profile through TIFF and PNG, and PNG eXIf chunks from other writers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "image_file_samples.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "test_images.h"

namespace calmora {
namespace {

using namespace calmora_test;

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
        if (c.make) {
            EXPECT_EQ(MakeTag(loaded.image.get()), c.make) << c.name;
        }
        // Whatever was attached is written out again without harm.
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.png"), SaveFormat::Png, {}).ok) << c.name;
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.tif"), SaveFormat::Tiff, {}).ok) << c.name;
        ASSERT_TRUE(SaveImageFile(loaded.image.get(), dir / (std::string(c.name) + ".out.jpg"), SaveFormat::Jpeg, {}).ok) << c.name;
    }
}

}  // namespace
}  // namespace calmora
