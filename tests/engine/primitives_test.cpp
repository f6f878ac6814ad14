// The small pixel exports: channel views, rotation, resampling and block
// copy (area marking has its own file).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "oracle.h"
#include "random_pixels.h"

using kc_oracle::FirstDifference;
using kc_oracle::GuardAt;
using kc_oracle::GuardedBuffer;
using kc_oracle::ImageBytes;
using kc_oracle::PaddingDifference;
using kc_oracle::Stride;
using namespace kc_pixels;

namespace {

struct Size {
    int32_t w, h;
};
const Size kSizes[] = {{1, 1}, {2, 1}, {1, 2}, {1, 7}, {7, 1}, {3, 3}, {4, 5}, {5, 4}, {13, 6}, {6, 13}};

std::string Name(const Size& s) { return std::to_string(s.w) + "x" + std::to_string(s.h); }

// ---------------------------------------------------------------------------
// Channel views

TEST(ChannelExtract, OnePixelGivesItsChannelInAllThreeBytes) {
    std::vector<uint8_t> img(4, kPad);
    img[0] = 10;  // blue
    img[1] = 20;  // green
    img[2] = 30;  // red
    const struct {
        int32_t (*fn)(const uint8_t*, uint8_t*, int32_t, int32_t);
        uint8_t expected;
    } cases[] = {{KcEstraiRed, 30}, {KcEstraiGreen, 20}, {KcEstraiBlue, 10}};
    for (const auto& c : cases) {
        std::vector<uint8_t> out(4, kPad);
        EXPECT_EQ(0, c.fn(img.data(), out.data(), 1, 1));
        EXPECT_EQ((std::vector<uint8_t>{c.expected, c.expected, c.expected, kPad}), out);
    }
}

TEST(ChannelExtract, RandomImagesSeparateAndInPlace) {
    const struct {
        const char* name;
        int32_t (*fn)(const uint8_t*, uint8_t*, int32_t, int32_t);
        int channel;
    } exports[] = {{"KcEstraiRed", KcEstraiRed, 2},
                   {"KcEstraiGreen", KcEstraiGreen, 1},
                   {"KcEstraiBlue", KcEstraiBlue, 0}};
    for (const Size& size : kSizes) {
        const std::vector<uint8_t> src = RandomImage(size.w, size.h, size.w * 31 + size.h);
        for (const auto& e : exports) {
            SCOPED_TRACE(std::string(e.name) + " " + Name(size));
            std::vector<uint8_t> expected = src;
            const int64_t stride = Stride(size.w);
            for (int32_t y = 0; y < size.h; ++y)
                for (int32_t x = 0; x < size.w; ++x)
                    for (int c = 0; c < 3; ++c)
                        expected[y * stride + 3 * x + c] = src[y * stride + 3 * x + e.channel];

            // Separate destination, ending at a guard page and padded with a marker.
            GuardedBuffer dst(src.size(), kPad);
            e.fn(src.data(), dst.data(), size.w, size.h);
            EXPECT_EQ("", FirstDifference(expected.data(), dst.data(), size.w, size.h, true));

            std::vector<uint8_t> inPlace = src;
            e.fn(inPlace.data(), inPlace.data(), size.w, size.h);
            EXPECT_EQ("", FirstDifference(expected.data(), inPlace.data(), size.w, size.h, true));
        }
    }
}

// ---------------------------------------------------------------------------
// Rotation

TEST(Rotate, TwoPixelRowBecomesColumnWithRightPixelOnTop) {
    // One row, A then B. Result: one pixel wide, two rows; buffer row 1 is the
    // top line. A 1-pixel row has stride 4, so each result row has a pad byte.
    const uint8_t src[8] = {1, 2, 3, 4, 5, 6, kPad, kPad};  // A = 1,2,3  B = 4,5,6
    uint8_t dst[8];
    std::memset(dst, 0x77, sizeof dst);
    EXPECT_EQ(0, KcRuota90Antiorario(src, dst, 2, 1));
    const uint8_t expected[8] = {1, 2, 3, 0x77, 4, 5, 6, 0x77};
    EXPECT_EQ(0, std::memcmp(expected, dst, sizeof dst));
}

TEST(Rotate, RandomImagesMatchQuarterTurnFourTurnsAreIdentity) {
    for (const Size& size : kSizes) {
        SCOPED_TRACE(Name(size));
        const int32_t w = size.w, h = size.h;
        const std::vector<uint8_t> src = RandomImage(w, h, w * 17 + h);
        GuardedBuffer dst(ImageBytes(h, w), kPad);
        KcRuota90Antiorario(src.data(), dst.data(), w, h);

        // In picture terms (row h-1 is the top line): the picture's top-right
        // pixel becomes the result's top-left, its top-left the bottom-left.
        const int64_t ss = Stride(w), ds = Stride(h);
        for (int32_t x = 0; x < w; ++x)
            for (int32_t y = 0; y < h; ++y) {
                // Source pixel (x, y) lands at column h-1-y of destination row x.
                ASSERT_EQ(0, std::memcmp(PixelAt(src.data(), ss, x, y),
                                         PixelAt(dst.data(), ds, h - 1 - y, x), 3))
                    << "source column " << x << " row " << y;
            }
        EXPECT_EQ("", PaddingDifference(dst.data(), h, w, kPad));

        std::vector<uint8_t> a(ImageBytes(w, h), kPad), b(ImageBytes(h, w), kPad);
        KcRuota90Antiorario(dst.data(), a.data(), h, w);  // half turn
        KcRuota90Antiorario(a.data(), b.data(), w, h);    // three quarters
        std::vector<uint8_t> back(ImageBytes(w, h), kPad);
        KcRuota90Antiorario(b.data(), back.data(), h, w);
        EXPECT_EQ("", FirstDifference(src.data(), back.data(), w, h, true));
    }
}

// ---------------------------------------------------------------------------
// Resampling

// Each pixel names its own column and row, so a destination pixel tells
// which source pixel it came from.
std::vector<uint8_t> CoordinateImage(int32_t w, int32_t h, int64_t stride) {
    std::vector<uint8_t> img(static_cast<size_t>(stride * h), kPad);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = img.data() + y * stride + 3 * x;
            p[0] = static_cast<uint8_t>(x & 0xFF);
            p[1] = static_cast<uint8_t>(y & 0xFF);
            p[2] = static_cast<uint8_t>((x >> 8) | ((y >> 8) << 4));
        }
    return img;
}

void ExpectFrom(const uint8_t* dst, int64_t dstStride, int32_t j, int32_t i, int32_t x,
                int32_t y) {
    const uint8_t* p = dst + i * dstStride + 3 * j;
    const int gotX = p[0] | ((p[2] & 0x0F) << 8);
    const int gotY = p[1] | ((p[2] >> 4) << 8);
    EXPECT_EQ(x, gotX) << "destination column " << j << " row " << i;
    EXPECT_EQ(y, gotY) << "destination column " << j << " row " << i;
}

TEST(NearestResampling, HalvingUsesTheSmallerRatioForBothAxes) {
    // 639/319 < 479/239: rows also step by 639/319, so the top row comes from
    // source row 478 rather than 479. The last column lands exactly on 639.
    const int32_t sw = 640, sh = 480, dw = 320, dh = 240;
    const std::vector<uint8_t> src = CoordinateImage(sw, sh, Stride(sw));
    GuardedBuffer dst(ImageBytes(dw, dh), kPad);
    EXPECT_EQ(0, KcNearestResampling(src.data(), dst.data(), sw, Stride(sw), sh, dw, Stride(dw),
                                     dh));
    for (int32_t i = 0; i < dh; ++i)
        for (int32_t j = 0; j < dw; ++j) ExpectFrom(dst.data(), Stride(dw), j, i, 639 * j / 319, 639 * i / 319);
    ExpectFrom(dst.data(), Stride(dw), 319, 239, 639, 478);
}

TEST(NearestResampling, VerticalRatioIsHeldInSinglePrecision) {
    // 6x6 to 2x4: rx = 5, ry = 5/3. As a float 5/3 is a little below the true
    // ratio, so destination row 3 takes source row 4 (4.9999998), not 5.
    const int32_t sw = 6, sh = 6, dw = 2, dh = 4;
    const std::vector<uint8_t> src = CoordinateImage(sw, sh, Stride(sw));
    std::vector<uint8_t> dst(ImageBytes(dw, dh), kPad);
    KcNearestResampling(src.data(), dst.data(), sw, Stride(sw), sh, dw, Stride(dw), dh);
    ExpectFrom(dst.data(), Stride(dw), 0, 1, 0, 1);
    ExpectFrom(dst.data(), Stride(dw), 1, 2, 1, 3);
    ExpectFrom(dst.data(), Stride(dw), 1, 3, 1, 4);
}

TEST(NearestResampling, CallerStridesAndPaddingAreRespected) {
    // Strides wider than the standard one: the bytes between are not touched.
    const int32_t sw = 9, sh = 7, dw = 5, dh = 4;
    const int64_t ss = 40, ds = 24;
    const std::vector<uint8_t> src = CoordinateImage(sw, sh, ss);
    std::vector<uint8_t> dst(static_cast<size_t>(ds * dh), kPad);
    KcNearestResampling(src.data(), dst.data(), sw, int32_t(ss), sh, dw, int32_t(ds), dh);
    // rx = 8/4 = 2, ry = 6/3 = 2.
    for (int32_t i = 0; i < dh; ++i) {
        for (int32_t j = 0; j < dw; ++j) ExpectFrom(dst.data(), ds, j, i, 2 * j, 2 * i);
        for (int64_t k = 3 * dw; k < ds; ++k) EXPECT_EQ(kPad, dst[i * ds + k]) << "row " << i;
    }
}

TEST(NearestResampling, OnePixelWideOrHighStaysInsideTheSource) {
    const int32_t sw = 50, sh = 30;
    const std::vector<uint8_t> image = CoordinateImage(sw, sh, Stride(sw));
    GuardedBuffer src(image.size());
    std::memcpy(src.data(), image.data(), image.size());
    struct Case {
        int32_t dw, dh;
        int32_t lastX, lastY;  // source pixel of the last destination pixel
    };
    // Single column: scale from the rows (29/9); single row: from the columns
    // (49/9); single pixel: the source's first pixel.
    const Case cases[] = {{1, 10, 0, 29}, {10, 1, 49, 0}, {1, 1, 0, 0}, {1, 30, 0, 29}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dw) + "x" + std::to_string(c.dh));
        GuardedBuffer dst(ImageBytes(c.dw, c.dh), kPad);
        KcNearestResampling(src.data(), dst.data(), sw, Stride(sw), sh, c.dw, Stride(c.dw), c.dh);
        ExpectFrom(dst.data(), Stride(c.dw), 0, 0, 0, 0);
        ExpectFrom(dst.data(), Stride(c.dw), c.dw - 1, c.dh - 1, c.lastX, c.lastY);
        EXPECT_EQ("", PaddingDifference(dst.data(), c.dw, c.dh, kPad));
    }
}

TEST(NearestResampling, EmptySourceOrDestinationWritesNothing) {
    const std::vector<uint8_t> src = CoordinateImage(4, 4, Stride(4));
    std::vector<uint8_t> dst(ImageBytes(4, 4), kPad);
    const std::vector<uint8_t> untouched = dst;
    KcNearestResampling(src.data(), dst.data(), 0, 0, 4, 4, Stride(4), 4);
    KcNearestResampling(src.data(), dst.data(), 4, Stride(4), 0, 4, Stride(4), 4);
    KcNearestResampling(src.data(), dst.data(), 4, Stride(4), 4, 0, 0, 4);
    KcNearestResampling(src.data(), dst.data(), 4, Stride(4), 4, 4, Stride(4), -1);
    EXPECT_EQ(untouched, dst);
}

// ---------------------------------------------------------------------------
// Block copy

TEST(BitBlt, CopiesTheBlockBetweenDifferentStrides) {
    const int32_t sw = 11, sh = 9, dw = 7, dh = 8;
    const std::vector<uint8_t> src = RandomImage(sw, sh, 5);
    const std::vector<uint8_t> before = RandomImage(dw, dh, 6);
    std::vector<uint8_t> dst = before;
    // 4x3 block from source (5, 2) to destination (2, 4).
    EXPECT_EQ(0, KcBitBlt(dst.data(), 2, 4, 4, int32_t(Stride(dw)), 3, src.data(), 5, 2,
                          int32_t(Stride(sw))));
    for (int32_t y = 0; y < dh; ++y)
        for (int32_t x = 0; x < dw; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 4 && y < 7;
            const uint8_t* want = inside ? PixelAt(src.data(), Stride(sw), x - 2 + 5, y - 4 + 2)
                                         : PixelAt(before.data(), Stride(dw), x, y);
            ASSERT_EQ(0, std::memcmp(want, PixelAt(dst.data(), Stride(dw), x, y), 3))
                << "x " << x << " y " << y;
        }
    EXPECT_EQ("", PaddingDifference(dst.data(), dw, dh, kPad));
}

TEST(BitBlt, EmptyWidthOrHeightCopiesNothing) {
    const std::vector<uint8_t> src = RandomImage(5, 5, 7);
    std::vector<uint8_t> dst(ImageBytes(5, 5), 0);
    const int32_t st = int32_t(Stride(5));
    for (const auto& wh : {std::pair<int32_t, int32_t>{0, 3}, {-2, 3}, {3, 0}, {3, -1}}) {
        KcBitBlt(dst.data(), 0, 0, wh.first, st, wh.second, src.data(), 0, 0, st);
        EXPECT_EQ(std::vector<uint8_t>(dst.size(), 0), dst) << wh.first << "x" << wh.second;
    }
}

TEST(BitBlt, WholeImageIntoGuardedBuffersReachesTheLastByteOnly) {
    for (const Size& size : kSizes) {
        const std::vector<uint8_t> src = RandomImage(size.w, size.h, 8);
        const size_t used = ImageBytes(size.w, size.h) - (Stride(size.w) - 3 * size.w);
        GuardedBuffer from(used), to(used, kPad);
        std::memcpy(from.data(), src.data(), used);
        const int32_t st = int32_t(Stride(size.w));
        KcBitBlt(to.data(), 0, 0, size.w, st, size.h, from.data(), 0, 0, st);
        EXPECT_EQ(0, std::memcmp(from.data(), to.data(), used)) << Name(size);
    }
}

TEST(BitBlt, RowOffsetsBeyondFourGibibytes) {
    // Row 3 of a 1.5e9-byte stride starts 4.5e9 bytes in.
    const int32_t stride = 1500000000;
    kc_oracle::SparseBuffer big(size_t(stride) * 4);
    if (!big.valid()) GTEST_SKIP() << "no sparse mapping";
    const uint8_t block[6] = {1, 2, 3, 4, 5, 6};
    KcBitBlt(big.data(), 1, 3, 2, stride, 1, block, 0, 0, 6);
    EXPECT_EQ(0, std::memcmp(block, big.data() + 3 * int64_t{stride} + 3, 6));
    uint8_t back[6] = {};
    KcBitBlt(back, 0, 0, 2, 6, 1, big.data(), 1, 3, stride);
    EXPECT_EQ(0, std::memcmp(block, back, 6));
}

}  // namespace
