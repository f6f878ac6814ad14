// Placement arithmetic of the denoise dialog, checked against tables.
#include <gtest/gtest.h>

#include "area_layout.h"
#include "case_name.h"

namespace calmora {
namespace {

TEST(DialogMode, WholeImageUpTo200By150) {
    struct Case { int32_t w, h; bool area; };
    const Case cases[] = {{200, 150, false}, {201, 150, true}, {200, 151, true},
                          {1, 1, false},     {150, 200, true}, {4000, 3000, true}};
    for (const Case& c : cases)
        EXPECT_EQ(UsesAreaMode(c.w, c.h), c.area) << c.w << "x" << c.h;
}

struct AreaCase {
    const char* desc;
    AreaLayoutInput in;
    Box pic;
    int32_t comboTop, limitX, limitY;
    bool fits;
};

class DialogAreaLayout : public ::testing::TestWithParam<AreaCase> {};

TEST_P(DialogAreaLayout, PlacesTheView) {
    const AreaCase& c = GetParam();
    const AreaLayout out = ComputeAreaLayout(c.in);
    EXPECT_EQ(out.pic.left, c.pic.left);
    EXPECT_EQ(out.pic.top, c.pic.top);
    EXPECT_EQ(out.pic.width, c.pic.width);
    EXPECT_EQ(out.pic.height, c.pic.height);
    EXPECT_EQ(out.comboTop, c.comboTop);
    EXPECT_EQ(out.scrollLimitX, c.limitX);
    EXPECT_EQ(out.scrollLimitY, c.limitY);
    EXPECT_EQ(out.imageFits, c.fits);
}

// Inner 1000x700, Line1 at 266 with a 1-pixel border, list 24 high.
AreaLayoutInput Area(int32_t w, int32_t h, int32_t innerW = 1000, int32_t innerH = 700) {
    return AreaLayoutInput{innerW, innerH, 266, 1, 24, w, h};
}

INSTANTIATE_TEST_SUITE_P(
    Area, DialogAreaLayout,
    ::testing::Values(
        AreaCase{"large image fills the space", Area(3000, 2000), {273, 30, 721, 670}, 3, 2279,
                 1330, false},
        AreaCase{"narrow image centred across", Area(300, 2000), {485, 30, 300, 670}, 3, 0, 1330,
                 false},
        AreaCase{"low image centred down, list above it", Area(3000, 100), {273, 300, 721, 100},
                 273, 2279, 0, false},
        AreaCase{"small image fits whole", Area(300, 100), {485, 300, 300, 100}, 273, 0, 0, true},
        AreaCase{"exactly the space", Area(721, 670), {273, 30, 721, 670}, 3, 0, 0, true},
        AreaCase{"a pixel over the space", Area(722, 671), {273, 30, 721, 670}, 3, 1, 1,
                 false},
        AreaCase{"tiny client area", Area(3000, 2000, 200, 20),
                 {273, 30, 1, 1}, 3, 2999, 1999, false}),
    calmora_test::NameFromDesc());

TEST(DialogPanes, LowerOnlyWhereTheColumnWouldBeCut) {
    // Panes from 300 down, 6 apart, then 42 pixels of the colour-noise row.
    struct Case {
        const char* desc;
        int32_t innerHeight, want;
    };
    const Case cases[] = {
        {"room to spare", 774, 138},
        {"exactly the room", 300 + 138 + 6 + 138 + 42, 138},
        {"one pixel short", 300 + 138 + 6 + 138 + 42 - 1, 137},
        {"1024x600 with a panel, title and menu bar", 518, 85},
        {"odd room rounds down", 300 + 6 + 42 + 2 * 100 + 1, 100},
        {"never below the smallest", 200, kMinPaneHeight},
    };
    for (const Case& c : cases) EXPECT_EQ(FittedPaneHeight(c.innerHeight, 300, 42), c.want) << c.desc;
}

TEST(DialogWholeImageLayout, PanesInOneRowTwoPixelsApart) {
    const WholeImageLayout out = ComputeWholeImageLayout({252, 286, 6, 24, 200, 150});
    EXPECT_EQ(out.innerWidth, 624);  // 3 * 200 + 4 between + 2 * 10 margin
    EXPECT_EQ(out.picR, (Box{10, 321, 200, 150}));
    EXPECT_EQ(out.pic, (Box{212, 321, 200, 150}));
    EXPECT_EQ(out.picNoise, (Box{414, 321, 200, 150}));
    EXPECT_EQ(out.comboTop, 321 - 3 - 24);
    EXPECT_EQ(out.frameLeft, 186);
    EXPECT_GT(out.innerHeight, 321 + 150);
}

TEST(DialogWholeImageLayout, SmallImageCentredUnderTheWiderFrame) {
    const WholeImageLayout out = ComputeWholeImageLayout({252, 286, 6, 24, 10, 10});
    EXPECT_EQ(out.innerWidth, 272);
    EXPECT_EQ(out.frameLeft, 10);
    EXPECT_EQ(out.picR.left, 119);  // (272 - 34) / 2
    EXPECT_EQ(out.pic.left, 131);
    EXPECT_EQ(out.picNoise.left, 143);
}

TEST(DialogPreviewArea, PaneSizeCutToAViewSmallerThanAPane) {
    EXPECT_EQ(PreviewAreaSize(184, 138, 721, 670).width, 184);
    EXPECT_EQ(PreviewAreaSize(184, 138, 721, 670).height, 138);
    EXPECT_EQ(PreviewAreaSize(184, 138, 300, 100).height, 100);
    EXPECT_EQ(PreviewAreaSize(184, 138, 120, 100).width, 120);
}

TEST(DialogRectangle, RangeKeepsTheAreaInsideTheView) {
    RectangleRange r = ComputeRectangleRange(721, 670, 186, 140);
    EXPECT_EQ(r.lowX, 0);
    EXPECT_EQ(r.highX, 536);
    EXPECT_EQ(r.highY, 531);
    // The area is as high as the view: the outline sits just outside it.
    r = ComputeRectangleRange(300, 100, 186, 102);
    EXPECT_EQ(r.lowY, -1);
    EXPECT_EQ(r.highY, -1);
    EXPECT_EQ(r.highX, 115);
}

TEST(DialogRectangle, StartsCentred) {
    RectanglePlace p = CentredRectangle(201, 150, 186, 140);
    EXPECT_EQ(p.left, 8);  // 7.5 rounds to even
    EXPECT_EQ(p.top, 5);
    p = CentredRectangle(203, 150, 186, 140);
    EXPECT_EQ(p.left, 8);  // 8.5 too
    p = CentredRectangle(300, 100, 186, 102);
    EXPECT_EQ(p.left, 57);
    EXPECT_EQ(p.top, -1);
}

TEST(DialogRectangle, FollowsTheMouseAndStopsAtTheEdges) {
    struct Step { int32_t mouse; int32_t start; int32_t anchor; };
    // From start 10, anchor 50, on a range 0..100.
    int32_t start = 10, anchor = 50;
    const Step steps[] = {
        {60, 20, 60},    // follows
        {200, 100, 200}, // clamped at the high end
        {260, 100, 260}, // pushing past the edge: stays, anchor follows
        {250, 90, 250},  // turning back moves at once
        {100, 0, 100},   // clamped at the low end
        {90, 0, 90},     // pushing past low
        {95, 5, 95},
    };
    for (const Step& s : steps) {
        MoveRectangleAxis(s.mouse, anchor, start, 0, 100);
        EXPECT_EQ(start, s.start) << "mouse " << s.mouse;
        EXPECT_EQ(anchor, s.anchor) << "mouse " << s.mouse;
    }
}

TEST(DialogImageDrag, WholeViewMovesAcrossTheWholeImage) {
    struct Step { int32_t mouse; int32_t offset; int32_t anchor; int32_t moved; };
    // View 500 wide over an image 2000 wide: one pixel of mouse is 4 of image.
    int32_t offset = 0, anchor = 100;
    const Step steps[] = {
        {110, 40, 110, 40},
        {110, 40, 110, 0},      // no move
        {600, 1500, 600, 1460}, // clamped at the limit
        {650, 1500, 650, 0},    // past the limit: stays, anchor follows
        {640, 1460, 640, -40},  // turning back moves at once
        {0, 0, 0, -1460},
        {-20, 0, -20, 0},       // below 0 stays
    };
    for (const Step& s : steps) {
        EXPECT_EQ(DragImageAxis(s.mouse, anchor, offset, 1500, 500, 2000), s.moved)
            << "mouse " << s.mouse;
        EXPECT_EQ(offset, s.offset);
        EXPECT_EQ(anchor, s.anchor);
    }
}

TEST(DialogImageDrag, StepBelowHalfAPixelKeepsTheAnchor) {
    int32_t offset = 10, anchor = 100;
    // 1 pixel of mouse over a view 1000 wide on an image 400 wide is 0.4.
    EXPECT_EQ(DragImageAxis(101, anchor, offset, 100, 1000, 400), 0);
    EXPECT_EQ(anchor, 100);
    EXPECT_EQ(DragImageAxis(102, anchor, offset, 100, 1000, 400), 1);
    EXPECT_EQ(anchor, 102);
    EXPECT_EQ(DragImageAxis(50, anchor, offset, 100, 0, 400), 0);  // no view
}

TEST(DialogRectangle, InsideCountsTheOutline) {
    EXPECT_TRUE(InsideRectangle(10, 20, 10, 20, 186, 140));
    EXPECT_TRUE(InsideRectangle(195, 159, 10, 20, 186, 140));
    EXPECT_FALSE(InsideRectangle(196, 100, 10, 20, 186, 140));
    EXPECT_FALSE(InsideRectangle(100, 160, 10, 20, 186, 140));
    EXPECT_FALSE(InsideRectangle(9, 100, 10, 20, 186, 140));
}

}  // namespace
}  // namespace calmora
