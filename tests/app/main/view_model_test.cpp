#include "view_model.h"

#include <gtest/gtest.h>

#include <cmath>

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
            EXPECT_EQ(view.Title(Language::English), view.Caption().english) << c.desc;
        } else {
            EXPECT_EQ(place.width, view.Fit().fitWidth) << c.desc;
            EXPECT_EQ(place.left, view.Fit().fitLeft) << c.desc;
            EXPECT_EQ(view.Title(Language::Italian), view.FittedCaption().italian) << c.desc;
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

TEST(MainViewModel, AZoomedViewHasItsOwnLayoutScaleAndCaption) {
    MainViewModel view = WideInClient();
    const TrueSizeLayout zoomed = LayoutZoomed(1000, 800, 4000, 600, 2.0, kBar);
    view.SetZoomed(2.0, zoomed);
    EXPECT_EQ(view.Mode(), kZoomed);
    EXPECT_EQ(view.Marks(), (SizeMarks{false, false})) << "neither Size item is the view";
    EXPECT_DOUBLE_EQ(view.Zoom(), 2.0);
    // 8000 x 1200 in 1000 x 800: both bars.
    EXPECT_TRUE(view.HorizontalBarShown());
    EXPECT_TRUE(view.VerticalBarShown());
    const PicturePlace place = view.Place();
    EXPECT_EQ(place.width, 1000 - kBar);
    EXPECT_EQ(place.height, 800 - kBar);
    EXPECT_EQ(view.Title(Language::English),
              QStringLiteral("Calmora   a.png  (4000x600)     zoom 200%"));
    EXPECT_EQ(view.Title(Language::Italian),
              QStringLiteral("Calmora   a.png  (4000x600)     ingrandimento 200%"));
    // The caption follows the true-size one (a turn, a denoise suffix).
    view.AppendToCaption(QStringLiteral(" dn"), QStringLiteral(" rd"));
    EXPECT_EQ(view.Title(Language::English),
              QStringLiteral("Calmora   a.png  (4000x600) dn     zoom 200%"));
    view.SetZoomed(0.125, LayoutZoomed(1000, 800, 4000, 600, 0.125, kBar));
    EXPECT_EQ(view.Title(Language::Italian),
              QStringLiteral("Calmora   a.png  (4000x600) rd     ingrandimento 12.5%"));
    EXPECT_FALSE(view.HorizontalBarShown() || view.VerticalBarShown());

    // Back at true size and fit everything is as before the zoom.
    view.SetMode(kTrueSize);
    EXPECT_EQ(view.Title(Language::English), QStringLiteral("Calmora   a.png  (4000x600) dn"));
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.0);
    EXPECT_TRUE(view.HorizontalBarShown());
    EXPECT_FALSE(view.VerticalBarShown());
    view.SetMode(kScreenFit);
    EXPECT_EQ(view.Title(Language::English),
              QStringLiteral("Calmora   a.png  (4000x600) dn     view size (1000x150) (25%)"));
}

TEST(MainViewModel, EachViewMapsItsCentreToThePointUnderIt) {
    MainViewModel view = WideInClient();
    // True size scrolled to 1500: the layout's view is 1000 wide, centred
    // vertically in the space above the bar.
    const ImagePoint atTrue = PointUnder(view.Mapping(1500, 0), view.Centre());
    EXPECT_DOUBLE_EQ(atTrue.x, 2000.0);
    EXPECT_DOUBLE_EQ(atTrue.y, 300.0);
    view.SetMode(kScreenFit);  // 1000 x 150 at (0, 325): scroll values do not count
    const ImagePoint atFit = PointUnder(view.Mapping(1500, 99), view.Centre());
    EXPECT_DOUBLE_EQ(atFit.x, 2000.0);
    EXPECT_DOUBLE_EQ(atFit.y, 300.0);
    view.SetZoomed(2.0, LayoutZoomed(1000, 800, 4000, 600, 2.0, kBar));
    const ImagePoint atZoom = PointUnder(view.Mapping(3508, 208), view.Centre());
    EXPECT_DOUBLE_EQ(atZoom.x, 2000.0);
    EXPECT_DOUBLE_EQ(atZoom.y, 300.0);
}

// On a display of device pixel ratio above 1 the view lays out in device
// pixels: the client area and the bars grow by the ratio, and the fit and its
// caption name what the screen shows. A ratio Qt never gives counts as 1.
TEST(MainViewModel, AClientAreaAtARatioLaysOutInDevicePixels) {
    struct Case {
        const char* desc;
        double ratio;
        int32_t clientWidth, clientHeight, bar;
        const char* fitCaption;
    };
    const Case cases[] = {
        {"ratio 1: as the window's pixels", 1.0, 576, 384, 8, "view size (576x384) (19%)"},
        {"ratio 2: twice as many pixels", 2.0, 1152, 768, 16, "view size (1152x768) (38%)"},
        {"ratio 1.5: rounded sides", 1.5, 864, 576, 12, "view size (864x576) (29%)"},
        {"ratio 1.25: the bar rounds to 10", 1.25, 720, 480, 10, "view size (720x480) (24%)"},
        {"ratio 0: counts as 1", 0.0, 576, 384, 8, "view size (576x384) (19%)"},
        {"ratio NaN: counts as 1", std::nan(""), 576, 384, 8, "view size (576x384) (19%)"},
    };
    for (const Case& c : cases) {
        MainViewModel view;
        view.SetClientSize(576, 384, 8, c.ratio);
        EXPECT_EQ(view.ClientWidth(), c.clientWidth) << c.desc;
        EXPECT_EQ(view.ClientHeight(), c.clientHeight) << c.desc;
        EXPECT_EQ(view.BarThickness(), c.bar) << c.desc;
        // A 3000 x 2000 picture: both bars at true size, the view what they leave.
        const TrueSizeLayout layout = view.LayoutFor(3000, 2000);
        EXPECT_EQ(layout.viewWidth, c.clientWidth - c.bar) << c.desc;
        EXPECT_EQ(layout.viewHeight, c.clientHeight - c.bar) << c.desc;
        EXPECT_EQ(layout.hScrollMax, 3000 - (c.clientWidth - c.bar)) << c.desc;
        view.SetImageSize(3000, 2000);
        view.SetLayout(layout);
        view.SetBaseCaption(CaptionPair::Same(QStringLiteral("Calmora   a.png  (3000x2000)")));
        view.SetFit(view.FitFor(3000, 2000));
        EXPECT_EQ(view.FittedCaption().english,
                  QStringLiteral("Calmora   a.png  (3000x2000)     ") + c.fitCaption)
            << c.desc;
        // The device pixel under a logical spot.
        const double used = c.ratio > 0.0 ? c.ratio : 1.0;
        const ClientSpot spot = view.DeviceSpot(150, 80);
        EXPECT_DOUBLE_EQ(spot.x, 150 * used) << c.desc;
        EXPECT_DOUBLE_EQ(spot.y, 80 * used) << c.desc;
    }
}

// The widget holding a view stands in the window's whole pixels and covers
// every device pixel of the view's place.
TEST(MainViewModel, AWidgetPlaceCoversTheDevicePlace) {
    struct Case {
        const char* desc;
        double ratio;
        PicturePlace device, widget;
    };
    const Case cases[] = {
        {"ratio 1: the place itself", 1.0, {37, 53, 1001, 853}, {37, 53, 1001, 853}},
        {"ratio 2, even: exact halves", 2.0, {0, 30, 1280, 900}, {0, 15, 640, 450}},
        {"ratio 2, odd: rounded outwards", 2.0, {37, 53, 1280, 853}, {18, 26, 641, 427}},
        {"ratio 1.5", 1.5, {3, 3, 10, 10}, {2, 2, 7, 7}},
        {"a 1 x 1 picture at ratio 2", 2.0, {639, 479, 1, 1}, {319, 239, 1, 1}},
    };
    for (const Case& c : cases) {
        MainViewModel view;
        view.SetClientSize(640, 480, 16, c.ratio);
        const PicturePlace place = view.WidgetPlace(c.device);
        EXPECT_EQ(place.left, c.widget.left) << c.desc;
        EXPECT_EQ(place.top, c.widget.top) << c.desc;
        EXPECT_EQ(place.width, c.widget.width) << c.desc;
        EXPECT_EQ(place.height, c.widget.height) << c.desc;
        EXPECT_LE(place.left * c.ratio, c.device.left) << c.desc;
        EXPECT_GE((place.left + place.width) * c.ratio, c.device.left + c.device.width) << c.desc;
    }
}
