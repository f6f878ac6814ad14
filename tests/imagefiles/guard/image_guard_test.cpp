// The header checks made before FreeImage decodes, on forged headers and on
// real JPEGs of every kind a camera or editor writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "guard_test_support.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "imagefiles/image_guard.h"

namespace {

using calmora::GuardOutcome;
using calmora::GuardVerdict;
using calmora::ImageFileError;
using calmora::InspectBeforeDecode;
using guard_test::Bytes;
using guard_test::ChildEnd;
using guard_test::Segment;

GuardVerdict Inspect(const Bytes& bytes, FREE_IMAGE_FORMAT format) {
    return InspectBeforeDecode(bytes.data(), bytes.size(), format);
}

Bytes Filled(size_t size, uint8_t value) { return Bytes(size, value); }

// --- Claimed sizes ----------------------------------------------------------

struct HugeCase {
    const char* name;
    FREE_IMAGE_FORMAT format;
    Bytes bytes;
    uint32_t width, height;  // as claimed
};

std::vector<HugeCase> HugeCases() {
    return {
        {"huge.png", FIF_PNG, guard_test::ForgedPng(100000, 100000), 100000, 100000},
        {"huge.bmp", FIF_BMP, guard_test::ForgedBmp(100000, 100000), 100000, 100000},
        {"top-down.bmp", FIF_BMP, guard_test::ForgedBmp(100000, -100000), 100000, 100000},
        // GIF and JPEG store 16-bit sizes: their worst is 65535 x 65535, 4.3 gigapixels.
        {"huge.gif", FIF_GIF, guard_test::ForgedGif(65535, 65535), 65535, 65535},
        {"huge.jpg", FIF_JPEG, guard_test::ForgedJpeg(65535, 65535, 3), 65535, 65535},
        {"progressive.jpg", FIF_JPEG, guard_test::ForgedJpeg(65535, 65535, 3, 0xC2), 65535, 65535},
        {"huge.tif", FIF_TIFF, guard_test::ForgedTiff(100000, 100000), 100000, 100000},
        {"huge-mm.tif", FIF_TIFF, guard_test::ForgedTiff(100000, 100000, true), 100000, 100000},
        // Within the side limit, over the pixel limit.
        {"square.png", FIF_PNG, guard_test::ForgedPng(20000, 20000), 20000, 20000},
    };
}

TEST(ImageGuard, HugeClaimedSizesAreRefusedWithTheClaim) {
    for (const HugeCase& c : HugeCases()) {
        const GuardVerdict verdict = Inspect(c.bytes, c.format);
        EXPECT_EQ(verdict.outcome, GuardOutcome::kTooLarge) << c.name << ": " << verdict.reason;
        EXPECT_EQ(verdict.width, c.width) << c.name;
        EXPECT_EQ(verdict.height, c.height) << c.name;
        EXPECT_NE(verdict.reason.find(std::to_string(c.width)), std::string::npos) << c.name;
    }
}

// The whole loader path, in a child whose address space may grow by only
// 64 MB: a decoder that believed the header would need gigabytes, fail to get
// them and report a corrupt file instead of a size refusal. No JPEG decoder
// may even be created.
TEST(ImageGuard, HugeClaimsRefusedBeforeAllocOrDecode) {
    guard_test::ScratchDir dir;
    for (const HugeCase& c : HugeCases()) {
        const std::string path = dir / c.name;
        guard_test::WriteFile(path, c.bytes);
        const guard_test::ChildResult child =
            guard_test::RunInChild([&] { return guard_test::LoadThroughProgram(path); }, 10, 64u << 20);
        ASSERT_EQ(child.end, ChildEnd::kExited) << c.name << " signal " << child.signal;
        EXPECT_EQ(child.report.probeError, static_cast<int>(ImageFileError::TooLarge)) << c.name;
        EXPECT_EQ(child.report.loadError, static_cast<int>(ImageFileError::TooLarge)) << c.name;
        if (child.report.decoderEntries >= 0) {
            EXPECT_EQ(child.report.decoderEntries, 0) << c.name;
        }
    }
}

TEST(ImageGuard, SizeLimitsSitExactlyAtTheDocumentedValues) {
    EXPECT_TRUE(Inspect(guard_test::ForgedPng(20000, 10000), FIF_PNG).accepted());  // 200 MP
    EXPECT_FALSE(Inspect(guard_test::ForgedPng(20000, 10001), FIF_PNG).accepted());
    EXPECT_TRUE(Inspect(guard_test::ForgedPng(65535, 3051), FIF_PNG).accepted());
    EXPECT_FALSE(Inspect(guard_test::ForgedPng(65536, 1), FIF_PNG).accepted());
    EXPECT_FALSE(Inspect(guard_test::ForgedPng(1, 65536), FIF_PNG).accepted());
    EXPECT_EQ(Inspect(guard_test::ForgedPng(0, 5), FIF_PNG).outcome, GuardOutcome::kTooLarge);
    EXPECT_EQ(Inspect(guard_test::ForgedPng(0xFFFFFFFF, 0xFFFFFFFF), FIF_PNG).outcome,
              GuardOutcome::kTooLarge);  // the product must not wrap around
}

// --- JPEG frames -----------------------------------------------------------

// FreeImage sizes its row from libjpeg's output components but only knows
// 1, 3 and 4 of them; libjpeg accepts up to 10, and with any other count
// writes past FreeImage's buffer (this is what the CVE-2017-2862 sample does,
// with 9 components in a progressive arithmetic-coded frame).
TEST(ImageGuard, JpegFramesNeedOneThreeOrFourComponents) {
    for (const uint8_t frame : {0xC0, 0xC1, 0xC2, 0xC9, 0xCA}) {
        for (int components = 0; components <= 10; ++components) {
            const GuardVerdict verdict =
                Inspect(guard_test::ForgedJpeg(47, 1, components, frame), FIF_JPEG);
            const bool usable = components == 1 || components == 3 || components == 4;
            EXPECT_EQ(verdict.accepted(), usable)
                << "frame 0x" << std::hex << int{frame} << std::dec << ", " << components
                << " components: " << verdict.reason;
            if (!usable) {
                EXPECT_EQ(verdict.outcome, GuardOutcome::kMalformed);
                EXPECT_NE(verdict.reason.find(std::to_string(components) + " colour components"),
                          std::string::npos)
                    << verdict.reason;
            }
        }
    }
}

TEST(ImageGuard, MarkerWalkFindsFrameBehindLargeOddSegments) {
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
    exif.resize(65000, 0x2A);
    Bytes icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 3};
    icc.resize(60000, 0xFF);  // fill-like bytes inside a segment must be skipped, not parsed
    const std::vector<Segment> segments = {
        {0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}},
        {0xE1, exif},
        {0xE2, icc},
        {0xE2, icc},
        {0xED, Filled(300, 0xD8)},  // bytes that look like markers
        {0xFE, {'h', 'e', 'l', 'l', 'o'}},
        {0xDB, Filled(65, 1)},
        {0xC4, Filled(29, 0)},
        {0xDD, {0, 4}},  // restart interval
        {0xCC, {0, 0x10}},  // arithmetic conditioning
    };
    Bytes jpeg = guard_test::ForgedJpeg(640, 480, 3, 0xC0, segments);
    GuardVerdict verdict = Inspect(jpeg, FIF_JPEG);
    EXPECT_TRUE(verdict.accepted()) << verdict.reason;
    EXPECT_EQ(verdict.width, 640u);
    EXPECT_EQ(verdict.height, 480u);

    // libjpeg skips junk before a marker and any run of 0xFF fill bytes.
    const size_t frame = jpeg.size() - 2 - (2 + 8 + 3 * 3);  // frame marker, before EOI
    ASSERT_EQ(jpeg[frame], 0xFF);
    ASSERT_EQ(jpeg[frame + 1], 0xC0);
    Bytes padded(jpeg.begin(), jpeg.begin() + static_cast<long>(frame));
    padded.insert(padded.end(), {0x12, 0x00, 0x41, 0xFF, 0x00, 0xFF, 0xFF, 0xFF});
    padded.insert(padded.end(), jpeg.begin() + static_cast<long>(frame), jpeg.end());
    verdict = Inspect(padded, FIF_JPEG);
    EXPECT_TRUE(verdict.accepted()) << verdict.reason;
    EXPECT_EQ(verdict.width, 640u);

    // The same walk still finds an unsafe frame behind all of it.
    verdict = Inspect(guard_test::ForgedJpeg(640, 480, 9, 0xC2, segments), FIF_JPEG);
    EXPECT_EQ(verdict.outcome, GuardOutcome::kMalformed) << verdict.reason;
}

TEST(ImageGuard, JpegWithoutAReachableFrameIsRefused) {
    const Bytes good = guard_test::ForgedJpeg(64, 64, 3, 0xC0, {{0xE1, Filled(5000, 7)}});
    // Cut inside the APP1 segment, before the frame.
    EXPECT_EQ(Inspect(Bytes(good.begin(), good.begin() + 3000), FIF_JPEG).outcome,
              GuardOutcome::kMalformed);
    // Cut inside the frame's size fields.
    EXPECT_EQ(Inspect(Bytes(good.begin(), good.end() - 14), FIF_JPEG).outcome,
              GuardOutcome::kMalformed);
    // A scan before any frame, or a second start of image, stops libjpeg too.
    const Bytes scanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 63, 0, 0xFF, 0xD9};
    EXPECT_EQ(Inspect(scanFirst, FIF_JPEG).outcome, GuardOutcome::kMalformed);
    const Bytes twoStarts = {0xFF, 0xD8, 0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 1, 1, 0x11, 0};
    EXPECT_EQ(Inspect(twoStarts, FIF_JPEG).outcome, GuardOutcome::kMalformed);
    const Bytes noStart = {0x00, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 1, 1, 0x11, 0};
    EXPECT_EQ(Inspect(noStart, FIF_JPEG).outcome, GuardOutcome::kMalformed);
}

// The loader path on a forged unsafe frame: refused as damaged, and no JPEG
// decoder is ever created for it.
TEST(ImageGuard, UnsafeJpegFrameNeverReachesTheDecoder) {
    guard_test::ScratchDir dir;
    const std::string path = dir / "nine.jpg";
    guard_test::WriteFile(path, guard_test::ForgedJpeg(47, 1, 9, 0xCA));
    const guard_test::ChildResult child =
        guard_test::RunInChild([&] { return guard_test::LoadThroughProgram(path); }, 10, 0);
    ASSERT_EQ(child.end, ChildEnd::kExited) << "signal " << child.signal;
    EXPECT_EQ(child.report.guardOutcome, static_cast<int>(GuardOutcome::kMalformed));
    EXPECT_EQ(child.report.loadError, static_cast<int>(ImageFileError::Corrupt));
    if (child.report.decoderEntries < 0) GTEST_SKIP() << "libjpeg calls cannot be observed here";
    EXPECT_EQ(child.report.decoderEntries, 0);
}

// --- Other formats ---------------------------------------------------------

TEST(ImageGuard, BmpGifAndTiffHeaderVariants) {
    // Top-down rows are stored with a negative height.
    GuardVerdict v = Inspect(guard_test::ForgedBmp(30, -20), FIF_BMP);
    EXPECT_TRUE(v.accepted()) << v.reason;
    EXPECT_EQ(v.height, 20u);
    EXPECT_FALSE(Inspect(guard_test::ForgedBmp(30, INT32_MIN), FIF_BMP).accepted());
    EXPECT_FALSE(Inspect(guard_test::ForgedBmp(-30, 20), FIF_BMP).accepted());
    // OS/2 core header: 16-bit sizes.
    Bytes os2 = {'B', 'M', 26, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0,
                 0x10, 0x27, 0x20, 0x4E, 1, 0, 24, 0};  // 10000 x 20000 = 200 MP
    v = Inspect(os2, FIF_BMP);
    EXPECT_TRUE(v.accepted()) << v.reason;
    EXPECT_EQ(v.width, 10000u);
    EXPECT_EQ(v.height, 20000u);
    os2[21] = 0x9C;  // 10000 x 40000
    EXPECT_EQ(Inspect(os2, FIF_BMP).outcome, GuardOutcome::kTooLarge);

    // A GIF is decoded at its first frame's size, found behind its extensions.
    v = Inspect(guard_test::ForgedGif(300, 200), FIF_GIF);
    EXPECT_TRUE(v.accepted()) << v.reason;
    EXPECT_EQ(v.width, 300u);
    EXPECT_EQ(v.height, 200u);
    EXPECT_FALSE(Inspect(guard_test::ForgedGif(0, 200), FIF_GIF).accepted());

    for (const bool bigEndian : {false, true}) {
        v = Inspect(guard_test::ForgedTiff(1200, 800, bigEndian), FIF_TIFF);
        EXPECT_TRUE(v.accepted()) << v.reason;
        EXPECT_EQ(v.width, 1200u);
        EXPECT_EQ(v.height, 800u);
        EXPECT_TRUE(Inspect(guard_test::ForgedTiff(1200, 800, bigEndian, 256, 256), FIF_TIFF)
                        .accepted());
        // A small picture whose single tile would need 4 gigapixels of buffer.
        v = Inspect(guard_test::ForgedTiff(16, 16, bigEndian, 65520, 65520), FIF_TIFF);
        EXPECT_EQ(v.outcome, GuardOutcome::kTooLarge) << v.reason;
    }
    // The first directory must be inside the file.
    Bytes lost = guard_test::ForgedTiff(10, 10);
    lost[4] = 0xF0;
    EXPECT_EQ(Inspect(lost, FIF_TIFF).outcome, GuardOutcome::kMalformed);
}

TEST(ImageGuard, FormatsTheProgramDoesNotOpenAreNotInspected) {
    const Bytes anything = guard_test::ForgedPng(10, 10);
    for (const FREE_IMAGE_FORMAT format : {FIF_UNKNOWN, FIF_TARGA, FIF_ICO, FIF_PPM, FIF_PSD,
                                           FIF_WEBP, FIF_RAW}) {
        EXPECT_EQ(Inspect(anything, format).outcome, GuardOutcome::kUnsupportedFormat) << format;
    }
    EXPECT_EQ(InspectBeforeDecode("/nonexistent/file.png", FIF_PNG).outcome,
              GuardOutcome::kMalformed);
}

// --- Real JPEGs of every common kind still load ----------------------------

class NormalJpeg : public ::testing::TestWithParam<guard_test::JpegKind> {};
}  // namespace

namespace guard_test {
void PrintTo(const JpegKind& kind, std::ostream* os) { *os << kind.name; }
}  // namespace guard_test

namespace {

TEST_P(NormalJpeg, PassesAndDecodes) {
    const guard_test::JpegKind& kind = GetParam();
    guard_test::ScratchDir dir;
    const std::string path = dir / "photo.jpg";
    const int width = 203, height = 97;  // not multiples of the MCU size
    guard_test::WriteJpegWithLibjpeg(path, width, height, kind);

    const GuardVerdict verdict = InspectBeforeDecode(path, FIF_JPEG);
    ASSERT_TRUE(verdict.accepted()) << verdict.reason;
    EXPECT_EQ(verdict.width, static_cast<uint32_t>(width));
    EXPECT_EQ(verdict.height, static_cast<uint32_t>(height));

    const int entries = guard_test::DecoderEntries();
    const calmora::LoadedImage loaded = calmora::LoadImageFile(path);
    ASSERT_EQ(loaded.error, ImageFileError::None) << calmora::DescribeImageFileError(loaded.error);
    // Keeps the "no decoder was created" checks elsewhere honest.
    if (entries >= 0) {
        EXPECT_GT(guard_test::DecoderEntries(), entries);
    }
    FIBITMAP* image = loaded.image.get();
    ASSERT_EQ(FreeImage_GetBPP(image), 24u);
    ASSERT_EQ(FreeImage_GetWidth(image), static_cast<unsigned>(width));
    ASSERT_EQ(FreeImage_GetHeight(image), static_cast<unsigned>(height));
    double error = 0;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, height - 1 - y);  // bottom-up rows
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            guard_test::PatternRgb(x, y, rgb);
            if (kind.components == 1) {
                const int grey = (rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114) / 1000;
                rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(grey);
            }
            error += std::abs(row[3 * x + 2] - rgb[0]) + std::abs(row[3 * x + 1] - rgb[1]) +
                     std::abs(row[3 * x] - rgb[2]);
        }
    }
    EXPECT_LT(error / (3.0 * width * height), 6.0) << "mean difference per sample";
}

guard_test::JpegKind Kind(const char* name) {
    guard_test::JpegKind kind;
    kind.name = name;
    return kind;
}

std::vector<guard_test::JpegKind> Kinds() {
    std::vector<guard_test::JpegKind> kinds;
    kinds.push_back(Kind("baseline"));
    auto k = Kind("subsampled420");
    k.lumaSampling = 2;
    kinds.push_back(k);
    k = Kind("grey");
    k.components = 1;
    kinds.push_back(k);
    k = Kind("cmyk");
    k.components = 4;
    kinds.push_back(k);
    k = Kind("progressive");
    k.progressive = true;
    kinds.push_back(k);
    k = Kind("arithmetic");
    k.arithmetic = true;
    kinds.push_back(k);
    k = Kind("progressiveArithmetic");
    k.progressive = true;
    k.arithmetic = true;
    kinds.push_back(k);
    k = Kind("restartMarkers");
    k.restartRows = 1;
    kinds.push_back(k);
    k = Kind("exifIccAndComment");
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    icc.resize(3000, 0);
    k.extra = {{0xE1, exif}, {0xE2, icc}, {0xFE, {'o', 'k'}}};
    kinds.push_back(k);
    return kinds;
}

INSTANTIATE_TEST_SUITE_P(Kinds, NormalJpeg, ::testing::ValuesIn(Kinds()),
                         [](const ::testing::TestParamInfo<guard_test::JpegKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
