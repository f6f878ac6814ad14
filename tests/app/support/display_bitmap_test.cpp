#include "display_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include "case_name.h"

namespace calmora {
namespace {

TEST(CreaDIB, StrideAndHeaderFollowTheBufferLayout) {
    DisplayBitmap bitmap;
    ASSERT_TRUE(CreaDIB(bitmap, 1, 5));
    EXPECT_EQ(bitmap.stride(), 4);
    EXPECT_EQ(bitmap.info.sizeImage, 20);
    EXPECT_EQ(bitmap.info.size, 40);
    EXPECT_EQ(bitmap.info.planes, 1);
    EXPECT_EQ(bitmap.info.bitCount, 24);
    EXPECT_EQ(bitmap.info.compression, 0);
    ASSERT_TRUE(bitmap.made());
    for (int i = 0; i < 20; ++i) EXPECT_EQ(bitmap.bits[i], 0) << i;

    // Remade at another size: the old pixels are let go, the new ones are blank.
    std::memset(bitmap.bits, 0xAB, 20);
    ASSERT_TRUE(CreaDIB(bitmap, 4, 3));
    EXPECT_EQ(bitmap.stride(), 12);
    EXPECT_EQ(bitmap.info.sizeImage, 36);
    EXPECT_EQ(bitmap.bits[35], 0);
}

TEST(CreaDIB, ImpossibleSizesFailWithoutPixels) {
    DisplayBitmap bitmap;
    ASSERT_TRUE(CreaDIB(bitmap, 2, 2));
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-3, 4}, {0x7fffffff, 1}, {20000, 200000},
                        {1, 0x7fffffff}}) {
        EXPECT_FALSE(CreaDIB(bitmap, w, h)) << w << "x" << h;
        EXPECT_FALSE(bitmap.made());
        EXPECT_EQ(bitmap.bits, nullptr);
    }
}

// A w x h buffer whose pixel at (x, y counted from the top) is (x, y, 7).
std::vector<uint8_t> Numbered(int w, int h) {
    const int64_t stride = BufferStride(w);
    std::vector<uint8_t> buffer(size_t(stride * h), 0xEE);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = buffer.data() + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            row[3 * x] = uint8_t(x);
            row[3 * x + 1] = uint8_t(y);
            row[3 * x + 2] = 7;
        }
    }
    return buffer;
}

struct BlockCase {
    const char* desc;
    int srcX, srcY, blockW, blockH;
};

class CopyBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(CopyBlockTest, AsSeenOnScreen) {
    const BlockCase& c = GetParam();
    const int w = 7, h = 5;
    const std::vector<uint8_t> source = Numbered(w, h);
    const int64_t stride = BufferStride(c.blockW);
    std::vector<uint8_t> block(size_t(stride * c.blockH), 0);
    ASSERT_TRUE(CopyImageBlock(block.data(), 0, 0, c.blockW, c.blockH, source.data(), c.srcX,
                               c.srcY, w, h));
    for (int y = 0; y < c.blockH; ++y) {
        const uint8_t* row = block.data() + (c.blockH - 1 - y) * stride;
        for (int x = 0; x < c.blockW; ++x) {
            EXPECT_EQ(row[3 * x], c.srcX + x) << c.desc << " at " << x << "," << y;
            EXPECT_EQ(row[3 * x + 1], c.srcY + y) << c.desc << " at " << x << "," << y;
            EXPECT_EQ(row[3 * x + 2], 7) << c.desc;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, CopyBlockTest,
    ::testing::Values(BlockCase{"top-left corner", 0, 0, 3, 2},
                      BlockCase{"top rows, offset column", 4, 0, 3, 3},
                      BlockCase{"bottom-right corner", 5, 3, 2, 2},
                      BlockCase{"middle, one pixel", 3, 2, 1, 1},
                      BlockCase{"whole image", 0, 0, 7, 5}),
    calmora_test::NameFromDesc());

TEST(CopyImageBlock, WholeImageMatchesOneBlockMove) {
    // A width of 4 has no row padding, so every byte is picture.
    const std::vector<uint8_t> source = Numbered(4, 3);
    DisplayBitmap view;
    ASSERT_TRUE(CreaDIB(view, 4, 3));
    ASSERT_TRUE(CopyImageBlock(view.bits, 0, 0, 4, 3, source.data(), 0, 0, 4, 3));
    EXPECT_EQ(std::memcmp(view.bits, source.data(), size_t(view.info.sizeImage)), 0);
}

}  // namespace
}  // namespace calmora
