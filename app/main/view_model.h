// What the main view shows, worked out without widgets: the image and client
// sizes, the view on screen (true size or screen fit), the true-size layout
// with its scroll ranges, the fit geometry, the captions, and from them the
// size-menu marks, the bars and the title. The window only applies what this
// returns, so every question about the view has one answer, testable with
// tables. The zoom factor is the view's scale (1 at true size), which other
// zoom levels extend.
//
// Everything is laid out in device pixels: on a display whose device pixel
// ratio is above 1, true size puts one image pixel on one device pixel and
// the fit and its caption name what the screen really shows. The window
// hands in its client area in its own (logical) pixels with the ratio and
// turns the places back with WidgetPlace for its widgets.
#pragma once

#include <cstdint>

#include "captions.h"
#include "view_layout.h"
#include "zoom_geometry.h"

namespace calmora {

constexpr int16_t kTrueSize = 1;
constexpr int16_t kScreenFit = 2;
// Any other zoom level (zoom_levels.h): neither Size item is checked.
constexpr int16_t kZoomed = 3;

// The checks of the Size menu's two items.
struct SizeMarks {
    bool trueSize = true;
    bool screenFit = false;
    bool operator==(const SizeMarks& other) const {
        return trueSize == other.trueSize && screenFit == other.screenFit;
    }
};

// Where the picture box stands in the client area, and its size.
struct PicturePlace {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class MainViewModel {
public:
    // The client area the view lays out in, and the thickness of a scroll bar,
    // both in the window's logical pixels, with the display's device pixel
    // ratio; they are kept in device pixels.
    void SetClientSize(int32_t width, int32_t height, int32_t barThickness, double ratio = 1.0);
    [[nodiscard]] double DeviceRatio() const { return ratio_; }
    // A place of the view (device pixels) in the window's logical pixels: the
    // smallest whole-pixel widget that holds it.
    [[nodiscard]] PicturePlace WidgetPlace(const PicturePlace& device) const;
    // A spot of the client area given in logical pixels, in device pixels.
    [[nodiscard]] ClientSpot DeviceSpot(double x, double y) const {
        return {x * ratio_, y * ratio_};
    }
    [[nodiscard]] int32_t ClientWidth() const { return clientWidth_; }
    [[nodiscard]] int32_t ClientHeight() const { return clientHeight_; }
    [[nodiscard]] int32_t BarThickness() const { return barThickness_; }

    // Layout and fit a picture of width x height would have in the client area
    // now: worked out without changing anything, so a command can prepare
    // everything before it gives up the current view.
    [[nodiscard]] TrueSizeLayout LayoutFor(int32_t width, int32_t height) const;
    [[nodiscard]] FitGeometry FitFor(int32_t width, int32_t height) const;

    // The picture in place now and its views.
    void SetImageSize(int32_t width, int32_t height);
    [[nodiscard]] int32_t ImageWidth() const { return imageWidth_; }
    [[nodiscard]] int32_t ImageHeight() const { return imageHeight_; }
    void SetLayout(const TrueSizeLayout& layout) { layout_ = layout; }
    [[nodiscard]] const TrueSizeLayout& Layout() const { return layout_; }
    // Takes fit and makes the fitted caption for it.
    void SetFit(const FitGeometry& fit);
    [[nodiscard]] const FitGeometry& Fit() const { return fit_; }

    // The view on screen: kTrueSize, kScreenFit or kZoomed.
    void SetMode(int16_t mode) { mode_ = mode; }
    [[nodiscard]] int16_t Mode() const { return mode_; }
    [[nodiscard]] SizeMarks Marks() const { return {mode_ == kTrueSize, mode_ == kScreenFit}; }
    // Image pixels per screen pixel along each side of the view on screen.
    [[nodiscard]] double Zoom() const {
        if (mode_ == kZoomed) return zoomScale_;
        return mode_ == kScreenFit ? fit_.fitScale : 1.0;
    }
    [[nodiscard]] PicturePlace Place() const;
    // The bars of the view on screen: the layout's at true size, none when fitted.
    [[nodiscard]] bool HorizontalBarShown() const {
        if (mode_ == kZoomed) return zoomLayout_.hScrollShown;
        return mode_ == kTrueSize && layout_.hScrollShown;
    }
    [[nodiscard]] bool VerticalBarShown() const {
        if (mode_ == kZoomed) return zoomLayout_.vScrollShown;
        return mode_ == kTrueSize && layout_.vScrollShown;
    }

    // A zoomed view at scale (screen pixels per image pixel) laid out as
    // layout (LayoutZoomed); the mode becomes kZoomed.
    void SetZoomed(double scale, const TrueSizeLayout& layout);
    [[nodiscard]] double ZoomScale() const { return zoomScale_; }
    [[nodiscard]] const TrueSizeLayout& ZoomLayout() const { return zoomLayout_; }
    // How the view on screen maps the picture with the bars at (scrollX,
    // scrollY); a fitted view ignores them.
    [[nodiscard]] ViewMapping Mapping(int32_t scrollX, int32_t scrollY) const;
    // The centre of the picture box of the view on screen.
    [[nodiscard]] ClientSpot Centre() const;

    // Scroll position last shown at true size.
    void SetTrueScroll(int32_t x, int32_t y) {
        trueScrollX_ = x;
        trueScrollY_ = y;
    }
    [[nodiscard]] int32_t TrueScrollX() const { return trueScrollX_; }
    [[nodiscard]] int32_t TrueScrollY() const { return trueScrollY_; }

    // Captions: the base of a freshly loaded picture, the true-size view's
    // (with the angle and the denoise settings) and the fitted view's, which
    // follows the other two.
    void SetBaseCaption(const CaptionPair& base);
    [[nodiscard]] const CaptionPair& BaseCaption() const { return baseCaption_; }
    void SetCaption(const CaptionPair& caption);
    [[nodiscard]] const CaptionPair& Caption() const { return caption_; }
    [[nodiscard]] const CaptionPair& FittedCaption() const { return fitCaption_; }
    // The zoomed view's: the current caption and the zoom percentage.
    [[nodiscard]] const CaptionPair& ZoomedCaption() const { return zoomCaption_; }
    void AppendToCaption(const QString& english, const QString& italian);
    // The title of the view on screen.
    [[nodiscard]] const QString& Title(Language language) const {
        if (mode_ == kZoomed) return zoomCaption_.In(language);
        return (mode_ == kScreenFit ? fitCaption_ : caption_).In(language);
    }

private:
    void RefreshFitCaption();

    int32_t clientWidth_ = 0, clientHeight_ = 0, barThickness_ = 0;
    double ratio_ = 1.0;
    int32_t imageWidth_ = 0, imageHeight_ = 0;
    TrueSizeLayout layout_;
    FitGeometry fit_;
    int16_t mode_ = kTrueSize;
    int32_t trueScrollX_ = 0, trueScrollY_ = 0;
    CaptionPair baseCaption_, caption_, fitCaption_;
    double zoomScale_ = 1.0;
    TrueSizeLayout zoomLayout_;
    CaptionPair zoomCaption_;
};

}  // namespace calmora
