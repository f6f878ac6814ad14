// Area marking: the selection rectangle's outline with the bytes it covered
// saved, and darkening outside the selection.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "KcDenoise.h"
#include "oracle.h"
#include "random_pixels.h"

using kc_oracle::GuardAt;
using kc_oracle::GuardedBuffer;
using kc_oracle::PaddingDifference;
using kc_oracle::Stride;
using namespace kc_pixels;

namespace {

TEST(DrawRect, OutlineIsWhiteAndSaveBufferHoldsTheLastEdge) {
    const int32_t w = 9, h = 7;
    const std::vector<uint8_t> before = RandomImage(w, h, 9);
    const int64_t st = Stride(w);
    // Rectangle at column 2, row 1, 4 wide and 3 high: the save buffer needs
    // max(4, 3) pixels and holds exactly that.
    struct Rect {
        int32_t x, y, rw, rh;
    };
    for (const Rect r : {Rect{2, 1, 4, 3}, Rect{1, 0, 2, 6}, Rect{3, 3, 1, 1}}) {
        SCOPED_TRACE(std::to_string(r.rw) + "x" + std::to_string(r.rh));
        std::vector<uint8_t> img = before;
        const int32_t slots = std::max(r.rw, r.rh);
        GuardedBuffer save(size_t(slots) * 3, 0x33);
        EXPECT_EQ(0, KcDrawRect(img.data(), save.data(), w, 12345, r.x, r.y, r.rw, r.rh));

        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const bool inRect = x >= r.x && x < r.x + r.rw && y >= r.y && y < r.y + r.rh;
                const bool edge = inRect && (x == r.x || x == r.x + r.rw - 1 || y == r.y ||
                                             y == r.y + r.rh - 1);
                const uint8_t* got = PixelAt(img.data(), st, x, y);
                if (edge) {
                    ASSERT_TRUE(got[0] == 255 && got[1] == 255 && got[2] == 255)
                        << "x " << x << " y " << y;
                } else {
                    ASSERT_EQ(0, std::memcmp(PixelAt(before.data(), st, x, y), got, 3))
                        << "x " << x << " y " << y;
                }
            }
        EXPECT_EQ("", PaddingDifference(img.data(), w, h, kPad));

        // Edges run bottom, top, left, right, each saving from slot 0. The
        // right edge saves last; its end pixels were already whitened by the
        // bottom and top edges. Slots beyond the height keep the top edge's.
        const auto white = std::vector<uint8_t>{255, 255, 255};
        for (int32_t i = 0; i < slots; ++i) {
            std::vector<uint8_t> want;
            if (i < r.rh) {
                const bool corner = i == 0 || i == r.rh - 1;
                const uint8_t* p = PixelAt(before.data(), st, r.x + r.rw - 1, r.y + i);
                want = corner ? white : std::vector<uint8_t>(p, p + 3);
            } else {
                const uint8_t* p = PixelAt(before.data(), st, r.x + i, r.y + r.rh - 1);
                want = std::vector<uint8_t>(p, p + 3);
            }
            EXPECT_EQ(want, std::vector<uint8_t>(save.data() + 3 * i, save.data() + 3 * i + 3))
                << "save slot " << i;
        }
    }
}

TEST(DrawRect, EmptyRectangleDrawsNothing) {
    // Zero width or height would otherwise put the right column or the top
    // row outside the rectangle, before the buffer's start at the origin.
    const int32_t w = 4, h = 4;
    const std::vector<uint8_t> before = RandomImage(w, h, 10);
    for (const auto& wh : {std::pair<int32_t, int32_t>{0, 3}, {3, 0}, {0, 0}, {-1, 2}}) {
        GuardedBuffer img(before.size(), 0, GuardAt::Start);
        std::memcpy(img.data(), before.data(), before.size());
        uint8_t save[12] = {};
        KcDrawRect(img.data(), save, w, 0, 0, 0, wh.first, wh.second);
        EXPECT_EQ(0, std::memcmp(before.data(), img.data(), before.size()))
            << wh.first << "x" << wh.second;
        EXPECT_EQ(0, save[0]);
    }
}

TEST(Darken, BytesLoseSixtyFourDownToZero) {
    const uint8_t in[] = {0, 1, 63, 64, 65, 128, 254, 255, 100};
    const uint8_t out[] = {0, 0, 0, 0, 1, 64, 190, 191, 36};
    // 3 pixels in one row; stride 12 leaves 3 padding bytes.
    std::vector<uint8_t> src(12, kPad);
    std::memcpy(src.data(), in, 9);
    std::vector<uint8_t> rows(12, 0x11), cols(12, 0x11);
    EXPECT_EQ(0, KcReduceLumRows(0, 0, src.data(), rows.data(), 3, 12, 0));
    EXPECT_EQ(0, KcReduceLumCols(0, 0, src.data(), cols.data(), 0, 12, 0, 0, 2));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(out[i], rows[i]) << "byte " << in[i];
        EXPECT_EQ(out[i], cols[i]) << "byte " << in[i];
    }
    for (int i = 9; i < 12; ++i) {
        EXPECT_EQ(0x11, rows[i]);
        EXPECT_EQ(0x11, cols[i]);
    }
}

TEST(Darken, CoversOnlyTheGivenRowsAndColumnsInPlaceToo) {
    const int32_t w = 8, h = 6;
    const int32_t st = int32_t(Stride(w));
    const std::vector<uint8_t> src = RandomImage(w, h, 11);
    auto darker = [](uint8_t v) { return v > 64 ? uint8_t(v - 64) : uint8_t(0); };
    struct Case {
        const char* desc;
        int32_t r0, r1, c0, c1;  // c0 < 0: the whole-rows form
    };
    const Case cases[] = {
        {"rectangle", 1, 3, 2, 5, },
        {"single pixel", 5, 5, 7, 7},
        {"no rows", 3, 2, 0, 7},
        {"no columns", 0, 5, 4, 3},
        {"whole rows", 2, 4, -1, -1},
        {"whole rows, none", 4, 2, -1, -1},
    };
    for (const Case& c : cases) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(std::string(c.desc) + (inPlace ? " in place" : ""));
            std::vector<uint8_t> dst = inPlace ? src : std::vector<uint8_t>(src.size(), 0x11);
            const std::vector<uint8_t> before = dst;
            const uint8_t* from = inPlace ? dst.data() : src.data();
            if (c.c0 < 0)
                KcReduceLumRows(c.r0, c.r1, from, dst.data(), w, st, 0);
            else
                KcReduceLumCols(c.r0, c.r1, from, dst.data(), 0, st, 0, c.c0, c.c1);
            const int32_t c0 = c.c0 < 0 ? 0 : c.c0, c1 = c.c0 < 0 ? w - 1 : c.c1;
            for (int32_t y = 0; y < h; ++y)
                for (int64_t i = 0; i < st; ++i) {
                    const int64_t x = i / 3;
                    const bool covered =
                        i < 3 * w && y >= c.r0 && y <= c.r1 && x >= c0 && x <= c1;
                    const uint8_t want =
                        covered ? darker(src[y * st + i]) : before[y * st + i];
                    ASSERT_EQ(want, dst[y * st + i]) << "row " << y << " byte " << i;
                }
        }
    }
}

}  // namespace
