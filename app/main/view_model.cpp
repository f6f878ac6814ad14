#include "view_model.h"

#include "zoom_levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace calmora {

namespace {

// A side in logical pixels at ratio, in whole device pixels. Rounded to the
// nearest: Qt gives a widget of n logical pixels n x ratio device pixels.
int32_t ToDevice(int32_t side, double ratio) {
    const double device = std::round(static_cast<double>(side) * ratio);
    return static_cast<int32_t>(
        std::clamp(device, 0.0, double{std::numeric_limits<int32_t>::max()}));
}

}  // namespace

void MainViewModel::SetClientSize(int32_t width, int32_t height, int32_t barThickness,
                                  double ratio) {
    // A ratio Qt never reports (zero, negative, not a number) counts as 1.
    ratio_ = ratio > 0.0 && std::isfinite(ratio) ? ratio : 1.0;
    clientWidth_ = ToDevice(width, ratio_);
    clientHeight_ = ToDevice(height, ratio_);
    barThickness_ = ToDevice(barThickness, ratio_);
}

PicturePlace MainViewModel::WidgetPlace(const PicturePlace& device) const {
    if (ratio_ == 1.0) return device;
    // The corners rounded outwards, so the widget covers every device pixel
    // of the place; with a whole ratio and even places that is exact.
    const double left = std::floor(device.left / ratio_);
    const double top = std::floor(device.top / ratio_);
    const double right = std::ceil((static_cast<double>(device.left) + device.width) / ratio_);
    const double bottom = std::ceil((static_cast<double>(device.top) + device.height) / ratio_);
    return {static_cast<int32_t>(left), static_cast<int32_t>(top),
            static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

TrueSizeLayout MainViewModel::LayoutFor(int32_t width, int32_t height) const {
    return LayoutTrueSize(clientWidth_, clientHeight_, width, height, barThickness_, barThickness_);
}

FitGeometry MainViewModel::FitFor(int32_t width, int32_t height) const {
    return ComputeFit(clientWidth_, clientHeight_, width, height);
}

void MainViewModel::SetImageSize(int32_t width, int32_t height) {
    imageWidth_ = width;
    imageHeight_ = height;
}

void MainViewModel::SetFit(const FitGeometry& fit) {
    fit_ = fit;
    RefreshFitCaption();
}

PicturePlace MainViewModel::Place() const {
    if (mode_ == kZoomed) {
        return {zoomLayout_.viewLeft, zoomLayout_.viewTop, zoomLayout_.viewWidth,
                zoomLayout_.viewHeight};
    }
    if (mode_ == kScreenFit) return {fit_.fitLeft, fit_.fitTop, fit_.fitWidth, fit_.fitHeight};
    return {layout_.viewLeft, layout_.viewTop, layout_.viewWidth, layout_.viewHeight};
}

void MainViewModel::SetBaseCaption(const CaptionPair& base) {
    baseCaption_ = base;
    SetCaption(base);
}

void MainViewModel::SetCaption(const CaptionPair& caption) {
    caption_ = caption;
    RefreshFitCaption();
}

void MainViewModel::AppendToCaption(const QString& english, const QString& italian) {
    caption_.english += english;
    caption_.italian += italian;
    RefreshFitCaption();
}

void MainViewModel::RefreshFitCaption() {
    fitCaption_ = FitCaption(caption_, fit_.fitWidth, fit_.fitHeight, fit_.fitPercent);
    zoomCaption_ = ZoomCaption(caption_, ZoomPerMille(zoomScale_));
}

void MainViewModel::SetZoomed(double scale, const TrueSizeLayout& layout) {
    zoomScale_ = scale;
    zoomLayout_ = layout;
    mode_ = kZoomed;
    RefreshFitCaption();
}

ViewMapping MainViewModel::Mapping(int32_t scrollX, int32_t scrollY) const {
    const PicturePlace place = Place();
    if (mode_ == kScreenFit) return {place.left, place.top, 0, 0, fit_.fitScale};
    return {place.left, place.top, scrollX, scrollY, Zoom()};
}

ClientSpot MainViewModel::Centre() const {
    const PicturePlace place = Place();
    return ViewCentre(place.left, place.top, place.width, place.height);
}

}  // namespace calmora
