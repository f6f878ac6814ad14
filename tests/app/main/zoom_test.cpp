// The zoom ladder, the arithmetic that keeps a point in place between levels,
// and the resampling of the visible block, all without widgets.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "zoom_geometry.h"
#include "zoom_levels.h"
#include "zoom_resample.h"

using namespace calmora;

namespace {

constexpr double kThird = 1.0 / 3.0;

TEST(ZoomLevels, TheLadderTakesTheFitLevelInItsPlace) {
    struct Case {
        const char* desc;
        double fit;
        std::vector<double> levels;
    };
    const std::vector<double> fixed = {0.0625, 0.125, 0.25, kThird, 0.5, 2 * kThird,
                                       1.0,    1.5,   2.0,  3.0,    4.0, 8.0};
    const Case cases[] = {
        {"a picture that fits: the fixed levels", 1.0, fixed},
        {"a fit between two levels is added",
         0.45,
         {0.0625, 0.125, 0.25, kThird, 0.45, 0.5, 2 * kThird, 1.0, 1.5, 2.0, 3.0, 4.0, 8.0}},
        {"a level within a few per cent of the fit gives way",
         0.49,
         {0.0625, 0.125, 0.25, kThird, 0.49, 2 * kThird, 1.0, 1.5, 2.0, 3.0, 4.0, 8.0}},
        {"a fit just below true size keeps true size",
         0.98,
         {0.0625, 0.125, 0.25, kThird, 0.5, 2 * kThird, 0.98, 1.0, 1.5, 2.0, 3.0, 4.0, 8.0}},
        {"a long strip's fit lies below every fixed level",
         0.016,
         {0.016, 0.0625, 0.125, 0.25, kThird, 0.5, 2 * kThird, 1.0, 1.5, 2.0, 3.0, 4.0, 8.0}},
    };
    for (const Case& c : cases) {
        const std::vector<double> levels = ZoomLevels(c.fit);
        ASSERT_EQ(levels.size(), c.levels.size()) << c.desc;
        for (size_t i = 0; i < levels.size(); ++i) EXPECT_DOUBLE_EQ(levels[i], c.levels[i]) << c.desc;
    }
}

TEST(ZoomLevels, OneStepInOrOut) {
    struct Case {
        const char* desc;
        double current, fit;
        bool zoomIn;
        double next;
    };
    const Case cases[] = {
        {"in from true size", 1.0, 0.5, true, 1.5},
        {"out from true size", 1.0, 0.5, false, 2 * kThird},
        {"out from two thirds reaches the fit", 2 * kThird, 0.5, false, 0.5},
        {"out from the fit", 0.5, 0.5, false, kThird},
        {"in from the fit", 0.45, 0.45, true, 0.5},
        {"the largest level stays", 8.0, 0.5, true, 8.0},
        {"the smallest level stays", 0.0625, 1.0, false, 0.0625},
        {"a strip goes below the fixed levels to its fit", 0.0625, 0.016, false, 0.016},
        {"and no further", 0.016, 0.016, false, 0.016},
        {"a scale between levels steps to the next one up", 0.3, 1.0, true, kThird},
        {"a scale between levels steps to the next one down", 0.3, 1.0, false, 0.25},
        {"rounding does not count as a level", 1.0004, 1.0, true, 1.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(NextZoomLevel(c.current, c.fit, c.zoomIn), c.next) << c.desc;
    }
}

TEST(ZoomLevels, PercentagesInTenths) {
    EXPECT_EQ(ZoomPerMille(2.0), 2000);
    EXPECT_EQ(ZoomPerMille(0.125), 125);
    EXPECT_EQ(ZoomPerMille(kThird), 333);
    EXPECT_EQ(ZoomPerMille(2 * kThird), 667);
    EXPECT_EQ(ZoomPerMille(8.0), 8000);
}

TEST(ZoomGeometry, ZoomedLayoutIsTrueSizeOfTheScaledPicture) {
    struct Case {
        const char* desc;
        int32_t clientW, clientH, imageW, imageH;
        double scale;
        int32_t bar;
        TrueSizeLayout expected;
    };
    const Case cases[] = {
        {"200 %: both bars", 640, 480, 1280, 900, 2.0, 16, {0, 0, 624, 464, 1936, 1336, true, true, true}},
        {"odd sizes at 300 %", 500, 400, 333, 211, 3.0, 17, {0, 0, 483, 383, 516, 250, true, true, true}},
        {"a 1x1 picture at 800 % is centred", 640, 480, 1, 1, 8.0, 16, {316, 236, 8, 8, 0, 0, false, false, false}},
        {"a client smaller than a bar still has a pixel of view", 10, 10, 100, 100, 2.0, 16, {0, 0, 1, 1, 199, 199, true, true, true}},
        {"800 % of a 40 000-pixel strip: a range past 16 bits", 640, 480, 40000, 10, 8.0, 16, {0, 192, 640, 80, 319360, 0, true, false, true}},
        {"12.5 % of a large photo fits", 640, 480, 4000, 3000, 0.125, 16, {70, 52, 500, 375, 0, 0, false, false, false}},
    };
    for (const Case& c : cases) {
        const TrueSizeLayout got =
            LayoutZoomed(c.clientW, c.clientH, c.imageW, c.imageH, c.scale, c.bar);
        const TrueSizeLayout& e = c.expected;
        EXPECT_EQ(got.viewLeft, e.viewLeft) << c.desc;
        EXPECT_EQ(got.viewTop, e.viewTop) << c.desc;
        EXPECT_EQ(got.viewWidth, e.viewWidth) << c.desc;
        EXPECT_EQ(got.viewHeight, e.viewHeight) << c.desc;
        EXPECT_EQ(got.hScrollMax, e.hScrollMax) << c.desc;
        EXPECT_EQ(got.vScrollMax, e.vScrollMax) << c.desc;
        EXPECT_EQ(got.hScrollShown, e.hScrollShown) << c.desc;
        EXPECT_EQ(got.vScrollShown, e.vScrollShown) << c.desc;
    }
    EXPECT_EQ(ZoomedSide(3, 1e12), INT32_MAX) << "a scaled side never overflows";
    EXPECT_EQ(ZoomedSide(3, 0.01), 1) << "a scaled side is never empty";
}

ClientSpot CentreOf(const TrueSizeLayout& layout) {
    return ViewCentre(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
}

TEST(ZoomGeometry, TheCentrePointStaysBetweenLevels) {
    struct Case {
        const char* desc;
        int32_t clientW, clientH, imageW, imageH, bar;
        double fromScale;
        ScrollPosition from;
        double toScale;
        ScrollPosition to;
    };
    const Case cases[] = {
        {"true size to 200 %", 640, 480, 1280, 900, 16, 1.0, {100, 50}, 2.0, {512, 332}},
        {"200 % back to true size", 640, 480, 1280, 900, 16, 2.0, {512, 332}, 1.0, {100, 50}},
        {"true size to 50 %: the picture fits, nothing to scroll", 640, 480, 1280, 900, 16, 1.0, {100, 50}, 0.5, {0, 0}},
        {"odd sizes: the middle of the picture at 300 %", 500, 400, 333, 211, 17, 1.0, {0, 0}, 3.0, {258, 125}},
        {"a 1x1 picture: nothing to scroll at any level", 640, 480, 1, 1, 16, 1.0, {0, 0}, 8.0, {0, 0}},
        {"a client smaller than a bar", 10, 10, 100, 100, 16, 1.0, {50, 50}, 2.0, {100, 100}},
        {"800 % of a strip, from its middle", 640, 480, 40000, 10, 16, 1.0, {19680, 0}, 8.0, {159680, 0}},
        {"800 % of a strip, from its right end", 640, 480, 40000, 10, 16, 1.0, {39360, 0}, 8.0, {317120, 0}},
    };
    for (const Case& c : cases) {
        const TrueSizeLayout from =
            LayoutZoomed(c.clientW, c.clientH, c.imageW, c.imageH, c.fromScale, c.bar);
        const TrueSizeLayout to =
            LayoutZoomed(c.clientW, c.clientH, c.imageW, c.imageH, c.toScale, c.bar);
        const ViewMapping mapping{from.viewLeft, from.viewTop, c.from.x, c.from.y, c.fromScale};
        const ImagePoint point = PointUnder(mapping, CentreOf(from));
        const ScrollPosition got = ScrollBringing(to, c.toScale, point, CentreOf(to));
        EXPECT_EQ(got, c.to) << c.desc << ": got " << got.x << ", " << got.y;
    }
}

TEST(ZoomGeometry, ThePointUnderThePointerStaysWhereTheRangesAllow) {
    // 1280 x 900 in 640 x 480: the pointer at (100, 50) of the true-size view
    // scrolled to (30, 40) stays over image point (130, 90) at 200 % and 400 %.
    const TrueSizeLayout trueSize = LayoutZoomed(640, 480, 1280, 900, 1.0, 16);
    const ClientSpot pointer{100.5, 50.5};
    const ImagePoint point = PointUnder({0, 0, 30, 40, 1.0}, pointer);
    EXPECT_DOUBLE_EQ(point.x, 130.5);
    EXPECT_DOUBLE_EQ(point.y, 90.5);
    for (const double scale : {2.0, 4.0, 8.0}) {
        const TrueSizeLayout layout = LayoutZoomed(640, 480, 1280, 900, scale, 16);
        const ScrollPosition scroll = ScrollBringing(layout, scale, point, pointer);
        const ImagePoint after =
            PointUnder({layout.viewLeft, layout.viewTop, scroll.x, scroll.y, scale}, pointer);
        EXPECT_NEAR(after.x, point.x, 0.5 / scale) << scale;
        EXPECT_NEAR(after.y, point.y, 0.5 / scale) << scale;
    }
    // Near the top-left corner the range stops at 0: the corner stays in view.
    const ScrollPosition corner = ScrollBringing(trueSize, 1.0, {2.0, 2.0}, {600.0, 400.0});
    EXPECT_EQ(corner, (ScrollPosition{0, 0}));
    // The last pixel of a strip at 800 % under the centre: the range holds.
    const TrueSizeLayout strip = LayoutZoomed(640, 480, 40000, 10, 8.0, 16);
    EXPECT_EQ(ScrollBringing(strip, 8.0, {39999.5, 5.0}, CentreOf(strip)),
              (ScrollPosition{319360, 0}));
    // A fitted view maps through its place: its centre is the picture's centre.
    const ImagePoint fitted = PointUnder({0, 15, 0, 0, 0.5}, {320.0, 240.0});
    EXPECT_DOUBLE_EQ(fitted.x, 640.0);
    EXPECT_DOUBLE_EQ(fitted.y, 450.0);
}

// Rows of 24-bit pixels rounded up to 4 bytes, as the engine lays them out.
int64_t Stride(int32_t width) { return (3 * int64_t{width} + 3) / 4 * 4; }

// A picture in the buffer layout whose pixel (x, y) from the top has channel
// values given by value(x, y) (the same in blue, green and red unless tinted).
struct Picture {
    int32_t width, height;
    int64_t stride;
    std::vector<uint8_t> bits;

    Picture(int32_t w, int32_t h) : width(w), height(h), stride(Stride(w)),
                                     bits(static_cast<size_t>(stride * h), 0) {}
    uint8_t* At(int32_t x, int32_t y) { return bits.data() + (height - 1 - y) * stride + 3 * x; }
    void Set(int32_t x, int32_t y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    [[nodiscard]] ZoomSource Source() const { return {bits.data(), width, height, stride}; }
    [[nodiscard]] ZoomBlock Block() { return {bits.data(), width, height, stride}; }
};

Picture Numbered(int32_t w, int32_t h) {
    Picture picture(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            picture.Set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                        static_cast<uint8_t>(x + 10 * y));
    return picture;
}

// Every pixel (x, y) of block holds what the Numbered picture has at
// sourceOf(x, y).
template <typename SourceOf>
void ExpectNumberedPixels(Picture& block, SourceOf sourceOf) {
    for (int32_t y = 0; y < block.height; ++y)
        for (int32_t x = 0; x < block.width; ++x) {
            const auto [sx, sy] = sourceOf(x, y);
            const uint8_t* got = block.At(x, y);
            EXPECT_EQ(got[0], sx) << x << "," << y;
            EXPECT_EQ(got[1], sy) << x << "," << y;
            EXPECT_EQ(got[2], static_cast<uint8_t>(sx + 10 * sy)) << x << "," << y;
        }
}

TEST(ZoomResample, EnlargedPixelsAreSharpSquares) {
    Picture source = Numbered(3, 2);
    Picture block(6, 4);
    ASSERT_TRUE(ResampleZoomBlock(source.Source(), 2.0, 0, 0, block.Block()));
    ExpectNumberedPixels(block, [](int32_t x, int32_t y) { return std::pair(x / 2, y / 2); });
    // Scrolled by one screen pixel, the squares move by half an image pixel.
    Picture shifted(2, 1);
    ASSERT_TRUE(ResampleZoomBlock(source.Source(), 2.0, 1, 1, shifted.Block()));
    EXPECT_EQ(shifted.At(0, 0)[0], 0);
    EXPECT_EQ(shifted.At(1, 0)[0], 1);
}

TEST(ZoomResample, TrueScaleIsACopyOfTheBlock) {
    Picture source = Numbered(7, 5);
    Picture block(3, 2);
    ASSERT_TRUE(ResampleZoomBlock(source.Source(), 1.0, 4, 3, block.Block()));
    ExpectNumberedPixels(block, [](int32_t x, int32_t y) { return std::pair(4 + x, 3 + y); });
}

TEST(ZoomResample, ReducedPixelsAverageWhatTheyCover) {
    // A checkerboard of black and white pixels, the worst noise there is: at
    // half size every screen pixel is mid-grey, not black or white (which
    // picking one pixel of each block would show, as a flat false colour).
    Picture board(8, 8);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            const uint8_t v = (x + y) % 2 ? 255 : 0;
            board.Set(x, y, v, v, v);
        }
    for (const double scale : {0.5, 0.25}) {
        Picture block(static_cast<int32_t>(8 * scale), static_cast<int32_t>(8 * scale));
        ASSERT_TRUE(ResampleZoomBlock(board.Source(), scale, 0, 0, block.Block()));
        for (int32_t y = 0; y < block.height; ++y)
            for (int32_t x = 0; x < block.width; ++x) EXPECT_EQ(block.At(x, y)[1], 128) << scale;
    }
    // Each channel on its own, rounded to the nearest level.
    Picture source(4, 2);
    source.Set(0, 0, 0, 10, 200);
    source.Set(1, 0, 1, 20, 200);
    source.Set(0, 1, 2, 30, 100);
    source.Set(1, 1, 3, 40, 100);
    Picture block(1, 1);
    ASSERT_TRUE(ResampleZoomBlock(source.Source(), 0.5, 0, 0, block.Block()));
    EXPECT_EQ(block.At(0, 0)[0], 2);  // 1.5 rounds up
    EXPECT_EQ(block.At(0, 0)[1], 25);
    EXPECT_EQ(block.At(0, 0)[2], 150);
    // The second screen pixel covers the right half only.
    Picture right(1, 1);
    ASSERT_TRUE(ResampleZoomBlock(source.Source(), 0.5, 1, 0, right.Block()));
    EXPECT_EQ(right.At(0, 0)[1], 0);
}

TEST(ZoomResample, AThirdCoversThreePixelsAndTheEdgeWhatIsLeft) {
    Picture row(10, 1);
    for (int32_t x = 0; x < 10; ++x) row.Set(x, 0, static_cast<uint8_t>(25 * x), 0, 0);
    Picture block(4, 1);
    ASSERT_TRUE(ResampleZoomBlock(row.Source(), kThird, 0, 0, block.Block()));
    EXPECT_EQ(block.At(0, 0)[0], 25);   // 0, 25, 50
    EXPECT_EQ(block.At(1, 0)[0], 100);  // 75, 100, 125
    EXPECT_EQ(block.At(2, 0)[0], 175);  // 150, 175, 200
    EXPECT_EQ(block.At(3, 0)[0], 225) << "the last pixel alone, nothing read past the edge";
}

TEST(ZoomResample, TheEndOfALongStripAt800Percent) {
    Picture strip(40000, 1);
    for (int32_t x = 0; x < 40000; ++x) strip.Set(x, 0, static_cast<uint8_t>(x % 251), 0, 0);
    Picture block(640, 1);
    ASSERT_TRUE(ResampleZoomBlock(strip.Source(), 8.0, 319360, 0, block.Block()));
    EXPECT_EQ(block.At(0, 0)[0], 39920 % 251);
    EXPECT_EQ(block.At(7, 0)[0], 39920 % 251);
    EXPECT_EQ(block.At(8, 0)[0], 39921 % 251);
    EXPECT_EQ(block.At(639, 0)[0], 39999 % 251);
}

TEST(ZoomResample, RefusesWhatItCannotDraw) {
    Picture source = Numbered(2, 2);
    Picture block(2, 2);
    const ZoomSource empty{nullptr, 2, 2, source.stride};
    EXPECT_FALSE(ResampleZoomBlock(empty, 1.0, 0, 0, block.Block()));
    EXPECT_FALSE(ResampleZoomBlock(source.Source(), 0.0, 0, 0, block.Block()));
    EXPECT_FALSE(ResampleZoomBlock(source.Source(), -2.0, 0, 0, block.Block()));
    EXPECT_FALSE(ResampleZoomBlock({source.bits.data(), 0, 2, source.stride}, 1.0, 0, 0,
                                   block.Block()));
}

}  // namespace
