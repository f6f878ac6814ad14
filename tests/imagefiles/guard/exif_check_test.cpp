// The program's own walk of EXIF blocks (exif_check.h), and what the header
// guard makes of the APP1 segments of a JPEG wherever they stand.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <string>
#include <vector>

#include "exif_forge.h"
#include "guard_test_support.h"
#include "imagefiles/bitmap.h"
#include "imagefiles/exif_check.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/image_guard.h"

namespace {

using calmora::GuardVerdict;
using calmora::InspectBeforeDecode;
using calmora::exif::BlockCheck;
using calmora::exif::CheckExifBlock;
using exif_forge::Bytes;
using exif_forge::Place;

// A real JPEG from libjpeg, read back as bytes.
Bytes LibjpegFile(int width, int height, bool progressive) {
    guard_test::ScratchDir dir;
    guard_test::JpegKind kind;
    kind.name = "small";
    kind.progressive = progressive;
    guard_test::WriteJpegWithLibjpeg(dir / "small.jpg", width, height, kind);
    return calmora_test::ReadFile(dir / "small.jpg");
}

const Bytes& Thumbnail() {
    static const Bytes thumbnail = LibjpegFile(16, 12, false);
    return thumbnail;
}

// Each block in its own allocation of exactly its size, so that a read past
// its end is a read past the allocation.
BlockCheck Check(const Bytes& block) {
    const Bytes copy = block;
    return CheckExifBlock(copy.data(), copy.size());
}

TEST(ExifCheck, HostileBlocksRefusedWithReasonSoundOnesPass) {
    for (const exif_forge::BlockCase& c : exif_forge::BlockCases(Thumbnail())) {
        const BlockCheck check = Check(c.block);
        if (!c.reason) {
            EXPECT_TRUE(check.valid) << c.desc << ": " << check.reason;
            EXPECT_TRUE(check.reason.empty()) << c.desc;
            continue;
        }
        EXPECT_FALSE(check.valid) << c.desc;
        EXPECT_NE(check.reason.find(c.reason), std::string::npos) << c.desc << ": " << check.reason;
    }
}

// Every byte of a sound block is needed by something the walk checks (the
// thumbnail comes last), so every shorter copy must be refused.
TEST(ExifCheck, EveryCutShortCopyOfASoundBlockIsRefused) {
    for (const Bytes& sound : {exif_forge::MakeSoundBlock(3).bytes,
                               exif_forge::MakeSoundBlock(3, true, Thumbnail()).bytes}) {
        ASSERT_TRUE(Check(sound).valid) << Check(sound).reason;
        for (size_t size = 0; size < sound.size(); ++size) {
            const Bytes cut(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(size));
            EXPECT_FALSE(Check(cut).valid) << "cut to " << size << " of " << sound.size() << " bytes";
        }
    }
}

// Whatever the walk lets through, FreeImage's reader must survive: every
// single-byte change of a sound block (with thumbnail) is walked, and each
// one accepted is read by FreeImage, all in a child that may crash.
TEST(ExifCheck, AcceptedBlocksAreReadByFreeImageWithoutHarm) {
    const Bytes sound = exif_forge::MakeSoundBlock(6, false, Thumbnail()).bytes;
    int accepted = 0, refused = 0;
    const guard_test::ChildResult child = guard_test::RunInChild(
        [&] {
            guard_test::LoadReport report;
            for (size_t at = 0; at < sound.size(); ++at) {
                for (const uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0xFF}}) {
                    Bytes changed = sound;
                    changed[at] = value;
                    if (!Check(changed).valid) continue;
                    calmora::BitmapPtr image(FreeImage_Allocate(1, 1, 24));
                    calmora::exif::AttachExifBlock(image.get(), changed.data(), changed.size());
                    ++report.width;  // blocks read
                }
            }
            return report;
        },
        60, 0);
    ASSERT_EQ(child.end, guard_test::ChildEnd::kExited) << "signal " << child.signal;
    for (size_t at = 0; at < sound.size(); ++at) {
        for (const uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0xFF}}) {
            Bytes changed = sound;
            changed[at] = value;
            (Check(changed).valid ? accepted : refused) += 1;
        }
    }
    EXPECT_EQ(child.report.width, static_cast<uint32_t>(accepted));
    // Both kinds occur, or the test proves nothing.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

TEST(ExifCheck, AThumbnailsOwnExifMayNotCarryAnotherThumbnail) {
    const Bytes inner = exif_forge::MakeSoundBlock(1, false, Thumbnail()).bytes;
    const Bytes thumbnailWithExif =
        exif_forge::InsertAt(Thumbnail(), 2, exif_forge::ExifSegment(inner));
    const BlockCheck check = Check(exif_forge::MakeSoundBlock(6, false, thumbnailWithExif).bytes);
    EXPECT_FALSE(check.valid);
    EXPECT_NE(check.reason.find("further thumbnail"), std::string::npos) << check.reason;
    // Without one of its own, a thumbnail's EXIF is fine.
    const Bytes plainInner = exif_forge::InsertAt(Thumbnail(), 2,
                                                  exif_forge::ExifSegment(exif_forge::MakeSoundBlock(1).bytes));
    EXPECT_TRUE(Check(exif_forge::MakeSoundBlock(6, false, plainInner).bytes).valid);
}

// --- The guard's view of APP1 segments --------------------------------------

struct PlacementCase {
    Place place;
    bool progressive;
};

const PlacementCase kPlacements[] = {
    {Place::kAfterSoi, false},         {Place::kAfterFrameHeader, false},
    {Place::kBeforeEoi, false},        {Place::kAfterFrameHeader, true},
    {Place::kBetweenScans, true},      {Place::kBeforeEoi, true},
};

TEST(ExifGuard, DamagedSegmentFoundAnywhereRefusesNothing) {
    const Bytes baseline = LibjpegFile(40, 24, false);
    const Bytes progressive = LibjpegFile(40, 24, true);
    for (const PlacementCase& p : kPlacements) {
        const Bytes& base = p.progressive ? progressive : baseline;
        const size_t at = exif_forge::OffsetOf(base, p.place);
        ASSERT_GT(at, 0u) << exif_forge::PlaceName(p.place);
        for (const Bytes& block : {exif_forge::HugeEntryCountBlock(), exif_forge::WrappingThumbnailBlock()}) {
            const Bytes jpeg = exif_forge::InsertAt(base, at, exif_forge::ExifSegment(block));
            const GuardVerdict verdict = InspectBeforeDecode(jpeg.data(), jpeg.size(), FIF_JPEG);
            const std::string where = std::string(exif_forge::PlaceName(p.place)) +
                                      (p.progressive ? ", progressive" : ", baseline");
            EXPECT_TRUE(verdict.accepted()) << where << ": " << verdict.reason;
            EXPECT_EQ(verdict.width, 40u) << where;
            EXPECT_EQ(verdict.height, 24u) << where;
            ASSERT_TRUE(verdict.exifMalformed()) << where;
            EXPECT_EQ(verdict.badExifSegments, std::vector<uint64_t>{at + 1}) << where;
            EXPECT_FALSE(verdict.exifProblem.empty()) << where;
        }
    }
}

TEST(ExifGuard, OnlyTheSegmentsFreeImageMustNotReadAreNoted) {
    const Bytes base = LibjpegFile(40, 24, false);
    const Bytes sound = exif_forge::ExifSegment(exif_forge::MakeSoundBlock(6, false, Thumbnail()).bytes);
    const Bytes bad = exif_forge::ExifSegment(exif_forge::HugeEntryCountBlock());
    Bytes xmp = {0xFF, 0xE1, 0, 0};
    const std::string xmpText = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    xmp.insert(xmp.end(), xmpText.begin(), xmpText.end());
    xmp[3] = uint8_t(xmp.size() - 2);
    const Bytes tiny = {0xFF, 0xE1, 0x00, 0x07, 'E', 'x', 'i', 'f', 0};
    const Bytes shortXmp = {0xFF, 0xE1, 0x00, 0x0B, 'h', 't', 't', 'p', ':', '/', '/', 'n', 's'};
    Bytes emptyExif;
    {
        exif_forge::BlockWriter w;
        w.Directory({});
        emptyExif = exif_forge::ExifSegment(w.Data());
    }
    const Bytes otherShort = {0xFF, 0xE1, 0x00, 0x07, 'D', 'u', 'c', 'k', 'y'};
    const Bytes bareSignature = {0xFF, 0xE1, 0x00, 0x08, 'E', 'x', 'i', 'f', 0, 0};
    const size_t frame = exif_forge::OffsetOf(base, Place::kAfterFrameHeader);
    struct Case {
        const char* desc;
        Bytes jpeg;
        std::vector<uint64_t> noted;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"no APP1 at all", base, {}, ""},
        {"a sound EXIF with a thumbnail", exif_forge::InsertAt(base, 2, sound), {}, ""},
        {"an XMP packet", exif_forge::InsertAt(base, 2, xmp), {}, ""},
        {"an APP1 cut inside the EXIF signature", exif_forge::InsertAt(base, 2, tiny), {3},
         "too short"},
        {"an APP1 cut inside the XMP signature", exif_forge::InsertAt(base, 2, shortXmp), {3},
         "too short"},
        // Photoshop writes an empty EXIF in 22 bytes: sound, and shorter than XMP's signature.
        {"an empty EXIF shorter than XMP's signature", exif_forge::InsertAt(base, 2, emptyExif), {}, ""},
        {"a short APP1 of something else", exif_forge::InsertAt(base, 2, otherShort), {}, ""},
        {"an APP1 of the EXIF signature alone", exif_forge::InsertAt(base, 2, bareSignature), {3},
         "shorter than its header"},
        {"a sound EXIF, then a damaged one",
         exif_forge::InsertAt(exif_forge::InsertAt(base, frame, bad), 2, sound),
         {frame + sound.size() + 1}, "claims 65535 entries"},
        {"two damaged ones",
         exif_forge::InsertAt(exif_forge::InsertAt(base, frame, bad), 2, bad),
         {3, frame + bad.size() + 1}, "claims 65535 entries"},
        // FreeImage pads a file that ends inside a segment and reads the
        // padded EXIF as if it were whole.
        {"an EXIF that the end of the file cuts short, past the frame", [&] {
             Bytes j = exif_forge::InsertAt(base, frame, sound);
             j.resize(frame + 30);
             return j;
         }(), {frame + 1}, "cut short"},
        {"an XMP that the end of the file cuts short, past the frame", [&] {
             Bytes j = exif_forge::InsertAt(base, frame, xmp);
             j.resize(frame + 36);
             return j;
         }(), {frame + 1}, "cut short"},
        // libjpeg reads nothing past EOI, and neither does FreeImage.
        {"a damaged one after EOI", [&] {
             Bytes j = base;
             j.insert(j.end(), bad.begin(), bad.end());
             return j;
         }(), {}, ""},
    };
    for (const Case& c : cases) {
        const GuardVerdict verdict = InspectBeforeDecode(c.jpeg.data(), c.jpeg.size(), FIF_JPEG);
        EXPECT_TRUE(verdict.accepted()) << c.desc << ": " << verdict.reason;
        EXPECT_EQ(verdict.badExifSegments, c.noted) << c.desc;
        EXPECT_NE(verdict.exifProblem.find(c.problem), std::string::npos)
            << c.desc << ": " << verdict.exifProblem;
    }
}

// The refusals made before the frame header are what they were: a segment
// that runs past the end of the file is still damage, EXIF or not.
TEST(ExifGuard, SegmentCutShortBeforeFrameRefusesTheFile) {
    Bytes jpeg = {0xFF, 0xD8};
    const Bytes segment = exif_forge::ExifSegment(exif_forge::MakeSoundBlock(1).bytes);
    jpeg.insert(jpeg.end(), segment.begin(), segment.begin() + 30);
    const GuardVerdict verdict = InspectBeforeDecode(jpeg.data(), jpeg.size(), FIF_JPEG);
    EXPECT_EQ(verdict.outcome, calmora::GuardOutcome::kMalformed);
    EXPECT_NE(verdict.reason.find("cut short"), std::string::npos) << verdict.reason;
}

}  // namespace
