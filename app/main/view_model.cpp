#include "view_model.h"

#include "zoom_levels.h"

namespace calmora {

void MainViewModel::SetClientSize(int32_t width, int32_t height, int32_t barThickness) {
    clientWidth_ = width;
    clientHeight_ = height;
    barThickness_ = barThickness;
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
