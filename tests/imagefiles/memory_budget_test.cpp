// The memory a load plans for, by the sample type the decoder produces, and
// the control-group limits it is measured against (read from fake cgroup
// folders in the test's scratch folder).
#include <gtest/gtest.h>

#include <FreeImage.h>
#include <sys/stat.h>

#include <string>

#include "imagefiles/image_load.h"
#include "imagefiles/memory_budget.h"
#include "case_name.h"
#include "test_images.h"

using namespace calmora;
using calmora_test::ScratchDir;

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

struct NeedCase {
    const char* desc;
    int64_t width, height;
    unsigned bitsPerPixel;
    bool greyStep;
    uint64_t want;
};

CASE_TEST(LoadingNeed, SamplesAndCopy, NeedCase) {
    EXPECT_EQ(LoadingMemoryNeed(c.width, c.height, c.bitsPerPixel, c.greyStep), c.want);
}

// 1000 x 1000: a 24-bit row is 3000 bytes.
INSTANTIATE_TEST_SUITE_P(
    Types, LoadingNeed,
    ::testing::Values(
        NeedCase{"Rgb24IsTwoCopies", 1000, 1000, 24, false, 6'000'000},
        NeedCase{"PaletteStaysAtTheFloor", 1000, 1000, 8, false, 6'000'000},
        NeedCase{"Rgba32", 1000, 1000, 32, false, 7'000'000},
        NeedCase{"Rgb16PerChannel", 1000, 1000, 48, false, 9'000'000},
        NeedCase{"Rgba16PerChannel", 1000, 1000, 64, false, 11'000'000},
        NeedCase{"Grey16ThroughEightBits", 1000, 1000, 16, true, 6'000'000},
        NeedCase{"Float32GreyThroughEightBits", 1000, 1000, 32, true, 8'000'000},
        NeedCase{"DoubleGrey", 1000, 1000, 64, true, 12'000'000},
        NeedCase{"FloatRgba", 1000, 1000, 128, false, 19'000'000},
        // Rows padded to four bytes in each buffer: 1 x 1000 at 64 bits is
        // 8 bytes a row, the 24-bit copy 4.
        NeedCase{"PaddedRows", 1, 1000, 64, false, 12'000},
        // The 113 KB TIFF that claims 14142 x 14142 16-bit RGBA.
        NeedCase{"ForgedSixteenBitRgba", 14142, 14142, 64, false,
                 uint64_t{14142} * 8 * 14142 + uint64_t{42428} * 14142},
        NeedCase{"NothingForNoPicture", 0, 1000, 64, false, 0},
        NeedCase{"AbsurdSizesSaturate", INT64_MAX, INT64_MAX, 128, false, UINT64_MAX}),
    [](const auto& info) { return std::string(info.param.desc); });

TEST(MemoryBudget, TheRuleDecidesAtItsEdge) {
    const uint64_t need = LoadingMemoryNeed(14142, 14142, 64, false);
    EXPECT_GT(need, 2 * kGiB);
    EXPECT_EQ(CheckImageMemory(14142, 14142, 64, false, 2 * kGiB), ImageFileError::NotEnoughMemory);
    EXPECT_EQ(CheckImageMemory(14142, 14142, 64, false, need), ImageFileError::None);
    EXPECT_EQ(CheckImageMemory(14142, 14142, 64, false, need - 1), ImageFileError::NotEnoughMemory);
    // The same picture at 8 bits a channel fits where the deep one does not.
    EXPECT_EQ(CheckImageMemory(14142, 14142, 24, false, 2 * kGiB), ImageFileError::None);
    EXPECT_EQ(CheckImageMemory(14142, 14142, 64, false, 0), ImageFileError::None);
}

// Files FreeImage writes itself, in each sample type, probed with just too
// little and just enough memory for their type.
TEST(MemoryBudget, ProbeMeasuresEachFileByItsOwnSampleType) {
    ScratchDir dir;
    struct Kind {
        const char* name;
        FREE_IMAGE_TYPE type;
        unsigned bpp;
        bool greyStep;
    } kinds[] = {{"rgb16.tif", FIT_RGB16, 48, false},
                 {"rgba16.tif", FIT_RGBA16, 64, false},
                 {"grey16.tif", FIT_UINT16, 16, true},
                 {"float.tif", FIT_FLOAT, 32, true}};
    for (const Kind& k : kinds) {
        BitmapPtr image(FreeImage_AllocateT(k.type, 300, 200));
        calmora_test::WriteImage(image.get(), FIF_TIFF, dir / k.name);
        const ImageProbe probe = ProbeImageFile(dir / k.name, 64 * kGiB);
        ASSERT_EQ(probe.error, ImageFileError::None) << k.name;
        EXPECT_EQ(probe.type, k.type) << k.name;
        EXPECT_EQ(probe.bitsPerPixel, k.bpp) << k.name;
        const uint64_t need = LoadingMemoryNeed(300, 200, k.bpp, k.greyStep);
        EXPECT_EQ(ProbeImageFile(dir / k.name, need).error, ImageFileError::None) << k.name;
        EXPECT_EQ(ProbeImageFile(dir / k.name, need - 1).error, ImageFileError::NotEnoughMemory)
            << k.name;
        EXPECT_EQ(LoadImageFile(dir / k.name, need - 1).error, ImageFileError::NotEnoughMemory)
            << k.name;
        const LoadedImage loaded = LoadImageFile(dir / k.name, need);
        EXPECT_EQ(loaded.error, ImageFileError::None) << k.name;
        ASSERT_TRUE(loaded.image) << k.name;
        EXPECT_EQ(FreeImage_GetBPP(loaded.image.get()), 24u) << k.name;
    }
}

TEST(MemoryBudget, FloatColourRefusedBeforeDecodingAtAnyBudget) {
    ScratchDir dir;
    for (FREE_IMAGE_TYPE type : {FIT_RGBAF, FIT_RGBF}) {
        BitmapPtr image(FreeImage_AllocateT(type, 40, 30));
        calmora_test::WriteImage(image.get(), FIF_TIFF, dir / "float.tif");
        // Refused from the header: even with far too little memory the
        // answer is the conversion, not the memory.
        EXPECT_EQ(ProbeImageFile(dir / "float.tif", 1000).error, ImageFileError::ConversionFailed);
        const LoadedImage loaded = LoadImageFile(dir / "float.tif");
        EXPECT_EQ(loaded.error, ImageFileError::ConversionFailed);
        EXPECT_FALSE(loaded.image);
    }
    EXPECT_STREQ(DescribeImageFileError(ImageFileError::ConversionFailed),
                 "cannot convert the image to 24 bits");
}

// ---------------------------------------------------------------------------
// Control groups.

class ControlGroups : public ::testing::Test {
protected:
    void Put(const std::string& relative, const std::string& text) {
        std::string folder = dir_.Path();
        size_t at = 0;
        while ((at = relative.find('/', at + 1)) != std::string::npos) {
            folder = dir_.Path() + "/" + relative.substr(0, at);
            mkdir(folder.c_str(), 0755);
        }
        calmora_test::WriteFile(dir_ / relative, std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::optional<uint64_t> Limit(const std::string& membership, uint64_t swap = 0) {
        Put("proc-cgroup", membership);
        return ControlGroupMemoryLimit(dir_ / "fs", dir_ / "proc-cgroup", swap);
    }
    ScratchDir dir_;
};

TEST_F(ControlGroups, UnifiedHierarchyTakesTheLowestGroupOnTheWayUp) {
    Put("fs/user.slice/app/memory.max", "3000000\n");
    Put("fs/user.slice/app/memory.swap.max", "max\n");
    EXPECT_EQ(Limit("0::/user.slice/app\n", 1000), 3001000u) << "swap up to the system's";
    Put("fs/user.slice/app/memory.swap.max", "500\n");
    EXPECT_EQ(Limit("0::/user.slice/app\n", 1000), 3000500u);
    Put("fs/user.slice/memory.max", "2000000\n");
    EXPECT_EQ(Limit("0::/user.slice/app/\n", 1000), 2001000u) << "the parent's is lower";
    Put("fs/user.slice/memory.max", "max\n");
    Put("fs/user.slice/app/memory.max", "max\n");
    EXPECT_FALSE(Limit("0::/user.slice/app\n"));
    EXPECT_FALSE(Limit("0::/elsewhere\n"));
}

TEST_F(ControlGroups, VersionOneCountsSwapThroughMemsw) {
    Put("fs/memory/box/memory.limit_in_bytes", "4000000\n");
    EXPECT_EQ(Limit("12:cpu,cpuacct:/box\n5:memory:/box\n1:name=systemd:/box\n", 1000000),
              5000000u);
    Put("fs/memory/box/memory.memsw.limit_in_bytes", "4500000\n");
    EXPECT_EQ(Limit("5:memory:/box\n", 1000000), 4500000u);
    // "Unlimited" in version 1 is a huge number, not a limit in practice.
    Put("fs/memory/box/memory.limit_in_bytes", "9223372036854771712\n");
    Put("fs/memory/box/memory.memsw.limit_in_bytes", "9223372036854771712\n");
    EXPECT_EQ(Limit("5:memory:/box\n", 1000), 9223372036854771712u);
    // Inside its own cgroup namespace a process sees its group as "/" or as
    // a path that is not mounted: the top of the hierarchy is its group.
    Put("fs/memory/memory.limit_in_bytes", "7000000\n");
    EXPECT_EQ(Limit("5:memory:/not/mounted/here\n"), 7000000u);
    EXPECT_EQ(Limit("5:memory:/\n"), 7000000u);
}

TEST_F(ControlGroups, BothHierarchiesGiveLowerNonsenseNothing) {
    Put("fs/memory/box/memory.limit_in_bytes", "4000000\n");
    Put("fs/box/memory.max", "3000000\n");
    EXPECT_EQ(Limit("5:memory:/box\n0::/box\n"), 3000000u);
    EXPECT_FALSE(Limit("garbage\n::\n5:cpu:/box\n"));
    Put("fs/other/memory.max", "-5\n");
    EXPECT_FALSE(Limit("0::/other\n"));
    EXPECT_FALSE(ControlGroupMemoryLimit(dir_ / "fs", dir_ / "no-such-file", 0));
}

}  // namespace
