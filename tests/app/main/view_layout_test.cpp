#include "view_layout.h"

#include <gtest/gtest.h>

#include <limits>

using namespace calmora;

namespace {

constexpr int kBar = 16;  // thickness of both scroll bars in these tables

struct LayoutCase {
    const char* desc;
    int cw, ch, w, h;
    TrueSizeLayout expected;
};

TrueSizeLayout Layout(int left, int top, int width, int height, int hMax, int vMax, bool hBar,
                      bool vBar) {
    TrueSizeLayout l;
    l.viewLeft = left;
    l.viewTop = top;
    l.viewWidth = width;
    l.viewHeight = height;
    l.hScrollMax = hMax;
    l.vScrollMax = vMax;
    l.hScrollShown = hBar;
    l.vScrollShown = vBar;
    l.sizeMenuVisible = hBar || vBar;
    return l;
}

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.desc; }

class LayoutTrueSizeTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTrueSizeTable, PlacesViewAndBars) {
    const LayoutCase& c = GetParam();
    const TrueSizeLayout got = LayoutTrueSize(c.cw, c.ch, c.w, c.h, kBar, kBar);
    const TrueSizeLayout& e = c.expected;
    EXPECT_EQ(got.viewLeft, e.viewLeft);
    EXPECT_EQ(got.viewTop, e.viewTop);
    EXPECT_EQ(got.viewWidth, e.viewWidth);
    EXPECT_EQ(got.viewHeight, e.viewHeight);
    EXPECT_EQ(got.hScrollMax, e.hScrollMax);
    EXPECT_EQ(got.vScrollMax, e.vScrollMax);
    EXPECT_EQ(got.hScrollShown, e.hScrollShown);
    EXPECT_EQ(got.vScrollShown, e.vScrollShown);
    EXPECT_EQ(got.sizeMenuVisible, e.sizeMenuVisible);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutTrueSizeTable,
    ::testing::Values(
        LayoutCase{"small image centred, no bars, nothing to fit", 1000, 700, 400, 300,
                   Layout(300, 200, 400, 300, 0, 0, false, false)},
        LayoutCase{"odd margins round half to even: 299.5 -> 300, 198.5 -> 198", 1000, 700, 401,
                   303, Layout(300, 198, 401, 303, 0, 0, false, false)},
        LayoutCase{"image exactly the client size fits", 1000, 700, 1000, 700,
                   Layout(0, 0, 1000, 700, 0, 0, false, false)},
        LayoutCase{"10 px wider, low: horizontal bar only, centred above it", 1000, 700, 1010,
                   500, Layout(0, 92, 1000, 500, 10, 0, true, false)},
        LayoutCase{"wider and exactly as high as the space above the bar", 1000, 700, 1010, 684,
                   Layout(0, 0, 1000, 684, 10, 0, true, false)},
        LayoutCase{"wider and one pixel higher than that: both bars", 1000, 700, 1010, 685,
                   Layout(0, 0, 984, 684, 26, 1, true, true)},
        LayoutCase{"taller, narrow: vertical bar only, centred left of it", 1000, 700, 501, 900,
                   Layout(242, 0, 501, 700, 0, 200, false, true)},
        LayoutCase{"taller and exactly as wide as the space left of the bar", 1000, 700, 984,
                   701, Layout(0, 0, 984, 700, 0, 1, false, true)},
        LayoutCase{"taller and one pixel wider than that: both bars", 1000, 700, 985, 701,
                   Layout(0, 0, 984, 684, 1, 17, true, true)},
        LayoutCase{"larger both ways", 1000, 700, 4000, 3000,
                   Layout(0, 0, 984, 684, 3016, 2316, true, true)},
        LayoutCase{"excess beyond 16 bits keeps its whole range", 1000, 700, 70000, 40000,
                   Layout(0, 0, 984, 684, 69016, 39316, true, true)},
        LayoutCase{"client thinner than a bar still gives a one-pixel view", 10, 10, 100, 100,
                   Layout(0, 0, 1, 1, 99, 99, true, true)}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) {
        return "case" + std::to_string(info.index);
    });

struct FitCase {
    const char* desc;
    int cw, ch, w, h;
    float scale;
    int width, height, left, top, percent;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.desc; }

class ComputeFitTable : public ::testing::TestWithParam<FitCase> {};

TEST_P(ComputeFitTable, ScalesAndCentres) {
    const FitCase& c = GetParam();
    const FitGeometry fit = ComputeFit(c.cw, c.ch, c.w, c.h);
    SCOPED_TRACE(c.desc);
    EXPECT_FLOAT_EQ(fit.fitScale, c.scale);
    EXPECT_EQ(fit.fitWidth, c.width);
    EXPECT_EQ(fit.fitHeight, c.height);
    EXPECT_EQ(fit.fitLeft, c.left);
    EXPECT_EQ(fit.fitTop, c.top);
    EXPECT_EQ(fit.fitPercent, c.percent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComputeFitTable,
    ::testing::Values(
        FitCase{"4000x3000 in 1000x700: height decides", 1000, 700, 4000, 3000,
                static_cast<float>(700.0 / 3000.0), 933, 700, 34, 0, 23},
        FitCase{"never enlarged: a small image keeps scale 1, centred", 1000, 700, 400, 300, 1.0f,
                400, 300, 300, 200, 100},
        FitCase{"width decides for a wide image", 1000, 700, 3000, 1000,
                static_cast<float>(1000.0 / 3000.0), 1000, 333, 0, 184, 33},
        FitCase{"only one side too large still fits the whole image", 1000, 700, 500, 1400, 0.5f,
                250, 700, 375, 0, 50},
        FitCase{"a half-pixel height rounds to even", 150, 100, 300, 101, 0.5f, 150, 50, 0, 25,
                50},
        FitCase{"a half percent rounds to even", 100, 100, 800, 800, 0.125f, 100, 100, 0, 0, 12},
        FitCase{"470 / 2000 is 23.5 percent, even 24, though its single value is below 0.235",
                1000, 470, 2000, 2000, static_cast<float>(470.0 / 2000.0), 470, 470, 265, 0, 24},
        FitCase{"a half-pixel margin rounds to even", 101, 100, 400, 400, 0.25f, 100, 100, 0, 0,
                25},
        FitCase{"a very long thin strip keeps one pixel of height", 1000, 700, 65535, 5,
                static_cast<float>(1000.0 / 65535.0), 1000, 1, 0, 350, 2}),
    [](const ::testing::TestParamInfo<FitCase>& info) {
        return "case" + std::to_string(info.index);
    });

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const struct {
        double value;
        int64_t rounded;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                 {2.4999, 2}, {2.5001, 3}, {-7.6, -8}, {1e300, 9000000000000000000}};
    for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
}

TEST(DragScrolling, AMoveAcrossThePictureCoversTheWholeRange) {
    // Pic 684 high over a range of 2316: the full height is the full range.
    EXPECT_EQ(DragDelta(684, 0, 684, 2316), 2316);
    EXPECT_EQ(DragDelta(0, 684, 684, 2316), -2316);
    EXPECT_EQ(DragDelta(10, 10, 684, 2316), 0);
    // Small moves give proportional steps, rounded half to even.
    EXPECT_EQ(DragDelta(1, 0, 64, 32), 0);    // 0.5
    EXPECT_EQ(DragDelta(3, 0, 64, 32), 2);    // 1.5
    EXPECT_EQ(DragDelta(5, 0, 64, 32), 2);    // 2.5
    EXPECT_EQ(DragDelta(7, 0, 64, 32), 4);    // 3.5
    // Ranges past 16 bits do not overflow.
    EXPECT_EQ(DragDelta(684, 0, 684, 69016), 69016);
    EXPECT_EQ(DragDelta(5, 0, 0, 100), 0) << "a picture of no size cannot be dragged";
}

TEST(DragScrolling, StepsStopExactlyAtTheEnds) {
    EXPECT_EQ(ApplyDragDelta(90, 25, 0, 100), 100);
    EXPECT_EQ(ApplyDragDelta(100, 25, 0, 100), 100);
    EXPECT_EQ(ApplyDragDelta(10, -25, 0, 100), 0);
    EXPECT_EQ(ApplyDragDelta(0, -25, 0, 100), 0);
    EXPECT_EQ(ApplyDragDelta(40, 25, 0, 100), 65);
    EXPECT_EQ(ApplyDragDelta(40, 0, 0, 100), 40);
    const int32_t big = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(ApplyDragDelta(big - 1, int64_t{big} * 4, 0, big), big);
    EXPECT_EQ(ApplyDragDelta(1, -int64_t{big} * 4, 0, big), 0);
}

}  // namespace
