#include "view_model.h"

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
}

}  // namespace calmora
