// Pictures carrying EXIF that FreeImage 3.18 crashes on (an entry count past
// the block, a thumbnail offset + length that wraps in 32 bits), in every
// place a file can carry it: JPEG APP1 before or after the frame header,
// between scans and before EOI, a PNG eXIf chunk, a TIFF's EXIF directory.
// Each must open with its pixels and without that EXIF; sound EXIF must
// still come through. Every load runs first in a child that may crash.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "exif_forge.h"
#include "guard_test_support.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/image_load.h"

namespace {

using calmora::ImageFileError;
using calmora::LoadedImage;
using calmora::LoadImageFile;
using exif_forge::Bytes;
using exif_forge::Place;

struct HostileBlock {
    const char* desc;
    Bytes block;
};

std::vector<HostileBlock> HostileBlocks() {
    return {{"entry count past the block", exif_forge::HugeEntryCountBlock()},
            {"thumbnail offset + length wrapping", exif_forge::WrappingThumbnailBlock()}};
}

// The load in a child first: a crash there fails the case instead of the
// whole test program.
guard_test::LoadReport LoadSafely(const std::string& path, const std::string& desc) {
    const guard_test::ChildResult child =
        guard_test::RunInChild([&] { return guard_test::LoadThroughProgram(path); }, 20, 0);
    EXPECT_EQ(child.end, guard_test::ChildEnd::kExited) << desc << ": signal " << child.signal;
    return child.end == guard_test::ChildEnd::kExited ? child.report : guard_test::LoadReport{};
}

long Orientation(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Orientation", &tag) || !tag) return -1;
    if (FreeImage_GetTagType(tag) != FIDT_SHORT) return -1;
    return *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
}

bool HasAnyExif(FIBITMAP* image) {
    for (FREE_IMAGE_MDMODEL model : {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_INTEROP})
        if (FreeImage_GetMetadataCount(model, image) > 0) return true;
    return calmora::exif::HasRawExif(image);
}

// --- JPEG ------------------------------------------------------------------

struct JpegPlacement {
    Place place;
    bool progressive;
};

// A 48 x 32 picture as libjpeg writes it, baseline or progressive, in dir.
std::string WriteBaseJpeg(const guard_test::ScratchDir& dir, bool progressive) {
    guard_test::JpegKind kind;
    kind.name = "base";
    kind.progressive = progressive;
    const std::string path = dir / (progressive ? "base-p.jpg" : "base.jpg");
    guard_test::WriteJpegWithLibjpeg(path, 48, 32, kind);
    return path;
}

TEST(HostileExif, JpegOpensWithPixelsWithoutDamagedExifAnywhere) {
    guard_test::ScratchDir dir;
    for (const bool progressive : {false, true}) {
        const std::string basePath = WriteBaseJpeg(dir, progressive);
        const guard_test::LoadReport plain = LoadSafely(basePath, "the plain file");
        ASSERT_EQ(plain.loadError, static_cast<int>(ImageFileError::None));
        const Bytes base = calmora_test::ReadFile(basePath);
        std::vector<Place> places = {Place::kAfterSoi, Place::kAfterFrameHeader, Place::kBeforeEoi};
        if (progressive) places.push_back(Place::kBetweenScans);
        for (const Place place : places) {
            for (const HostileBlock& hostile : HostileBlocks()) {
                const std::string desc = std::string(hostile.desc) + ", " + exif_forge::PlaceName(place) +
                                         (progressive ? ", progressive" : ", baseline");
                const std::string path = dir / "hostile.jpg";
                guard_test::WriteFile(path, exif_forge::InsertAt(base, exif_forge::OffsetOf(base, place),
                                                                 exif_forge::ExifSegment(hostile.block)));
                const guard_test::LoadReport report = LoadSafely(path, desc);
                EXPECT_EQ(report.loadError, static_cast<int>(ImageFileError::None)) << desc;
                EXPECT_EQ(report.width, 48u) << desc;
                EXPECT_EQ(report.height, 32u) << desc;
                EXPECT_EQ(report.pixelHash, plain.pixelHash) << desc;
                if (report.loadError != static_cast<int>(ImageFileError::None)) continue;
                const LoadedImage loaded = LoadImageFile(path);
                ASSERT_TRUE(loaded.image) << desc;
                EXPECT_FALSE(HasAnyExif(loaded.image.get())) << desc;
            }
        }
    }
}

// A file that ends inside an EXIF segment: FreeImage pads the file's end
// and reads the segment as if it were whole, entries the cut left out and
// all, which crashed it. Cut after the frame header (baseline) or between
// scans (progressive), the picture must be refused as damaged or cut short,
// in a clean load, not a crash.
TEST(HostileExif, JpegEndingInsideAnExifSegmentIsRefusedWithoutACrash) {
    guard_test::ScratchDir dir;
    for (const bool progressive : {false, true}) {
        const Bytes base = calmora_test::ReadFile(WriteBaseJpeg(dir, progressive));
        const Place place = progressive ? Place::kBetweenScans : Place::kAfterFrameHeader;
        for (const HostileBlock& hostile : HostileBlocks()) {
            const std::string desc = std::string(hostile.desc) + ", cut by the end of the file, " +
                                     (progressive ? "progressive" : "baseline");
            const size_t at = exif_forge::OffsetOf(base, place);
            Bytes cut = exif_forge::InsertAt(base, at, exif_forge::ExifSegment(hostile.block));
            cut.resize(at + 40);
            const std::string path = dir / "cut.jpg";
            guard_test::WriteFile(path, cut);
            const guard_test::LoadReport report = LoadSafely(path, desc);
            EXPECT_TRUE(report.loadError == static_cast<int>(ImageFileError::Truncated) ||
                        report.loadError == static_cast<int>(ImageFileError::Corrupt))
                << desc << ": error " << report.loadError;
        }
    }
}

TEST(HostileExif, SoundJpegExifIsKeptAlsoBesideADamagedBlock) {
    guard_test::ScratchDir dir;
    guard_test::JpegKind kind;
    kind.name = "base";
    const std::string basePath = dir / "base.jpg";
    guard_test::WriteJpegWithLibjpeg(basePath, 48, 32, kind);
    const Bytes base = calmora_test::ReadFile(basePath);
    const Bytes thumbnail = base;  // a whole JPEG does as a thumbnail
    const Bytes sound = exif_forge::ExifSegment(exif_forge::MakeSoundBlock(6, false, thumbnail).bytes);
    const Bytes soundBig = exif_forge::ExifSegment(exif_forge::MakeSoundBlock(8, true).bytes);
    const Bytes bad = exif_forge::ExifSegment(exif_forge::HugeEntryCountBlock());
    const size_t frame = exif_forge::OffsetOf(base, Place::kAfterFrameHeader);
    struct Case {
        const char* desc;
        Bytes jpeg;
        long orientation;
    };
    const std::vector<Case> cases = {
        {"sound EXIF with a thumbnail", exif_forge::InsertAt(base, 2, sound), 6},
        {"sound big-endian EXIF", exif_forge::InsertAt(base, 2, soundBig), 8},
        {"sound EXIF, a damaged block after the frame header",
         exif_forge::InsertAt(exif_forge::InsertAt(base, frame, bad), 2, sound), 6},
    };
    const guard_test::LoadReport plain = LoadSafely(basePath, "the plain file");
    for (const Case& c : cases) {
        const std::string path = dir / "case.jpg";
        guard_test::WriteFile(path, c.jpeg);
        const guard_test::LoadReport report = LoadSafely(path, c.desc);
        ASSERT_EQ(report.loadError, static_cast<int>(ImageFileError::None)) << c.desc;
        EXPECT_EQ(report.pixelHash, plain.pixelHash) << c.desc;
        const LoadedImage loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded.image) << c.desc;
        EXPECT_EQ(Orientation(loaded.image.get()), c.orientation) << c.desc;
        EXPECT_TRUE(calmora::exif::HasRawExif(loaded.image.get())) << c.desc;
    }
}

// --- PNG -------------------------------------------------------------------

TEST(HostileExif, PngExifChunkIsCheckedBeforeFreeImageReadsIt) {
    guard_test::ScratchDir dir;
    calmora::BitmapPtr pattern(FreeImage_Allocate(20, 10, 24));
    for (int y = 0; y < 10; ++y) {
        BYTE* row = FreeImage_GetScanLine(pattern.get(), y);
        for (int x = 0; x < 20; ++x) exif_forge::PixelRgb(x, y, row + 3 * x);
    }
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, pattern.get(), (dir / "plain.png").c_str(), 0));
    const uint64_t expected = guard_test::HashPixels(pattern.get());
    struct Case {
        const char* desc;
        Bytes block;
        long orientation;  // -1: no EXIF may come through
    };
    std::vector<Case> cases = {{"sound EXIF", exif_forge::MakeSoundBlock(3).bytes, 3}};
    for (const HostileBlock& hostile : HostileBlocks()) cases.push_back({hostile.desc, hostile.block, -1});
    for (const Case& c : cases) {
        const std::string path = dir / "case.png";
        {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> from(std::fopen((dir / "plain.png").c_str(), "rb"),
                                                                 &std::fclose);
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> to(std::fopen(path.c_str(), "wb"), &std::fclose);
            ASSERT_TRUE(from && to);
            ASSERT_TRUE(calmora::exif::CopyPngWithExif(from.get(), to.get(), c.block)) << c.desc;
        }
        const guard_test::LoadReport report = LoadSafely(path, c.desc);
        ASSERT_EQ(report.loadError, static_cast<int>(ImageFileError::None)) << c.desc;
        EXPECT_EQ(report.pixelHash, expected) << c.desc;
        const LoadedImage loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded.image) << c.desc;
        if (c.orientation < 0) {
            EXPECT_FALSE(HasAnyExif(loaded.image.get())) << c.desc;
            EXPECT_FALSE(calmora::exif::ReadPngExif(path)) << c.desc;
        } else {
            EXPECT_EQ(Orientation(loaded.image.get()), c.orientation) << c.desc;
        }
    }
}

// --- TIFF ------------------------------------------------------------------

double ExposureTime(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_EXIF, image, "ExposureTime", &tag) || !tag) return -1;
    const auto* parts = static_cast<const DWORD*>(FreeImage_GetTagValue(tag));
    return parts[1] ? double(parts[0]) / parts[1] : -1;
}

TEST(HostileExif, TiffWithADamagedExifDirectoryOpensWithoutIt) {
    guard_test::ScratchDir dir;
    constexpr int kW = 5, kH = 3;
    const exif_forge::ForgedExifTiff sound = exif_forge::TiffWithExif(kW, kH);
    auto patched = [&](size_t at, uint32_t value) {
        Bytes b = sound.bytes;
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(value >> (8 * i));
        return b;
    };
    struct Case {
        const char* desc;
        Bytes tiff;
        bool exifKept;
    };
    Bytes hugeCount = sound.bytes;
    hugeCount[sound.exif] = 0xFF;
    hugeCount[sound.exif + 1] = 0xFF;
    const std::vector<Case> cases = {
        {"sound EXIF directory", sound.bytes, true},
        {"EXIF directory claiming 65535 entries", hugeCount, false},
        {"EXIF pointer past the end of the file", patched(sound.exifPointer, 0x7FFFFFF0u), false},
        {"ExposureTime value near 4 GB", patched(sound.exposureValue, 0xFFFFFFFCu), false},
        {"interoperability pointer past the end", patched(sound.interopPointer, 0x00FFFFF0u), false},
        {"interoperability pointer back to the EXIF directory", patched(sound.interopPointer, sound.exif),
         false},
    };
    for (const Case& c : cases) {
        const std::string path = dir / "case.tif";
        guard_test::WriteFile(path, c.tiff);
        const guard_test::LoadReport report = LoadSafely(path, c.desc);
        ASSERT_EQ(report.loadError, static_cast<int>(ImageFileError::None)) << c.desc;
        const LoadedImage loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded.image) << c.desc;
        ASSERT_EQ(FreeImage_GetWidth(loaded.image.get()), unsigned(kW)) << c.desc;
        ASSERT_EQ(FreeImage_GetHeight(loaded.image.get()), unsigned(kH)) << c.desc;
        for (int y = 0; y < kH; ++y) {
            // Rows are bottom-up in the bitmap, top-down in the file.
            const BYTE* row = FreeImage_GetScanLine(loaded.image.get(), kH - 1 - y);
            for (int x = 0; x < kW; ++x) {
                uint8_t rgb[3];
                exif_forge::PixelRgb(x, y, rgb);
                EXPECT_EQ(row[3 * x + FI_RGBA_RED], rgb[0]) << c.desc << " at " << x << "," << y;
                EXPECT_EQ(row[3 * x + FI_RGBA_GREEN], rgb[1]) << c.desc << " at " << x << "," << y;
                EXPECT_EQ(row[3 * x + FI_RGBA_BLUE], rgb[2]) << c.desc << " at " << x << "," << y;
            }
        }
        if (c.exifKept) {
            EXPECT_DOUBLE_EQ(ExposureTime(loaded.image.get()), 1.0 / 250) << c.desc;
        } else {
            EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_EXIF_EXIF, loaded.image.get()), 0u) << c.desc;
            EXPECT_FALSE(calmora::exif::HasRawExif(loaded.image.get())) << c.desc;
        }
    }
}

}  // namespace
