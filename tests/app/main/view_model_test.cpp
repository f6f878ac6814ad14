#include "view_model.h"

#include <gtest/gtest.h>

using namespace calmora;

namespace {

constexpr int kBar = 16;

// A 1000 x 800 client area holding a 4000 x 600 picture: a horizontal bar
// at true size, a quarter-size fit.
MainViewModel WideInClient() {
    MainViewModel view;
    view.SetClientSize(1000, 800, kBar);
    view.SetImageSize(4000, 600);
    view.SetLayout(view.LayoutFor(4000, 600));
    view.SetBaseCaption(CaptionPair::Same(QStringLiteral("Calmora   a.png  (4000x600)")));
    view.SetFit(view.FitFor(4000, 600));
    return view;
}

TEST(MainViewModel, TheViewOnScreenDecidesMarksPlaceBarsAndTitle) {
    struct Case {
        const char* desc;
        int16_t mode;
        SizeMarks marks;
        bool hBar, vBar;
        double zoom;
    };
    const Case cases[] = {
        {"true size: bars of the layout, scale 1", kTrueSize, {true, false}, true, false, 1.0},
        {"fitted: no bars, the fit's scale", kScreenFit, {false, true}, false, false, 0.25},
    };
    for (const Case& c : cases) {
        MainViewModel view = WideInClient();
        view.SetMode(c.mode);
        EXPECT_EQ(view.Marks(), c.marks) << c.desc;
        EXPECT_EQ(view.HorizontalBarShown(), c.hBar) << c.desc;
        EXPECT_EQ(view.VerticalBarShown(), c.vBar) << c.desc;
        EXPECT_DOUBLE_EQ(view.Zoom(), c.zoom) << c.desc;
        const PicturePlace place = view.Place();
        if (c.mode == kTrueSize) {
            EXPECT_EQ(place.width, view.Layout().viewWidth) << c.desc;
            EXPECT_EQ(view.Title(kEnglish), view.Caption().english) << c.desc;
        } else {
            EXPECT_EQ(place.width, view.Fit().fitWidth) << c.desc;
            EXPECT_EQ(place.left, view.Fit().fitLeft) << c.desc;
            EXPECT_EQ(view.Title(kItalian), view.FittedCaption().italian) << c.desc;
        }
    }
}

TEST(MainViewModel, FittedCaptionFollowsCaptionAndFit) {
    MainViewModel view = WideInClient();
    EXPECT_EQ(view.FittedCaption(), FitCaption(view.Caption(), 1000, 150, 25));

    // A denoise run's suffix reaches both views' captions.
    view.AppendToCaption(QStringLiteral(" denoised"), QStringLiteral(" filtrata"));
    EXPECT_TRUE(view.Caption().english.endsWith(QStringLiteral(" denoised")));
    EXPECT_EQ(view.FittedCaption(), FitCaption(view.Caption(), 1000, 150, 25));

    // A bigger client area gives a new fit, and the fitted caption its size.
    view.SetClientSize(2000, 1600, kBar);
    view.SetFit(view.FitFor(4000, 600));
    EXPECT_EQ(view.FittedCaption(),
              FitCaption(view.Caption(), view.Fit().fitWidth, view.Fit().fitHeight,
                         view.Fit().fitPercent));
    EXPECT_EQ(view.Fit().fitWidth, 2000);

    // A turn starts again from the base caption.
    view.SetCaption(RotatedCaption(view.BaseCaption(), 90));
    EXPECT_FALSE(view.Caption().english.contains(QStringLiteral("denoised")));
}

TEST(MainViewModel, LayoutForLeavesTheViewInPlace) {
    MainViewModel view = WideInClient();
    const TrueSizeLayout before = view.Layout();
    const TrueSizeLayout turned = view.LayoutFor(600, 4000);
    EXPECT_TRUE(turned.vScrollShown);
    EXPECT_EQ(view.Layout().viewWidth, before.viewWidth);
    EXPECT_EQ(view.Layout().hScrollShown, before.hScrollShown);
    EXPECT_EQ(view.ImageWidth(), 4000);
}

}  // namespace
